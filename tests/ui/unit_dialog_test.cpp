// SPDX-License-Identifier: GPL-3.0-or-later
// Unit dialog: reflects vUnit every time it is shown, OK writes the five choices, Cancel none,
// and closing it any other way is a Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <utility>

#include "coupon/ui/unit.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

class UnitDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& u : vUnit) u = {0, 0.5};
  }
  void TearDown() override {
    for (auto& u : vUnit) u = {0, 0.5};
  }

  QRadioButton* radio(const char* name) {
    auto* rb = dialog.findChild<QRadioButton*>(QString::fromLatin1(name));
    EXPECT_NE(rb, nullptr) << name;
    return rb;
  }
  void click(const char* name) {
    auto* b = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
  }

  Unit dialog;
};

TEST_F(UnitDialogTest, CaptionsGroupsAndButtons) {
  EXPECT_EQ(dialog.windowTitle(), "Unit");
  EXPECT_EQ(dialog.findChild<QLabel*>("lbTitle")->text(), "Unit of Measure");
  struct Group {
    const char* box;
    const char* caption;
    const char* left;
    const char* left_text;
    const char* right;
    const char* right_text;
  };
  const Group groups[] = {
      {"groupBox1", "Density", "rbDe0", "g/cm^3", "rbDe1", "lb/in^3"},
      {"groupBox2", "Dimensiom", "rbDi0", "cm", "rbDi1", "inch"},
      {"groupBox3", "Metal Loss", "rbMe0", "mm", "rbMe1", "mil"},
      {"groupBox4", "Weight", "rbWe0", "g", "rbWe1", "oz"},
      {"groupBox5", "Corrosion Rate", "rbCo0", "mmpy", "rbCo1", "mpy"},
  };
  dialog.show();
  for (const Group& g : groups) {
    auto* box = dialog.findChild<QGroupBox*>(g.box);
    ASSERT_NE(box, nullptr) << g.box;
    EXPECT_EQ(box->title(), g.caption);
    QRadioButton* left = radio(g.left);
    QRadioButton* right = radio(g.right);
    EXPECT_EQ(left->text(), g.left_text);
    EXPECT_EQ(right->text(), g.right_text);
    EXPECT_EQ(left->parent(), box);
    // The pair excludes each other, and only each other.
    right->click();
    EXPECT_FALSE(left->isChecked()) << g.box;
    left->click();
    EXPECT_FALSE(right->isChecked()) << g.box;
    EXPECT_LT(left->geometry().x(), right->geometry().x()) << g.box;
  }
  // Density, metal loss and corrosion rate on the left; dimension and weight on the right.
  auto x = [this](const char* name) { return dialog.findChild<QGroupBox*>(name)->x(); };
  EXPECT_EQ(x("groupBox1"), x("groupBox3"));
  EXPECT_EQ(x("groupBox1"), x("groupBox5"));
  EXPECT_EQ(x("groupBox2"), x("groupBox4"));
  EXPECT_LT(x("groupBox1"), x("groupBox2"));
  auto* ok = dialog.findChild<QPushButton*>("btnOk");
  auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
  EXPECT_EQ(ok->text(), "&OK");
  EXPECT_EQ(cancel->text(), "&Cancel");
  EXPECT_LT(ok->x(), cancel->x());
  click("btnCancel");
}

TEST_F(UnitDialogTest, OkWritesEverySelectionAndKeepsTheRatios) {
  vUnit[kUnitMetalLoss].sel = 1;
  dialog.show();
  EXPECT_TRUE(radio("rbMe1")->isChecked());
  EXPECT_TRUE(radio("rbDe0")->isChecked());
  radio("rbDe1")->click();
  radio("rbDi1")->click();
  radio("rbMe0")->click();
  radio("rbCo1")->click();
  click("btnOk");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const int expected[kUnitCount] = {1, 1, 0, 0, 1};
  for (int k = 0; k < kUnitCount; ++k) {
    EXPECT_EQ(vUnit[k].sel, expected[k]) << "kind " << k;
    EXPECT_EQ(vUnit[k].ratio, 0.5) << "kind " << k;
  }
}

TEST_F(UnitDialogTest, CancelChangesNothingAndTheNextShowingReflectsVUnit) {
  vUnit[kUnitWeight].sel = 1;
  dialog.show();
  radio("rbWe0")->click();
  radio("rbDi1")->click();
  click("btnCancel");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(vUnit[kUnitWeight].sel, 1);
  EXPECT_EQ(vUnit[kUnitDimension].sel, 0);

  dialog.show();
  EXPECT_TRUE(radio("rbWe1")->isChecked());
  EXPECT_TRUE(radio("rbDi0")->isChecked());

  // A choice made elsewhere (another sel value than 0 counts as the second unit) shows too.
  click("btnCancel");
  vUnit[kUnitCorRate].sel = 7;
  dialog.show();
  EXPECT_TRUE(radio("rbCo1")->isChecked());
  click("btnOk");
  EXPECT_EQ(vUnit[kUnitCorRate].sel, 1);
}

TEST_F(UnitDialogTest, TitleBarCloseAndEscapeCancel) {
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"title-bar close", [this] { dialog.close(); }},
      {"Escape",
       [this] {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&dialog, &escape);
       }},
  };
  for (const auto& [name, close] : ways) {
    dialog.show();
    radio("rbDe1")->click();
    close();
    EXPECT_FALSE(dialog.isVisible()) << name;
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << name;
    EXPECT_EQ(vUnit[kUnitDensity].sel, 0) << name;
  }
  // Fixed size: the layout decides it, and the user cannot drag it.
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST_F(UnitDialogTest, ExecReturnsAfterOk) {
  QTimer::singleShot(0, [this]() {
    radio("rbWe1")->click();
    click("btnOk");
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(vUnit[kUnitWeight].sel, 1);
}

}  // namespace
}  // namespace tarn
