// SPDX-License-Identifier: GPL-3.0-or-later
// The event dialog of the Probes tab and the history graph: an event's time, the point, unit or
// site it is on, its kind and its note, checked before they are kept.
#pragma once

#include <QDialog>

#include "history/history_store.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace tarn {

class EventDialog : public QDialog {
  Q_OBJECT

 public:
  explicit EventDialog(QWidget* parent = nullptr);

  // Shows `event` (a new one has id 0) for adding or editing.
  void Init(const HistoryEvent& event);
  // After OK: the event as entered (narrow texts, as the history keeps them).
  const HistoryEvent& event() const { return event_; }

  QLineEdit* edWhen;
  QLineEdit* edPath;
  QComboBox* cbKind;
  QLineEdit* edNote;
  QLabel* lbError;
  QDialogButtonBox* buttons;

 private:
  void Accept();
  HistoryEvent event_;
};

}  // namespace tarn
