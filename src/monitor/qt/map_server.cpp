#include "monitor/qt/map_server.h"

#include <QModbusDataUnitMap>
#include <QTcpSocket>
#include <ctime>

#include "monitor/modbus_map.h"
#include "monitor/qt/monitor_log.h"

namespace tarn {

MapServer::MapServer(std::function<HistoryStore*()> history, int32_t refresh_s, QObject* parent)
    : QModbusTcpServer(parent), history_(std::move(history)) {
  QModbusDataUnitMap map;
  map.insert(QModbusDataUnit::InputRegisters,
             QModbusDataUnit(QModbusDataUnit::InputRegisters, 0, kMapRegisters));
  setMap(map);
  installConnectionObserver(this);
  refresh_timer_.setInterval(refresh_s * 1000);
  connect(&refresh_timer_, &QTimer::timeout, this, &MapServer::Refresh);
}

bool MapServer::Listen(const std::string& host, int32_t port, std::string* error) {
  setConnectionParameter(QModbusDevice::NetworkAddressParameter, QString::fromStdString(host));
  setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
  if (!connectDevice()) {
    *error =
        "cannot serve on " + host + ":" + std::to_string(port) + ": " + errorString().toStdString();
    return false;
  }
  MonitorLog("serving the register map on " + host + ":" + std::to_string(port));
  Refresh();
  refresh_timer_.start();
  return true;
}

void MapServer::Refresh() {
  HistoryStore* store = history_();
  std::vector<ProbeSummary> probes;
  HistoryStatus st = HistoryStatus::Fail("the history is unreachable");
  if (store) {
    probes = store->ListProbes(0);
    st = store->LastError();
  }
  if (!st) {
    if (!failing_) MonitorLog("served figures not refreshed: " + st.message);
    failing_ = true;
    return;
  }
  if (failing_) MonitorLog("served figures refreshed again");
  failing_ = false;
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const std::vector<MapEntry> entries = MapEntriesFromProbes(probes, now);
  const std::vector<uint16_t> regs = EncodeRegisterMap(entries, now);
  setData(QModbusDataUnit(QModbusDataUnit::InputRegisters, 0,
                          QList<quint16>(regs.begin(), regs.end())));
  if (static_cast<int64_t>(entries.size()) != served_) {
    MonitorLog("serving " + std::to_string(entries.size()) + " entries" +
               (probes.size() > entries.size()
                    ? " (the first of " + std::to_string(probes.size()) + " probes)"
                    : ""));
    served_ = static_cast<int64_t>(entries.size());
  }
}

QModbusResponse MapServer::processRequest(const QModbusPdu& request) {
  // Read-only: the control system reads the figures and can change nothing.
  if (request.functionCode() != QModbusPdu::ReadInputRegisters) {
    return QModbusExceptionResponse(request.functionCode(),
                                    QModbusExceptionResponse::IllegalFunction);
  }
  return QModbusTcpServer::processRequest(request);
}

}  // namespace tarn

namespace tarn {

bool MapServer::acceptNewConnection(QTcpSocket* socket) {
  // Connected before Qt's own handler, so this runs first on every read.
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { TakeUnitId(socket); });
  connect(socket, &QObject::destroyed, this, [this, socket] { unread_.remove(socket); });
  return true;
}

void MapServer::TakeUnitId(QTcpSocket* socket) {
  QByteArray& bytes = unread_[socket];
  bytes.append(socket->peek(socket->bytesAvailable()));
  // A frame: transaction (2), protocol (2), length (2) counting the unit id and the PDU.
  constexpr int kHeader = 6;
  int at = 0;
  while (bytes.size() - at >= kHeader + 1) {
    const int length =
        (static_cast<uint8_t>(bytes[at + 4]) << 8) | static_cast<uint8_t>(bytes[at + 5]);
    if (length < 2 || length > 254) {
      bytes.clear();  // not Modbus: Qt's handler drops it
      return;
    }
    if (bytes.size() - at < kHeader + length) break;
    setServerAddress(static_cast<uint8_t>(bytes[at + kHeader]));
    at += kHeader + length;
  }
  bytes.remove(0, at);
}

}  // namespace tarn
