// SPDX-License-Identifier: GPL-3.0-or-later
// The Conflicts view of one probe: each stored reading that files offered other values for,
// beside those values and the file each came from; the user keeps the stored value or takes an
// offered one, and can change that choice again at any time.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "history/history_store.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tarn {

class ConflictTableModel;

class ConflictsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ConflictsDialog(QWidget* parent = nullptr);
  ~ConflictsDialog() override;

  // Shows the probe's conflicts (window-modal, without blocking), read from the store `store`
  // gives at each use.
  void Open(std::function<HistoryStore*()> store, const ProbeSummary& probe);
  // Reads the conflicts again; on failure keeps the rows and says why.
  void PutConflicts();
  // Keeps the stored value (`take` false) or takes the offered value of the chosen row.
  void Choose(bool take);

  QTableView* gConflicts;
  QLabel* lbConflicts;
  QPushButton* btnKeep;
  QPushButton* btnTake;
  QPushButton* btnClose;

 signals:
  // A choice changed the probe's readings.
  void Changed();

 private:
  void SetEnable();

  std::function<HistoryStore*()> store_;
  HistoryStore* Store() const { return store_ ? store_() : nullptr; }
  ProbeSummary probe_;
  ConflictTableModel* model_;
};

}  // namespace tarn
