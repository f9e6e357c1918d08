// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/user_paths.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace tarn {

namespace {

std::string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs.dirs file: "$HOME/..." or an absolute path,
// usually in double quotes. Empty when absent or unusable.
std::string XdgDocumentsDir(const std::string& dirs_file, const std::string& home) {
  std::ifstream in(dirs_file);
  std::string line;
  std::string found;
  while (std::getline(in, line)) {
    std::string_view s(line);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
    if (s.substr(0, kKey.size()) != kKey) continue;
    s.remove_prefix(kKey.size());
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
    }
    std::string_view value = s;
    if (value.size() > 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    std::string path;
    if (value.substr(0, 5) == "$HOME") {
      path = home + std::string(value.substr(5));
    } else if (!value.empty() && value.front() == '/') {
      path = std::string(value);
    } else {
      continue;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    found = path;  // the last assignment wins, as in a shell
  }
  return found;
}

}  // namespace

std::string UserDocumentsDir() {
  const std::string home = EnvText("HOME");
  if (home.empty()) return {};
  std::string config = EnvText("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::string docs = XdgDocumentsDir(config + "/user-dirs.dirs", home);
  if (docs.empty()) docs = home + "/Documents";
  return docs;
}

std::string UserCfgFile() {
  const std::string docs = UserDocumentsDir();
  if (docs.empty()) return {};
  return docs + "/Tarn/TARN.CFG";
}

std::string UserDataPath() {
  const std::string docs = UserDocumentsDir();
  if (docs.empty()) return {};
  return docs + "/Tarn/DATA/";
}

}  // namespace tarn
