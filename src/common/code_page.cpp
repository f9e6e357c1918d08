#include "common/code_page.h"

#include <cstring>

namespace tarn {

// Placeholder until the conversions land.
std::string Utf8ToNarrow(std::string_view utf8) {
  return std::string(utf8);
}
std::string NarrowToUtf8(std::string_view narrow) {
  return std::string(narrow);
}

void CopyToField(char* field, std::size_t field_size, std::string_view bytes) {
  if (field == nullptr || field_size == 0) return;
  std::size_t n = bytes.size() < field_size - 1 ? bytes.size() : field_size - 1;
  std::memcpy(field, bytes.data(), n);
  field[n] = '\0';
}

std::string_view FieldText(const char* field, std::size_t field_size) {
  const void* nul = std::memchr(field, '\0', field_size);
  return std::string_view(field, nul ? static_cast<const char*>(nul) - field : field_size);
}

}  // namespace tarn
