// INI access layer on plain files: a current file and a current section, with reads and writes
// that name only their key. Section and key names match without regard to letter case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class IniFile {
 public:
  // Makes the file current and reads its lines (a missing or unreadable file reads as empty).
  void SetIniFile(std::string path);
  void SetIniSector(std::string section);

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
  void IniWriteStr(std::string_view key, std::string_view value);

  // Writes the lines to the current file through a temporary file renamed into place.
  bool Flush() const;

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::string path_;
  std::string section_;
  std::vector<std::string> lines_;
  std::string line_end_ = "\r\n";
};

}  // namespace tarn
