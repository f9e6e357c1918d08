// SPDX-License-Identifier: GPL-3.0-or-later
// The history of changes: every change made to the history through Tarn, with its time, who
// made it, what it changed and the values before and after, filtered by any of its words.
#pragma once

#include <QDialog>
#include <functional>

#include "history/history_store.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace tarn {

class ChangeTableModel;

class ChangesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ChangesDialog(QWidget* parent = nullptr);
  ~ChangesDialog() override;

  // Shows the trail (window-modal, without blocking), read from the store `store` gives.
  void Open(std::function<HistoryStore*()> store);
  // Reads the trail again; on failure keeps the rows and says why.
  void PutChanges();

  QLineEdit* edFilter;
  QTableView* gChanges;
  QLabel* lbChanges;
  QPushButton* btnClose;

 private:
  void PutCount();

  std::function<HistoryStore*()> store_;
  ChangeTableModel* model_;
  QSortFilterProxyModel* proxy_;
};

}  // namespace tarn
