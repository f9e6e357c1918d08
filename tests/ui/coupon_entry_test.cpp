// SPDX-License-Identifier: GPL-3.0-or-later
// Coupon screen: export, what the boxes accept and show at the smallest size, and the screen
// inside the main window.
#include <gtest/gtest.h>

#include "ui/coupon_screen_fixture.h"

namespace tarn {
namespace {

using namespace ::tarn::testing;  // the coupon screen fixture and the widget helpers

TEST_F(CouponScreenTest, DateAndTimeFieldsTakeTypedDigitsSectionBySection) {
  // Digits typed into a field fill day, month, year (hour, minute) in turn, each section moving
  // on when full, with or without the separators, whatever the field held before.
  screen->show();
  const struct {
    const char* field;
    const char* keys;
    const char* shown;
  } cases[] = {
      {"dtInstDate", "25122023", "25/12/2023"}, {"dtInstDate", "31/01/2024", "31/01/2024"},
      {"dtRemDate", "29022024", "29/02/2024"},  {"dtRemDate", "07032025", "07/03/2025"},
      {"dtInstTime", "0930", "09:30"},          {"dtRemTime", "23:59", "23:59"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    SCOPED_TRACE(c.keys);
    auto* field = find<QDateTimeEdit>(c.field);
    field->setDateTime(QDateTime(QDate(2020, 2, 1), QTime(12, 0)));
    field->setFocus(Qt::TabFocusReason);
    field->setCurrentSectionIndex(0);
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClicks(field, QString::fromLatin1(c.keys));
    EXPECT_EQ(field->text(), QString::fromLatin1(c.shown));
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(field->text(), QString::fromLatin1(c.shown));
  }
}

TEST_F(CouponScreenTest, ExportRunsTheCalculationFirst) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterWorkedCoupon("E1");
  click("btnCalc");
  ASSERT_EQ(rows(), 1);

  // A coupon on screen that cannot be calculated: the message, and no dialog at all.
  pick("cbAlloyTbl", "Custom");
  type("edAlloyDensity", "0");
  DialogCall call;
  const QString csv = coupon_dir + "/out.csv";
  answerFileDialogs(&call, csv);
  EXPECT_EQ(clickExpectingError("btnExport"),
            "Cannot calculate Metal Loss. Alloy Density or Surface Area value is less than or "
            "equal to zero.");
  EXPECT_EQ(call.calls, 0);
  EXPECT_FALSE(QFile::exists(csv));

  // Calculated: the automatic adding happens first, then the first filter writes text.
  pick("cbAlloyTbl", "304SS");
  click("btnExport");
  ASSERT_EQ(call.calls, 1);
  EXPECT_EQ(call.filters,
            (QStringList{"CSV files(*.csv)", "Excel files(*.xls)", "Excel workbook (*.xlsx)"}));
  EXPECT_EQ(call.selected_filter, "CSV files(*.csv)");
  EXPECT_EQ(call.default_suffix, "csv");
  EXPECT_EQ(QDir(call.directory), QDir(coupon_dir));
  EXPECT_EQ(rows(), 2);
  QFile text_file(csv);
  ASSERT_TRUE(text_file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = text_file.readAll().split('\n');
  ASSERT_EQ(lines.size(), 4);  // header, two rows, and the empty rest after the last CR LF
  EXPECT_TRUE(lines[0].startsWith("Tag,Coupon Type,Alloy,Alloy Density (g/cm^3),Shape,"));
  EXPECT_TRUE(lines[1].startsWith("E1,100,304SS,7.94,Rectangle,1,0.4750,7.6200,-,"));
  EXPECT_TRUE(lines[2].endsWith(",\r"));

  // The second filter writes a spreadsheet (a BIFF2 file starts with its BOF record).
  const QString xls = coupon_dir + "/out.xls";
  answerFileDialogs(&call, xls, 1);
  click("btnExport");
  QFile sheet(xls);
  ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
  EXPECT_TRUE(sheet.read(2) == QByteArray("\x09\x00", 2));
  EXPECT_EQ(rows(), 3);
  const QString xlsx = coupon_dir + "/out.xlsx";
  answerFileDialogs(&call, xlsx, 2);
  click("btnExport");
  QFile book(xlsx);
  ASSERT_TRUE(book.open(QIODevice::ReadOnly));
  EXPECT_EQ(book.read(4), QByteArray("PK\x03\x04"));
}

TEST_F(CouponScreenTest, NoLabelIsClippedAtTheSmallestSizeInEitherUnitSystem) {
  enterWorkedCoupon("SMALL");
  auto check = [this](const char* when) {
    screen->resize(screen->minimumSizeHint());
    QApplication::processEvents();
    for (QLabel* label : screen->findChildren<QLabel*>()) {
      if (!label->isVisible() || label->text().isEmpty()) continue;
      EXPECT_GE(label->contentsRect().width(),
                label->fontMetrics().horizontalAdvance(label->text().trimmed()))
          << label->objectName().toStdString() << " \"" << label->text().toStdString() << "\" "
          << when;
    }
  };
  check("in the stored units");
  changeUnit([](Unit* d) {
    for (const char* name : {"rbDe1", "rbDi1", "rbMe1", "rbWe1", "rbCo1"}) pickRadio(d, name);
  });
  check("in the other units");
}

TEST_F(CouponScreenTest, RefusedCalculationOrLaterEditEmptiesTheResultAndAddRefuses) {
  struct Case {
    const char* what;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"removal before installation, refused",
       [this] {
         setTimes(QDateTime(QDate(2026, 3, 31), QTime(8, 0)),
                  QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
         clickExpectingError("btnCalc");
       }},
      {"final weight typed", [this] { type("edWeightFinal", "9.8"); }},
      {"removal time changed", [this] { find<QTimeEdit>("dtRemTime")->setTime(QTime(9, 0)); }},
      {"alloy chosen", [this] { pick("cbAlloyTbl", "316SS"); }},
  };
  for (const Case& c : cases) {
    enterWorkedCoupon("T-1");
    click("btnCalc");
    ASSERT_FALSE(text("edCorrosionRate").isEmpty()) << c.what;
    c.act();
    for (const char* name :
         {"edSurfaceArea", "edTotalExposure", "edMetalLoss", "edCorrosionRate"}) {
      EXPECT_EQ(text(name), "") << name << " after " << c.what;
    }
    EXPECT_EQ(clickExpectingError("btnAdd"), "Calculated values are not.") << c.what;
    EXPECT_EQ(rows(), 0) << c.what;
  }
}

TEST_F(CouponScreenTest, TextThatIsNoFiniteNumberIsRefusedByName) {
  struct Case {
    const char* box;
    const char* typed;
    const char* message;
    bool focused;  // the box gets the focus
  };
  const Case cases[] = {
      {"edWeightInit", "ten", "Initial weight: enter a number such as 12.3456.", true},
      {"edWeightFinal", "1e400", "Final weight: enter a number such as 12.3456.", true},
      {"edAlloyDensity", "7,9", "Alloy Density: enter a number such as 7.94.", true},
      {"edLength", "5 cm", "Length: enter a number such as 7.6200.", true},
      // Each weight is a number, but their difference is not.
      {"edWeightFinal", "-1e308",
       "Cannot calculate. A value or a result is too large to be a number; check the weights, "
       "the density and the dimensions.",
       false},
  };
  for (const Case& c : cases) {
    enterCylinder("BAD");
    type("edWeightInit", "1e308");
    type(c.box, c.typed);
    EXPECT_EQ(clickExpectingError("btnCalc"), c.message) << c.box;
    EXPECT_EQ(text(c.box), c.typed) << "the box keeps what was typed";
    EXPECT_EQ(screen->focusWidget() == edit(c.box), c.focused) << c.box;
    EXPECT_EQ(text("edMetalLoss"), "") << c.box;
    EXPECT_FALSE(screen->isCalc()) << c.box;
  }
}

TEST_F(CouponScreenTest, UnitSwitchesKeepTheTypedPrecision) {
  enterWorkedCoupon("T-1");
  const double loss_mm = 0.1 / (7.94 * 21.8239) * 10.0;
  const double rate_mmpy = 0.1 / (7.94 * 21.8239 * 720.0) * 87600.0;
  const double mil = 39.3700787;
  const auto all = [](const char* side) {
    return [side](Unit* d) {
      for (const char* kind : {"rbDe", "rbDi", "rbMe", "rbWe", "rbCo"}) {
        pickRadio(d, (std::string(kind) + side).c_str());
      }
    };
  };
  struct Step {
    const char* units;
    double loss;
    double rate;
  };
  const Step steps[] = {{"0", loss_mm, rate_mmpy},
                        {"1", loss_mm * mil, rate_mmpy * mil},
                        {"0", loss_mm, rate_mmpy},
                        {"1", loss_mm * mil, rate_mmpy * mil}};
  for (const Step& s : steps) {
    changeUnit(all(s.units));
    click("btnCalc");
    EXPECT_EQ(text("edMetalLoss"), QString::asprintf("%.4f", s.loss)) << "units " << s.units;
    EXPECT_EQ(text("edCorrosionRate"), QString::asprintf("%.4f", s.rate)) << "units " << s.units;
  }
}

TEST_F(CouponScreenTest, EveryValueBoxShowsItsWholeValueAtTheSmallestSize) {
  enterWorkedCoupon("T-1");
  click("btnCalc");
  changeUnit([](Unit* d) {
    for (const char* name : {"rbDe1", "rbDi1", "rbMe1", "rbWe1", "rbCo1"}) pickRadio(d, name);
  });
  screen->resize(screen->minimumSizeHint());
  QApplication::processEvents();
  EXPECT_EQ(text("edAlloyDensity"), "0.2868507");
  const int frame = screen->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  for (QLineEdit* box : screen->findChildren<QLineEdit*>()) {
    if (!box->isVisible() || box->text().isEmpty() || box->parent() != screen.get()) continue;
    // A line edit keeps two pixels of margin inside its frame on each side.
    EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), box->width() - 2 * frame - 4)
        << box->objectName().toStdString() << " \"" << box->text().toStdString() << "\"";
  }
}

// The main window's smallest size still gives the Coupon tab all the room its screen needs.
TEST(CouponInMainWindowTest, FitsTheSmallestMainWindow) {
  testing::TempHome home;
  ResetGlobals();
  {
    MainForm form;
    form.show();
    form.resize(form.minimumSize());
    form.findChild<QTabWidget*>("tbCtrl")->setCurrentIndex(2);
    QApplication::processEvents();
    Coupon* screen = form.fmCpon();
    ASSERT_TRUE(screen->isVisible());
    EXPECT_GE(screen->width(), screen->minimumSizeHint().width());
    EXPECT_GE(screen->height(), screen->minimumSizeHint().height());
    const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
      EXPECT_TRUE(form.grab().save(out + "/main_coupon_tab.png"));
    }
    form.close();
  }
  ResetGlobals();
  DataPath.clear();
  CfgFile.clear();
}

TEST_F(CouponScreenTest, TextLimitsAndTheCommentKeys) {
  type("edTag", "ABCDEFGHIJKLMN");
  EXPECT_EQ(text("edTag"), "ABCDEFGHIJ");
  auto* comment = find<QPlainTextEdit>("edComment");
  comment->setFocus();
  QTest::keyClicks(comment, "a");
  QTest::keyClick(comment, Qt::Key_Tab);
  QTest::keyClick(comment, Qt::Key_Return);
  QTest::keyClicks(comment, "b");
  EXPECT_EQ(comment->toPlainText(), "a\t\nb");
  QTest::keyClicks(comment, QString(300, QLatin1Char('x')));
  EXPECT_EQ(comment->toPlainText().size(), 255);
  EXPECT_TRUE(comment->toPlainText().startsWith("a\t\nb"));
  // Pasting in the middle keeps the text around it and cuts the pasted part.
  comment->setPlainText(QString(250, QLatin1Char('y')));
  QTextCursor cursor = comment->textCursor();
  cursor.setPosition(5);
  comment->setTextCursor(cursor);
  comment->insertPlainText("0123456789");
  EXPECT_EQ(comment->toPlainText(), QString(5, 'y') + "01234" + QString(245, 'y'));
}

// Pictures for a person to look at: runs only when TARN_SCREENSHOT_DIR names a folder
// (under xvfb-run for real fonts).
TEST_F(CouponScreenTest, Screenshots) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  screen->resize(1100, 700);
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterCylinder("CYL-1");
  auto* comment = find<QPlainTextEdit>("edComment");
  comment->setPlainText("Inlet line\nsecond line");
  click("btnCalc");
  comment->clear();
  type("edTag", "DISC-7");
  pick("cbCponTbl", "220");
  pick("cbAlloyTbl", "CU - NI(90 / 10)\t");
  click("btnCalc");
  enterWorkedCoupon("T-100");
  click("btnCalc");
  QApplication::processEvents();
  EXPECT_TRUE(screen->grab().save(out + "/coupon_tab.png"));
  // The narrowest the main window lets the tab become.
  screen->resize(screen->minimumSizeHint());
  QApplication::processEvents();
  std::printf("smallest coupon screen: %d x %d\n", screen->width(), screen->height());
  EXPECT_TRUE(screen->grab().save(out + "/coupon_tab_small.png"));
  Unit* unit = screen->unitDialog();
  unit->show();
  QApplication::processEvents();
  EXPECT_TRUE(unit->grab().save(out + "/unit_dialog.png"));
  unit->findChild<QPushButton*>("btnCancel")->click();
}

}  // namespace
}  // namespace tarn
