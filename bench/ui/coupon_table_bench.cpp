// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a coupon data file of 65535 coupons on the coupon screen, end to end: the file is
// read, the table rebuilt and painted, and the last coupon shown in the fields.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/coupon_records.h"
#include "settings/ui/settings_records.h"

namespace {

using namespace tarn;

class Quiet : public Notifier {
 public:
  void Error(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
};

// A full store of catalogue coupons of all three shapes, saved through the core.
bool WriteFullStore(const std::string& path) {
  static CouponStore store;
  DateTime now;
  MakeDateTime(2026, 1, 1, 8, 0, 0, &now);
  for (int i = 0; i < kCouponCapacity; ++i) {
    _coupon_values_& c = store.items[i];
    ResetCoupon(c, now);
    std::snprintf(c.tag, sizeof c.tag, "C%05d", i);
    ApplyCouponType(c, 1 + i % 16);
    ApplyAlloy(c, 1 + i % 33);
    c.density = 7.94;
    c.weight_init = 10.0 + i * 1e-4;
    c.weight_final = c.weight_init - 0.1;
    c.exposure = 720.0;
    c.metal_loss = 0.0058;
    c.corr_rate = 0.7022;
  }
  store.record_count = kCouponCapacity;
  Quiet quiet;
  return Save(path, store, quiet);
}

void BM_OpenFullCouponFile(benchmark::State& state) {
  QTemporaryDir dir;
  QDir(dir.path()).mkpath("COUPON");
  DataPath = (dir.path() + "/").toStdString();
  const QString path = dir.path() + "/COUPON/full.CPN";
  if (!WriteFullStore(path.toStdString())) {
    state.SkipWithError("cannot write the coupon file");
    return;
  }
  for (auto& u : vUnit) u = {0, 1.0};
  Coupon screen;
  screen.resize(1280, 760);
  screen.show();
  QApplication::processEvents();
  screen.setFileDialogRunner([&](QFileDialog&, QString* chosen, QString*) {
    *chosen = path;
    return true;
  });
  auto* grid = screen.findChild<QTableView*>("gCpon");
  for (auto _ : state) {
    screen.OpenData();
    grid->viewport()->repaint();
    QApplication::processEvents();
  }
  if (grid->model()->rowCount() != kCouponCapacity) {
    state.SkipWithError("the table does not hold the file");
  }
  state.counters["rows"] = grid->model()->rowCount();
}
BENCHMARK(BM_OpenFullCouponFile)->Unit(benchmark::kMillisecond);

// A change of units redraws the same full table.
void BM_RedrawFullTable(benchmark::State& state) {
  vCponData.record_count = kCouponCapacity;
  Coupon screen;
  screen.resize(1280, 760);
  screen.show();
  QApplication::processEvents();
  auto* grid = screen.findChild<QTableView*>("gCpon");
  for (auto _ : state) {
    screen.PutTable();
    screen.PutValues();
    grid->viewport()->repaint();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_RedrawFullTable)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
