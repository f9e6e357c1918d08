// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_location.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "history/history_store.h"
#include "settings/ini_file.h"

namespace tarn {

std::string ResolveHistoryLocation(const std::string& from_command_line,
                                   const std::string& cfg_file, const std::string& data_path) {
  if (!from_command_line.empty()) return from_command_line;
  if (!cfg_file.empty()) {
    IniFile ini;
    ini.SetIniFile(cfg_file);
    ini.SetIniSector(kHistorySection);
    std::string value = ini.IniReadStr(kHistoryLocationKey, "");
    if (!value.empty()) return value;
  }
  return data_path + kHistoryFileName;
}

bool TakeHistoryArgument(int* argc, char** argv, std::string* location) {
  location->clear();
  int out = 1;
  bool ok = true;
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp(argv[i], "--history") == 0) {
      if (i + 1 >= *argc) {
        ok = false;
        continue;
      }
      *location = argv[++i];
      continue;
    }
    if (std::strncmp(argv[i], "--history=", 10) == 0) {
      *location = argv[i] + 10;
      if (location->empty()) ok = false;
      continue;
    }
    argv[out++] = argv[i];
  }
  *argc = out;
  argv[out] = nullptr;
  return ok;
}

}  // namespace tarn

namespace tarn {

std::string MissingHistoryFile(const std::string& location) {
  std::error_code ec;
  if (location.empty() || IsServerLocation(location) || std::filesystem::exists(location, ec)) {
    return "";
  }
  return "Cannot reach the history " + location + ": the file is not there (removed or moved).";
}

}  // namespace tarn
