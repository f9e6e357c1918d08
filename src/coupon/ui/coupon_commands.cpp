// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen, part four: its commands (calculate, clear, change unit, open, save,
// export) and the button handlers that run them.
#include "coupon/ui/coupon.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QStringList>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "coupon/coupon_calc.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon_records.h"
#include "coupon/ui/unit.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

// File dialog filters in the "Description(*.ext)|*.ext" form; Qt reads the pattern from the
// description's brackets.
constexpr char kCouponFilter[] = "Coupon Data (*.CPN)|*.CPN";
constexpr char kExportFilter[] =
    "CSV files(*.csv)|*.csv|Excel files(*.xls)|*.xls|Excel workbook (*.xlsx)|*.xlsx";

QStringList NameFilters(const char* pairs) {
  const QStringList parts = QString::fromLatin1(pairs).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    filters << (description.contains(QLatin1Char('('))
                    ? description
                    : description + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')'));
  }
  return filters;
}

}  // namespace

bool Coupon::PressKey(ScreenKey key) {
  return PressButtonOf(key, {{ScreenKey::kOpen, btnOpen},
                             {ScreenKey::kSave, btnSaveAs},
                             {ScreenKey::kSaveAs, btnSaveAs},
                             {ScreenKey::kExport, btnExport}});
}

void Coupon::showEvent(QShowEvent* event) {
  if (!shown_once_) {
    shown_once_ = true;
    SetItemsAll();
    SetUnitRatio(vUnit, units_);
    PutUnit();
    PutValues();
  }
  QWidget::showEvent(event);
}

void Coupon::btnCalc_Click() {
  Calc();
}

void Coupon::btnOpen_Click() {
  if (!ask_before_open_ || MaybeSave()) OpenData();
}

void Coupon::btnAdd_Click() {
  AddScr2Table();
}

void Coupon::btnSaveAs_Click() {
  SaveData();
}

void Coupon::btnUnit_Click() {
  SetUnit();
}

void Coupon::btnExport_Click() {
  SaveExport();
}

void Coupon::btnDel_Click() {
  DeleteData();
}

void Coupon::btnClear_Click() {
  ClearValues();
  PutValues();
  PutFileName();
}

bool Coupon::Calc() {
  if (!GetScrValues() || !CalcCoupon(vCpon, inst_dt, rem_dt, *notifier_)) {
    // Whatever was on screen belongs to inputs that are no longer there.
    is_calc = false;
    PutResult();
    return false;
  }
  is_calc = true;
  PutResult();
  if (chkAutoAdd->isChecked()) AddScr2Table();
  return true;
}

void Coupon::ClearValues() {
  is_calc = false;
  const DateTime now = LocalNow();
  ResetCoupon(vCpon, now);
  inst_dt = now;
  rem_dt = now;
}

void Coupon::SetUnit() {
  if (!GetScrValues()) return;
  fmUnit->exec();
  SetUnitRatio(vUnit, units_);
  PutUnit();
  PutTable();
  PutValues();
}

bool Coupon::RunFileDialog(QFileDialog& dialog, LastFolder& folder, QString* path,
                           QString* filter) {
  dialog.setDirectory(folder.Start(FromUtf8(DataPath) + QStringLiteral("COUPON")));
  dialog.selectFile(QString());
  if (dialog.acceptMode() == QFileDialog::AcceptSave) FollowChosenType(&dialog);
  if (file_dialog_runner_) {
    if (!file_dialog_runner_(dialog, path, filter)) return false;
  } else {
    if (dialog.exec() != QDialog::Accepted) return false;
    *path = ChosenFile(&dialog);
    *filter = dialog.selectedNameFilter();
    if (path->isEmpty()) return false;
  }
  folder.Use(*path);
  return true;
}

void Coupon::OpenData() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgOpen"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(WithAllFiles(NameFilters(kCouponFilter)));
  dialog.setDefaultSuffix(QStringLiteral("CPN"));
  QString path;
  QString filter;
  if (!RunFileDialog(dialog, file_folder_, &path, &filter)) return;
  OpenFile(path);
}

void Coupon::OpenFile(const QString& path) {
  // Whatever the file held, the screen takes its name and redraws from the store.
  Open(ToUtf8(path), vCponData, *notifier_);
  FileName = path;
  modified_ = false;
  undo_row_ = -1;
  PutFileName();
  PutTable();
  PutValues();
  is_calc = true;
  PutResult();
}

void Coupon::SaveData() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgSave"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(WithAllFiles(NameFilters(kCouponFilter)));
  dialog.setDefaultSuffix(QStringLiteral("CPN"));
  QString path;
  QString filter;
  if (!RunFileDialog(dialog, file_folder_, &path, &filter)) return;
  TypeOfSavedFile(dialog.nameFilters(), filter, &path);
  if (!Save(ToUtf8(path), vCponData, *notifier_)) return;
  FileName = path;
  modified_ = false;
  PutFileName();
}

bool Coupon::MaybeSave() {
  if (!modified_) return true;
  switch (AskSave(this, QStringLiteral("The coupon table has changes that are not saved."))) {
    case SaveChoice::kSave:
      SaveData();
      return !modified_;
    case SaveChoice::kDiscard:
      return true;
    case SaveChoice::kCancel:
      break;
  }
  return false;
}

void Coupon::SetModified(bool modified) {
  modified_ = modified;
  emit StateChanged();
}

void Coupon::SaveExport() {
  if (!Calc()) return;
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgExport"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFilters(kExportFilter);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  QString path;
  QString filter;
  if (!RunFileDialog(dialog, export_folder_, &path, &filter)) return;
  switch (TypeOfSavedFile(filters, filter, &path)) {
    case 1:
      SaveXls(ToUtf8(path), vCponData, units_, *notifier_);
      break;
    case 2:
      SaveXlsx(ToUtf8(path), vCponData, units_, *notifier_);
      break;
    default:
      SaveCsv(ToUtf8(path), vCponData, units_, *notifier_);
      break;
  }
}

}  // namespace tarn
