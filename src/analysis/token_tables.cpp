#include "analysis/token_tables.h"

namespace tarn {

const _token_tables_ vInfoValue[] = {{-1, ""}};
const _token_tables_ vMetalEtc[] = {{-1, ""}};
const _token_tables_ vErLpr[] = {{-1, ""}};
const _token_tables_ vProbeType[] = {{-1, ""}};

std::string apParseLine(std::string_view, int32_t* code) {
  *code = -1;
  return {};
}
int32_t apGetProbeType(std::string_view) {
  return -1;
}
std::string GetNextStr(std::string_view, std::string_view, int32_t* pos) {
  *pos = -1;
  return {};
}
bool IsNarrowSpace(unsigned char) {
  return false;
}
std::string_view TrimNarrow(std::string_view text) {
  return text;
}
char UpperNarrow(char c) {
  return c;
}

}  // namespace tarn
