// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/point_path.h"

namespace tarn {

namespace {

std::string Trimmed(const std::string& s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t a = 0, b = s.size();
  while (a < b && blank(s[a])) ++a;
  while (b > a && blank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = text.find('/', start);
    names.push_back(text.substr(start, slash == std::string::npos ? slash : slash - start));
    if (slash == std::string::npos) return names;
    start = slash + 1;
  }
}

}  // namespace

Status ParsePointPath(const std::string& text, std::string* path) {
  std::vector<std::string> names = Split(text);
  const std::string quoted = "\"" + text + "\"";
  if (names.size() > static_cast<std::size_t>(kMaxPointNames)) {
    return Status::Fail("The point path " + quoted + " has " + std::to_string(names.size()) +
                        " names; a path is one to six names separated by \"/\".");
  }
  std::string out;
  for (std::string& name : names) {
    name = Trimmed(name);
    if (name.empty()) {
      return Status::Fail("The point path " + quoted +
                          " has an empty name; a path is one to six names separated by \"/\".");
    }
    if (!out.empty()) out += '/';
    out += name;
  }
  *path = out;
  return {};
}

std::vector<std::string> PointPathNames(const std::string& path) {
  return Split(path);
}

std::string PointPathKey(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    const auto u = static_cast<unsigned char>(c);
    // ASCII and the Windows-1252 capitals: À-Þ but ×, and Š Œ Ž Ÿ.
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
      c = static_cast<char>(u + 0x20);
    } else if (u == 0x8A || u == 0x8C || u == 0x8E) {
      c = static_cast<char>(u + 0x10);
    } else if (u == 0x9F) {
      c = static_cast<char>(0xFF);
    }
  }
  return key;
}

bool PointPathUnder(const std::string& path_key, const std::string& prefix_key) {
  if (path_key.size() < prefix_key.size()) return false;
  if (path_key.compare(0, prefix_key.size(), prefix_key) != 0) return false;
  return path_key.size() == prefix_key.size() || path_key[prefix_key.size()] == '/';
}

std::string UnassignedPath(const std::string& tag) {
  std::string name = tag;
  for (char& c : name) {
    if (c == '/') c = '-';
  }
  name = Trimmed(name);
  if (name.empty()) name = "(no tag)";
  return std::string(kUnassigned) + "/" + name;
}

}  // namespace tarn
