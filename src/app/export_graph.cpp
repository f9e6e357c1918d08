// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export graph: the picture the graph window's "Save" writes right after it opens on a tag.
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
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

const char kGraphUsage[] =
    "usage: tarn-export graph FILE --tag N (--bmp OUT | --png OUT | --svg OUT | --pdf OUT)...\n"
    "                         [--size WxH]\n"
    "  Writes the picture that the graph window saves right after opening on tag N (from 0, as\n"
    "  'tarn-export tags' lists them) with a plot panel of W by H pixels (default 1024x600; the\n"
    "  bitmap is never smaller than 640x400), using the colours, line widths and Y range of the\n"
    "  user's settings file. BMP and PNG hold the same pixels; SVG and PDF are the same drawing\n"
    "  with vector lines and real text. Several outputs may be given at once.\n";

constexpr int kDefaultPanelW = 1024;
constexpr int kDefaultPanelH = 600;

// The reader's one message, kept to be printed once by the command.
class FirstMessage : public Notifier {
 public:
  void Error(std::string_view text) override {
    if (text_.empty()) text_.assign(text);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// "--bmp", "--png", "--svg", "--pdf".
const PictureType* OutputOption(const char* arg) {
  for (const PictureType& t : kPictureTypes) {
    if (arg[0] == '-' && arg[1] == '-' && std::strcmp(arg + 2, t.suffix) == 0) return &t;
  }
  return nullptr;
}

bool ParseInt(const char* text, int* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*end != '\0' || v < 0 || v > 1000000) return false;
  *out = static_cast<int>(v);
  return true;
}

bool ParseSize(const char* text, int* w, int* h) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) x = std::strchr(text, 'X');
  if (x == nullptr) return false;
  const std::string ws(text, x);
  if (!ParseInt(ws.c_str(), w) || !ParseInt(x + 1, h)) return false;
  // Beyond this a 32-bit ARGB bitmap no longer fits comfortably in memory.
  return *w > 0 && *h > 0 && *w <= 16384 && *h <= 16384;
}

int Fail(const std::string& text, int code = 1) {
  std::fprintf(stderr, "tarn-export: %s\n", text.c_str());
  return code;
}

// Qt needs a platform plugin even for off-screen drawing; without a display use the offscreen one.
void ChooseHeadlessPlatform() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace

int RunGraphCommand(int argc, char** argv) {
  const char* file = nullptr;
  std::vector<std::pair<PictureFormat, std::string>> outs;
  int tag = -1;
  int panel_w = kDefaultPanelW;
  int panel_h = kDefaultPanelH;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fputs(kGraphUsage, stdout);
      return 0;
    }
    const bool has_value = i + 1 < argc;
    if (std::strcmp(a, "--tag") == 0 && has_value) {
      if (!ParseInt(argv[++i], &tag)) return Fail("--tag needs a tag index from 0", 2);
    } else if (const PictureType* type = OutputOption(a); type != nullptr && has_value) {
      outs.emplace_back(type->format, argv[++i]);
    } else if (std::strcmp(a, "--size") == 0 && has_value) {
      if (!ParseSize(argv[++i], &panel_w, &panel_h)) {
        return Fail("--size needs WIDTHxHEIGHT in pixels, such as 1024x600", 2);
      }
    } else if (a[0] == '-' && a[1] != '\0') {
      return Fail(std::string("unknown or incomplete option '") + a + "' (try graph --help)", 2);
    } else if (file == nullptr) {
      file = a;
    } else {
      return Fail(std::string("unexpected argument '") + a + "' (try graph --help)", 2);
    }
  }
  if (file == nullptr || outs.empty() || tag < 0) {
    std::fputs(kGraphUsage, stderr);
    return 2;
  }

  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  // Read only: the settings file belongs to the program.
  vaLoadCfg(UserCfgFile(), setup, unit);

  auto grp = std::make_unique<_grp_values_>();
  FirstMessage message;
  NembraReader reader(*grp, setup, &message);
  reader.Open(file);
  if (!message.text().empty()) return Fail(message.text() + " (" + file + ")");
  if (reader.file_type < 0) return Fail(std::string("Unknown file type. (") + file + ")");
  if (tag >= reader.tag_count) {
    return Fail("tag " + std::to_string(tag) + " is out of range: the file holds " +
                std::to_string(reader.tag_count) + " tag(s)");
  }
  reader.FileName = file;
  reader.cur_tag = tag;
  reader.GetData(tag);
  if (!message.text().empty()) return Fail(message.text() + " (" + file + ")");
  if (grp->count < 2) {
    return Fail("tag " + std::to_string(tag) + " holds " + std::to_string(grp->count) +
                " reading(s); a graph needs at least two");
  }

  ChooseHeadlessPlatform();
  QTemporaryDir runtime;
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  }
  int qt_argc = 1;
  char name[] = "tarn-export";
  char* qt_argv[] = {name, nullptr};
  QGuiApplication app(qt_argc, qt_argv);

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

}  // namespace tarn
