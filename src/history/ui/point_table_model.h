// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's points view: a read-only model over the history's monitoring points, each
// with its succession of probes, cumulative value, rate, consumed share, end date and status.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "history/history_store.h"

namespace tarn {

class PointTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kPath,
    kProbes,
    kTag,
    kSerial,
    kValue,
    kRate,
    kConsumed,
    kEnd,
    kStatus,
    kColumnCount
  };
  static constexpr int kSortRole = Qt::UserRole;
  static constexpr int kPathRole = Qt::UserRole + 1;  // the point's path, for the tree's filter

  explicit PointTableModel(QObject* parent = nullptr);

  void SetPoints(std::vector<PointSummary> points);
  const std::vector<PointSummary>& points() const { return points_; }
  const PointSummary& point(int row) const { return points_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QString Text(const PointSummary& p, int column) const;

  std::vector<PointSummary> points_;
};

}  // namespace tarn
