#include "analysis/nembra_reader.h"

namespace tarn {

NembraReader::NembraReader(_grp_values_& grp, const _basic_set_& setup, ReaderNotifier* notifier)
    : grp_(grp), setup_(setup), notifier_(notifier) {}

void NembraReader::Open(const std::string&) {}
void NembraReader::GetData(int32_t) {}
int32_t NembraReader::GetFileType(FILE*) {
  return -1;
}
void NembraReader::GetNembraDataPtr(FILE*) {}
void NembraReader::GetMetalDataPtr(FILE*) {}
void NembraReader::GetInfoNembra(FILE*) {}
void NembraReader::GetInfoMetal(FILE*) {}
void NembraReader::GetDataNembraEr(FILE*) {}
void NembraReader::GetDataNembraLpr(FILE*) {}
void NembraReader::GetDataMetalEr(FILE*) {}
void NembraReader::GetDataMetalLpr(FILE*) {}
double NembraReader::Rsrr2Metalloss(int32_t, double) const {
  return 0.0;
}
bool NembraReader::Data2Buffer(int32_t, std::string_view, double) {
  return false;
}
void NembraReader::GetDataNembra(FILE*, bool) {}
void NembraReader::Report(std::string_view) {}

}  // namespace tarn
