// SPDX-License-Identifier: GPL-3.0-or-later
// The screens behind the Coupon, Analysis and Probes tabs. The program makes each one when it is
// first wanted, so that the window shows without building tabs the user may never open; once
// made, a screen is hooked up exactly as if it had been there from the start.
#include <QKeySequence>
#include <QLayout>
#include <QShortcut>
#include <QTableView>

#include "analysis/ui/anl.h"
#include "app/button_hints.h"
#include "app/main_form.h"
#include "common/ui/qt_text.h"
#include "coupon/ui/coupon.h"
#include "history/history_location.h"
#include "history/ui/probes.h"
#include "settings/ui/settings_records.h"

namespace tarn {

Coupon* MainForm::fmCpon() {
  if (fmCpon_ == nullptr) {
    fmCpon_ = new Coupon(this);
    CouponMade();
  }
  return fmCpon_;
}

Anl* MainForm::fmAnl() {
  if (fmAnl_ == nullptr) {
    fmAnl_ = new Anl(this);
    AnlMade();
  }
  return fmAnl_;
}

Probes* MainForm::fmPrb() {
  if (fmPrb_ == nullptr) {
    fmPrb_ = new Probes(this);
    ProbesMade();
  }
  return fmPrb_;
}

void MainForm::PlaceScreen(QWidget* screen, QWidget* page) {
  SetButtonHints(screen);
  screen->hide();
  // Before the first show the screens go to their pages with the rest (SetChildScr).
  if (shown_) page->layout()->addWidget(screen);
}

void MainForm::CouponMade() {
  connect(fmCpon_, &Coupon::StateChanged, this, &MainForm::PutTitle);
  connect(fmCpon_, &Coupon::StateChanged, this,
          [this] { NoteRecent(kRecentCoupon, fmCpon_->fileName()); });
  fmCpon_->setAskBeforeOpen(true);
  // Delete removes the selected coupon row and Ctrl+Z brings back the last one removed; both
  // only while the table has the focus, so that the text boxes keep their own keys.
  if (auto* table = fmCpon_->findChild<QTableView*>(QStringLiteral("gCpon"))) {
    auto* del = new QShortcut(QKeySequence::Delete, table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, fmCpon_, &Coupon::DeleteData);
    auto* undo = new QShortcut(QKeySequence::Undo, table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(undo, &QShortcut::activated, fmCpon_, &Coupon::UndoDelete);
  }
  SetRecentMenu(kRecentCoupon, fmCpon_);
  PlaceScreen(fmCpon_, tbPg3);
}

void MainForm::AnlMade() {
  connect(fmAnl_, &Anl::DialogMade, this, &MainForm::DialogMade);
  connect(fmAnl_, &Anl::FileNameChanged, this, &MainForm::PutTitle);
  connect(fmAnl_, &Anl::FileNameChanged, this, [this] {
    if (fmAnl_->reader().tag_count > 0)
      NoteRecent(kRecentInstrument, FromUtf8(fmAnl_->reader().FileName));
  });
  SetRecentMenu(kRecentInstrument, fmAnl_);
  PlaceScreen(fmAnl_, tbPg4);
}

void MainForm::ProbesMade() {
  connect(fmPrb_, &Probes::HistoryChanged, this, &MainForm::PutTitle);
  PlaceScreen(fmPrb_, tbPg5);
  if (shown_) ReadProbesSettings();
}

// Known once the window has been shown (MainForm_Shown).
void MainForm::ReadProbesSettings() {
  fmPrb_->LoadSettings(CfgFile);
  fmPrb_->SetHistoryLocation(ResolveHistoryLocation(history_location_, CfgFile, DataPath));
}

}  // namespace tarn
