// SPDX-License-Identifier: GPL-3.0-or-later
// The read-only Modbus TCP server of the fleet's figures: input registers only (function 4),
// for any unit id, refreshed from the history every REFRESH seconds.
#pragma once

#include <QModbusTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <string>

#include "common/status.h"
#include "history/history_store.h"

namespace tarn {

class MapServer : public QModbusTcpServer {
  Q_OBJECT

 public:
  // `history` gives the store to read, or null while it is unreachable; `failed` hears that
  // reading it failed, so that it is opened again.
  MapServer(std::function<HistoryStore*()> history, std::function<void(const std::string&)> failed,
            int32_t refresh_s, int32_t window_days, QObject* parent = nullptr);

  // Listens on host:port and serves the first figures; fails with the reason when it cannot.
  Status Listen(const std::string& host, int32_t port);
  // Reads the history again and serves its figures.
  void Refresh();
  // Answers the complete request frames a client has sent, whatever their unit id.
  void AnswerFrames(QTcpSocket* socket);

 protected:
  QModbusResponse processRequest(const QModbusPdu& request) override;

 private:
  std::function<HistoryStore*()> history_;
  std::function<void(const std::string&)> failed_;
  int32_t window_days_;  // of the rates, as the probe list takes them
  QTimer refresh_timer_;
  bool failing_ = false;  // the last refresh failed; reported once
  int64_t served_ = -1;   // entries served, to report changes
};

}  // namespace tarn
