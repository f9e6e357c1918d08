// SPDX-License-Identifier: GPL-3.0-or-later
// The falls of metal loss imports flagged for review: each probe's fall too large to be
// corrosion (a reset, a replaced element read as the old one), whether its readings are set
// aside, and the probe's graph a double-click away.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace tarn {

// One flagged fall as the dialog lists it.
struct FlagRow {
  int64_t probe_id = 0;
  QString tag, serial, point, time, fall, readings;
};

class FlagsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FlagsDialog(QWidget* parent = nullptr);

  // Lists the rows, oldest first; shows the dialog (window-modal, without blocking) unless
  // only refreshed.
  void PutFlags(const std::vector<FlagRow>& rows);

  QTableView* gFlags;
  QLabel* lbFlags;
  QPushButton* btnClose;

 signals:
  // A row was double-clicked: the probe's graph is wanted.
  void GraphAsked(qint64 probe_id);

 private:
  QStandardItemModel* model_;
  std::vector<int64_t> probe_ids_;
};

}  // namespace tarn
