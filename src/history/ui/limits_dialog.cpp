// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/limits_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "common/ui/locale_number.h"

namespace tarn {

namespace {

const char* const kNames[4] = {"Rate warning", "Rate alarm", "Consumed warning", "Consumed alarm"};

bool ParseNumber(const QString& text, double* value) {
  bool ok = false;
  const QString t = text.trimmed();
  double v = QLocale().toDouble(t, &ok);
  if (!ok) v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseLimits(const QString (&texts)[4], HistoryLimits* limits, QString* error) {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseNumber(texts[i], &v[i])) {
      *error = QStringLiteral("%1 must be a number.").arg(QString::fromLatin1(kNames[i]));
      return false;
    }
    if (v[i] < 0) {
      *error = QStringLiteral("%1 cannot be negative.").arg(QString::fromLatin1(kNames[i]));
      return false;
    }
  }
  if (!(v[0] < v[1])) {
    *error = QStringLiteral("Rate warning must be below rate alarm.");
    return false;
  }
  if (!(v[2] < v[3])) {
    *error = QStringLiteral("Consumed warning must be below consumed alarm.");
    return false;
  }
  *limits = {v[0], v[1], v[2] / 100.0, v[3] / 100.0};
  return true;
}

LimitsDialog::LimitsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LimitsDialog"));
  setWindowTitle(QStringLiteral("Limits"));
  const auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    return e;
  };
  edRateWarn = edit("edRateWarn");
  edRateAlarm = edit("edRateAlarm");
  edConsumedWarn = edit("edConsumedWarn");
  edConsumedAlarm = edit("edConsumedAlarm");
  rbDefaults = new QRadioButton(QStringLiteral("Defaults for all probes"), this);
  rbDefaults->setObjectName(QStringLiteral("rbDefaults"));
  rbSelected = new QRadioButton(this);
  rbSelected->setObjectName(QStringLiteral("rbSelected"));
  chkUseDefaults = new QCheckBox(QStringLiteral("Follow the defaults"), this);
  chkUseDefaults->setObjectName(QStringLiteral("chkUseDefaults"));
  lbError = new QLabel(this);
  lbError->setObjectName(QStringLiteral("lbError"));
  lbError->setStyleSheet(QStringLiteral("color: #b00000;"));
  lbError->setWordWrap(true);
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Rate warning above (mpy)"), edRateWarn);
  form->addRow(QStringLiteral("Rate alarm above (mpy)"), edRateAlarm);
  form->addRow(QStringLiteral("Consumed warning above (%)"), edConsumedWarn);
  form->addRow(QStringLiteral("Consumed alarm above (%)"), edConsumedAlarm);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(rbDefaults);
  layout->addWidget(rbSelected);
  layout->addWidget(chkUseDefaults);
  layout->addLayout(form);
  layout->addWidget(new QLabel(
      QStringLiteral("Probes in mm take the rate levels converted to mm/y (1 mpy = 0.0254 mm/y)."),
      this));
  layout->addWidget(lbError);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, [this] { btnOk_Click(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(rbDefaults, &QRadioButton::toggled, this, [this](bool on) {
    if (on) PutLimits(defaults_);
    SetEnable();
  });
  connect(chkUseDefaults, &QCheckBox::toggled, this, [this] { SetEnable(); });
}

void LimitsDialog::Init(const HistoryLimits& defaults, const HistoryLimits& shown,
                        const QStringList& selected) {
  defaults_ = defaults;
  lbError->clear();
  rbSelected->setText(selected.size() == 1
                          ? QStringLiteral("Probe %1").arg(selected.first())
                          : QStringLiteral("The %1 selected probes").arg(selected.size()));
  rbSelected->setEnabled(!selected.isEmpty());
  chkUseDefaults->setChecked(false);
  (selected.isEmpty() ? rbDefaults : rbSelected)->setChecked(true);
  PutLimits(selected.isEmpty() ? defaults : shown);
  SetEnable();
}

void LimitsDialog::PutLimits(const HistoryLimits& l) {
  edRateWarn->setText(LocaleNumber(l.rate_warn, 2));
  edRateAlarm->setText(LocaleNumber(l.rate_alarm, 2));
  edConsumedWarn->setText(LocaleNumber(l.consumed_warn * 100.0, 1));
  edConsumedAlarm->setText(LocaleNumber(l.consumed_alarm * 100.0, 1));
}

void LimitsDialog::SetEnable() {
  chkUseDefaults->setEnabled(rbSelected->isChecked());
  const bool own = !(rbSelected->isChecked() && chkUseDefaults->isChecked());
  for (QLineEdit* e : {edRateWarn, edRateAlarm, edConsumedWarn, edConsumedAlarm})
    e->setEnabled(own);
}

bool LimitsDialog::ForDefaults() const {
  return rbDefaults->isChecked();
}

bool LimitsDialog::UseDefaults() const {
  return rbSelected->isChecked() && chkUseDefaults->isChecked();
}

void LimitsDialog::btnOk_Click() {
  if (UseDefaults()) {
    accept();
    return;
  }
  const QString texts[4] = {edRateWarn->text(), edRateAlarm->text(), edConsumedWarn->text(),
                            edConsumedAlarm->text()};
  QString error;
  if (!ParseLimits(texts, &limits_, &error)) {
    lbError->setText(error);
    return;
  }
  accept();
}

}  // namespace tarn
