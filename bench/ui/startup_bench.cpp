// SPDX-License-Identifier: GPL-3.0-or-later
// Start to window shown: whole processes, timed from the start of the process to the end of the
// window's first paint. Tarn's main window beside a bare QWidget shown by the same executable
// (so the same Qt modules are loaded: Core, Gui, Widgets, PrintSupport, SerialPort, Svg, DBus,
// and tarn's own code), taken in turns so both see the same load. The children run offscreen
// with a private HOME, so the settings and data folders are those of a first start only once.
// A third child, the bare window with one line of text, shows what starting the font system
// (fontconfig, the first faces and glyphs) costs any window that shows words.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_form.h"

extern char** environ;

namespace {

// Ends the child once the window (or a widget in it) has painted the first time: what comes after
// (closing the window, saving settings, tearing down) is not part of the start.
class QuitAfterPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      QTimer::singleShot(0, qApp, [] { std::_Exit(0); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool done_ = false;
};

enum class Window { kTarn, kBare, kBareWithText };

// The child: the start-up of tarn's main(), or a bare window.
int Child(int argc, char** argv, Window window) {
  QApplication app(argc, argv);
  QuitAfterPaint quit;
  app.installEventFilter(&quit);
  if (window == Window::kTarn) {
    QApplication::setApplicationName(QStringLiteral("tarn"));
    QApplication::setFont(QFont(QStringLiteral("Verdana"), 9));
    tarn::MainForm form(nullptr, tarn::MainForm::Dialogs::kOnFirstUse);
    form.show();
    return app.exec();
  }
  QWidget bare;
  bare.resize(1024, 800);
  if (window == Window::kBareWithText) {
    auto* text = new QLabel(QStringLiteral("Corrosion Monitoring Program"), &bare);
    text->move(20, 20);
  }
  bare.show();
  return app.exec();
}

std::string self_path;

// Wall time of one child process in ms.
double RunChild(const char* mode) {
  std::vector<char*> args = {self_path.data(), const_cast<char*>(mode), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, self_path.c_str(), nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::milli>(end - start).count();
}

void BM_StartToWindowShown(benchmark::State& state) {
  double tarn = 1e9, bare = 1e9, text = 1e9;
  for (auto _ : state) {
    const double b = RunChild("--child=bare");
    const double t = RunChild("--child=tarn");
    const double x = RunChild("--child=text");
    if (b < 0 || t < 0 || x < 0) {
      state.SkipWithError("a child failed");
      return;
    }
    bare = std::min(bare, b);
    tarn = std::min(tarn, t);
    text = std::min(text, x);
  }
  state.counters["tarn_ms"] = tarn;
  state.counters["bare_ms"] = bare;
  state.counters["ratio"] = tarn / bare;
  state.counters["text_ms"] = text;
  state.counters["ratio_to_text"] = tarn / text;
}
BENCHMARK(BM_StartToWindowShown)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0) {
    const Window window = std::strcmp(argv[1], "--child=tarn") == 0   ? Window::kTarn
                          : std::strcmp(argv[1], "--child=text") == 0 ? Window::kBareWithText
                                                                      : Window::kBare;
    return Child(argc, argv, window);
  }
  self_path = std::filesystem::canonical("/proc/self/exe").string();
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("tarn-start-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}
