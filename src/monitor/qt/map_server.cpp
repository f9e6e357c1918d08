// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/qt/map_server.h"

#include <QModbusDataUnitMap>
#include <QTcpSocket>
#include <ctime>

#include "monitor/modbus_map.h"
#include "monitor/qt/monitor_log.h"

namespace tarn {

namespace {

// Qt's server answers only its own unit id, and drops the frames of any other; the map is the
// same for every unit. So the server reads each client's frames itself, before Qt's handler
// (which then finds nothing to read), has Qt's Modbus stack answer each request, and sends the
// answer back under the frame's own transaction and unit id.
class AnyUnit : public QModbusTcpConnectionObserver {
 public:
  explicit AnyUnit(MapServer* server) : server_(server) {}

  bool acceptNewConnection(QTcpSocket* socket) override {
    // Connected before Qt's own handler, so this runs first on every read.
    MapServer* server = server_;
    QObject::connect(socket, &QTcpSocket::readyRead, server,
                     [server, socket] { server->AnswerFrames(socket); });
    return true;
  }

 private:
  MapServer* server_;
};

}  // namespace

void MapServer::AnswerFrames(QTcpSocket* socket) {
  // The bytes of a frame not yet complete stay with the socket, and go with it.
  constexpr const char* kUnread = "tarn_unread";
  QByteArray bytes = socket->property(kUnread).toByteArray();
  bytes.append(socket->readAll());
  // A frame: transaction (2), protocol (2), length (2) counting the unit id and the PDU.
  constexpr int kHeader = 6;
  auto byte = [&bytes](int at) { return static_cast<uint8_t>(bytes[at]); };
  QByteArray answers;
  int at = 0;
  while (bytes.size() - at >= kHeader + 1) {
    const int protocol = (byte(at + 2) << 8) | byte(at + 3);
    const int length = (byte(at + 4) << 8) | byte(at + 5);
    if (protocol != 0 || length < 2 || length > 254) {
      socket->abort();  // not Modbus
      return;
    }
    if (bytes.size() - at < kHeader + length) break;
    const QModbusRequest request(static_cast<QModbusPdu::FunctionCode>(byte(at + kHeader + 1)),
                                 bytes.mid(at + kHeader + 2, length - 2));
    const QModbusResponse response = processRequest(request);
    const QByteArray data = response.data();
    const int answer_length = 2 + static_cast<int>(data.size());
    answers.append(bytes.mid(at, 4));  // transaction and protocol
    answers.append(static_cast<char>(answer_length >> 8));
    answers.append(static_cast<char>(answer_length & 0xFF));
    answers.append(bytes[at + kHeader]);  // the unit id asked for
    answers.append(static_cast<char>(response.functionCode() |
                                     (response.isException() ? QModbusPdu::ExceptionByte : 0)));
    answers.append(data);
    at += kHeader + length;
  }
  bytes.remove(0, at);
  socket->setProperty(kUnread, bytes);
  if (!answers.isEmpty()) socket->write(answers);
}

MapServer::MapServer(std::function<HistoryStore*()> history,
                     std::function<void(const std::string&)> failed, int32_t refresh_s,
                     int32_t window_days, QObject* parent)
    : QModbusTcpServer(parent),
      history_(std::move(history)),
      failed_(std::move(failed)),
      window_days_(window_days) {
  QModbusDataUnitMap map;
  map.insert(QModbusDataUnit::InputRegisters,
             QModbusDataUnit(QModbusDataUnit::InputRegisters, 0, kMapRegisters));
  setMap(map);
  installConnectionObserver(new AnyUnit(this));  // the server owns it
  refresh_timer_.setInterval(refresh_s * 1000);
  connect(&refresh_timer_, &QTimer::timeout, this, &MapServer::Refresh);
}

Status MapServer::Listen(const std::string& host, int32_t port) {
  setConnectionParameter(QModbusDevice::NetworkAddressParameter, QString::fromStdString(host));
  setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
  if (!connectDevice()) {
    return Status::Fail("cannot serve on " + host + ":" + std::to_string(port) + ": " +
                        errorString().toStdString());
  }
  MonitorLog("serving the register map on " + host + ":" + std::to_string(port));
  Refresh();
  refresh_timer_.start();
  return {};
}

void MapServer::Refresh() {
  HistoryStore* store = history_();
  std::vector<PointSummary> points;
  std::vector<ProbeSummary> probes;
  Status st = Status::Fail("the history is unreachable");
  if (store) {
    points = store->ListPoints(window_days_);
    st = store->LastError();
    // A history without points (none of its probes placed yet) shows its probes.
    if (st && points.empty()) {
      probes = store->ListProbes(window_days_);
      st = store->LastError();
    }
    if (!st) failed_(st.message);
  }
  if (!st) {
    if (!failing_) MonitorLog("served figures not refreshed: " + st.message);
    failing_ = true;
    return;
  }
  if (failing_) MonitorLog("served figures refreshed again");
  failing_ = false;
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const std::vector<MapEntry> entries =
      points.empty() ? MapEntriesFromProbes(probes, now) : MapEntriesFromPoints(points, now);
  const std::size_t listed = points.empty() ? probes.size() : points.size();
  const std::vector<uint16_t> regs = EncodeRegisterMap(entries, now);
  setData(QModbusDataUnit(QModbusDataUnit::InputRegisters, 0,
                          QList<quint16>(regs.begin(), regs.end())));
  if (static_cast<int64_t>(entries.size()) != served_) {
    MonitorLog("serving " + std::to_string(entries.size()) + " entries" +
               (listed > entries.size() ? " (the first of " + std::to_string(listed) +
                                              (points.empty() ? " probes)" : " points)")
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
