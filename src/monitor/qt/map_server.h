// The read-only Modbus TCP server of the fleet's figures: input registers only (function 4),
// for any unit id, refreshed from the history every REFRESH seconds.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QModbusTcpServer>
#include <QTimer>
#include <functional>
#include <string>

#include "history/history_store.h"

namespace tarn {

class MapServer : public QModbusTcpServer, public QModbusTcpConnectionObserver {
  Q_OBJECT

 public:
  // `history` gives the store to read, or null while it is unreachable.
  MapServer(std::function<HistoryStore*()> history, int32_t refresh_s, QObject* parent = nullptr);

  // Listens on host:port and serves the first figures; false with *error when it cannot.
  bool Listen(const std::string& host, int32_t port, std::string* error);
  // Reads the history again and serves its figures.
  void Refresh();

 protected:
  QModbusResponse processRequest(const QModbusPdu& request) override;
  bool acceptNewConnection(QTcpSocket* socket) override;

 private:
  // Qt's server answers only its own unit id; the map is the same for every unit, so before
  // Qt reads a socket's new bytes the server takes the unit id of the frames they complete.
  void TakeUnitId(QTcpSocket* socket);

  std::function<HistoryStore*()> history_;
  QHash<QTcpSocket*, QByteArray> unread_;  // bytes of frames not yet complete, per client
  QTimer refresh_timer_;
  bool failing_ = false;  // the last refresh failed; reported once
  int64_t served_ = -1;   // entries served, to report changes
};

}  // namespace tarn
