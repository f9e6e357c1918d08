// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen under test: a fresh screen over a temporary home, with helpers that type,
// pick and click like a user and answer the file dialogs through the test seam.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_form.h"
#include "common/ui/qt_text.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/coupon_records.h"
#include "coupon/ui/unit.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn::testing {

inline constexpr double kDefaultRatio[kUnitCount] = {0.036127292, 0.393700787, 39.3700787,
                                                     0.03527396, 39.3700787};
inline constexpr double kPi = 3.141592653589793;

inline void ResetGlobals() {
  for (int k = 0; k < kUnitCount; ++k) vUnit[k] = {0, kDefaultRatio[k]};
  vCponData.record_count = 0;
  vCpon = {};
}

// What the screen asked of a file dialog, and what the test answered.
struct DialogCall {
  int calls = 0;
  QString directory;
  QStringList filters;
  QString selected_filter;
  QString default_suffix;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QStringList preselected;
};

class CouponScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    DataPath = ToUtf8(home.path()) + "/DATA/";
    coupon_dir = home.path() + "/DATA/COUPON";
    ASSERT_TRUE(QDir().mkpath(coupon_dir));
    screen = std::make_unique<Coupon>();
    screen->resize(1280, 760);
    screen->show();
  }
  void TearDown() override {
    screen.reset();
    ResetGlobals();
    DataPath.clear();
  }

  template <class T>
  T* find(const char* name) {
    T* w = screen->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
  QString text(const char* name) { return edit(name)->text(); }
  void type(const char* name, const QString& value) {
    QLineEdit* e = edit(name);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, value);
  }
  void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
  void pick(const char* name, const QString& item) {
    auto* combo = find<QComboBox>(name);
    const int index = combo->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    combo->setCurrentIndex(index);
  }
  // Clicks a button and answers the "Error" box it must raise; returns the box's text.
  QString clickExpectingError(const char* name) {
    SeenBox seen;
    AnswerNextMessageBox(&seen, QMessageBox::Ok);
    click(name);
    EXPECT_TRUE(seen.seen) << "no message box after " << name;
    EXPECT_EQ(seen.caption, "Error");
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    return seen.text;
  }
  void setTimes(const QDateTime& install, const QDateTime& removal) {
    find<QDateEdit>("dtInstDate")->setDate(install.date());
    find<QTimeEdit>("dtInstTime")->setTime(install.time());
    find<QDateEdit>("dtRemDate")->setDate(removal.date());
    find<QTimeEdit>("dtRemTime")->setTime(removal.time());
  }
  // The worked coupon: "100" in "304SS", 10 g to 9.9 g over exactly 30 days.
  void enterWorkedCoupon(const QString& tag) {
    type("edTag", tag);
    pick("cbCponTbl", "100");
    pick("cbAlloyTbl", "304SS");
    type("edWeightInit", "10");
    type("edWeightFinal", "9.9");
    setTimes(QDateTime(QDate(2026, 3, 1), QTime(8, 0)), QDateTime(QDate(2026, 3, 31), QTime(8, 0)));
  }
  // A custom cylinder of diameter 1 cm and length 5 cm in alloy "Custom" of density 8.
  void enterCylinder(const QString& tag) {
    type("edTag", tag);
    pick("cbCponTbl", "Custom");
    pick("cbAlloyTbl", "Custom");
    type("edAlloyDensity", "8");
    pick("cbShape", "Cylinder");
    type("edWidth", "1");
    type("edLength", "5");
    type("edWeightInit", "20");
    type("edWeightFinal", "19.5");
    setTimes(QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 1, 11), QTime(0, 0)));
  }
  QTableView* table() { return find<QTableView>("gCpon"); }
  int rows() { return table()->model()->rowCount(); }
  QString cell(int row, int column) {
    return table()->model()->index(row, column).data().toString();
  }
  void clickCell(int row, int column) {
    QTableView* t = table();
    const QRect rect = t->visualRect(t->model()->index(row, column));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, rect.center());
  }
  void clickHeader(int column) {
    QHeaderView* h = table()->horizontalHeader();
    const int x = h->sectionViewportPosition(column) + h->sectionSize(column) / 2;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
  }
  // Answers the unit dialog that "Change Unit" opens: act picks the radio buttons, then the
  // named button closes it.
  void changeUnit(const std::function<void(Unit*)>& act, const char* close_with = "btnOk") {
    bool seen = false;
    QTimer::singleShot(0, [&]() {
      auto* dialog = qobject_cast<Unit*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      seen = true;
      act(dialog);
      dialog->findChild<QPushButton*>(QString::fromLatin1(close_with))->click();
    });
    click("btnUnit");
    EXPECT_TRUE(seen);
  }
  static void pickRadio(Unit* dialog, const char* name) {
    dialog->findChild<QRadioButton*>(QString::fromLatin1(name))->click();
  }
  // Answers every file dialog with path and the filter at filter_index (-1: cancel).
  void answerFileDialogs(DialogCall* call, const QString& path, int filter_index = 0) {
    screen->setFileDialogRunner(
        [call, path, filter_index](QFileDialog& dialog, QString* chosen, QString* filter) {
          ++call->calls;
          call->directory = dialog.directory().absolutePath();
          call->filters = dialog.nameFilters();
          call->selected_filter = dialog.selectedNameFilter();
          call->default_suffix = dialog.defaultSuffix();
          call->mode = dialog.acceptMode();
          call->preselected = dialog.selectedFiles();
          if (filter_index < 0) return false;
          *chosen = path;
          *filter = dialog.nameFilters().value(filter_index);
          return true;
        });
  }

  testing::TempHome home;
  QString coupon_dir;
  std::unique_ptr<Coupon> screen;
};

}  // namespace tarn::testing
