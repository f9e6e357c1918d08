#include "analysis/line_reader.h"

namespace tarn {

LineReader::LineReader(FILE* file, int64_t offset, std::size_t block_size)
    : file_(file), buffer_(block_size), offset_(offset) {}
bool LineReader::Next(std::string_view*) {
  return false;
}
bool LineReader::Fill() {
  return false;
}

}  // namespace tarn
