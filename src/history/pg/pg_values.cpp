// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_values.h"

#include <algorithm>
#include <ctime>

#include "common/code_page.h"
#include "common/date_time.h"
#include "history/pg/pg_connection.h"

namespace tarn {

namespace {

bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80         ? 1
                          : (b >> 5) == 6  ? 2
                          : (b >> 4) == 14 ? 3
                          : (b >> 3) == 30 ? 4
                                           : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

std::string ToServer(const std::string& narrow) {
  return NarrowToUtf8(narrow);
}
std::string FromServer(const std::string& utf8) {
  return Utf8ToNarrow(utf8);
}

// A file name is the system's own bytes: kept as they are when they are UTF-8.
std::string FileNameToServer(const std::string& name) {
  return ValidUtf8(name) ? name : NarrowToUtf8(name);
}

std::string NumberArray(const std::vector<double>& values) {
  std::string out = "{";
  for (double v : values) {
    if (out.size() > 1) out += ',';
    out += PgParam(v).text;
  }
  return out + "}";
}
std::string NumberArray(const std::vector<int64_t>& values) {
  std::string out = "{";
  for (int64_t v : values) {
    if (out.size() > 1) out += ',';
    out += std::to_string(v);
  }
  return out + "}";
}

}  // namespace tarn
