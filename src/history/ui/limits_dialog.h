// SPDX-License-Identifier: GPL-3.0-or-later
// The limits dialog of the Probes tab: warning and alarm levels for the rate and the consumed
// share, for all probes (the defaults) or for the selected ones, checked before they are kept.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "history/history_store.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tarn {

// Reads the four texts (rate warning and alarm in mpy, consumed warning and alarm in per cent)
// into limits; false with a one-line reason when one is not a number, is negative, or a warning
// is not below its alarm.
bool ParseLimits(const QString (&texts)[4], HistoryLimits* limits, QString* error);

class LimitsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LimitsDialog(QWidget* parent = nullptr);

  // `selected` names the selected probes (empty: only the defaults can be set); the fields show
  // `shown`.
  void Init(const HistoryLimits& defaults, const HistoryLimits& shown, const QStringList& selected);
  void PutLimits(const HistoryLimits& limits);

  // After OK: what to store and where.
  bool ForDefaults() const;
  bool UseDefaults() const;  // the selected probes drop their own limits
  const HistoryLimits& limits() const { return limits_; }

  QLineEdit* edRateWarn;
  QLineEdit* edRateAlarm;
  QLineEdit* edConsumedWarn;
  QLineEdit* edConsumedAlarm;
  QRadioButton* rbDefaults;
  QRadioButton* rbSelected;
  QCheckBox* chkUseDefaults;
  QLabel* lbError;
  QDialogButtonBox* buttons;

 private:
  void btnOk_Click();
  void SetEnable();

  HistoryLimits defaults_;
  HistoryLimits limits_;
};

}  // namespace tarn
