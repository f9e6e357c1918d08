// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-transmitter-sim: stands in for online ER and LPR transmitters. Serves their input
// registers over Modbus TCP and/or Modbus RTU on a pseudo-terminal, prints each address it serves
// (as a monitor's ADDRESS takes it), and can fall silent for a while on request.
#include <QCoreApplication>
#include <QModbusRtuSerialServer>
#include <QModbusTcpServer>
#include <QSerialPort>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <iostream>
#include <memory>

#include "monitor/sim/qt/pty_relay.h"
#include "monitor/sim/qt/sim_server.h"
#include "monitor/sim/sim_options.h"

namespace tarn {
namespace {

using TcpServer = SimServer<QModbusTcpServer>;
using RtuServer = SimServer<QModbusRtuSerialServer>;

// The port the TCP server really listens on (it was asked for 0: any free port).
int ListeningPort(const QModbusTcpServer& server, int asked) {
  if (asked != 0) return asked;
  const QTcpServer* listener = server.findChild<QTcpServer*>();
  return listener != nullptr ? listener->serverPort() : 0;
}

int Run(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions o;
  std::string error;
  if (!ParseSimArgs(args, o, error)) {
    std::cerr << "tarn-transmitter-sim: " << error << "\n" << SimUsage();
    return 2;
  }
  if (o.help) {
    std::cout << SimUsage();
    return 0;
  }
  RegisterIndex index;
  if (!index.Build(o.transmitters, error)) {
    std::cerr << "tarn-transmitter-sim: " << error << "\n";
    return 2;
  }
  const SimClock clock(o.time_scale);
  std::FILE* log = nullptr;
  if (!o.log.empty() && (log = std::fopen(o.log.c_str(), "w")) == nullptr) {
    std::cerr << "tarn-transmitter-sim: cannot write " << o.log << "\n";
    return 1;
  }
  if (log != nullptr) std::setvbuf(log, nullptr, _IOLBF, 0);  // whole lines, even when killed

  std::unique_ptr<TcpServer> tcp;
  int tcp_port = o.tcp_port;
  if (o.tcp) {
    tcp = std::make_unique<TcpServer>(index, clock);
    tcp->setServerAddress(o.unit_id);
    tcp->SetLog(log);
    tcp->setConnectionParameter(QModbusDevice::NetworkAddressParameter,
                                QString::fromStdString(o.tcp_host));
    tcp->setConnectionParameter(QModbusDevice::NetworkPortParameter, o.tcp_port);
    if (!tcp->connectDevice()) {
      std::cerr << "tarn-transmitter-sim: cannot listen on " << o.tcp_host << ":" << o.tcp_port
                << ": " << tcp->errorString().toStdString() << "\n";
      return 1;
    }
    tcp_port = ListeningPort(*tcp, o.tcp_port);
    // Silences that reopen the server must find the same port again.
    tcp->setConnectionParameter(QModbusDevice::NetworkPortParameter, tcp_port);
    std::cout << "tcp://" << o.tcp_host << ":" << tcp_port << std::endl;
  }

  PtyRelay relay;
  std::unique_ptr<RtuServer> rtu;
  if (o.rtu) {
    QString why;
    if (!relay.Open(why)) {
      std::cerr << "tarn-transmitter-sim: " << why.toStdString() << "\n";
      return 1;
    }
    rtu = std::make_unique<RtuServer>(index, clock);
    rtu->setServerAddress(o.unit_id);
    rtu->SetLog(log);
    rtu->setConnectionParameter(QModbusDevice::SerialPortNameParameter, relay.ServerPath());
    rtu->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, o.baud);
    rtu->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    rtu->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    rtu->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    if (!rtu->connectDevice()) {
      std::cerr << "tarn-transmitter-sim: cannot open " << relay.ServerPath().toStdString() << ": "
                << rtu->errorString().toStdString() << "\n";
      return 1;
    }
    std::cout << "rtu:" << relay.ClientPath().toStdString() << "?baud=" << o.baud << std::endl;
  }
  std::cerr << "tarn-transmitter-sim: " << o.transmitters.size() << " transmitter(s), unit "
            << o.unit_id << std::endl;

  // Silences: the TCP server closes (clients are refused), the terminal drops every byte.
  QTimer silence;
  bool silent = false;
  QObject::connect(&silence, &QTimer::timeout, [&] {
    const bool now = SilentAt(o.silent, clock.RealSeconds());
    if (now == silent) return;
    silent = now;
    std::cerr << "tarn-transmitter-sim: " << (silent ? "silent" : "answering again") << std::endl;
    relay.SetMuted(silent);
    if (tcp && silent) tcp->disconnectDevice();
    if (tcp && !silent && !tcp->connectDevice())
      std::cerr << "tarn-transmitter-sim: cannot listen again: " << tcp->errorString().toStdString()
                << std::endl;
  });
  if (!o.silent.empty()) silence.start(50);
  return app.exec();
}

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  return tarn::Run(argc, argv);
}
