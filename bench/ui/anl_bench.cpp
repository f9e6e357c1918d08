// SPDX-License-Identifier: GPL-3.0-or-later
// Selecting a tag of 65535 readings on the analysis screen, end to end: the reader reads the
// tag, both grids are refilled and laid out, and the corrosion-rate line is made.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <string>

#include "analysis/ui/anl.h"
#include "common/date_time.h"
#include "graph/ui/graph_records.h"
#include "settings/ui/settings_records.h"

namespace {

using namespace tarn;

// Two ER tags of 65535 readings each, one a minute, so that every selection changes the tag.
QByteArray BigFile() {
  DateTime base;
  MakeDateTime(2020, 1, 1, 0, 0, 0, &base);
  std::string text;
  text.reserve(2 * 65535 * 40);
  for (const char* tag : {"BIG-1", "BIG-2"}) {
    text += std::string("TAG NUMBER : ") + tag +
            "\nPROBE TYPE : FLUSH\nTHICKNESS : 10\nSTART TIME : 01/01/2020 00:00:00\nRS_RR\n";
    for (int i = 0; i < 65535; ++i) {
      text += std::to_string(i + 1) + " " + TimeSpan2Str(base, i) + ":00 " +
              std::to_string(1.0 + i * 1e-6) + " 0\n";
    }
  }
  return QByteArray::fromStdString(text);
}

void BM_SelectBigTag(benchmark::State& state) {
  QTemporaryDir dir;
  QDir(dir.path()).mkpath("DOWNLOAD");
  DataPath = (dir.path() + "/").toStdString();
  const QString path = dir.path() + "/DOWNLOAD/big.nid";
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(BigFile());
  f.close();

  Anl anl;
  anl.resize(883, 656);
  anl.show();
  anl.exec_file_dialog = [&](QFileDialog* d) {
    d->selectFile(path);
    return true;
  };
  anl.OpenData();
  QApplication::processEvents();
  auto* list = anl.findChild<QListWidget*>("lstBox");
  auto* grid = anl.findChild<QTableView*>("gView");
  int row = 0;
  for (auto _ : state) {
    row = 1 - row;
    list->setCurrentRow(row);
    // Lay out and paint the refilled grid as the event loop would.
    grid->viewport()->repaint();
    QApplication::processEvents();
    benchmark::DoNotOptimize(anl.CrateStr);
  }
  if (grid->model()->rowCount() != 65535) state.SkipWithError("the grid does not hold the tag");
  state.counters["rows"] = grid->model()->rowCount();
}
BENCHMARK(BM_SelectBigTag)->Unit(benchmark::kMillisecond);

// The reader's share of the above: the same selections without the screen.
void BM_ReadBigTagOnly(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string path = (dir.path() + "/big.nid").toStdString();
  QFile f(QString::fromStdString(path));
  f.open(QIODevice::WriteOnly);
  f.write(BigFile());
  f.close();
  NembraReader reader(vGrpData, vSetup, nullptr);
  reader.Open(path);
  reader.FileName = path;
  int row = 0;
  for (auto _ : state) {
    row = 1 - row;
    reader.cur_tag = row;
    reader.GetData(row);
    benchmark::DoNotOptimize(reader.record_count);
  }
}
BENCHMARK(BM_ReadBigTagOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
