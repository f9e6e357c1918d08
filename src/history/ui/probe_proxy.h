// SPDX-License-Identifier: GPL-3.0-or-later
// The sort and filter proxy of the Probes tab's tables: a text filter and the plant tree's gate.
#pragma once

#include <QSortFilterProxyModel>
#include <functional>

namespace tarn {

// Column titles on two lines (after their first word), as their words are wider than most
// columns' figures.
class ProbeProxy : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  // Rows the plant tree's node leaves in (all when unset), beside the text filter.
  std::function<bool(int source_row)> gate;
  void Regate() { invalidateFilter(); }
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    return (!gate || gate(row)) && QSortFilterProxyModel::filterAcceptsRow(row, parent);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    QVariant v = QSortFilterProxyModel::headerData(section, orientation, role);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return v;
    QString text = v.toString();
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space > 0) text[space] = QLatin1Char('\n');
    return text;
  }
};

}  // namespace tarn
