// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ui/setup.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "download/line_params.h"
#include "download/port_name.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

QComboBox* MakeList(const char* name, const QStringList& entries, QWidget* parent) {
  auto* cb = new QComboBox(parent);
  cb->setObjectName(QString::fromLatin1(name));
  cb->setEditable(true);
  // Typed text never becomes an entry; only a selected entry counts.
  cb->setInsertPolicy(QComboBox::NoInsert);
  cb->addItems(entries);
  return cb;
}

// The entry the list stands on: typing an entry's exact text selects it, other typed text
// leaves no selection.
int SelectedIndex(const QComboBox* cb) {
  const int i = cb->currentIndex();
  if (i >= 0 && cb->itemText(i) == cb->currentText()) return i;
  return cb->findText(cb->currentText(), Qt::MatchExactly);
}

void Select(QComboBox* cb, int index) {
  cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
  if (cb->currentIndex() < 0) cb->setEditText(QString());
}

}  // namespace

Setup::Setup(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Setup"));
  setWindowTitle(QStringLiteral("Setup"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(QFont(QStringLiteral("Verdana"), 9));
  setStyleSheet(QStringLiteral("tarn--Setup { background: gainsboro; }"));
  setFixedSize(339, 282);

  panel1 = MakePanel("panel1", this);
  panel1->setStyleSheet(QStringLiteral("QFrame#panel1 { background: whitesmoke; }"));

  QStringList bauds;
  for (int32_t b : kBaudRates) bauds << QString::number(b);
  label1 = MakeLabel("label1", "PORT", panel1);
  cbPort = MakeList("cbPort", {}, panel1);
  label2 = MakeLabel("label2", "BAUD RATE", panel1);
  cbBaud = MakeList("cbBaud", bauds, panel1);
  label3 = MakeLabel("label3", "PARITY", panel1);
  cbParity = MakeList("cbParity", {"None", "Odd", "Even"}, panel1);
  label4 = MakeLabel("label4", "DATA", panel1);
  cbData = MakeList("cbData", {"7", "8"}, panel1);
  label5 = MakeLabel("label5", "STOP", panel1);
  cbStop = MakeList("cbStop", {"1", "2"}, panel1);
  label6 = MakeLabel("label6", "FLOW CTRL.", panel1);
  cbFlow = MakeList("cbFlow", {"None", "RTS/CTS"}, panel1);

  auto* grid = new QGridLayout(panel1);
  const std::pair<QLabel*, QComboBox*> rows[] = {{label1, cbPort},   {label2, cbBaud},
                                                 {label3, cbParity}, {label4, cbData},
                                                 {label5, cbStop},   {label6, cbFlow}};
  int r = 0;
  for (const auto& [label, list] : rows) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(label, r, 0);
    grid->addWidget(list, r, 1);
    ++r;
  }
  grid->setColumnStretch(1, 1);

  btnOk = MakeButton("btnOk", QStringLiteral("&OK"), this, "Keep these port settings");
  btnCancel = MakeButton("btnCancel", QStringLiteral("&Cancel"), this,
                         "Close without changing the port settings");
  btnDefault = MakeButton("btnDefault", QStringLiteral("&Default Setting"), this,
                          "Put back the default line settings");
  btnDefault->setStyleSheet(QStringLiteral("background: darkseagreen;"));
  for (QPushButton* b : {btnOk, btnCancel, btnDefault}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnDefault);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(panel1, 1);
  outer->addLayout(buttons);

  connect(btnOk, &QPushButton::clicked, this, &Setup::btnOk_Click);
  connect(btnCancel, &QPushButton::clicked, this, &Setup::btnCancel_Click);
  connect(btnDefault, &QPushButton::clicked, this, &Setup::btnDefault_Click);
}

void Setup::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window system re-showing it is not a new opening
  CopyToTmp();
  GetUsePort();
  PutValues();
}

void Setup::CopyToTmp() {
  p_port = vSetup.port;
  p_baud = vSetup.baud;
  p_parity = vSetup.parity;
  p_data = vSetup.data;
  p_stop = vSetup.stop;
  p_flow = vSetup.flow;
}

void Setup::GetUsePort() {
  cbPort->clear();
  QStringList names;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) names << info.portName();
  // Pseudo-terminals (the instrument simulator) are never reported by the system.
  const QString extra = qEnvironmentVariable("TARN_EXTRA_PORTS");
  for (const QString& path : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    const QString name = FromUtf8(ShortPortName(ToUtf8(path)));
    if (!names.contains(name)) names << name;
  }
  cbPort->addItems(names);
}

int Setup::GetPortIndex(int32_t p_num) const {
  if (p_num == 0) return -1;
  const QString name = FromUtf8(PortNameFromNumber(p_num));
  if (name.isEmpty()) return -1;
  return cbPort->findText(name, Qt::MatchExactly);
}

void Setup::PutValues() {
  Select(cbPort, GetPortIndex(p_port));
  Select(cbBaud, p_baud);
  Select(cbParity, p_parity);
  Select(cbData, p_data);
  Select(cbStop, p_stop);
  Select(cbFlow, p_flow);
}

void Setup::GetValues() {
  const int port = SelectedIndex(cbPort);
  vSetup.port = port >= 0 ? PortNumberFromName(ToUtf8(cbPort->itemText(port))) : 0;
  vSetup.baud = SelectedIndex(cbBaud);
  vSetup.parity = SelectedIndex(cbParity);
  vSetup.data = SelectedIndex(cbData);
  vSetup.stop = SelectedIndex(cbStop);
  vSetup.flow = SelectedIndex(cbFlow);
}

void Setup::SetDefault() {
  p_port = LineDefaults::port;
  p_baud = LineDefaults::baud;
  p_parity = LineDefaults::parity;
  p_data = LineDefaults::data;
  p_stop = LineDefaults::stop;
  p_flow = LineDefaults::flow;
  PutValues();
}

void Setup::btnOk_Click() {
  GetValues();
  accept();
}

void Setup::btnCancel_Click() {
  reject();
}

void Setup::btnDefault_Click() {
  SetDefault();
}

}  // namespace tarn
