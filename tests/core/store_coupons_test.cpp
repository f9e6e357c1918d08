// SPDX-License-Identifier: GPL-3.0-or-later
// Coupons over a back end's primitives: any step of an import, a move or a pit depth failing
// leaves everything as it was, and a record that cannot be read stops the import before it
// starts.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "core/instrument_text.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

_coupon_values_ Coupon(const std::string& tag, const char* in, const char* out) {
  _coupon_values_ c{};
  PutField(c.tag, tag);
  PutField(c.install_time, in);
  PutField(c.removal_time, out);
  c.exposure = 720.0;
  c.corr_rate = 0.1;
  return c;
}

// C-1 at point 5 (which holds nothing else), and a probe P-9 at point 6.
void Fill(FakeStore* s) {
  PointMemberRow probe;
  probe.point_id = 6;
  probe.path = "North/P-9";
  probe.probe_id = 3;
  probe.key = {"P-9", "S", 0};
  PointMemberRow empty;
  empty.point_id = 5;
  empty.path = "Unassigned/C-1";
  s->members = {probe, empty};
  HistoryCoupon c;
  c.id = 201;
  c.point_id = 5;
  c.point_path = empty.path;
  c.values = Coupon("C-1", "01/02/2024 00:00:00", "02/03/2024 00:00:00");
  s->coupons = {c};
}

TEST(StoreCoupons, EveryFailingStepRollsTheWholeChangeBack) {
  struct Case {
    const char* what;
    std::function<Status(FakeStore&)> run;
    std::vector<std::string> steps;  // each of them failing in turn
  };
  const std::vector<_coupon_values_> records = {
      Coupon("P-9", "01/02/2024 00:00:00", "02/03/2024 00:00:00"),
      Coupon("C-2", "01/02/2024 00:00:00", "02/03/2024 00:00:00")};
  const Case cases[] = {
      {"import",
       [&](FakeStore& s) { return ImportCouponsInto(s, records, false).status; },
       {"BeginWrite", "ReadCoupons", "ReadPointMembers", "AddPoint", "AddCoupon", "AppendChange",
        "Commit"}},
      {"move",
       [](FakeStore& s) {
         std::string placed;
         return AssignCouponIn(s, 201, "South/Tank", &placed);
       },
       {"BeginWrite", "ReadCoupons", "ReadPointMembers", "AddPoint", "WriteCouponPoint",
        "DropPoint", "AppendChange", "Commit"}},
      {"pit depth",
       [](FakeStore& s) { return SetPitDepthIn(s, 201, 0.5, false); },
       {"BeginWrite", "ReadCoupons", "WritePitDepth", "AppendChange", "Commit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      FakeStore s;
      Fill(&s);
      ASSERT_TRUE(c.run(s).ok);
      EXPECT_TRUE(Called(s, "Commit"));
      EXPECT_FALSE(Called(s, "RollbackWrite"));
    }
    for (const std::string& step : c.steps) {
      SCOPED_TRACE(step);
      FakeStore s;
      Fill(&s);
      s.fail = step;
      const Status st = c.run(s);
      EXPECT_EQ(st.message, step + " failed");
      EXPECT_EQ(Called(s, "RollbackWrite"), step != "BeginWrite");
      if (step != "Commit") EXPECT_FALSE(Called(s, "Commit"));
    }
    FakeStore ro;
    Fill(&ro);
    ro.read_only = true;
    EXPECT_EQ(c.run(ro).message, "read-only");
    EXPECT_FALSE(Called(ro, "BeginWrite"));
  }
}

TEST(StoreCoupons, ARecordThatCannotBeReadStopsTheImportBeforeItStarts) {
  struct Case {
    const char* in;
    const char* out;
    const char* message;
  };
  const Case cases[] = {
      {"", "02/03/2024 00:00:00",
       "The coupon C-1 has an installation time that is not a date: \"\"."},
      {"01/02/2024 00:00:00", "02/13/2024 00:00:00",
       "The coupon C-1 has a removal time that is not a date: \"02/13/2024 00:00:00\"."},
      {"01/02/2024 00:00:00", "01/02/2024 00:00:00",
       "The coupon C-1 was removed (01/02/2024 00:00:00) no later than it was installed "
       "(01/02/2024 00:00:00)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    FakeStore s;
    const CouponImportResult r = ImportCouponsInto(
        s,
        {Coupon("P-9", "01/02/2024 00:00:00", "02/03/2024 00:00:00"), Coupon("C-1", c.in, c.out)},
        false);
    EXPECT_EQ(r.status.message, c.message);
    EXPECT_EQ(r.added, 0);
    EXPECT_FALSE(Called(s, "BeginWrite"));
  }
}

}  // namespace
}  // namespace tarn
