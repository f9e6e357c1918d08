// SPDX-License-Identifier: GPL-3.0-or-later
// Download speed and idle cost of the download screen through a real pseudo-terminal:
// 65536 lines of 40 characters sent as fast as the terminal takes them, long text without line
// feeds, and a silent instrument with the port open for 10 s.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <thread>

#include "../../tests/ui/serial_pty.h"
#include "download/port_name.h"
#include "download/ui/elpr.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void PrepareScreen(Elpr& elpr, const testing::PtyPair& pty) {
  vSetup = _basic_set_{};
  vSetup.port = PortNumberFromName(pty.name());
  vSetup.baud = 11;
  vSetup.data = 1;
  elpr.SetCurScr(1);
  elpr.show();
}

void BM_Download65536Lines(benchmark::State& state) {
  for (auto _ : state) {
    testing::PtyPair pty;
    Elpr elpr;
    PrepareScreen(elpr, pty);
    auto* pane = elpr.findChild<QPlainTextEdit*>("erText");
    auto* open = elpr.findChild<QPushButton*>("btnOpenPort");
    constexpr int kLines = 65536;
    std::string data;
    for (int i = 0; i < kLines; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%6d 01/02/2020 10:20:30 1.2345 24.%03d X\r\n", i, i % 1000);
      data += line;  // 40 characters and CR LF
    }
    std::chrono::steady_clock::time_point start, end;
    double cpu0 = 0, cpu1 = 0;
    QTimer::singleShot(0, [&] {
      start = std::chrono::steady_clock::now();
      cpu0 = ThreadCpuSeconds();
      std::thread([&pty, &data] { pty.Write(data); }).detach();
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (pane->document()->blockCount() > kLines) {
        end = std::chrono::steady_clock::now();
        cpu1 = ThreadCpuSeconds();
        open->click();
      }
    });
    poll.start();
    open->click();
    poll.stop();
    QString text = pane->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    QString expected = QString::fromLatin1(data.data(), static_cast<qsizetype>(data.size()));
    expected.remove(QLatin1Char('\r'));
    const double wall = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(wall);
    state.counters["seconds_to_last_line"] = wall;
    state.counters["window_thread_cpu_s"] = cpu1 - cpu0;
    state.counters["all_lines_in_order"] = text == expected ? 1 : 0;
  }
}
BENCHMARK(BM_Download65536Lines)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Text without any line feed, as fast as the terminal takes it: the pane must keep up with
// 115200 baud (11.5 KB/s) with time to spare, so the figure to watch is KB per CPU second.
void BM_DownloadWithoutLineFeeds(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * 1024;
  for (auto _ : state) {
    testing::PtyPair pty;
    Elpr elpr;
    PrepareScreen(elpr, pty);
    auto* pane = elpr.findChild<QPlainTextEdit*>("erText");
    auto* open = elpr.findChild<QPushButton*>("btnOpenPort");
    std::string data(bytes, ' ');
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>('A' + i % 26);
    std::chrono::steady_clock::time_point start, end;
    double cpu0 = 0, cpu1 = 0;
    QTimer::singleShot(0, [&] {
      start = std::chrono::steady_clock::now();
      cpu0 = ThreadCpuSeconds();
      std::thread([&pty, &data] { pty.Write(data); }).detach();
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      // Each shown pane line of a long line holds 4096 characters and a separator.
      if (pane->document()->characterCount() >= static_cast<int>(bytes + bytes / 4096)) {
        end = std::chrono::steady_clock::now();
        cpu1 = ThreadCpuSeconds();
        open->click();
      }
    });
    poll.start();
    open->click();
    poll.stop();
    QString text = pane->document()->toRawText();
    text.remove(QChar::ParagraphSeparator);
    const double wall = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(wall);
    state.counters["seconds_to_last_byte"] = wall;
    state.counters["window_thread_cpu_s"] = cpu1 - cpu0;
    state.counters["kB_per_cpu_s"] = bytes / 1024.0 / (cpu1 - cpu0);
    state.counters["all_bytes_in_order"] = text == QString::fromLatin1(data) ? 1 : 0;
  }
}
BENCHMARK(BM_DownloadWithoutLineFeeds)
    ->Arg(256)
    ->Arg(1024)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void BM_IdleOpenPort10s(benchmark::State& state) {
  for (auto _ : state) {
    testing::PtyPair pty;
    Elpr elpr;
    PrepareScreen(elpr, pty);
    auto* open = elpr.findChild<QPushButton*>("btnOpenPort");
    double cpu0 = 0, cpu1 = 0;
    QTimer::singleShot(0, [&] { cpu0 = ProcessCpuSeconds(); });
    QTimer::singleShot(10000, [&] {
      cpu1 = ProcessCpuSeconds();
      open->click();
    });
    open->click();
    state.SetIterationTime(10.0);
    state.counters["idle_cpu_percent_of_a_core"] = (cpu1 - cpu0) / 10.0 * 100.0;
  }
}
BENCHMARK(BM_IdleOpenPort10s)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
