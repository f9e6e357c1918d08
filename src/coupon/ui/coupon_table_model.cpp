// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/ui/coupon_table_model.h"

#include "common/ui/qt_text.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_store.h"

namespace tarn {

CouponTableModel::CouponTableModel(const CouponStore* store, const CouponUnits* units,
                                   QObject* parent)
    : QAbstractTableModel(parent), store_(store), units_(units) {}

int CouponTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : store_->record_count;
}

int CouponTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kCouponColumns;
}

QVariant CouponTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const int row = index.row();
  const int column = index.column();
  if (row < 0 || row >= store_->record_count || column < 0 || column >= kCouponColumns) return {};
  return FromUtf8(CouponCellTextUtf8(store_->items[row], column, *units_));
}

QVariant CouponTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section < 0 || section >= kCouponColumns) return {};
  return QString::fromLatin1(kCouponColumnHeader[section]);
}

Qt::ItemFlags CouponTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void CouponTableModel::BeginAppend() {
  beginInsertRows(QModelIndex(), store_->record_count, store_->record_count);
}

void CouponTableModel::EndAppend() {
  endInsertRows();
}

void CouponTableModel::BeginInsert(int row) {
  beginInsertRows(QModelIndex(), row, row);
}

void CouponTableModel::EndInsert() {
  endInsertRows();
}

void CouponTableModel::BeginRemove(int row) {
  beginRemoveRows(QModelIndex(), row, row);
}

void CouponTableModel::EndRemove() {
  endRemoveRows();
}

void CouponTableModel::BeginRebuild() {
  beginResetModel();
}

void CouponTableModel::EndRebuild() {
  endResetModel();
}

}  // namespace tarn
