// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/qt_text.h"

#include <cstring>

#include "common/code_page.h"

namespace tarn {

void MarshalString(const QString& s, std::string& narrow) {
  narrow = Utf8ToNarrow(ToUtf8(s));
}

void MarshalString(const QString& s, std::u16string& wide) {
  wide.assign(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

void MarshalString(const QString& s, char* field, std::size_t field_size) {
  CopyToField(field, field_size, Utf8ToNarrow(ToUtf8(s)));
}

QString Chars2SysStr(const char* narrow) {
  if (narrow == nullptr) return {};
  return FromUtf8(NarrowToUtf8(std::string_view(narrow, std::strlen(narrow))));
}

QString Wstr2SysStr(std::u16string wide) {
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

}  // namespace tarn
