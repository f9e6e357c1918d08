// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window's event loop stalls while the analysis screen opens a generated 1 GB
// data file: a 2 ms heartbeat timer records its longest gap. Beside it, the same heartbeat on
// an idle loop (the floor) and the gap when the file is read on the window's own thread.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/ui/anl.h"
#include "common/date_time.h"
#include "settings/ui/settings_records.h"

namespace {

using namespace tarn;

constexpr int64_t kFileBytes = int64_t{1} << 30;

// 100 ER tags of 65535 readings, repeated up to 1 GB (the index keeps the first 100 tags).
class BigFile {
 public:
  BigFile() {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarn-stall-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(dir_ / "DOWNLOAD");
    path_ = (dir_ / "DOWNLOAD" / "huge.nid").string();
    FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) std::abort();
    DateTime start;
    MakeDateTime(2020, 1, 1, 8, 0, 30, &start);
    std::string all;
    char line[96];
    for (int t = 0; t < 100; ++t) {
      all += "TAG NUMBER : P-" + std::to_string(t) +
             "\nPROBE TYPE : FLUSH\nTHICKNESS : 10\nSTART TIME : 01/01/2020 08:00:30\nRS_RR\n";
      for (int i = 0; i < 65535; ++i) {
        const std::string when = DateTime2Str(DateTime{start.ticks + i * 60 * kTicksPerMinute});
        const int n = std::snprintf(line, sizeof line, "%d %s %.4f 100.0\n", i + 1, when.c_str(),
                                    1.0 + i * 1e-5);
        all.append(line, static_cast<std::size_t>(n));
      }
    }
    while (written_ < kFileBytes) {
      written_ += static_cast<int64_t>(std::fwrite(all.data(), 1, all.size(), f));
    }
    std::fclose(f);
  }
  ~BigFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string dir() const { return dir_.string() + "/"; }
  const std::string& path() const { return path_; }
  int64_t size() const { return written_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
  int64_t written_ = 0;
};

const BigFile& File() {
  static BigFile file;
  return file;
}

// Called when the file dialog is answered: the time the user spends in the dialog's own event
// loop is no stall of the window.
std::function<void()> dialog_answered;

// Runs the event loop with a 2 ms heartbeat until done() holds (at least min_ms); returns the
// longest gap between beats in ms, the loop's own stalls included.
double LongestGap(const std::function<void()>& start, const std::function<bool()>& done,
                  int min_ms) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longest = 0;
  QTimer beat;
  beat.setTimerType(Qt::PreciseTimer);
  beat.setInterval(2);
  QObject::connect(&beat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  beat.start();
  QApplication::processEvents();
  last = clock.nsecsElapsed();
  dialog_answered = [&] { last = clock.nsecsElapsed(); };
  start();
  dialog_answered = nullptr;
  const qint64 now = clock.nsecsElapsed();
  longest = std::max(longest, now - last);
  last = now;
  while (!done() || clock.elapsed() < min_ms) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return static_cast<double>(longest) / 1e6;
}

void BM_OpenStall(benchmark::State& state) {
  const BigFile& file = File();
  DataPath = file.dir();
  const bool worker = state.range(0) != 0;
  Anl anl;
  anl.resize(883, 656);
  anl.show();
  if (!worker) anl.worker_from_bytes = INT64_MAX;
  anl.exec_file_dialog = [&](QFileDialog* d) {
    d->selectFile(QString::fromStdString(file.path()));
    if (dialog_answered) dialog_answered();
    return true;
  };
  double stall = 0, idle = 0, seconds = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    stall =
        std::max(stall, LongestGap([&] { anl.OpenData(); }, [&] { return !anl.isLoading(); }, 0));
    seconds = t.elapsed() / 1e3;
    idle = std::max(idle, LongestGap([] {}, [] { return true; }, static_cast<int>(seconds * 1000)));
  }
  if (anl.reader().tag_count != 100) state.SkipWithError("wrong tag count");
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
  state.counters["open_s"] = seconds;
  state.counters["stall_ms"] = stall;
  state.counters["idle_floor_ms"] = idle;
}
BENCHMARK(BM_OpenStall)
    ->ArgName("worker")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
