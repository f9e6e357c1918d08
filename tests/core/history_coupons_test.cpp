// SPDX-License-Identifier: GPL-3.0-or-later
// Coupons through the history's interface, on every back end: placement by tag, a coupon
// imported twice stored once, the probe rate over a coupon's exposure and the ratio, pit depths,
// moving coupons and the points they keep.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/history_copy.h"
#include "history/import_source.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;
using testing::SecondsText;

constexpr int64_t kDay = 86400;
const int64_t kT0 = At(2024, 3, 1, 6);

// A mils metal-loss probe with one reading a day from day 0.
ImportBatch Probe(const std::string& tag, const std::string& serial, int first_day,
                  const std::vector<double>& values) {
  ImportBatch b;
  b.key = {tag, serial, 0};
  b.header.mloss_unit = "MILS";
  b.header.probe_life = 50.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    b.readings.push_back({kT0 + (first_day + static_cast<int64_t>(i)) * kDay, values[i]});
  }
  return b;
}

// A coupon exposed from day `in` to day `out` (06:00, as the readings) at `mm_per_year`.
_coupon_values_ Coupon(const std::string& tag, int in, int out, double mm_per_year = 0.1) {
  _coupon_values_ c{};
  PutField(c.tag, tag);
  PutField(c.install_time, SecondsText(kT0 + in * kDay));
  PutField(c.removal_time, SecondsText(kT0 + out * kDay));
  c.exposure = (out - in) * 24.0;
  c.corr_rate = mm_per_year;
  c.metal_loss = mm_per_year * (out - in) / 365.0;
  c.density = 7.86;
  c.area = 20.0;
  PutField(c.comment, "by the inlet");
  return c;
}

std::string DepthOf(const CouponFigures& c) {
  return c.coupon.pit_depth_mm ? std::to_string(*c.coupon.pit_depth_mm).substr(0, 6) : "none";
}

class HistoryCoupons : public HistoryTest {
 protected:
  void Offer(std::vector<ImportBatch> batches) {
    ImportFileFacts facts;
    facts.name = dir_.file("batch" + std::to_string(++files_) + ".nid");
    facts.sha256 = std::string(63, '0') + std::to_string(files_ % 10);
    const ImportResult r = store_->ImportBatches(facts, [&](const HistoryStore::BatchSink& sink) {
      for (ImportBatch& b : batches) {
        if (Status st = sink(b); !st) return st;
      }
      return Status{};
    });
    ASSERT_TRUE(r.status.ok) << r.status.message;
  }
  int64_t ProbeId(const std::string& serial) {
    for (const ProbeSummary& p : store_->ListProbes(0)) {
      if (p.key.serial == serial) return p.id;
    }
    return 0;
  }
  // The listed coupons' "path tag" in list order.
  std::vector<std::string> Placed() {
    std::vector<std::string> out;
    for (const CouponFigures& f : store_->ListCoupons({})) {
      out.push_back(f.coupon.point_path + " " + f.coupon.values.tag);
    }
    return out;
  }
  // A list that outlives the call only: the coupon found must not point into a temporary.
  const CouponFigures* Find(std::vector<CouponFigures>&& list, const std::string& tag) = delete;
  const CouponFigures* Find(const std::vector<CouponFigures>& list, const std::string& tag) {
    for (const CouponFigures& f : list) {
      if (std::string(f.coupon.values.tag) == tag) return &f;
    }
    ADD_FAILURE() << "no coupon " << tag;
    return nullptr;
  }
  int files_ = 0;
};

TEST_P(HistoryCoupons, CouponsGoToTheirPointsByTagAndAreStoredOnce) {
  // Inlet's probe was A (tag V-101) and is now X-5; Outlet holds P-9.
  Offer({Probe("V-101", "A", 0, {0.0, 0.1}), Probe("P-9", "P", 0, {0.0, 0.1}),
         Probe("X-5", "X", 5, {0.0, 0.1})});
  std::string placed;
  ASSERT_TRUE(store_->AssignProbe(ProbeId("A"), "North/CDU/Inlet", std::nullopt, &placed).ok);
  ASSERT_TRUE(store_->AssignProbe(ProbeId("X"), "North/CDU/Inlet", std::nullopt, &placed).ok);
  ASSERT_TRUE(store_->AssignProbe(ProbeId("P"), "North/CDU/Outlet", std::nullopt, &placed).ok);

  // By the current probe's tag and by the point's last name, letter case not compared; a tag
  // only a replaced probe had, and one no point has, go to "Unassigned/TAG".
  const CouponImportResult first =
      store_->ImportCoupons({Coupon("x-5", 0, 30), Coupon("OUTLET", 0, 30), Coupon("V-101", 0, 30),
                             Coupon("C-77", 0, 30), Coupon("C-77", 30, 60), Coupon("x-5", 0, 30)},
                            false);
  ASSERT_TRUE(first.status.ok) << first.status.message;
  EXPECT_EQ(first.added, 5);
  EXPECT_EQ(first.held, 1);  // the same coupon twice in one call
  const std::vector<std::string> expected = {"North/CDU/Inlet x-5", "North/CDU/Outlet OUTLET",
                                             "Unassigned/C-77 C-77", "Unassigned/C-77 C-77",
                                             "Unassigned/V-101 V-101"};
  EXPECT_EQ(Placed(), expected);

  // Again with one more: only the new one goes in, the others are counted as held.
  const CouponImportResult again =
      store_->ImportCoupons({Coupon("OUTLET", 0, 30), Coupon("OUTLET", 30, 60),
                             Coupon("x-5", 0, 30), Coupon("C-77", 0, 30)},
                            true);
  ASSERT_TRUE(again.status.ok) << again.status.message;
  EXPECT_EQ(again.added, 1);
  EXPECT_EQ(again.held, 3);
  const std::vector<CouponFigures> list = store_->ListCoupons({});
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[1].coupon.install, kT0);
  EXPECT_EQ(list[2].coupon.install, kT0 + 30 * kDay);
  EXPECT_TRUE(list[2].coupon.mils);
  EXPECT_FALSE(list[1].coupon.mils);
  // The values come back as they went in.
  EXPECT_EQ(std::string(list[1].coupon.values.comment), "by the inlet");
  EXPECT_EQ(std::string(list[1].coupon.values.install_time), SecondsText(kT0));
  EXPECT_DOUBLE_EQ(list[1].coupon.values.density, 7.86);

  // A point that holds coupons only is not among the points (it has no probe figures).
  std::vector<std::string> paths;
  for (const PointSummary& p : store_->ListPoints(0)) paths.push_back(p.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"North/CDU/Inlet", "North/CDU/Outlet"}));

  // A record whose time is not a date is refused with its tag, and nothing of the call stays.
  _coupon_values_ bad = Coupon("C-90", 0, 30);
  PutField(bad.removal_time, "31/02/2024 06:00:00");
  const CouponImportResult refused = store_->ImportCoupons({Coupon("C-89", 0, 30), bad}, false);
  EXPECT_EQ(refused.status.message,
            "The coupon C-90 has a removal time that is not a date: \"31/02/2024 06:00:00\".");
  EXPECT_EQ(store_->ListCoupons({}).size(), 6u);

  // The trail has one line per import that added coupons.
  std::vector<std::string> trail;
  for (const HistoryChange& c : store_->ListChanges()) {
    if (c.what == "coupons imported") trail.push_back(c.after);
  }
  EXPECT_EQ(trail,
            (std::vector<std::string>{"5 added, 1 already held", "1 added, 3 already held"}));

  // A reopened history holds them as well.
  store_ = Reopen();
  EXPECT_EQ(Placed().size(), 6u);
}

// One probe at V-101 loses 0.1 mil a day on days 0-5, then 0.2 mil a day to day 10; its reading
// of day 8 is a spike (9.9 instead of 1.1). A coupon over days 5-10 at 36.5 mpy (0.9271 mm/y)
// sees the probe at 0.2 * 365 = 73 mpy once the spike is left out: a ratio of 2.
TEST_P(HistoryCoupons, TheProbeRateOverTheCouponsExposureLeavesSetAsideReadingsOut) {
  std::vector<double> values;
  for (int i = 0; i <= 10; ++i) values.push_back(i <= 5 ? 0.1 * i : 0.5 + 0.2 * (i - 5));
  values[8] = 9.9;
  Offer({Probe("V-101", "A", 0, values), Probe("P-9", "P", 20, {0.0, 0.1})});
  const CouponImportResult r =
      store_->ImportCoupons({Coupon("V-101", 5, 10, 36.5 * 0.0254), Coupon("P-9", 5, 10),
                             Coupon("C-1", 5, 10), Coupon("V-101", 10, 12)},
                            false);
  ASSERT_TRUE(r.status.ok) << r.status.message;
  const int64_t a = ProbeId("A");

  const std::vector<CouponFigures> clean =
      store_->ListCoupons({{a, kT0 + 8 * kDay, kT0 + 8 * kDay}});
  ASSERT_EQ(clean.size(), 4u) << store_->LastError().message;
  const CouponFigures* v = &clean[2];
  ASSERT_EQ(v->coupon.point_path, "Unassigned/V-101");
  EXPECT_NEAR(v->rate_mpy, 36.5, 1e-9);
  EXPECT_NEAR(v->exposure_days, 5.0, 1e-12);
  ASSERT_TRUE(v->probe_rate_mpy.has_value());
  EXPECT_NEAR(*v->probe_rate_mpy, 73.0, 1e-9);
  ASSERT_TRUE(v->ratio.has_value());
  EXPECT_NEAR(*v->ratio, 2.0, 1e-9);
  EXPECT_EQ(v->severity, SeverityClass::kSevere);  // 0.9271 mm/y

  // With the spike the slope is another.
  const std::vector<CouponFigures> with_spike = store_->ListCoupons({});
  const CouponFigures* spiked = Find(with_spike, "V-101");
  ASSERT_TRUE(spiked && spiked->probe_rate_mpy);
  EXPECT_GT(std::abs(*spiked->probe_rate_mpy - 73.0), 1.0);
  // The spike set aside in the history is left out without being named.
  int64_t changed = 0;
  ASSERT_TRUE(store_->SetAside(a, kT0 + 8 * kDay, kT0 + 8 * kDay, "spike", &changed));
  const std::vector<CouponFigures> spike_aside = store_->ListCoupons({});
  const CouponFigures* aside = Find(spike_aside, "V-101");
  ASSERT_TRUE(aside && aside->probe_rate_mpy);
  EXPECT_NEAR(*aside->probe_rate_mpy, 73.0, 1e-9);

  // No figure from a probe with no reading over the exposure, from a single reading (day 10 to
  // 12 holds day 10 only), nor at a point without probes.
  for (const CouponFigures& f : clean) {
    if (&f == v) continue;
    SCOPED_TRACE(f.coupon.point_path);
    EXPECT_FALSE(f.probe_rate_mpy.has_value());
    EXPECT_FALSE(f.ratio.has_value());
  }
}

// The probe's rate is in mpy whatever the point holds: a mm probe's trend converted, an LPR
// probe's mean; a potential probe gives none.
TEST_P(HistoryCoupons, TheProbeRateFollowsThePointsSeries) {
  struct Case {
    const char* tag;
    int32_t data_type;
    const char* unit;
    std::vector<double> values;  // days 0-2
    std::optional<double> mpy;
  };
  const Case cases[] = {
      {"ER-MILS", 0, "MILS", {1.0, 1.1, 1.2}, 36.5},
      {"ER-MM", 0, "MM", {0.0, 0.00254, 0.00508}, 36.5},
      {"LPR", 1, "", {2.0, 4.0, 9.0}, 5.0},
      {"POT", 3, "", {-700.0, -710.0, -720.0}, std::nullopt},
  };
  std::vector<ImportBatch> batches;
  std::vector<_coupon_values_> coupons;
  for (const Case& c : cases) {
    batches.push_back(Probe(c.tag, "S", 0, c.values));
    batches.back().key.data_type = c.data_type;
    batches.back().header.mloss_unit = c.unit;
    coupons.push_back(Coupon(c.tag, 0, 2, 18.25 * 0.0254));
  }
  Offer(batches);
  ASSERT_TRUE(store_->ImportCoupons(coupons, false).status.ok);
  const std::vector<CouponFigures> list = store_->ListCoupons({});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    const CouponFigures* f = Find(list, c.tag);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->probe_rate_mpy.has_value(), c.mpy.has_value());
    if (!c.mpy) continue;
    EXPECT_NEAR(*f->probe_rate_mpy, *c.mpy, 1e-9);
    EXPECT_NEAR(*f->ratio, *c.mpy / 18.25, 1e-9);
  }
}

TEST_P(HistoryCoupons, PitDepthsAndMovesGoIntoTheTrailAndPointsKeepTheirCoupons) {
  Offer({Probe("P-9", "P", 0, {0.0, 0.1})});
  ASSERT_TRUE(store_->ImportCoupons({Coupon("C-77", 0, 30), Coupon("P-9", 0, 30)}, true).status.ok);
  std::vector<CouponFigures> list = store_->ListCoupons({});
  ASSERT_EQ(list.size(), 2u);
  const int64_t c77 = list[0].coupon.id, p9 = list[1].coupon.id;
  EXPECT_FALSE(list[0].pitting.has_value());

  // 4 mils kept as 0.1016 mm; over 720 hours.
  ASSERT_TRUE(store_->SetPitDepth(c77, 4.0, true).ok);
  EXPECT_EQ(store_->SetPitDepth(999, 1.0, false).message, "No coupon with id 999.");
  EXPECT_FALSE(store_->SetPitDepth(c77, -1.0, false).ok);
  const std::vector<CouponFigures> pitted = store_->ListCoupons({});
  const CouponFigures* f = Find(pitted, "C-77");
  ASSERT_TRUE(f && f->coupon.pit_depth_mm && f->pitting);
  EXPECT_NEAR(*f->coupon.pit_depth_mm, 0.1016, 1e-12);
  EXPECT_NEAR(f->pitting->mm_per_year, 0.1016 * 8760 / 720, 1e-9);
  EXPECT_NEAR(f->pitting->mpy, 4.0 * 8760 / 720, 1e-9);
  EXPECT_EQ(f->pitting->severity, SeverityClass::kSevere);

  // The probe leaves P-9's point: the point stays with its coupon.
  std::string placed;
  ASSERT_TRUE(store_->AssignProbe(ProbeId("P"), "South/Pond", std::nullopt, &placed).ok);
  const std::vector<CouponFigures> moved = store_->ListCoupons({});
  ASSERT_NE(Find(moved, "P-9"), nullptr);
  EXPECT_EQ(Find(moved, "P-9")->coupon.point_path, "Unassigned/P-9");
  // A point renamed onto a point holding coupons only takes them over.
  ASSERT_TRUE(store_->RenamePoint("South/Pond", "unassigned/p-9").ok);
  list = store_->ListCoupons({});
  EXPECT_EQ(Find(list, "P-9")->coupon.point_path, "unassigned/p-9");
  EXPECT_TRUE(Find(list, "P-9")->probe_rate_mpy.has_value());

  // Moving a coupon: refusals change nothing; the point it leaves goes when it held it alone.
  EXPECT_EQ(store_->AssignCoupon(999, "A/B", &placed).message, "No coupon with id 999.");
  EXPECT_FALSE(store_->AssignCoupon(c77, "A//B", &placed).ok);
  ASSERT_TRUE(store_->AssignCoupon(c77, " North / Tank ", &placed).ok);
  EXPECT_EQ(placed, "North/Tank");
  ASSERT_TRUE(store_->AssignCoupon(c77, "unassigned/c-77", &placed).ok);
  EXPECT_EQ(placed, "unassigned/c-77");  // made again: the old point had gone
  ASSERT_TRUE(store_->AssignCoupon(p9, "UNASSIGNED/P-9", &placed).ok);
  EXPECT_EQ(placed, "unassigned/p-9");  // found whatever its case

  std::vector<std::string> trail;
  for (const HistoryChange& c : store_->ListChanges()) {
    if (c.what.rfind("pit depth of coupon", 0) == 0 || c.what.rfind("point of coupon", 0) == 0) {
      trail.push_back(c.what + ": " + c.before + " -> " + c.after);
    }
  }
  const std::string name = "coupon " + std::to_string(c77) + " (C-77, " + SecondsText(kT0) +
                           " to " + SecondsText(kT0 + 30 * kDay) + ")";
  EXPECT_EQ(trail, (std::vector<std::string>{
                       "pit depth of " + name + ": none -> 0.1016 mm",
                       "point of " + name + ": Unassigned/C-77 -> North/Tank",
                       "point of " + name + ": North/Tank -> unassigned/c-77",
                   }));

  // A copy holds the coupons at their points with their pit depths; again, it adds none.
  std::string error;
  auto copy = OpenHistory(dir_.file("copy.sqlite"), &error);
  ASSERT_NE(copy, nullptr) << error;
  for (const int64_t added : {2, 0}) {
    HistoryCopyReport report;
    ASSERT_TRUE(CopyHistory(*store_, *copy, &report));
    EXPECT_EQ(report.coupons, added);
  }
  std::vector<std::string> here, there;
  for (const CouponFigures& c : store_->ListCoupons({})) {
    here.push_back(c.coupon.point_path + " " + DepthOf(c));
  }
  for (const CouponFigures& c : copy->ListCoupons({})) {
    there.push_back(c.coupon.point_path + " " + DepthOf(c));
  }
  EXPECT_EQ(there, here);
  EXPECT_EQ(there[0], "unassigned/c-77 0.1016");
}

TARN_HISTORY_BACKENDS(HistoryCoupons);

}  // namespace
}  // namespace tarn
