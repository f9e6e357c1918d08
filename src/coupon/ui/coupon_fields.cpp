// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen, part three: moving values between the current coupon and the controls
// (lists, fields, pickers, results, unit labels).
#include "coupon/ui/coupon.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTime>
#include <QTimeEdit>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "coupon/coupon_catalogue.h"
#include "coupon/coupon_items.h"
#include "coupon/severity_class.h"
#include "coupon/ui/coupon_records.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr int kCommentMax = 255;

// The open list shows whole names even when the closed box is narrower.
void WidenPopup(QComboBox* combo) {
  QAbstractItemView* view = combo->view();
  view->setMinimumWidth(view->sizeHintForColumn(0) + view->verticalScrollBar()->sizeHint().width() +
                        8);
}

// Shown by the program, so no edit is reported.
void PutPickers(DateTime dt, QDateEdit* date, QTimeEdit* time) {
  const QSignalBlocker block_date(date);
  const QSignalBlocker block_time(time);
  const DateTimeParts p = SplitDateTime(dt);
  date->setDate(QDate(p.year, p.month, p.day));
  time->setTime(QTime(p.hour, p.minute));
}

// Date from the date picker, hour and minute from the time picker, seconds 0. Pickers still
// showing `shown` give it back whole, seconds included, so a loaded coupon is not changed by
// merely reading it back.
DateTime ReadPickers(const QDateEdit* date, const QTimeEdit* time, DateTime shown) {
  const QDate d = date->date();
  const QTime t = time->time();
  const DateTimeParts p = SplitDateTime(shown);
  if (p.year == d.year() && p.month == d.month() && p.day == d.day() && p.hour == t.hour() &&
      p.minute == t.minute()) {
    return shown;
  }
  DateTime dt = shown;
  MakeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), 0, &dt);
  return dt;
}

}  // namespace

void Coupon::SetItemsAll() {
  SetAlloyTable();
  SetCouponTable();
  SetShape();
}

// The lists are filled without a selection, so the first PutValues selects like a user would.
void Coupon::SetAlloyTable() {
  const QSignalBlocker block(cbAlloyTbl);
  cbAlloyTbl->clear();
  for (int i = 0; i < kCatalogueSlots && vAlloyTbl[i].name != nullptr && vAlloyTbl[i].name[0];
       ++i) {
    cbAlloyTbl->addItem(Chars2SysStr(vAlloyTbl[i].name));
  }
  WidenPopup(cbAlloyTbl);
  cbAlloyTbl->setCurrentIndex(-1);
}

void Coupon::SetCouponTable() {
  const QSignalBlocker block(cbCponTbl);
  cbCponTbl->clear();
  for (int i = 0; i < kCatalogueSlots && vCponTbl[i].name != nullptr && vCponTbl[i].name[0]; ++i) {
    cbCponTbl->addItem(Chars2SysStr(vCponTbl[i].name));
  }
  cbCponTbl->setCurrentIndex(-1);
}

void Coupon::SetShape() {
  const QSignalBlocker block(cbShape);
  cbShape->clear();
  for (int i = 0; i < kShapeCount; ++i) cbShape->addItem(Chars2SysStr(vShapeName[i]));
  cbShape->setCurrentIndex(-1);
}

void Coupon::ChangeItemIndex(int item, int index) {
  switch (item) {
    case 0:
      SetValue(vCpon, kItemCouponType, index);
      ApplyCouponType(vCpon, index);
      SetCouponValues();
      break;
    case 1:
      SetValue(vCpon, kItemAlloy, index);
      PutAlloyValues();
      break;
    case 2:
      SetValue(vCpon, kItemShape, index);
      PutShapeValues();
      break;
    default:
      break;
  }
  is_calc = false;
  PutResult();
}

void Coupon::Input_Edited() {
  if (!is_calc) return;
  is_calc = false;
  PutResult();
}

void Coupon::SetCouponValues() {
  // A catalogue coupon's shape and dimensions are fixed.
  const bool custom = vCpon.coupon_type == 0;
  for (QWidget* w : {static_cast<QWidget*>(cbShape), static_cast<QWidget*>(edHoles),
                     static_cast<QWidget*>(edHoleDia), static_cast<QWidget*>(edLength),
                     static_cast<QWidget*>(edWidth), static_cast<QWidget*>(edThick)}) {
    w->setEnabled(custom);
  }
  cbShape->setCurrentIndex(GetValueInx(vCpon, kItemShape));
  PutShapeValues();
}

void Coupon::PutAlloyValues() {
  edAlloyDensity->setEnabled(vCpon.alloy == 0);
  SetItemText(edAlloyDensity, kItemDensity);
}

void Coupon::PutShapeValues() {
  const int shape = vCpon.shape;
  if (shape == kShapeRectangle || shape == kShapeDisc || shape == kShapeCylinder) {
    static const char* const kWidthCaption[] = {"Width", "Outer Diameter", "Diameter"};
    lbWidth->setText(QString::fromLatin1(kWidthCaption[shape]));
    const bool plate = shape != kShapeCylinder;
    const bool length = shape != kShapeDisc;
    for (QWidget* w : {static_cast<QWidget*>(lbHoles), static_cast<QWidget*>(edHoles),
                       static_cast<QWidget*>(lbHoleDia), static_cast<QWidget*>(edHoleDia),
                       static_cast<QWidget*>(lbHoleDiaUnit), static_cast<QWidget*>(lbThick),
                       static_cast<QWidget*>(edThick), static_cast<QWidget*>(lbThickUnit)}) {
      w->setVisible(plate);
    }
    for (QWidget* w : {static_cast<QWidget*>(lbLength), static_cast<QWidget*>(edLength),
                       static_cast<QWidget*>(lbLengthUnit)}) {
      w->setVisible(length);
    }
    // Hidden boxes keep their text.
    if (plate) {
      SetItemText(edHoles, kItemHoles);
      SetItemText(edHoleDia, kItemHoleDia);
      SetItemText(edThick, kItemThickness);
    }
    if (length) SetItemText(edLength, kItemLength);
  }
  SetItemText(edWidth, kItemWidth);
}

void Coupon::PutExposure() {
  inst_dt = Str2DateTime(GetValue(vCpon, kItemInstallTime, units_), nullptr);
  rem_dt = Str2DateTime(GetValue(vCpon, kItemRemovalTime, units_), nullptr);
  PutPickers(inst_dt, dtInstDate, dtInstTime);
  PutPickers(rem_dt, dtRemDate, dtRemTime);
  SetItemText(edWeightInit, kItemWeightInit);
  SetItemText(edWeightFinal, kItemWeightFinal);
}

void Coupon::PutResult() {
  if (is_calc) {
    SetItemText(edSurfaceArea, kItemArea);
    SetItemText(edTotalExposure, kItemExposure);
    SetItemText(edMetalLoss, kItemMetalLoss);
    SetItemText(edCorrosionRate, kItemCorrRate);
    const std::optional<SeverityClass> c = GeneralRateClass(vCpon.corr_rate);
    lbRateClass->setText(c ? QStringLiteral("Severity: ") + QString::fromUtf8(SeverityName(*c))
                           : QString());
  } else {
    edSurfaceArea->clear();
    edTotalExposure->clear();
    edMetalLoss->clear();
    edCorrosionRate->clear();
    lbRateClass->clear();
  }
}

void Coupon::PutValues() {
  // Each selection that changes runs ChangeItemIndex, as a user's choice would.
  SetItemText(edTag, kItemTag);
  cbCponTbl->setCurrentIndex(GetValueInx(vCpon, kItemCouponType));
  cbAlloyTbl->setCurrentIndex(GetValueInx(vCpon, kItemAlloy));
  cbShape->setCurrentIndex(GetValueInx(vCpon, kItemShape));
  SetCouponValues();
  PutAlloyValues();
  PutExposure();
  PutResult();
  // Comments written on Windows end their lines with CR LF.
  QString comment = FromUtf8(GetValue(vCpon, kItemComment, units_));
  comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edComment->setPlainText(comment);
}

bool Coupon::GetScrValues() {
  if (!CheckNumbers()) return false;
  GetItemText(edTag, kItemTag);
  GetItemText(edAlloyDensity, kItemDensity);
  GetItemText(edHoles, kItemHoles);
  GetItemText(edHoleDia, kItemHoleDia);
  GetItemText(edThick, kItemThickness);
  GetItemText(edLength, kItemLength);
  GetItemText(edWidth, kItemWidth);
  GetItemText(edWeightInit, kItemWeightInit);
  GetItemText(edWeightFinal, kItemWeightFinal);
  inst_dt = ReadPickers(dtInstDate, dtInstTime, inst_dt);
  rem_dt = ReadPickers(dtRemDate, dtRemTime, rem_dt);
  SetValue(vCpon, kItemInstallTime, DateTime2Str(inst_dt), vUnit);
  SetValue(vCpon, kItemRemovalTime, DateTime2Str(rem_dt), vUnit);
  SetValue(vCpon, kItemComment, ToUtf8(edComment->toPlainText()), vUnit);
  return true;
}

bool Coupon::CheckNumbers() {
  struct Box {
    QLineEdit* edit;
    int item;
    QString caption;
    const char* example;
  };
  const Box boxes[] = {
      {edAlloyDensity, kItemDensity, QStringLiteral("Alloy Density"), "7.94"},
      {edHoles, kItemHoles, lbHoles->text(), "2"},
      {edHoleDia, kItemHoleDia, lbHoleDia->text(), "0.4750"},
      {edThick, kItemThickness, lbThick->text(), "0.1588"},
      {edLength, kItemLength, lbLength->text(), "7.6200"},
      {edWidth, kItemWidth, lbWidth->text(), "1.2700"},
      {edWeightInit, kItemWeightInit, QStringLiteral("Initial weight"), "12.3456"},
      {edWeightFinal, kItemWeightFinal, QStringLiteral("Final weight"), "12.3456"},
  };
  for (const Box& b : boxes) {
    // Boxes the program filled hold numbers; a hidden box is not used by the shape.
    if (!b.edit->isModified() || !b.edit->isVisibleTo(this)) continue;
    if (IsItemNumber(b.item, ToUtf8(b.edit->text()), vUnit)) continue;
    const QString what =
        b.item == kItemHoles ? QStringLiteral("a whole number") : QStringLiteral("a number");
    ShowError(this, QStringLiteral("%1: enter %2 such as %3.")
                        .arg(b.caption, what, QString::fromLatin1(b.example)));
    b.edit->setFocus(Qt::OtherFocusReason);
    b.edit->selectAll();
    return false;
  }
  return true;
}

void Coupon::SetItemText(QLineEdit* edit, int item) {
  edit->setText(FromUtf8(GetValue(vCpon, item, units_)));
  // A value wider than its box shows from its first digit.
  edit->setCursorPosition(0);
}

void Coupon::GetItemText(const QLineEdit* edit, int item) {
  if (edit->isModified()) {
    SetValue(vCpon, item, ToUtf8(edit->text()), vUnit);
    return;
  }
  // The box still shows what the program put there: the record holds that value at full
  // precision, which re-reading the rounded text would lose. A catalogue alloy's density
  // reaches the record here, as it would from the text.
  if (item == kItemDensity && IsAlloyIndex(vCpon.alloy) && vCpon.alloy != 0) {
    vCpon.density = vAlloyTbl[vCpon.alloy].density;
  }
}

void Coupon::edComment_TextChanged() {
  const int excess = static_cast<int>(edComment->toPlainText().size()) - kCommentMax;
  if (excess <= 0) return;
  // Drop what was just typed or pasted beyond the limit, as a length-limited box refuses it.
  const QSignalBlocker block(edComment);
  QTextCursor cursor = edComment->textCursor();
  const int end = cursor.position();
  if (end >= excess) {
    cursor.setPosition(end - excess);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
  } else {
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, excess);
  }
  cursor.removeSelectedText();
  edComment->setTextCursor(cursor);
}

void Coupon::PutUnit() {
  lbDensityUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kDensity)));
  const QString dimension = QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kDimension));
  lbHoleDiaUnit->setText(dimension);
  lbWidthUnit->setText(dimension);
  lbLengthUnit->setText(dimension);
  lbThickUnit->setText(dimension);
  lbSurfaceAreaUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kArea)));
  lbWeightInitUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kWeight)));
  lbWeightFinalUnit->setText(lbWeightInitUnit->text());
  lbMetalLossUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kMetalLoss)));
  lbCorrosionRateUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kCorRate)));
  lbTotalExposureUnit->setText(QString::fromUtf8(CouponUnitLabel(units_, CouponLabel::kExposure)));
}

void Coupon::PutFileName() {
  lbSt2->setText(FileName.isEmpty() ? QStringLiteral("noname") : FileName);
  emit StateChanged();
}

}  // namespace tarn
