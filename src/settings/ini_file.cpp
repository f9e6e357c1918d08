// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/atomic_file.h"
#include "common/number_text.h"

namespace tarn {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

ParsedLine ParseLine(std::string_view line, bool first) {
  ParsedLine out;
  if (first && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // UTF-8 mark
  line = Trim(line);
  if (line.empty() || line.front() == ';') return out;
  if (line.front() == '[') {
    const std::size_t close = line.find(']');
    if (close == npos) return out;
    out.kind = LineKind::kSection;
    out.name = Trim(line.substr(1, close - 1));
    return out;
  }
  const std::size_t eq = line.find('=');
  if (eq == npos) return out;
  out.name = Trim(line.substr(0, eq));
  if (out.name.empty()) return out;
  out.kind = LineKind::kKey;
  out.value = Trim(line.substr(eq + 1));
  return out;
}

}  // namespace

void IniFile::SetIniFile(std::string path) {
  path_ = std::move(path);
  lines_.clear();
  line_end_ = "\r\n";
  readable_ = true;
  FILE* in = std::fopen(path_.c_str(), "rb");
  if (in == nullptr) {
    // Only a file that is really absent may be created from scratch.
    std::error_code ec;
    readable_ = !std::filesystem::exists(path_, ec) && !ec;
    return;
  }
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
  readable_ = std::ferror(in) == 0;
  std::fclose(in);
  if (readable_) SetIniText(text);
}

void IniFile::SetIniSector(std::string section) {
  section_ = std::move(section);
}

void IniFile::SetIniText(std::string_view text) {
  lines_.clear();
  line_end_ = "\r\n";  // as Windows writes a new file
  const std::size_t first_lf = text.find('\n');
  if (first_lf != npos) line_end_ = first_lf > 0 && text[first_lf - 1] == '\r' ? "\r\n" : "\n";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    start = end + 1;
  }
}

std::size_t IniFile::FindSection() const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const ParsedLine p = ParseLine(lines_[i], i == 0);
    if (p.kind == LineKind::kSection && SameName(p.name, section_)) return i;
  }
  return npos;
}

std::size_t IniFile::FindKey(std::string_view key) const {
  const std::size_t section = FindSection();
  if (section == npos) return npos;
  for (std::size_t i = section + 1; i < lines_.size(); ++i) {
    const ParsedLine p = ParseLine(lines_[i], false);
    if (p.kind == LineKind::kSection) break;
    if (p.kind == LineKind::kKey && SameName(p.name, key)) return i;
  }
  return npos;
}

bool IniFile::RawValue(std::string_view key, std::string_view* value) const {
  const std::size_t i = FindKey(key);
  if (i == npos) return false;
  std::string_view v = ParseLine(lines_[i], i == 0).value;
  // A value in matching quotes is read without them.
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  *value = v.substr(0, kMaxValue);
  return true;
}

int32_t IniFile::IniReadInt(std::string_view key, int32_t def) const {
  std::string_view value;
  return RawValue(key, &value) ? LeadingInt(value) : def;
}

double IniFile::IniReadFloat(std::string_view key, double def) const {
  std::string_view value;
  if (RawValue(key, &value)) return LeadingDouble(value);
  // The default goes through the same text as a stored value would.
  const std::string text = FormatFixed(def, 9);
  return LeadingDouble(std::string_view(text).substr(0, kMaxValue));
}

std::string IniFile::IniReadStr(std::string_view key, std::string_view def) const {
  std::string_view value;
  return std::string(RawValue(key, &value) ? value : def);
}

void IniFile::IniWriteInt(std::string_view key, int32_t value) {
  IniWriteStr(key, std::to_string(value));
}

void IniFile::IniWriteFloat(std::string_view key, double value) {
  IniWriteStr(key, FormatFixed(value, 9));
}

void IniFile::IniWriteStr(std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  std::string line = std::string(key) + "=" + std::string(value);
  const std::size_t section = FindSection();
  if (section == npos) {
    lines_.push_back("[" + section_ + "]");
    lines_.push_back(std::move(line));
    return;
  }
  std::size_t insert_at = section + 1;  // after the section's last key line
  for (std::size_t i = section + 1; i < lines_.size(); ++i) {
    const ParsedLine p = ParseLine(lines_[i], false);
    if (p.kind == LineKind::kSection) break;
    if (p.kind != LineKind::kKey) continue;
    if (SameName(p.name, key)) {
      // Keep the line as it is when the value does not change; else keep the key's spelling.
      if (p.value != value) lines_[i] = std::string(p.name) + "=" + std::string(value);
      return;
    }
    insert_at = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), std::move(line));
}

std::string IniFile::text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += line_end_;
  }
  return text;
}

bool IniFile::Flush() const {
  if (path_.empty() || !readable_) return false;
  return WriteFileAtomically(path_, text()).ok;
}

}  // namespace tarn
