// The Probes tab's table: a read-only model over the history's probe list, with display texts,
// sort keys, the status colour and its reason as tooltip.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "history/history_store.h"

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

  void SetProbes(std::vector<ProbeSummary> probes);
  const std::vector<ProbeSummary>& probes() const { return probes_; }
  const ProbeSummary& probe(int row) const { return probes_[static_cast<size_t>(row)]; }

  static QString StatusText(ProbeState state);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QString Text(const ProbeSummary& p, int column) const;
  QVariant SortKey(const ProbeSummary& p, int column) const;

  std::vector<ProbeSummary> probes_;
};

}  // namespace tarn
