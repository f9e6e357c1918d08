#include "analysis/analysis_export.h"

namespace tarn {

const char* DataTypeLabel(int32_t) {
  return "";
}
std::vector<InfoRow> InfoRows(const NembraReader&) {
  return {};
}
std::string ReadingTimeText(const NembraReader&, int32_t) {
  return {};
}
std::string ReadingValueText(const NembraReader&, int32_t) {
  return {};
}
std::string CrateStr(const NembraReader&) {
  return {};
}
bool SaveCsv(const NembraReader&, const std::string&, std::string*) {
  return false;
}
bool SaveXls(const NembraReader&, const std::string&, std::string*) {
  return false;
}

}  // namespace tarn
