// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/recent_files.h"

#include <algorithm>

#include "settings/ini_file.h"

namespace tarn {

namespace {

constexpr const char* kSection = "RecentFiles";

std::string Key(std::string_view kind, int n) {
  return std::string(kind) + std::to_string(n);
}

bool Storable(const std::string& path) {
  return !path.empty() && path.size() <= IniFile::kMaxValue &&
         path.find_first_of("\r\n") == std::string::npos && path.front() != ' ' &&
         path.back() != ' ' && path.front() != '\t' && path.back() != '\t';
}

}  // namespace

void AddRecent(std::vector<std::string>& list, const std::string& path) {
  if (path.empty()) return;
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (list.size() > static_cast<std::size_t>(kRecentMax)) list.resize(kRecentMax);
}

std::vector<std::string> ReadRecent(const IniFile& ini, std::string_view kind) {
  IniFile section = ini;
  section.SetIniSector(kSection);
  std::vector<std::string> list;
  for (int n = 1; n <= kRecentMax; ++n) {
    std::string path = section.IniReadStr(Key(kind, n), "");
    if (!path.empty() && std::find(list.begin(), list.end(), path) == list.end())
      list.push_back(std::move(path));
  }
  return list;
}

void WriteRecent(IniFile& ini, std::string_view kind, const std::vector<std::string>& list) {
  ini.SetIniSector(kSection);
  int n = 1;
  for (const std::string& path : list)
    if (n <= kRecentMax && Storable(path)) ini.IniWriteStr(Key(kind, n++), path);
  for (; n <= kRecentMax; ++n) ini.IniWriteStr(Key(kind, n), "");
}

}  // namespace tarn
