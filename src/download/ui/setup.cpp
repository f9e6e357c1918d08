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

#include "common/globals.h"
#include "common/ui/qt_text.h"
#include "download/line_params.h"
#include "download/port_name.h"

namespace tarn {

namespace {

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* cb = new QComboBox(parent);
  cb->setObjectName(QString::fromLatin1(name));
  cb->setEditable(true);
  // Typed text never becomes an entry; only a selected entry counts.
  cb->setInsertPolicy(QComboBox::NoInsert);
  cb->addItems(entries);
  return cb;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text) {
  auto* lb = new QLabel(QString::fromLatin1(text), parent);
  lb->setObjectName(QString::fromLatin1(name));
  lb->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return lb;
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

  panel1 = new QFrame(this);
  panel1->setObjectName(QStringLiteral("panel1"));
  panel1->setStyleSheet(QStringLiteral("QFrame#panel1 { background: whitesmoke; }"));

  QStringList bauds;
  for (int32_t b : kBaudRates) bauds << QString::number(b);
  label1 = MakeLabel(panel1, "label1", "PORT");
  cbPort = MakeList(panel1, "cbPort", {});
  label2 = MakeLabel(panel1, "label2", "BAUD RATE");
  cbBaud = MakeList(panel1, "cbBaud", bauds);
  label3 = MakeLabel(panel1, "label3", "PARITY");
  cbParity = MakeList(panel1, "cbParity", {"None", "Odd", "Even"});
  label4 = MakeLabel(panel1, "label4", "DATA");
  cbData = MakeList(panel1, "cbData", {"7", "8"});
  label5 = MakeLabel(panel1, "label5", "STOP");
  cbStop = MakeList(panel1, "cbStop", {"1", "2"});
  label6 = MakeLabel(panel1, "label6", "FLOW CTRL.");
  cbFlow = MakeList(panel1, "cbFlow", {"None", "RTS/CTS"});

  auto* grid = new QGridLayout(panel1);
  const std::pair<QLabel*, QComboBox*> rows[] = {{label1, cbPort},   {label2, cbBaud},
                                                 {label3, cbParity}, {label4, cbData},
                                                 {label5, cbStop},   {label6, cbFlow}};
  int r = 0;
  for (const auto& [label, list] : rows) {
    grid->addWidget(label, r, 0);
    grid->addWidget(list, r, 1);
    ++r;
  }
  grid->setColumnStretch(1, 1);

  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnDefault = new QPushButton(QStringLiteral("Default Setting"), this);
  btnDefault->setObjectName(QStringLiteral("btnDefault"));
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
