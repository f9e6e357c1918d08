// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "core/fake_surface.h"

namespace tarn {
namespace {

using testing::FakeSurface;

HistoryTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime t;
  MakeDateTime(y, mo, d, h, mi, s, &t);
  return t.ticks / kTicksPerSecond;
}

ProbeSummary Probe(int64_t id, const std::string& tag, const std::string& serial, int data_type,
                   const std::string& rate_unit = "mpy") {
  ProbeSummary p;
  p.id = id;
  p.key = {tag, serial, data_type};
  p.rate_unit = rate_unit;
  return p;
}

// The readings of each probe, served whole for any range (as the store does once a range holds
// fewer readings than its columns can show), with every read recorded.
struct Store {
  std::map<int64_t, std::vector<HistoryReading>> readings;
  struct Read {
    int64_t id;
    HistoryTime from, to;
    int32_t columns;
  };
  std::vector<Read> reads;

  // n readings every `step` seconds from `start`, value f(i); the probe's summary times follow.
  void Add(ProbeSummary& p, HistoryTime start, int n, int step, double (*f)(int)) {
    for (int i = 0; i < n; ++i) readings[p.id].push_back({start + int64_t(i) * step, f(i)});
    p.first_time = start;
    p.last_time = start + int64_t(n - 1) * step;
    p.count = n;
  }
  HistoryReader Reader() {
    return [this](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
      reads.push_back({id, from, to, columns});
      std::vector<HistoryReading> out;
      for (const HistoryReading& r : readings[id])
        if (r.time >= from && r.time <= to) out.push_back(r);
      return out;
    };
  }
};

struct Fixture {
  Store store;
  FakeSurface* surface = nullptr;
  HistoryGraph view{store.Reader(), FakeSurface::Factory(&surface)};
  void Show(const std::vector<ProbeSummary>& probes) {
    view.SetProbes(probes, 0xFF00FF00u, 0xFF000000u);
    view.gInit(800, 500, 0.0, 10.0);
    view.RedrawGraph();
  }
};

TEST(HistoryGraph, ReadsOncePerRangeAndAgainOnZoomAtTheNewRange) {
  Fixture f;
  ProbeSummary p = Probe(7, "CDU-1", "S1", 0);
  f.store.Add(p, At(2020, 1, 1), 2000, 3600, [](int i) { return i * 0.01; });
  f.Show({p});
  ASSERT_EQ(f.store.reads.size(), 1u);
  EXPECT_EQ(f.store.reads[0].from, p.first_time);
  EXPECT_EQ(f.store.reads[0].to, p.last_time);
  EXPECT_EQ(f.store.reads[0].columns, f.view.engine.gbW);

  f.view.RedrawGraph();  // a paint: nothing read
  EXPECT_EQ(f.store.reads.size(), 1u);

  // A drag over a quarter of the box in X zooms to it and reads just that range.
  auto& e = f.view.engine;
  const int x1 = e.gX1 + e.gbW / 4, x2 = e.gX1 + e.gbW / 2, y = (e.gY1 + e.gY2) / 2;
  f.view.SetDragOpt(1);
  f.view.OnMouseDown(kMouseLeft, x1, y);
  f.view.OnMouseMove(kMouseLeft, x2, y);
  EXPECT_TRUE(f.view.OnMouseUp(kMouseLeft, x2, y));
  ASSERT_EQ(f.store.reads.size(), 2u);
  const auto& zoom = f.store.reads[1];
  EXPECT_NEAR(double(zoom.from - p.first_time), 0.25 * (p.last_time - p.first_time), 3600 * 2);
  EXPECT_NEAR(double(zoom.to - p.first_time), 0.5 * (p.last_time - p.first_time), 3600 * 2);
  // The view snaps to the readings it found, each on the hour.
  EXPECT_EQ(e.grMinx % 3600, 0);
  EXPECT_EQ(e.grMaxx % 3600, 0);

  f.view.ViewAll();
  ASSERT_EQ(f.store.reads.size(), 3u);
  EXPECT_EQ(f.store.reads[2].from, p.first_time);
  EXPECT_EQ(f.store.reads[2].to, p.last_time);
}

TEST(HistoryGraph, RateOverTheViewAndTrendFollowTheProbe) {
  // One mil a day is 365 mpy (one mm a day 365 mm/y); corrosion-rate probes have no view rate.
  const struct {
    int data_type;
    const char* unit;
    const char* rate;
    const char* y_title;
  } cases[] = {{0, "mpy", "365.0000 mpy", "Metal Loss (mils)"},
               {4, "mm/y", "365.0000 mm/y", "Metal Loss (mm)"},
               {1, "mpy", "", "Corrosion Rate (mpy)"},
               {3, "", "", "Potential (mV)"}};
  for (const auto& c : cases) {
    Fixture f;
    ProbeSummary p = Probe(1, "T", "", c.data_type, c.unit);
    // Readings at 12:00:30 every day: seconds are kept.
    f.store.Add(p, At(2023, 5, 1, 12, 0, 30), 30, 86400, [](int i) { return 2.0 + i; });
    f.Show({p});
    SCOPED_TRACE(c.data_type);
    EXPECT_EQ(f.view.RateText(0), c.rate);
    EXPECT_EQ(HistoryYTitle(p), c.y_title);
    EXPECT_EQ(f.surface->FindText(std::string("Corrosion Rate : ") + c.rate) != nullptr,
              *c.rate != 0);
    // The fitted trend is the series itself, with times far from zero.
    const HistorySeries& s = f.view.series()[0];
    ASSERT_TRUE(s.has_fit);
    EXPECT_NEAR(s.const_a * s.x[10] + s.const_b, 12.0, 1e-9);
    EXPECT_NEAR(s.const_a * 86400, 1.0, 1e-12);
  }
}

TEST(HistoryGraph, ReadingsSetAsideAreMarkedAndLeftOutOfTheTrendAndRate) {
  // A mil a day, but the first reading and days 10-14 read 50 mils high, and are set aside.
  Fixture f;
  ProbeSummary p = Probe(1, "T", "", 0);
  const HistoryTime start = At(2023, 5, 1, 12);
  f.store.Add(p, start, 30, 86400,
              [](int i) { return i + (i == 0 || (i >= 10 && i < 15) ? 50.0 : 0); });
  std::vector<int64_t> asked;
  f.view.set_aside_of = [&](int64_t id) {
    asked.push_back(id);
    return std::vector<SetAsideStretch>{
        {1, id, start, start, "reset", 0, "u"},
        {2, id, start + 10 * 86400, start + 14 * 86400, "upset", 0, "u"}};
  };
  for (const int32_t window : {-1, 0}) {
    SCOPED_TRACE(window);
    f.view.rate_window = window;
    p.rate = 365.0;  // the store's, which leaves them out too
    f.Show({p});
    const HistorySeries& s = f.view.series()[0];
    ASSERT_EQ(s.set_aside.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(s.SetAside(i), i == 0 || (i >= 10 && i < 15)) << i;
    ASSERT_TRUE(s.has_fit);
    EXPECT_EQ(s.fit_from, 86400);  // from the first reading kept
    EXPECT_NEAR(s.const_a * 86400, 1.0, 1e-12);
    EXPECT_NEAR(s.const_a * s.x[20] + s.const_b, 20.0, 1e-9);
  }
  EXPECT_EQ(f.view.RateText(0), "365.0000 mpy");
  EXPECT_EQ(asked, (std::vector<int64_t>{1, 1}));
}

TEST(HistoryGraph, APointsStretchesAreItsProbesWithinTheirSpans) {
  // Probe 1 counts until 99, probe 2 from 100; probe 3 is elsewhere.
  PointSummary point;
  point.probes = {{1, {}, 0, false}, {2, {}, 100, true}};
  const std::vector<SetAsideStretch> all = {
      {1, 1, 10, 20, "a", 0, ""},   {2, 1, 90, 150, "b", 0, ""}, {3, 2, 50, 120, "c", 0, ""},
      {4, 2, 200, 210, "d", 0, ""}, {5, 3, 0, 1000, "e", 0, ""},
  };
  const struct {
    HistoryTime from, to;
    const char* reason;
  } expected[] = {{10, 20, "a"}, {90, 99, "b"}, {100, 120, "c"}, {200, 210, "d"}};
  const std::vector<SetAsideStretch> got = PointStretches(point, all);
  ASSERT_EQ(got.size(), std::size(expected));
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].from, expected[i].from) << i;
    EXPECT_EQ(got[i].to, expected[i].to) << i;
    EXPECT_EQ(got[i].reason, expected[i].reason) << i;
  }
}

TEST(HistoryGraph, ReadOutNamesTheProbeNearestThePointer) {
  Fixture f;
  ProbeSummary a = Probe(1, "INLET", "A1", 0), b = Probe(2, "OUTLET", "B2", 4);
  f.store.Add(a, At(2024, 1, 1), 100, 3600, [](int) { return 1.0; });
  f.store.Add(b, At(2024, 1, 1, 0, 0, 30), 100, 3600, [](int) { return 9.0; });
  f.view.yaxis_auto = false;
  f.Show({a, b});
  const auto& e = f.view.engine;
  const int p = 10 * 3600;  // the tenth hour
  EXPECT_EQ(f.view.PutValue(p, e.gGetScrY(8.5)), "OUTLET B2 : 01/01/2024 10:00:30 , 9.0000");
  EXPECT_EQ(f.view.PutValue(p, e.gGetScrY(1.5)), "INLET A1 : 01/01/2024 10:00:00 , 1.0000");
  EXPECT_EQ(f.view.PutValue(p + 1800, e.gGetScrY(1.5)), "");  // midway: nothing near
  // Each probe has a legend entry with its own rate, and its own colour.
  EXPECT_TRUE(f.surface->HasTextStartingWith("INLET A1  0.0000 mpy"));
  EXPECT_TRUE(f.surface->HasTextStartingWith("OUTLET B2  0.0000 mpy"));
  ASSERT_EQ(f.surface->polylines.size(), 2u);
  EXPECT_NE(f.surface->polylines[0].argb, f.surface->polylines[1].argb);
}

TEST(HistoryGraph, OverlayOnlyOfOneQuantityInOneUnit) {
  const ProbeSummary er_mils = Probe(1, "A", "1", 0), ms_mils = Probe(2, "B", "", 4),
                     er_mm = Probe(3, "C", "3", 0, "mm/y"), lpr = Probe(4, "D", "4", 1);
  EXPECT_EQ(OverlayRefusal({er_mils, ms_mils}), "");
  const std::string mixed = OverlayRefusal({er_mils, er_mm, lpr});
  EXPECT_NE(mixed.find("A 1: Metal Loss (mils)"), std::string::npos) << mixed;
  EXPECT_NE(mixed.find("C 3: Metal Loss (mm)"), std::string::npos) << mixed;
  EXPECT_NE(mixed.find("D 4: Corrosion Rate (mpy)"), std::string::npos) << mixed;
}

// The time under pixel column x of the box.
int TimeAt(const HistoryGraph& view, int x) {
  int xf = 0;
  double yf = 0;
  view.engine.gMousePos(x, (view.engine.gY1 + view.engine.gY2) / 2, &xf, &yf);
  return xf;
}

TEST(HistoryGraph, WheelZoomsAroundThePointerByAFifthPerNotch) {
  // A positive delta (a notch of 120) zooms in, as maps do; the time under the pointer stays.
  const struct {
    const char* name;
    double at;  // pointer across the box, 0 to 1
    std::vector<int> deltas;
    double span;  // of the whole history
  } cases[] = {{"one notch in", 0.25, {120}, 0.8},
               {"two notches in", 0.75, {120, 120}, 0.64},
               {"half a notch in", 0.5, {60}, std::sqrt(0.8)},
               {"in, then out again", 0.3, {120, -120}, 1.0},
               {"out from the whole history", 0.5, {-120}, 1.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    ProbeSummary p = Probe(1, "T", "", 0);
    f.store.Add(p, At(2024, 1, 1), 10001, 600, [](int i) { return i * 0.001; });
    f.Show({p});
    const auto& e = f.view.engine;
    const int x = e.gX1 + static_cast<int>(c.at * e.gbW);
    const int y = (e.gY1 + e.gY2) / 2;
    for (int delta : c.deltas) {
      const int before = TimeAt(f.view, x);
      f.view.OnMouseWheel(delta, x, y);
      // Within two pixels' time and a reading's step (the view snaps to readings).
      const double slack = 2.0 * (e.grMaxx - e.grMinx) / e.gbW + 600;
      EXPECT_NEAR(TimeAt(f.view, x), before, slack) << delta;
    }
    EXPECT_NEAR(double(e.grMaxx - e.grMinx) / f.view.full_max(), c.span, 0.005);
    EXPECT_GE(e.grMinx, 0);
    EXPECT_LE(e.grMaxx, f.view.full_max());
  }

  // Zooming in stops while two readings and a minute are still in view; out comes back.
  Fixture f;
  ProbeSummary p = Probe(1, "T", "", 0);
  f.store.Add(p, At(2024, 1, 1), 50, 600, [](int i) { return double(i); });
  f.Show({p});
  auto& e = f.view.engine;
  for (int i = 0; i < 60; ++i) f.view.OnMouseWheel(120, e.gX1 + e.gbW / 3, e.gY1 + 5);
  EXPECT_GE(e.grMaxx - e.grMinx, 60);
  EXPECT_GE(f.view.series()[0].x.size(), 2u);
  for (int i = 0; i < 60; ++i) f.view.OnMouseWheel(-120, e.gX1 + e.gbW / 3, e.gY1 + 5);
  EXPECT_EQ(e.grMinx, 0);
  EXPECT_EQ(e.grMaxx, f.view.full_max());
}

TEST(HistoryGraph, AutomaticYRangeAddsAShareOfTheSpanAndFitsADragZoom) {
  const struct {
    const char* name;
    int data_type;
    double (*f)(int);
    double lo, hi;
  } cases[] = {
      {"metal loss from zero keeps zero", 0, [](int i) { return i * 0.1; }, 0.0, 10.29},
      {"small metal loss far from zero", 4, [](int i) { return 100 + (i % 2) * 0.02; }, 99.999,
       100.021},
      {"metal loss below zero", 0, [](int i) { return i * 0.1 - 1; }, -1.49, 9.29},
      {"potential", 3, [](int i) { return -500.0 + i; }, -504.9, -397.1},
      {"flat", 0, [](int) { return 5.0; }, 4.75, 5.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    ProbeSummary p = Probe(1, "T", "", c.data_type);
    f.store.Add(p, At(2024, 1, 1), 99, 3600, c.f);
    f.Show({p});
    EXPECT_NEAR(f.view.engine.grMiny, c.lo, 1e-9);
    EXPECT_NEAR(f.view.engine.grMaxy, c.hi, 1e-9);
  }

  // A drag over the readings that vary by 0.02 fits the value axis to them.
  Fixture f;
  ProbeSummary p = Probe(1, "T", "", 0);
  f.store.Add(p, At(2024, 1, 1), 1000, 3600,
              [](int i) { return i < 500 ? i * 0.02 : 10 + (i % 2) * 0.02; });
  f.Show({p});
  auto& e = f.view.engine;
  const int y = (e.gY1 + e.gY2) / 2;
  f.view.OnMouseDown(kMouseLeft, e.gX1 + e.gbW * 6 / 10, y);
  f.view.OnMouseUp(kMouseLeft, e.gX1 + e.gbW * 9 / 10, y + 40);
  EXPECT_NEAR(e.grMiny, 10 - 0.001, 1e-9);
  EXPECT_NEAR(e.grMaxy, 10.021, 1e-9);
}

TEST(HistoryGraph, TimeLabelsInSecondsAfterTheFirstReading) {
  Fixture f;
  ProbeSummary p = Probe(1, "T", "", 0);
  f.store.Add(p, At(2024, 3, 1), 2, 86400, [](int i) { return double(i); });
  f.Show({p});
  for (const char* t : {"00:00", "06:00", "12:00", "18:00"})
    EXPECT_TRUE(f.surface->FindText(t)) << t;
  EXPECT_TRUE(f.surface->FindText("01/03/2024"));
  EXPECT_TRUE(f.surface->FindText("02/03/2024"));
}

// Marks, readings set aside and segments: a mark is found under the pointer and labelled in its
// colour; readings set aside are drawn again in grey and left out of a fit to the view, which
// then follows the readings that count; a segment and its text are drawn.
TEST(HistoryGraph, MarksSetAsideReadingsAndSegments) {
  Fixture f;
  ProbeSummary p = Probe(3, "V-1", "S1", 0);
  // One mil a day, but days 40 to 49 read 50 mils high (a temperature upset).
  f.store.Add(p, At(2024, 1, 1), 100, 86400,
              [](int i) { return i + (i >= 40 && i < 50 ? 50.0 : 0.0); });
  const HistoryTime day40 = At(2024, 1, 1) + 40 * 86400, day49 = day40 + 9 * 86400;
  f.view.set_aside_of = [&](int64_t) {
    return std::vector<SetAsideStretch>{{1, p.id, day40, day49, "upset", 0, ""}};
  };
  f.view.marks = {{day40, "\u25c6 dose up", 0xFF0000C0u, 17}};
  f.view.segments = {{day40 - 10 * 86400, day40, 30.0, 40.0, 0xFFC00000u}};
  f.view.segments_text = "Inhibitor 10/02/2024: 365.0 -> 365.0 mpy";
  f.Show({p});
  const HistorySeries& s = f.view.series()[0];
  ASSERT_TRUE(s.has_fit);
  EXPECT_NEAR(s.const_a * 86400, 1.0, 1e-9);  // the upset does not bend the line
  const auto& e = f.view.engine;
  const int x40 = e.gGetScrX(static_cast<int>(day40 - f.view.base()));
  EXPECT_EQ(f.view.MarkNear(x40 + 3), 0);
  EXPECT_EQ(f.view.MarkNear(x40 + 9), -1);
  EXPECT_NEAR(static_cast<double>(f.view.TimeAt(x40) - day40), 0.0, 86400.0 * 100 / e.gbW + 1);
  const auto* label = f.surface->FindText("\u25c6 dose up");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->argb, 0xFF0000C0u);
  EXPECT_NE(f.surface->FindText("Inhibitor 10/02/2024: 365.0 -> 365.0 mpy"), nullptr);
  // The series, then its stretch set aside again in grey: the ten readings and their neighbours.
  std::vector<std::size_t> grey;
  for (const auto& line : f.surface->polylines) {
    if (line.argb == 0xFFB0B0B0u) grey.push_back(line.points.size());
  }
  ASSERT_EQ(grey.size(), 1u);
  EXPECT_GE(grey[0], 10u);
  EXPECT_LE(grey[0], 12u);
}

// Coupons lie over the readings of their exposure at their own rate: a coupon at half the
// probe's rate rises half as steeply, through the readings' mean, and is labelled.
TEST(HistoryGraph, CouponsAreDrawnOverTheirExposureAtTheirRate) {
  Fixture f;
  ProbeSummary p = Probe(3, "V-1", "S1", 0);
  f.store.Add(p, At(2024, 1, 1), 100, 86400, [](int i) { return 1.0 * i; });
  const HistoryTime day10 = At(2024, 1, 1) + 10 * 86400, day40 = day10 + 30 * 86400;
  f.view.coupons = {{day10, day40, 182.5, "Coupon C-1: 182.5000 mpy, Severe"},
                    {day40 + 200 * 86400, day40 + 230 * 86400, 1.0, "C-9 off the readings"}};
  f.Show({p});
  const auto* label = f.surface->FindText("Coupon C-1: 182.5000 mpy, Severe");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->argb, 0xFF108040u);
  EXPECT_EQ(f.surface->FindText("C-9 off the readings"), nullptr);
  const auto& e = f.view.engine;
  std::vector<const FakeSurface::Line*> drawn;
  for (const auto& line : f.surface->lines) {
    if (line.argb == 0x70108040u) drawn.push_back(&line);
  }
  ASSERT_EQ(drawn.size(), 1u);
  const auto x = [&](HistoryTime t) { return e.gGetScrX(static_cast<int>(t - f.view.base())); };
  const auto y = [&](double v) { return e.gGetScrY(v); };
  EXPECT_NEAR(drawn[0]->x1, x(day10), 1);
  EXPECT_NEAR(drawn[0]->x2, x(day40), 1);
  // Through days 10 to 40 (mean 25 mils at day 25), rising 15 mils over the 30 days.
  EXPECT_NEAR(drawn[0]->y1, y(25.0 - 7.5), 1);
  EXPECT_NEAR(drawn[0]->y2, y(25.0 + 7.5), 1);
}

}  // namespace
}  // namespace tarn
