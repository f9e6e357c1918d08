// SPDX-License-Identifier: GPL-3.0-or-later
// Reads every configured transmitter on its interval over Modbus (TCP or RTU), with back-off
// for one that does not answer, and stores the readings in the history in batches, keeping
// them in memory while the history cannot be reached.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "history/history_store.h"
#include "monitor/monitor_config.h"
#include "monitor/reading_buffer.h"
#include "monitor/transmitter_poll.h"

class QModbusClient;
class QModbusReply;

namespace tarn {

class TransmitterPoller : public QObject {
  Q_OBJECT

 public:
  explicit TransmitterPoller(const MonitorConfig& config, QObject* parent = nullptr);
  ~TransmitterPoller() override;

  // Polls every transmitter at once and then on its schedule.
  void Start();
  // No new polls; once the polls under way are answered (or time out), stores what is kept
  // and emits stopped().
  void Stop();

  // The history, opened on first use and again after it failed; null while unreachable.
  HistoryStore* History();
  // Reading or writing the history failed: it is logged (once until it works again), and
  // opened again after a pause.
  void HistoryFailed(const std::string& why);

 signals:
  void stopped();

 private:
  struct Link {
    QModbusClient* client = nullptr;
    std::vector<std::size_t> waiting;  // transmitters whose poll waits for the connection
    QTimer connect_timeout;
  };
  struct Transmitter {
    TransmitterConfig config;
    std::size_t link = 0;
    PollSchedule schedule{1};
    QTimer timer;
    HistoryTime poll_time = 0;
    int64_t due_ms = 0;  // steady clock of the regular poll
    bool in_flight = false;
  };

  void Poll(std::size_t i);
  void Send(std::size_t i);
  void Finished(std::size_t i, QModbusReply* reply);
  void Answered(std::size_t i, double value);
  void Failed(std::size_t i, const std::string& why);
  void LinkStateChanged(std::size_t link);
  void FailWaiting(std::size_t link, const std::string& why);
  // Stores the transmitters whose batches are due (all of them when `all`).
  void StoreDue(bool all);
  void MaybeFinishStop();

  MonitorConfig config_;
  std::vector<std::unique_ptr<Link>> links_;
  std::vector<std::unique_ptr<Transmitter>> transmitters_;
  ReadingBuffer buffer_;
  // Transmitters with a POINT whose probe is not yet known to be there.
  std::vector<std::size_t> to_place_;
  std::unique_ptr<HistoryStore> store_;
  bool history_down_ = false;
  int64_t next_open_ms_ = 0;     // steady clock before which the history is not tried again
  int64_t clock_offset_ms_ = 0;  // the history's clock less the steady clock
  QTimer store_timer_;
  bool stopping_ = false;
};

}  // namespace tarn
