// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal for Modbus RTU clients, relayed to a second one that the RTU server opens
// (a client cannot open a terminal's master side by name). The relay drops bytes while muted.
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace tarn {

class PtyRelay : public QObject {
 public:
  explicit PtyRelay(QObject* parent = nullptr);
  ~PtyRelay() override;

  // Opens both terminals; false and a reason on failure.
  bool Open(QString& error);
  QString ClientPath() const { return client_path_; }
  QString ServerPath() const { return server_path_; }
  void SetMuted(bool muted) { muted_ = muted; }

 private:
  void Pass(int from, int to);

  int client_master_ = -1, client_slave_ = -1;
  int server_master_ = -1, server_slave_ = -1;
  QString client_path_, server_path_;
  QSocketNotifier* client_notifier_ = nullptr;
  QSocketNotifier* server_notifier_ = nullptr;
  bool muted_ = false;
};

}  // namespace tarn
