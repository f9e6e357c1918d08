#include "settings/ini_file.h"

namespace tarn {

// Placeholder until the INI layer lands.
void IniFile::SetIniFile(std::string path) {
  path_ = std::move(path);
}
void IniFile::SetIniSector(std::string section) {
  section_ = std::move(section);
}
int32_t IniFile::IniReadInt(std::string_view, int32_t def) const {
  return def;
}
double IniFile::IniReadFloat(std::string_view, double def) const {
  return def;
}
std::string IniFile::IniReadStr(std::string_view, std::string_view def) const {
  return std::string(def);
}
void IniFile::IniWriteInt(std::string_view, int32_t) {}
void IniFile::IniWriteFloat(std::string_view, double) {}
void IniFile::IniWriteStr(std::string_view, std::string_view) {}
bool IniFile::Flush() const {
  return false;
}

}  // namespace tarn
