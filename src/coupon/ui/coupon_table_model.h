// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon table of the Coupon tab: a read-only model over the coupon store, formatting each
// cell in the units of display only when the view asks for it.
#pragma once

#include <QAbstractTableModel>

namespace tarn {

struct CouponStore;
struct CouponUnits;

class CouponTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Reads store and units in place; both must outlive the model.
  CouponTableModel(const CouponStore* store, const CouponUnits* units, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Bracket every change of the store so that the views follow it.
  void BeginAppend();  // one coupon about to be added at the end
  void EndAppend();
  void BeginInsert(int row);  // one coupon about to be put back at row
  void EndInsert();
  void BeginRemove(int row);
  void EndRemove();
  void BeginRebuild();  // the whole store, or the units, about to change
  void EndRebuild();

 private:
  const CouponStore* store_;
  const CouponUnits* units_;
};

}  // namespace tarn
