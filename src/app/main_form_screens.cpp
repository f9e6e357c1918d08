// SPDX-License-Identifier: GPL-3.0-or-later
// The screens behind the Coupon, Analysis and Probes tabs. The program makes each one when it is
// first wanted, so that the window shows without building tabs the user may never open; once
// made, a screen is hooked up exactly as if it had been there from the start.
#include <QLayout>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "common/ui/qt_text.h"
#include "coupon/ui/coupon.h"
#include "history/history_location.h"
#include "history/history_store.h"
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
  screen->hide();
  // Before the first show the screens go to their pages with the rest (SetChildScr).
  if (shown_) page->layout()->addWidget(screen);
}

void MainForm::CouponMade() {
  connect(fmCpon_, &Coupon::StateChanged, this, &MainForm::PutTitle);
  connect(fmCpon_, &Coupon::StateChanged, this,
          [this] { NoteRecent(kRecentCoupon, fmCpon_->fileName()); });
  fmCpon_->setAskBeforeOpen(true);
  // The history is the Probes tab's, opened there when first needed.
  fmCpon_->setHistoryAdder([this](const std::vector<_coupon_values_>& records, bool mils) {
    Coupon::HistoryAdd done;
    HistoryStore* store = fmPrb()->store();
    if (store == nullptr) {
      done.message = QStringLiteral("The probe history could not be opened: see the Probes tab.");
      return done;
    }
    const CouponImportResult r = store->ImportCoupons(records, mils);
    done.ok = r.status.ok;
    done.added = r.added;
    done.held = r.held;
    done.message = FromUtf8(r.status.message);
    return done;
  });
  SetRecentMenu(kRecentCoupon, fmCpon_->openButton());
  PlaceScreen(fmCpon_, tbPg3);
}

void MainForm::AnlMade() {
  connect(fmAnl_, &Anl::FileNameChanged, this, &MainForm::PutTitle);
  connect(fmAnl_, &Anl::FileNameChanged, this, [this] {
    if (fmAnl_->reader().tag_count > 0)
      NoteRecent(kRecentInstrument, FromUtf8(fmAnl_->reader().FileName));
  });
  SetRecentMenu(kRecentInstrument, fmAnl_->openButton());
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
