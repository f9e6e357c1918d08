// SPDX-License-Identifier: GPL-3.0-or-later
// "Add to history": the table's coupons go to the probe history, each at its point.
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "common/ui/message_box.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/coupon_records.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

QString Coupons(long long n) {
  return n == 1 ? QStringLiteral("1 coupon") : QStringLiteral("%1 coupons").arg(n);
}

}  // namespace

void Coupon::setHistoryAdder(HistoryAdder adder) {
  history_adder_ = std::move(adder);
  btnAddHistory->setEnabled(static_cast<bool>(history_adder_));
}

void Coupon::btnAddHistory_Click() {
  AddToHistory();
}

void Coupon::AddToHistory() {
  if (!history_adder_) return;
  if (vCponData.record_count <= 0) {
    ShowError(this, QStringLiteral("The table holds no coupons to add to the history."));
    return;
  }
  const std::vector<_coupon_values_> rows(vCponData.items,
                                          vCponData.items + vCponData.record_count);
  // The history keeps the unit the rates are shown in here.
  const HistoryAdd done = history_adder_(rows, vUnit[4].sel == 1);
  if (!done.ok) {
    ShowError(this, done.message);
    return;
  }
  QMessageBox box(QMessageBox::Information, QStringLiteral("Add to history"),
                  QStringLiteral("%1 added to the history, %2 already held.")
                      .arg(Coupons(done.added), QString::number(done.held)),
                  QMessageBox::Ok, this);
  box.exec();
}

}  // namespace tarn
