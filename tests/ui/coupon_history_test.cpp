// SPDX-License-Identifier: GPL-3.0-or-later
// "Add to history" on the Coupon tab: the table's coupons go into a real history once each, the
// message says how many were added and held, and a refusal is shown and stores nothing.
#include <gtest/gtest.h>

#include "core/instrument_text.h"
#include "history/history_store.h"
#include "ui/coupon_screen_fixture.h"

namespace tarn::testing {
namespace {

class CouponHistory : public CouponScreenTest {
 protected:
  void SetUp() override {
    CouponScreenTest::SetUp();
    std::string error;
    store = OpenHistory(ToUtf8(home.path()) + "/history.sqlite", &error);
    ASSERT_NE(store, nullptr) << error;
  }
  // Adds as the main window does, through the history's interface.
  void GiveHistory() {
    screen->setHistoryAdder([this](const std::vector<_coupon_values_>& records, bool mils) {
      Coupon::HistoryAdd done;
      const CouponImportResult r = store->ImportCoupons(records, mils);
      done.ok = r.status.ok;
      done.added = r.added;
      done.held = r.held;
      done.message = FromUtf8(r.status.message);
      return done;
    });
  }
  SeenBox clickAdd() {
    SeenBox seen;
    AnswerNextMessageBox(&seen, QMessageBox::Ok);
    click("btnAddHistory");
    EXPECT_TRUE(seen.seen) << "no message box";
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    return seen;
  }
  void addCoupon(const QString& tag) {
    enterWorkedCoupon(tag);
    click("btnCalc");
    click("btnAdd");
  }
  std::unique_ptr<HistoryStore> store;
};

TEST_F(CouponHistory, AddsTheTablesCouponsOnceEachAndSaysHowMany) {
  // No history given: the button is greyed and a click does nothing.
  EXPECT_FALSE(find<QPushButton>("btnAddHistory")->isEnabled());
  GiveHistory();
  ASSERT_TRUE(find<QPushButton>("btnAddHistory")->isEnabled());
  EXPECT_EQ(Caption(find<QPushButton>("btnAddHistory")), "Add to history");
  EXPECT_EQ(clickExpectingError("btnAddHistory"),
            "The table holds no coupons to add to the history.");

  addCoupon("C-1");
  addCoupon("C-2");
  ASSERT_EQ(screen->recordCount(), 2);
  vUnit[4].sel = 1;  // rates shown in mpy
  SeenBox first = clickAdd();
  EXPECT_EQ(first.caption, "Add to history");
  EXPECT_EQ(first.text, "2 coupons added to the history, 0 already held.");
  const std::vector<CouponFigures> stored = store->ListCoupons({});
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].coupon.point_path, "Unassigned/C-1");
  EXPECT_TRUE(stored[0].coupon.mils);
  EXPECT_DOUBLE_EQ(stored[0].coupon.values.corr_rate, vCponData.items[0].corr_rate);
  EXPECT_EQ(stored[0].coupon.install, At(2026, 3, 1, 8));

  addCoupon("C-3");
  EXPECT_EQ(clickAdd().text, "1 coupon added to the history, 2 already held.");
  EXPECT_EQ(store->ListCoupons({}).size(), 3u);
}

TEST_F(CouponHistory, ARefusalIsShownAndStoresNothing) {
  GiveHistory();
  addCoupon("C-1");
  addCoupon("C-2");
  // A row whose removal time was damaged (as a file could bring it).
  std::snprintf(vCponData.items[1].removal_time, sizeof vCponData.items[1].removal_time, "%s",
                "later");
  EXPECT_EQ(clickExpectingError("btnAddHistory"),
            "The coupon C-2 has a removal time that is not a date: \"later\".");
  EXPECT_TRUE(store->ListCoupons({}).empty());
  EXPECT_EQ(screen->recordCount(), 2);
}

// The main window hands the Coupon tab the Probes tab's history.
TEST(CouponHistoryInTheWindow, AddToHistoryReachesTheProbesTabsHistory) {
  TempHome home;
  ResetGlobals();
  const std::string history = ToUtf8(home.path()) + "/plant.sqlite";
  {
    MainForm form;
    form.SetHistoryLocation(history);
    form.show();
    Coupon* tab = form.fmCpon();
    _coupon_values_& c = vCponData.items[0];
    c = {};
    PutField(c.tag, "V-101");
    PutField(c.install_time, "01/02/2025 00:00:00");
    PutField(c.removal_time, "01/03/2025 00:00:00");
    c.exposure = 672.0;
    c.corr_rate = 0.05;
    vCponData.record_count = 1;
    tab->PutTable();
    SeenBox seen;
    AnswerNextMessageBox(&seen, QMessageBox::Ok);
    tab->findChild<QPushButton*>(QStringLiteral("btnAddHistory"))->click();
    EXPECT_EQ(seen.text, "1 coupon added to the history, 0 already held.");
  }
  ResetGlobals();
  std::string error;
  auto store = OpenHistory(history, &error);
  ASSERT_NE(store, nullptr) << error;
  const std::vector<CouponFigures> stored = store->ListCoupons({});
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].coupon.point_path, "Unassigned/V-101");
}

}  // namespace
}  // namespace tarn::testing
