// SPDX-License-Identifier: GPL-3.0-or-later
// Moves text between QString and the narrow (Windows-1252) text of records and files.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace tarn {

void MarshalString(const QString& s, std::string& narrow);  // to Windows-1252 bytes
void MarshalString(const QString& s, std::u16string& wide);
// Into a fixed field of field_size bytes: cut to fit, always NUL-terminated.
void MarshalString(const QString& s, char* field, std::size_t field_size);
template <std::size_t N>
void MarshalString(const QString& s, char (&field)[N]) {
  MarshalString(s, field, N);
}
QString Chars2SysStr(const char* narrow);  // up to the first NUL
QString Wstr2SysStr(std::u16string wide);

// A UTF-8 path or text of the core as QString, and back.
inline QString FromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), s.size());
}
inline std::string ToUtf8(const QString& s) {
  return s.toUtf8().toStdString();
}

}  // namespace tarn
