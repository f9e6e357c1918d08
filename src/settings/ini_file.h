// SPDX-License-Identifier: GPL-3.0-or-later
// INI access layer on plain files: a current file and a current section, with reads and writes
// that name only their key. Section and key names match without regard to letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class IniFile {
 public:
  // Longest value text a read returns; longer values are cut.
  static constexpr std::size_t kMaxValue = 254;

  // Makes the file current and reads its lines (a missing or unreadable file reads as empty).
  void SetIniFile(std::string path);
  void SetIniSector(std::string section);
  // Takes the lines from memory instead of a file (no current file: Flush then fails).
  void SetIniText(std::string_view text);

  // Absent key: the default; otherwise the leading signed decimal integer, 0 when none.
  int32_t IniReadInt(std::string_view key, int32_t def) const;
  // Absent key: the default formatted "%.9f" and read back; otherwise the longest leading
  // number of the value, 0.0 when none.
  double IniReadFloat(std::string_view key, double def) const;
  // The value text, cut to 254 characters; absent key: the default.
  std::string IniReadStr(std::string_view key, std::string_view def) const;

  // Writes change the lines in memory: an existing key is replaced in place, a missing key is
  // added at the end of its section, a missing section at the end of the file.
  void IniWriteInt(std::string_view key, int32_t value);   // "%d"
  void IniWriteFloat(std::string_view key, double value);  // "%.9f", full stop
  // A value is one line: it is cut at its first line break.
  void IniWriteStr(std::string_view key, std::string_view value);

  // Writes the lines to the current file through a temporary file renamed into place. False
  // when that fails, or when the file exists but could not be read (rewriting it would lose
  // its foreign lines); the file is then left as it was.
  bool Flush() const;

  // The whole text as Flush writes it; the file's own line end (CR LF for a new file).
  std::string text() const;
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  // Index of the current section's header line, or npos.
  std::size_t FindSection() const;
  // Index of the key's line in the current section, or npos.
  std::size_t FindKey(std::string_view key) const;
  // The key's raw value (trimmed), false when absent.
  bool RawValue(std::string_view key, std::string_view* value) const;

  std::string path_;
  std::string section_;
  std::vector<std::string> lines_;
  std::string line_end_ = "\r\n";
  bool readable_ = true;  // false: the file exists but could not be read
};

}  // namespace tarn
