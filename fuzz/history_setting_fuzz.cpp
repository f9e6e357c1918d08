// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes as the settings file's text, from which the history location is
// taken: it is never empty, it is the [HISTORY] LOCATION value when there is one, else the data
// folder's history file, and telling a server from a file never fails on it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_location.h"
#include "history/history_store.h"
#include "history/pg/pg_location.h"
#include "settings/ini_file.h"

namespace {

std::string CfgPath() {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/tarn-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".cfg";
}

struct Cfg {
  ~Cfg() { std::remove(path.c_str()); }
  std::string path = CfgPath();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const Cfg cfg;
  FILE* f = std::fopen(cfg.path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::string data_path = "/data/";
  const std::string location = tarn::ResolveHistoryLocation("", cfg.path, data_path);
  tarn::IniFile ini;
  ini.SetIniFile(cfg.path);
  ini.SetIniSector(tarn::kHistorySection);
  const std::string value = ini.IniReadStr(tarn::kHistoryLocationKey, "");
  const std::string expected = value.empty() ? data_path + tarn::kHistoryFileName : value;
  if (location.empty() || location != expected) std::abort();
  const tarn::PgLocation parsed = tarn::ParsePgLocation(location);
  if (parsed.server != tarn::IsServerLocation(location)) std::abort();
  if (parsed.has_password && parsed.shown == location &&
      location.find("***") == std::string::npos) {
    std::abort();
  }
  return 0;
}
