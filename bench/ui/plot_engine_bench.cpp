// SPDX-License-Identifier: GPL-3.0-or-later
// Redraw and pointer-move costs of the graph on a 1920 by 1080 QImage, with a full series of
// 65535 samples and a short one of 2000; beside them a redraw after a zoom and the copy of the
// bitmap, the floor of any redraw.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstring>
#include <memory>

#include "common/date_time.h"
#include "graph/graph_view.h"
#include "graph/grp_values.h"
#include "graph/ui/qimage_surface.h"

namespace tarn {
namespace {

std::unique_ptr<_grp_values_> MakeSeries(int n) {
  auto grp = std::make_unique<_grp_values_>();
  DateTime base;
  MakeDateTime(2020, 1, 1, 0, 0, 0, &base);
  int p = 0;
  for (int i = 0; i < n; ++i) {
    const double v = 0.002 * i + 3.0 * std::sin(i / 50.0) + 0.5 * std::sin(i * 1.7);
    if (StoreGrpSample(*grp, p, TimeSpan2Str(base, 10.0 * i) + ":00", v)) ++p;
  }
  FinishGrpValues(*grp, p, 0, "BENCH");
  return grp;
}

_basic_set_ Settings() {
  _basic_set_ s{};
  s.y_low = 0;
  s.y_high = 10;
  s.data_color = static_cast<int32_t>(0xFF0000FFu);
  s.trend_color = static_cast<int32_t>(0xFFFF0000u);
  s.data_line = 1.0f;
  s.trend_line = 1.0f;
  return s;
}

void BM_FullRedraw(benchmark::State& state) {
  auto grp = MakeSeries(static_cast<int>(state.range(0)));
  const _basic_set_ setup = Settings();
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.gInit(1920, 1080);
  view.RedrawGraph();
  for (auto _ : state) {
    view.BaseGraph();
    view.DrawGraph();
  }
  state.counters["samples"] = grp->count;
}
BENCHMARK(BM_FullRedraw)->Arg(65535)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A redraw after each zoom: the range changes every time, so the background is drawn, not kept.
void BM_RedrawNewRange(benchmark::State& state) {
  auto grp = MakeSeries(65535);
  const _basic_set_ setup = Settings();
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.gInit(1920, 1080);
  view.RedrawGraph();
  const int end = grp->elapsed[grp->count - 1];
  int i = 0;
  for (auto _ : state) {
    view.engine.grMinx = 0;
    view.engine.grMaxx = (i++ & 1) ? end : end - 20000;
    view.BaseGraph();
    view.DrawGraph();
  }
}
BENCHMARK(BM_RedrawNewRange)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of any redraw of this bitmap: copying its 1920 by 1080 pixels once.
void BM_BitmapCopyFloor(benchmark::State& state) {
  QImage from(1920, 1080, QImage::Format_ARGB32), to(1920, 1080, QImage::Format_ARGB32);
  from.fill(Qt::white);
  to.fill(Qt::black);
  for (auto _ : state) {
    std::memcpy(to.bits(), from.constBits(), static_cast<size_t>(from.sizeInBytes()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BitmapCopyFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// Like BM_FullRedraw with a 2-pixel data line (the settings allow 1 to 5).
void BM_FullRedrawWideLine(benchmark::State& state) {
  auto grp = MakeSeries(65535);
  _basic_set_ setup = Settings();
  setup.data_line = static_cast<float>(state.range(0));
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.gInit(1920, 1080);
  view.RedrawGraph();
  for (auto _ : state) {
    view.BaseGraph();
    view.DrawGraph();
  }
}
BENCHMARK(BM_FullRedrawWideLine)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// During a drag: erase and draw the moving vertical and horizontal dotted lines.
void BM_DragLines(benchmark::State& state) {
  auto grp = MakeSeries(65535);
  const _basic_set_ setup = Settings();
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.gInit(1920, 1080);
  view.RedrawGraph();
  PlotEngine& e = view.engine;
  int x = 600, y = 500;
  e.sX2 = x;
  e.sY2 = y;
  e.gXorLiney(e.gY1, e.gY2, x);
  e.gXorLinex(e.gX1, e.gX2, y);
  for (auto _ : state) {
    e.gXorLiney(e.gY1, e.gY2, e.sX2);
    e.gXorLinex(e.gX1, e.gX2, e.sY2);
    x = x == 600 ? 601 : 600;
    y = y == 500 ? 501 : 500;
    e.gXorLiney(e.gY1, e.gY2, x);
    e.gXorLinex(e.gX1, e.gX2, y);
    e.sX2 = x;
    e.sY2 = y;
  }
}
BENCHMARK(BM_DragLines)->Unit(benchmark::kMicrosecond);

// The whole pointer move during a drag, read-out search over all samples included.
void BM_PointerMoveWhileDragging(benchmark::State& state) {
  auto grp = MakeSeries(65535);
  const _basic_set_ setup = Settings();
  GraphView view(*grp, setup, QImageSurface::Factory());
  view.gInit(1920, 1080);
  view.RedrawGraph();
  view.OnMouseDown(kMouseLeft, 400, 400);
  int x = 1500;
  for (auto _ : state) {
    benchmark::DoNotOptimize(view.OnMouseMove(kMouseLeft, x, 600));
    x = x == 1500 ? 1501 : 1500;
  }
}
BENCHMARK(BM_PointerMoveWhileDragging)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
