// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export graph: the picture the graph window's "Save" writes right after it opens on a tag.
#include <QByteArray>
#include <QLocale>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/nembra_reader.h"
#include "app/export_commands.h"
#include "common/atomic_file.h"
#include "common/user_paths.h"
#include "graph/graph_view.h"
#include "graph/grp_values.h"
#include "graph/ui/graph_picture.h"
#include "graph/ui/qimage_surface.h"
#include "settings/settings.h"

namespace tarn {

namespace {

constexpr int kDefaultPanelW = 1024;
constexpr int kDefaultPanelH = 600;
// Beyond this a 32-bit ARGB bitmap no longer fits comfortably in memory.
constexpr double kMaxPanelSide = 16384;

// "--bmp", "--png", "--svg", "--pdf".
const PictureType* OutputOption(std::string_view name) {
  for (const PictureType& t : kPictureTypes) {
    if (name.substr(0, 2) == "--" && name.substr(2) == t.suffix) return &t;
  }
  return nullptr;
}

bool ParseSize(std::string_view text, int* w, int* h) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  int64_t width = 0, height = 0;
  if (!ParseWhole(text.substr(0, x), 1, kMaxPanelSide, &width) ||
      !ParseWhole(text.substr(x + 1), 1, kMaxPanelSide, &height)) {
    return false;
  }
  *w = static_cast<int>(width);
  *h = static_cast<int>(height);
  return true;
}

int RunGraph(const ParsedArgs& args) {
  std::vector<std::pair<PictureFormat, std::string>> outs;
  for (const GivenOption& g : args.options()) {
    if (const PictureType* type = OutputOption(g.decl->name))
      outs.emplace_back(type->format, g.text);
  }
  if (args.words().empty() || outs.empty() || !args.Has("--tag")) {
    std::fputs(HelpText(args.decl()).c_str(), stderr);
    return 2;
  }
  int panel_w = kDefaultPanelW;
  int panel_h = kDefaultPanelH;
  if (const std::string* size = args.Text("--size");
      size && !ParseSize(*size, &panel_w, &panel_h)) {
    return args.Refuse("--size needs WIDTHxHEIGHT in pixels, such as 1024x600");
  }
  const std::string& file = args.words()[0];
  const auto tag = static_cast<int>(*args.Whole("--tag"));

  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  // Read only: the settings file belongs to the program.
  vaLoadCfg(UserCfgFile(), setup, unit);

  auto grp = std::make_unique<_grp_values_>();
  FirstMessage message;
  NembraReader reader(*grp, setup, &message);
  reader.Open(file);
  if (!message.empty()) return Fail(message.text() + " (" + file + ")");
  if (reader.file_type < 0) return Fail("Unknown file type. (" + file + ")");
  if (tag >= reader.tag_count) {
    return Fail("tag " + std::to_string(tag) + " is out of range: the file holds " +
                std::to_string(reader.tag_count) + " tag(s)");
  }
  reader.FileName = file;
  reader.cur_tag = tag;
  reader.GetData(tag);
  if (!message.empty()) return Fail(message.text() + " (" + file + ")");
  if (grp->count < 2) {
    return Fail("tag " + std::to_string(tag) + " holds " + std::to_string(grp->count) +
                " reading(s); a graph needs at least two");
  }

  OffscreenGui gui;
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.SetDecimalSeparator(QLocale::system().decimalPoint().toStdString());
  view.gInit(panel_w, panel_h);
  view.RedrawGraph();

  for (const auto& [format, out] : outs) {
    QByteArray bytes;
    if (!EncodeGraphPicture(view, format, &bytes)) return Fail("the picture could not be encoded");
    if (Status saved = WriteFileAtomically(out, std::string_view(bytes.constData(), bytes.size()));
        !saved) {
      return Fail("cannot write '" + out + "': " + saved.message);
    }
  }
  return 0;
}

constexpr OptionDecl kGraphOptions[] = {
    {.name = "--tag",
     .value = "N",
     .repeatable = true,  // the last one counts, as it always has
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = 1000000,
     .refusal = "--tag needs a tag index from 0",
     .help = "the tag, counted from 0 as 'tarn-export tags' lists them"},
    {.name = "--bmp", .value = "OUT", .repeatable = true, .help = "writes a BMP bitmap to OUT"},
    {.name = "--png", .value = "OUT", .repeatable = true, .help = "writes a PNG image to OUT"},
    {.name = "--svg", .value = "OUT", .repeatable = true, .help = "writes an SVG drawing to OUT"},
    {.name = "--pdf", .value = "OUT", .repeatable = true, .help = "writes a PDF page to OUT"},
    {.name = "--size",
     .value = "WxH",
     .repeatable = true,  // the last one counts, as it always has
     .help = "the plot panel in pixels, each side 1 to 16384 (default 1024x600)"},
};

}  // namespace

const CommandDecl kGraphCommand = {
    .path = "graph",
    .synopsis = "FILE --tag N (--bmp OUT | --png OUT | --svg OUT | --pdf OUT)... [--size WxH]",
    .about =
        "Writes the picture that the graph window saves right after opening on tag N (from 0, as\n"
        "'tarn-export tags' lists them) with a plot panel of W by H pixels (default 1024x600; the\n"
        "bitmap is never smaller than 640x400), using the colours, line widths and Y range of the\n"
        "user's settings file. BMP and PNG hold the same pixels; SVG and PDF are the same drawing\n"
        "with vector lines and real text. Several outputs may be given at once.\n",
    .options = kGraphOptions,
    .max_words = 1,
    .messages = {.unknown_option = "unknown or incomplete option '{}' (try graph --help)",
                 .missing_value = "unknown or incomplete option '{}' (try graph --help)",
                 .too_many_words = "unexpected argument '{}' (try graph --help)"},
    .run = RunGraph,
};

}  // namespace tarn
