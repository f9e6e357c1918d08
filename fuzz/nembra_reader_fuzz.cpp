// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes as an instrument data file (read from memory), indexed, its first
// and last tags read, then the last exported; also the line classifier on the raw bytes. Run it
// with -max_len=1024, as the README says.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/analysis_export.h"
#include "analysis/nembra_reader.h"
#include "analysis/token_tables.h"
#include "graph/grp_values.h"
#include "settings/settings.h"

namespace {

class Silent : public tarn::Notifier {
 public:
  void Error(std::string_view) override {}
};

std::string TempPath(const char* name) {
  return "/tmp/tarn-fuzz-" + std::to_string(static_cast<long>(getpid())) + name;
}

// Where the export goes: a folder that does not exist, so nothing is ever written.
struct TempFiles {
  std::string input = TempPath(".nid");
  std::string output = TempPath(".csv");
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const TempFiles files;
  const std::string& input = files.input;
  const std::string& output = files.output;
  static auto grp = std::make_unique<tarn::_grp_values_>();
  static tarn::_basic_set_ setup{};
  static Silent silent;
  setup.pi_of_tubular = 312.5;

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The line classifiers on the first line as it stands (the reader hands them every other
  // line, cut at its own length); the whole input would only repeat their work.
  const std::string_view first = bytes.substr(0, std::min(bytes.find('\n'), std::size_t{512}));
  int32_t code = 0;
  tarn::apParseLine(first, &code);
  int32_t pos = 0;
  tarn::GetNextStr(",", first, &pos);
  tarn::apGetProbeType(first);

  // An empty text would mean "read the file": one byte that no reading rule uses stands in.
  const std::string_view text = size > 0 ? bytes : std::string_view("\n", 1);
  tarn::NembraReader reader(*grp, setup, &silent);
  reader.SetMemoryFile(text);
  reader.Open(input);
  reader.FileName = input;
  // Each tag runs the same code over its own stretch, and a data marker without a tag line of
  // its own shares the stretches of those after it: reading every tag of such an input costs the
  // square of its length. The first and the last tag are read; the export below formats the
  // last one's readings as the table shows them.
  if (reader.tag_count > 0) {
    if (reader.tag_count > 1) reader.GetData(0);
    reader.GetData(reader.tag_count - 1);
    // Into a folder that does not exist: the text is built whole, then the save is refused
    // before any disk sync, which would slow the run a hundredfold.
    (void)tarn::SaveCsv(reader, output + ".missing/out.csv");
  }
  return 0;
}
