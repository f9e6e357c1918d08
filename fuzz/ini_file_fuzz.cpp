// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the INI reader with arbitrary settings-file text: every key of every section is read,
// then written back and read again, and the rewritten text must read the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/ini_file.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' ||
                        s.front() == '\v' || s.front() == '\f')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                        s.back() == '\v' || s.back() == '\f')) {
    s.remove_suffix(1);
  }
  return s;
}

// Section and key names as they appear in the text, with the section each key follows.
std::vector<std::pair<std::string, std::string>> Names(const std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (i == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close != std::string_view::npos) section = Trim(line.substr(1, close - 1));
      names.emplace_back(section, "");
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos) names.emplace_back(section, Trim(line.substr(0, eq)));
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarn::IniFile ini;
  ini.SetIniText(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto names = Names(ini.lines());
  std::vector<std::string> before;
  for (const auto& [section, key] : names) {
    ini.SetIniSector(section);
    const std::string text = ini.IniReadStr(key, "\x01");
    Check(text.size() <= tarn::IniFile::kMaxValue || text == "\x01");
    ini.IniReadInt(key, -1);
    ini.IniReadFloat(key, 1.5);
    before.push_back(text);
  }
  // The same reads from the text as it would be saved.
  tarn::IniFile again;
  again.SetIniText(ini.text());
  for (size_t i = 0; i < names.size(); ++i) {
    again.SetIniSector(names[i].first);
    Check(again.IniReadStr(names[i].second, "\x01") == before[i]);
  }
  // Writes land where reads find them, in every section the text names.
  for (const auto& [section, key] : names) {
    ini.SetIniSector(section);
    ini.IniWriteInt("FUZZ_KEY", 12345);
    Check(ini.IniReadInt("FUZZ_KEY", 0) == 12345);
    if (!key.empty() && key.find('=') == std::string::npos && key.front() != '[' &&
        key.front() != ';' && key.find('\n') == std::string::npos) {
      ini.IniWriteFloat(key, 2.5);
      Check(ini.IniReadFloat(key, 0.0) == 2.5);
    }
  }
  return 0;
}
