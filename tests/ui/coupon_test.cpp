// SPDX-License-Identifier: GPL-3.0-or-later
// Coupon screen: typing, picking and clicking like a user through the calculation, the table,
// the unit dialog, and the open, save and export dialogs (answered through the test seam).
#include <gtest/gtest.h>

#include "ui/coupon_screen_fixture.h"

namespace tarn {
namespace {

using namespace ::tarn::testing;  // the coupon screen fixture and the widget helpers

TEST_F(CouponScreenTest, FirstShowingLayoutAndCaptions) {
  EXPECT_EQ(find<QLabel>("lbTitle")->text(), "COUPON");
  EXPECT_TRUE(find<QLabel>("lbTitle")->font().bold());
  EXPECT_EQ(find<QLabel>("lbSt1")->text(), "File Name");
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), "noname");
  const char* buttons[][2] = {{"btnCalc", "Calculate"}, {"btnOpen", "Open"},
                              {"btnAdd", "Add"},        {"btnSaveAs", "Save"},
                              {"btnClear", "Clear"},    {"btnUnit", "Change Unit"},
                              {"btnExport", "Export"},  {"btnDel", "Delete"}};
  for (const auto& b : buttons) EXPECT_EQ(testing::Caption(find<QPushButton>(b[0])), b[1]);
  EXPECT_EQ(find<QCheckBox>("chkAutoAdd")->text(), "Auto Add Data");
  EXPECT_FALSE(find<QCheckBox>("chkAutoAdd")->isChecked());
  // The right-hand column runs top to bottom, and Delete sits right of Export.
  EXPECT_LT(find<QPushButton>("btnCalc")->y(), find<QPushButton>("btnOpen")->y());
  EXPECT_LT(find<QPushButton>("btnClear")->y(), find<QPushButton>("btnUnit")->y());
  EXPECT_LT(find<QPushButton>("btnExport")->x(), find<QPushButton>("btnDel")->x());
  EXPECT_GT(find<QPushButton>("btnCalc")->x(), table()->x() + table()->width());
  for (const char* title : {"pnConfigTitle", "pnExposureTitle", "pnResultTitle"}) {
    EXPECT_TRUE(find<QLabel>(title)->text().startsWith("   ")) << title;
  }
  EXPECT_EQ(find<QLabel>("pnConfigTitle")->text(), "   Coupon Configuration");
  EXPECT_EQ(find<QLabel>("pnExposureTitle")->text(), "   Exposure Data");
  EXPECT_EQ(find<QLabel>("pnResultTitle")->text(), "   Result");

  // Lists in catalogue order, "Custom" selected and every configuration box open for typing.
  auto* types = find<QComboBox>("cbCponTbl");
  auto* alloys = find<QComboBox>("cbAlloyTbl");
  auto* shapes = find<QComboBox>("cbShape");
  EXPECT_EQ(types->count(), 17);
  EXPECT_EQ(types->itemText(16), "RSC");
  EXPECT_EQ(alloys->count(), 34);
  EXPECT_EQ(alloys->itemText(21), "CU - NI(90 / 10)\t");
  EXPECT_EQ(shapes->count(), 3);
  EXPECT_EQ(shapes->itemText(2), "Cylinder");
  EXPECT_EQ(types->currentText(), "Custom");
  EXPECT_EQ(alloys->currentText(), "Custom");
  EXPECT_EQ(shapes->currentText(), "Rectangle");
  for (const char* name : {"edHoles", "edHoleDia", "edLength", "edWidth", "edThick"}) {
    EXPECT_TRUE(edit(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(shapes->isEnabled());
  EXPECT_EQ(text("edLength"), "0.0000");
  EXPECT_EQ(text("edAlloyDensity"), "0.00");
  EXPECT_EQ(text("edHoles"), "0");
  EXPECT_EQ(text("edSurfaceArea"), "");

  // Unit labels in the stored units.
  const char* labels[][2] = {{"lbDensityUnit", "g/cm^3"},
                             {"lbHoleDiaUnit", "cm"},
                             {"lbLengthUnit", "cm"},
                             {"lbWidthUnit", "cm"},
                             {"lbThickUnit", "cm"},
                             {"lbSurfaceAreaUnit", "cm^2"},
                             {"lbWeightInitUnit", "g"},
                             {"lbWeightFinalUnit", "g"},
                             {"lbMetalLossUnit", "mm"},
                             {"lbTotalExposureUnit", "hours"},
                             {"lbCorrosionRateUnit", "mm/year (mmpy)"}};
  for (const auto& l : labels) EXPECT_EQ(find<QLabel>(l[0])->text(), l[1]) << l[0];

  // Pickers: both now, dates "dd/MM/yyyy" with a calendar, times "HH:mm" with arrows.
  auto* inst_date = find<QDateEdit>("dtInstDate");
  auto* inst_time = find<QTimeEdit>("dtInstTime");
  EXPECT_EQ(inst_date->displayFormat(), "dd/MM/yyyy");
  EXPECT_TRUE(inst_date->calendarPopup());
  EXPECT_EQ(inst_time->displayFormat(), "HH:mm");
  EXPECT_FALSE(inst_time->calendarPopup());
  EXPECT_EQ(inst_time->buttonSymbols(), QAbstractSpinBox::UpDownArrows);
  EXPECT_EQ(inst_date->date(), QDate::currentDate());
  EXPECT_EQ(find<QDateEdit>("dtRemDate")->date(), inst_date->date());
  EXPECT_EQ(find<QTimeEdit>("dtRemTime")->time(), inst_time->time());
  // The up arrow steps the time by a unit of the section under the cursor.
  inst_time->setTime(QTime(8, 59));
  inst_time->setCurrentSection(QDateTimeEdit::MinuteSection);
  inst_time->stepUp();
  EXPECT_EQ(inst_time->time(), QTime(8, 59));  // minutes do not wrap into the hour
  inst_time->setCurrentSection(QDateTimeEdit::HourSection);
  inst_time->stepUp();
  EXPECT_EQ(inst_time->time(), QTime(9, 59));

  // Table: 20 headers, whole single rows, no row headers, no sorting, read-only.
  QTableView* t = table();
  ASSERT_EQ(t->model()->columnCount(), 20);
  const char* headers[] = {
      "Tag",          "Coupon Type",    "Alloy",        "Alloy Density",  "Shape",
      "# of Holes",   "Hole Diameter",  "Length",       "Outer Diameter", "Width",
      "Thickness",    "Install Date",   "Removal Date", "Initial Weight", "Final Weight",
      "Surface Area", "Total Exposure", "Metal Loss",   "Corrosion Rate", "Comments"};
  for (int c = 0; c < 20; ++c) {
    EXPECT_EQ(t->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
  }
  EXPECT_EQ(t->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(t->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(t->verticalHeader()->isVisible());
  EXPECT_FALSE(t->isSortingEnabled());
  EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);

  // Wide enough: the columns fill the width exactly. Narrow: they keep their headers' words
  // readable and the table scrolls.
  auto section_sum = [t]() {
    int sum = 0;
    for (int c = 0; c < 20; ++c) sum += t->horizontalHeader()->sectionSize(c);
    return sum;
  };
  screen->resize(2600, 760);
  QApplication::processEvents();
  EXPECT_EQ(section_sum(), t->viewport()->width());
  screen->resize(900, 700);
  QApplication::processEvents();
  EXPECT_GT(section_sum(), t->viewport()->width());
  const QFontMetrics fm(t->horizontalHeader()->font());
  EXPECT_GE(t->horizontalHeader()->sectionSize(18), fm.horizontalAdvance("Corrosion"));
  EXPECT_GE(t->horizontalHeader()->sectionSize(11), fm.horizontalAdvance("00/00/0000 00:00:00"));
}

TEST_F(CouponScreenTest, WorkedCouponCalculatesAndAddsOneRow) {
  enterWorkedCoupon("T-1");
  // A catalogue coupon fixes its shape and dimensions; a catalogue alloy its density.
  for (const char* name : {"edHoles", "edHoleDia", "edLength", "edWidth", "edThick"}) {
    EXPECT_FALSE(edit(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(find<QComboBox>("cbShape")->isEnabled());
  EXPECT_FALSE(edit("edAlloyDensity")->isEnabled());
  EXPECT_EQ(text("edAlloyDensity"), "7.94");
  EXPECT_EQ(text("edLength"), "7.6200");
  EXPECT_EQ(text("edWidth"), "1.2700");
  EXPECT_EQ(text("edThick"), "0.1588");
  EXPECT_EQ(text("edHoleDia"), "0.4750");
  EXPECT_EQ(text("edHoles"), "1");

  click("btnCalc");
  const double loss = 0.1 / (7.94 * 21.8239) * 10.0;
  const double rate = 0.1 / (7.94 * 21.8239 * 720.0) * 87600.0;
  EXPECT_EQ(text("edSurfaceArea"), "21.8239");
  EXPECT_EQ(text("edTotalExposure"), "720.00");
  EXPECT_EQ(text("edMetalLoss"), QString::asprintf("%.4f", loss));
  EXPECT_EQ(text("edCorrosionRate"), QString::asprintf("%.4f", rate));
  // 0.0702 mm/y: from 0.025 to below 0.125 is Moderate.
  EXPECT_EQ(find<QLabel>("lbRateClass")->text(), "Severity: Moderate");
  EXPECT_TRUE(find<QLabel>("lbRateClass")->toolTip().contains("Severe: above 0.25 mm/y"));
  EXPECT_TRUE(screen->isCalc());
  EXPECT_EQ(rows(), 0);  // "Auto Add Data" is clear

  click("btnAdd");
  ASSERT_EQ(rows(), 1);
  const QString expected[20] = {"T-1",
                                "100",
                                "304SS",
                                "7.94",
                                "Rectangle",
                                "1",
                                "0.4750",
                                "7.6200",
                                "-",
                                "1.2700",
                                "0.1588",
                                "01/03/2026 08:00:00",
                                "31/03/2026 08:00:00",
                                "10.0000",
                                "9.9000",
                                "21.8239",
                                "720.00",
                                QString::asprintf("%.4f", loss),
                                QString::asprintf("%.4f", rate),
                                ""};
  for (int c = 0; c < 20; ++c) EXPECT_EQ(cell(0, c), expected[c]) << "column " << c;

  // Choosing another alloy invalidates the result, which leaves the screen.
  pick("cbAlloyTbl", "316SS");
  EXPECT_EQ(text("edSurfaceArea"), "");
  EXPECT_EQ(clickExpectingError("btnAdd"), "Calculated values are not.");
  EXPECT_EQ(rows(), 1);
}

TEST_F(CouponScreenTest, CustomCouponTypeZeroesDimensionsAndAreaIsRefused) {
  enterWorkedCoupon("T-2");
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  pick("cbCponTbl", "Custom");
  for (const char* name : {"edHoleDia", "edLength", "edWidth", "edThick"}) {
    EXPECT_TRUE(edit(name)->isEnabled()) << name;
    EXPECT_EQ(text(name), "0.0000") << name;
  }
  EXPECT_EQ(text("edHoles"), "0");
  EXPECT_TRUE(find<QComboBox>("cbShape")->isEnabled());
  EXPECT_EQ(clickExpectingError("btnCalc"),
            "Cannot calculate Metal Loss. Alloy Density or Surface Area value is less than or "
            "equal to zero.");
  EXPECT_EQ(rows(), 0);
  EXPECT_FALSE(screen->isCalc());
  EXPECT_EQ(vCpon.area, 0.0);
}

TEST_F(CouponScreenTest, ShapesHideTheirUnusedBoxesAndTheTableShowsDashes) {
  pick("cbShape", "Disc");
  EXPECT_EQ(find<QLabel>("lbWidth")->text(), "Outer Diameter");
  EXPECT_FALSE(edit("edLength")->isVisible());
  EXPECT_FALSE(find<QLabel>("lbLength")->isVisible());
  EXPECT_TRUE(edit("edThick")->isVisible());
  EXPECT_TRUE(edit("edHoles")->isVisible());

  // Values left in boxes that a cylinder hides do not count.
  pick("cbShape", "Rectangle");
  type("edHoles", "3");
  type("edThick", "2");
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterCylinder("CYL");
  EXPECT_EQ(find<QLabel>("lbWidth")->text(), "Diameter");
  for (const char* name : {"lbHoles", "lbHoleDia", "lbHoleDiaUnit", "lbThick", "lbThickUnit"}) {
    EXPECT_FALSE(find<QLabel>(name)->isVisible()) << name;
  }
  for (const char* name : {"edHoles", "edHoleDia", "edThick"}) {
    EXPECT_FALSE(edit(name)->isVisible()) << name;
  }
  EXPECT_TRUE(edit("edLength")->isVisible());
  EXPECT_EQ(text("edThick"), "2");  // hidden boxes keep their text
  click("btnCalc");
  const double area = (1.0 * 1.0 / 4.0) * kPi + 1.0 * kPi * 5.0;
  EXPECT_EQ(text("edSurfaceArea"), QString::asprintf("%.4f", area));
  ASSERT_EQ(rows(), 1);
  EXPECT_EQ(cell(0, 4), "Cylinder");
  EXPECT_EQ(cell(0, 5), "-");
  EXPECT_EQ(cell(0, 6), "-");
  EXPECT_EQ(cell(0, 7), "5.0000");
  EXPECT_EQ(cell(0, 8), "1.0000");
  EXPECT_EQ(cell(0, 9), "-");
  EXPECT_EQ(cell(0, 10), "-");
  EXPECT_EQ(cell(0, 3), "8.00");
  EXPECT_EQ(cell(0, 16), "240.00");
}

TEST_F(CouponScreenTest, AutoAddAppendsOnlySuccessfulCalculations) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterWorkedCoupon("A");
  click("btnCalc");
  click("btnCalc");
  EXPECT_EQ(rows(), 2);
  // Removal equal to installation: the loss is computed, the rate refused, nothing added.
  setTimes(QDateTime(QDate(2026, 3, 1), QTime(8, 0)), QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
  EXPECT_EQ(clickExpectingError("btnCalc"),
            "Cannot calculate Corrosion Rate. Total Exposure time is less than or equal to zero.");
  EXPECT_EQ(rows(), 2);
  EXPECT_NEAR(vCpon.metal_loss, 0.1 / (7.94 * 21.8239) * 10.0, 1e-6);
  EXPECT_EQ(vCpon.exposure, 0.0);

  // The store refuses a coupon beyond its capacity.
  setTimes(QDateTime(QDate(2026, 3, 1), QTime(8, 0)), QDateTime(QDate(2026, 3, 2), QTime(8, 0)));
  find<QCheckBox>("chkAutoAdd")->setChecked(false);
  click("btnCalc");
  vCponData.record_count = kCouponCapacity;
  screen->PutTable();
  EXPECT_EQ(clickExpectingError("btnAdd"), "You can not add anu more.");
  EXPECT_EQ(vCponData.record_count, kCouponCapacity);
}

TEST_F(CouponScreenTest, DeleteFollowsTheLastClickedRow) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  for (const char* tag : {"R0", "R1", "R2", "R3"}) {
    enterWorkedCoupon(tag);
    click("btnCalc");
  }
  ASSERT_EQ(rows(), 4);
  // No click yet: the first row goes.
  click("btnDel");
  ASSERT_EQ(rows(), 3);
  EXPECT_EQ(cell(0, 0), "R1");
  // After a click on a column header nothing is deleted.
  clickHeader(3);
  EXPECT_EQ(screen->selectedRow(), -1);
  click("btnDel");
  EXPECT_EQ(rows(), 3);
  // A clicked row goes, then the row that moved into its place.
  clickCell(1, 5);
  EXPECT_EQ(screen->selectedRow(), 1);
  click("btnDel");
  ASSERT_EQ(rows(), 2);
  EXPECT_EQ(cell(1, 0), "R3");
  click("btnDel");
  ASSERT_EQ(rows(), 1);
  EXPECT_EQ(cell(0, 0), "R1");
  // Beyond the last row: the last row goes.
  click("btnDel");
  EXPECT_EQ(rows(), 0);
  click("btnDel");
  EXPECT_EQ(rows(), 0);
  EXPECT_EQ(vCponData.record_count, 0);
}

TEST_F(CouponScreenTest, ChangeUnitConvertsTheScreenOrShowsTheLastStoredCoupon) {
  // Empty store: the coupon on screen is converted.
  enterWorkedCoupon("U1");
  changeUnit([](Unit* d) {
    pickRadio(d, "rbDi1");
    pickRadio(d, "rbDe1");
  });
  EXPECT_EQ(vUnit[kUnitDimension].sel, 1);
  EXPECT_EQ(find<QLabel>("lbLengthUnit")->text(), "in");
  EXPECT_EQ(find<QLabel>("lbSurfaceAreaUnit")->text(), "in^2");
  EXPECT_EQ(find<QLabel>("lbDensityUnit")->text(), "lb/in^3");
  EXPECT_EQ(text("edLength"), QString::asprintf("%.4f", 7.62 * 0.393700787));
  EXPECT_EQ(text("edAlloyDensity"), QString::asprintf("%.7f", 7.94 * 0.036127292));
  EXPECT_EQ(text("edWeightInit"), "10.0000");
  EXPECT_EQ(text("edTag"), "U1");

  // The calculation takes the catalogue's dimensions, not their text rounded to 1/10000 inch.
  click("btnCalc");
  EXPECT_EQ(text("edSurfaceArea"), QString::asprintf("%.4f", 21.8239 * 0.393700787 * 0.393700787));
  EXPECT_NEAR(vCpon.area, 21.8239, 1e-4);

  // Cancel: nothing changes.
  changeUnit([](Unit* d) { pickRadio(d, "rbDi0"); }, "btnCancel");
  EXPECT_EQ(vUnit[kUnitDimension].sel, 1);
  EXPECT_EQ(find<QLabel>("lbLengthUnit")->text(), "in");

  // With stored coupons the fields show the last stored one, and the table is redrawn.
  click("btnAdd");
  enterWorkedCoupon("U2");
  click("btnCalc");
  click("btnAdd");
  enterCylinder("SCREEN");
  changeUnit([](Unit* d) {
    pickRadio(d, "rbDi0");
    pickRadio(d, "rbWe1");
  });
  EXPECT_EQ(text("edTag"), "U2");
  EXPECT_EQ(find<QComboBox>("cbCponTbl")->currentText(), "100");
  EXPECT_EQ(text("edLength"), "7.6200");
  EXPECT_EQ(text("edWeightInit"), QString::asprintf("%.4f", 10 * 0.03527396));
  EXPECT_EQ(cell(0, 7), "7.6200");
  EXPECT_EQ(cell(1, 13), QString::asprintf("%.4f", 10 * 0.03527396));
  EXPECT_EQ(find<QLabel>("lbWeightFinalUnit")->text(), "oz");
}

TEST_F(CouponScreenTest, ClearKeepsTheTableAndTheFileName) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterWorkedCoupon("KEEP");
  type("edWeightInit", "11");
  click("btnCalc");
  DialogCall call;
  answerFileDialogs(&call, coupon_dir + "/keep.CPN");
  click("btnSaveAs");
  ASSERT_EQ(find<QLabel>("lbSt2")->text(), coupon_dir + "/keep.CPN");

  click("btnClear");
  EXPECT_EQ(rows(), 1);
  EXPECT_EQ(cell(0, 0), "KEEP");
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), coupon_dir + "/keep.CPN");
  EXPECT_EQ(text("edTag"), "");
  EXPECT_EQ(text("edWeightInit"), "0.0000");
  EXPECT_EQ(text("edSurfaceArea"), "");
  EXPECT_EQ(find<QComboBox>("cbCponTbl")->currentText(), "Custom");
  EXPECT_EQ(find<QComboBox>("cbAlloyTbl")->currentText(), "Custom");
  EXPECT_TRUE(edit("edLength")->isEnabled());
  EXPECT_EQ(find<QDateEdit>("dtInstDate")->date(), QDate::currentDate());
  EXPECT_FALSE(screen->isCalc());
}

TEST_F(CouponScreenTest, SaveThenOpenInOtherUnits) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterWorkedCoupon("S1");
  auto* comment = find<QPlainTextEdit>("edComment");
  comment->setFocus();
  QTest::keyClicks(comment, "line one");
  QTest::keyClick(comment, Qt::Key_Return);
  QTest::keyClick(comment, Qt::Key_Tab);
  comment->insertPlainText(QString::fromUtf8("caf\u00e9"));  // pasted
  click("btnCalc");
  enterCylinder("S2");
  comment->clear();
  click("btnCalc");
  ASSERT_EQ(rows(), 2);

  // Cancelling the save dialog changes nothing.
  DialogCall call;
  answerFileDialogs(&call, QString(), -1);
  click("btnSaveAs");
  EXPECT_EQ(call.calls, 1);
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), "noname");
  EXPECT_EQ(call.mode, QFileDialog::AcceptSave);
  EXPECT_EQ(QDir(call.directory), QDir(coupon_dir));
  EXPECT_EQ(call.filters, (QStringList{"Coupon Data (*.CPN)", "All files (*)"}));
  EXPECT_EQ(call.default_suffix, "CPN");

  const QString path = coupon_dir + "/two.CPN";
  answerFileDialogs(&call, path);
  click("btnSaveAs");
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), path);
  EXPECT_EQ(QFile(path).size(), 14 + 424 * 2);

  // Reopen in other units on a screen whose store was emptied meanwhile.
  clickCell(0, 0);
  click("btnDel");
  click("btnDel");
  click("btnClear");
  ASSERT_EQ(rows(), 0);
  changeUnit([](Unit* d) {
    pickRadio(d, "rbDi1");
    pickRadio(d, "rbMe1");
    pickRadio(d, "rbCo1");
  });
  answerFileDialogs(&call, path);
  click("btnOpen");
  EXPECT_EQ(call.mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(call.filters, (QStringList{"Coupon Data (*.CPN)", "All files (*)"}));
  EXPECT_EQ(QDir(call.directory), QDir(coupon_dir));
  ASSERT_EQ(rows(), 2);
  EXPECT_EQ(cell(0, 0), "S1");
  EXPECT_EQ(cell(0, 7), QString::asprintf("%.4f", 7.62 * 0.393700787));
  EXPECT_EQ(cell(0, 17), QString::asprintf("%.4f", 0.1 / (7.94 * 21.8239) * 10.0 * 39.3700787));
  EXPECT_EQ(cell(0, 19), QString::fromUtf8("line one\n\tcaf\u00e9"));
  EXPECT_EQ(cell(1, 0), "S2");
  // The fields show the last coupon with its stored results.
  EXPECT_EQ(text("edTag"), "S2");
  EXPECT_EQ(find<QComboBox>("cbShape")->currentText(), "Cylinder");
  EXPECT_EQ(text("edWidth"), QString::asprintf("%.4f", 1 * 0.393700787));
  EXPECT_EQ(text("edTotalExposure"), "240.00");
  EXPECT_FALSE(text("edCorrosionRate").isEmpty());
  EXPECT_EQ(find<QLabel>("lbCorrosionRateUnit")->text(), "mils/year(mpy)");
  EXPECT_TRUE(screen->isCalc());
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), path);
}

TEST_F(CouponScreenTest, FileFailuresAreReported) {
  find<QCheckBox>("chkAutoAdd")->setChecked(true);
  enterWorkedCoupon("F1");
  click("btnCalc");

  // Not a coupon file: the store stays, the screen still takes the name.
  const QString junk = coupon_dir + "/junk.CPN";
  {
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("NOT_A_COUPON_FILE_AT_ALL");
  }
  DialogCall call;
  answerFileDialogs(&call, junk);
  EXPECT_EQ(clickExpectingError("btnOpen"), "Invalid Coupon Data.");
  EXPECT_EQ(rows(), 1);
  EXPECT_EQ(cell(0, 0), "F1");
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), junk);

  // A save that cannot be written keeps the old name.
  answerFileDialogs(&call, home.path() + "/no/such/folder/x.CPN");
  EXPECT_TRUE(clickExpectingError("btnSaveAs").startsWith("Write Fault Error. The folder "));
  EXPECT_EQ(find<QLabel>("lbSt2")->text(), junk);

  // An empty store saves as 14 bytes and opens as an empty table.
  click("btnDel");
  ASSERT_EQ(rows(), 0);
  const QString empty = coupon_dir + "/empty.CPN";
  answerFileDialogs(&call, empty);
  click("btnSaveAs");
  EXPECT_EQ(QFile(empty).size(), 14);
  enterWorkedCoupon("F2");
  click("btnCalc");
  ASSERT_EQ(rows(), 1);
  click("btnOpen");
  EXPECT_EQ(rows(), 0);
}

}  // namespace
}  // namespace tarn
