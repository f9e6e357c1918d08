// Coupon screen: typing, picking and clicking like a user through the calculation, the table,
// the unit dialog, and the open, save and export dialogs (answered through the test seam).
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

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

constexpr double kDefaultRatio[kUnitCount] = {0.036127292, 0.393700787, 39.3700787, 0.03527396,
                                              39.3700787};
constexpr double kPi = 3.141592653589793;

void ResetGlobals() {
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
