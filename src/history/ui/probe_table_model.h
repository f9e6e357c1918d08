// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's table: a read-only model over the history's probe list, with display texts,
// sort keys, the status colour and its reason as tooltip.
#pragma once

#include <QAbstractTableModel>
#include <QMimeData>
#include <QString>
#include <vector>

#include "history/history_store.h"
#include "history/rate_window.h"

namespace tarn {

class ProbeTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kTag,
    kSerial,
    kProbeType,
    kDataType,
    kReadings,
    kFirst,
    kLast,
    kLatest,
    kRate,
    kConsumed,
    kEnd,
    kStatus,
    kColumnCount
  };
  // Sort key of a cell (numbers and times sort as such); "tag serial" in column 0 for the filter.
  static constexpr int kSortRole = Qt::UserRole;
  static constexpr int kFilterRole = Qt::UserRole + 1;

  explicit ProbeTableModel(QObject* parent = nullptr);

  // `window_days` names the window of the rates in the rate column's title.
  void SetProbes(std::vector<ProbeSummary> probes, int window_days = kDefaultRateWindow);
  int windowDays() const { return window_days_; }
  const std::vector<ProbeSummary>& probes() const { return probes_; }
  const ProbeSummary& probe(int row) const { return probes_[static_cast<size_t>(row)]; }

  // "OK", "Warning", "Alarm"; "–" for a probe no limit applies to (potential, current).
  static QString StatusText(const ProbeSummary& p);
  // The unit of the probe's readings: "mils", "mpy", "mV"...
  static QString ValueUnit(const ProbeSummary& p);
  // Digit runs compare as numbers, so that P0-2 sorts before P0-10.
  static QString NaturalKey(const QString& text);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Rows are dragged onto the plant tree's points: the drag carries their probe ids.
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

 private:
  QString Text(const ProbeSummary& p, int column) const;
  QVariant SortKey(const ProbeSummary& p, int column) const;
  QVariant ToolTip(const ProbeSummary& p, int column) const;

  std::vector<ProbeSummary> probes_;
  int window_days_ = kDefaultRateWindow;
};

}  // namespace tarn
