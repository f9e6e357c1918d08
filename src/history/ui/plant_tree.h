// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's plant tree: sites, units and points, each node with a dot of the worst state
// under it and the counts in alarm and warning drawn as small badges; probes dragged from the
// probe table drop onto a point.
#pragma once

#include <QMimeData>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

// The node's path ("" for the whole plant) and whether a point is at it.
inline constexpr int kNodePathRole = Qt::UserRole + 1;
inline constexpr int kNodePointRole = Qt::UserRole + 2;  // the point's id; none for a site/unit
inline constexpr int kNodeAlarmsRole = Qt::UserRole + 3;
inline constexpr int kNodeWarningsRole = Qt::UserRole + 4;

// What a drag of probe rows carries: their ids.
inline constexpr char kProbeIdsMime[] = "application/x-tarn-probe-ids";
QMimeData* ProbeIdsMime(const std::vector<int64_t>& ids);
std::vector<int64_t> ProbeIdsOf(const QMimeData* mime);

class PlantTreeModel : public QStandardItemModel {
  Q_OBJECT

 public:
  using QStandardItemModel::QStandardItemModel;

  // Fills the tree with the plant's sites, units and points, the whole plant at the top.
  void PutPlant(const std::vector<PointSummary>& points);

  // Called with the probes dropped on a point and the point's path; false refuses the drop.
  std::function<bool(const std::vector<int64_t>& probe_ids, const std::string& path)> dropped;

  QStringList mimeTypes() const override;
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;
};

// Draws a node's counts in alarm and warning as red and amber badges at the row's right end,
// the name elided before them.
class PlantNodeDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

// The status colour rows and nodes share.
QColor StateColor(ProbeState state);

}  // namespace tarn
