// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/qt/transmitter_poller.h"

#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QModbusTcpClient>
#include <QSerialPort>
#include <QVariant>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "common/date_time.h"
#include "history/import_source.h"
#include "monitor/monitor_store.h"
#include "monitor/qt/monitor_log.h"

namespace tarn {

namespace {

constexpr int kReplyTimeoutMs = 1000;
constexpr int64_t kHistoryRetryMs = 5000;

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QModbusClient* MakeClient(const TransmitterLink& l, QObject* parent) {
  QModbusClient* c = nullptr;
  if (l.kind == LinkKind::kTcp) {
    c = new QModbusTcpClient(parent);
    c->setConnectionParameter(QModbusDevice::NetworkAddressParameter,
                              QString::fromStdString(l.host));
    c->setConnectionParameter(QModbusDevice::NetworkPortParameter, l.port);
  } else {
    c = new QModbusRtuSerialClient(parent);
    c->setConnectionParameter(QModbusDevice::SerialPortNameParameter,
                              QString::fromStdString(l.device));
    c->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, l.baud);
    c->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    c->setConnectionParameter(QModbusDevice::SerialParityParameter,
                              l.parity == 'E'   ? QSerialPort::EvenParity
                              : l.parity == 'O' ? QSerialPort::OddParity
                                                : QSerialPort::NoParity);
    c->setConnectionParameter(QModbusDevice::SerialStopBitsParameter,
                              l.stop == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
  }
  c->setTimeout(kReplyTimeoutMs);
  // The schedule's back-off does the retrying, so a quiet transmitter costs one timeout.
  c->setNumberOfRetries(0);
  return c;
}

// Milliseconds of the history's clock: local time, counted from the history's epoch.
int64_t HistoryClockMs() {
  static const int64_t kEpoch1970 = [] {
    DateTime dt;
    MakeDateTime(1970, 1, 1, 0, 0, 0, &dt);
    return dt.ticks / kTicksPerSecond;
  }();
  const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  const std::time_t s = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&s, &local);
  return kEpoch1970 * 1000 + ms + int64_t{local.tm_gmtoff} * 1000;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

std::string TimeText(HistoryTime t) {
  return DateTime2Str(DateTime{t * kTicksPerSecond});
}

}  // namespace

TransmitterPoller::TransmitterPoller(const MonitorConfig& config, QObject* parent)
    : QObject(parent), config_(config), buffer_(config.transmitters.size()) {
  for (const TransmitterConfig& t : config_.transmitters) {
    if (!t.point.empty()) to_place_.push_back(transmitters_.size());
    auto tr = std::make_unique<Transmitter>();
    tr->config = t;
    tr->schedule = PollSchedule(t.interval);
    // Transmitters on one address share its connection (a serial line, or a gateway).
    std::size_t link = links_.size();
    for (std::size_t j = 0; j < transmitters_.size(); ++j) {
      if (transmitters_[j]->config.link.text == t.link.text) link = transmitters_[j]->link;
    }
    if (link == links_.size()) {
      auto l = std::make_unique<Link>();
      l->client = MakeClient(t.link, this);
      l->connect_timeout.setSingleShot(true);
      connect(l->client, &QModbusDevice::stateChanged, this,
              [this, link](QModbusDevice::State) { LinkStateChanged(link); });
      connect(&l->connect_timeout, &QTimer::timeout, this, [this, link] {
        FailWaiting(link, "no connection within 1 s");
        links_[link]->client->disconnectDevice();
      });
      links_.push_back(std::move(l));
    }
    tr->link = link;
    tr->timer.setSingleShot(true);
    tr->timer.setTimerType(Qt::PreciseTimer);
    const std::size_t i = transmitters_.size();
    connect(&tr->timer, &QTimer::timeout, this, [this, i] { Poll(i); });
    transmitters_.push_back(std::move(tr));
  }
  store_timer_.setInterval(1000);
  connect(&store_timer_, &QTimer::timeout, this, [this] { StoreDue(false); });
}

TransmitterPoller::~TransmitterPoller() = default;

void TransmitterPoller::Start() {
  // The first polls are spread over a second, so that many transmitters on one line do not
  // all ask at the same moment of every interval.
  const int64_t now = SteadyMs();
  const int64_t n = static_cast<int64_t>(transmitters_.size());
  for (int64_t i = 0; i < n; ++i) {
    Transmitter& t = *transmitters_[static_cast<std::size_t>(i)];
    t.due_ms = now + i * 1000 / n;
    t.timer.start(static_cast<int>(t.due_ms - now));
  }
  store_timer_.start();
}

void TransmitterPoller::Stop() {
  stopping_ = true;
  for (auto& t : transmitters_) t->timer.stop();
  store_timer_.stop();
  MaybeFinishStop();
}

void TransmitterPoller::MaybeFinishStop() {
  if (!stopping_) return;
  for (const auto& t : transmitters_) {
    if (t->in_flight) return;
  }
  StoreDue(true);
  if (const std::size_t kept = buffer_.TotalPending(); kept > 0) {
    MonitorLog(std::to_string(kept) + " readings could not be stored and are lost");
  }
  emit stopped();
}

void TransmitterPoller::Poll(std::size_t i) {
  if (stopping_) return;
  Transmitter& t = *transmitters_[i];
  Link& l = *links_[t.link];
  // A regular poll is stamped with its slot's time, so that a poll delayed a little (the
  // history being written, a slow link) does not land in the second of the one before.
  // The clock offset is taken again only when the wall clock was set.
  const int64_t now = SteadyMs();
  const int64_t offset = HistoryClockMs() - now;
  if (std::llabs(offset - clock_offset_ms_) > 500) clock_offset_ms_ = offset;
  int64_t at = now;
  if (!t.schedule.quiet()) {
    at = PollSlotMs(t.due_ms, now, int64_t{t.config.interval} * 1000);
    t.due_ms = at;
  }
  t.poll_time = FloorDiv(at + clock_offset_ms_, 1000);
  t.in_flight = true;
  if (l.client->state() == QModbusDevice::ConnectedState) {
    Send(i);
    return;
  }
  l.waiting.push_back(i);
  if (l.client->state() == QModbusDevice::UnconnectedState) {
    l.connect_timeout.start(kReplyTimeoutMs);
    if (!l.client->connectDevice()) {
      l.connect_timeout.stop();
      FailWaiting(t.link, l.client->errorString().toStdString());
    }
  }
}

void TransmitterPoller::LinkStateChanged(std::size_t link) {
  Link& l = *links_[link];
  const QModbusDevice::State s = l.client->state();
  if (s == QModbusDevice::ConnectedState) {
    l.connect_timeout.stop();
    std::vector<std::size_t> waiting;
    waiting.swap(l.waiting);
    for (std::size_t i : waiting) Send(i);
  } else if (s == QModbusDevice::UnconnectedState) {
    l.connect_timeout.stop();
    const QString why = l.client->errorString();
    FailWaiting(link, why.isEmpty() ? "connection closed" : why.toStdString());
  }
}

void TransmitterPoller::FailWaiting(std::size_t link, const std::string& why) {
  std::vector<std::size_t> waiting;
  waiting.swap(links_[link]->waiting);
  for (std::size_t i : waiting) Failed(i, why);
}

void TransmitterPoller::Send(std::size_t i) {
  Transmitter& t = *transmitters_[i];
  QModbusClient* c = links_[t.link]->client;
  const QModbusDataUnit unit(QModbusDataUnit::InputRegisters, t.config.reg,
                             static_cast<quint16>(RegisterCount(t.config.kind)));
  QModbusReply* reply = c->sendReadRequest(unit, t.config.unit);
  if (!reply) {
    Failed(i, c->errorString().toStdString());
    return;
  }
  if (reply->isFinished()) {
    Finished(i, reply);
    return;
  }
  connect(reply, &QModbusReply::finished, this, [this, i, reply] { Finished(i, reply); });
}

void TransmitterPoller::Finished(std::size_t i, QModbusReply* reply) {
  reply->deleteLater();
  Transmitter& t = *transmitters_[i];
  if (reply->error() != QModbusDevice::NoError) {
    Failed(i, reply->errorString().toStdString());
    return;
  }
  const QModbusDataUnit unit = reply->result();
  const int32_t n = RegisterCount(t.config.kind);
  if (unit.valueCount() != static_cast<qsizetype>(n)) {
    Failed(i, "answer of " + std::to_string(unit.valueCount()) + " registers");
    return;
  }
  uint16_t regs[2] = {};
  for (int32_t k = 0; k < n; ++k) regs[k] = unit.value(k);
  Answered(i, ReadingFromRegisters(t.config, regs));
}

void TransmitterPoller::Answered(std::size_t i, double value) {
  Transmitter& t = *transmitters_[i];
  t.in_flight = false;
  const PollSchedule::Step step = t.schedule.Answered();
  if (step.came_back) {
    MonitorLog(t.config.tag + ": answers again at " + TimeText(t.poll_time) + " after " +
               std::to_string(step.failed_polls) + " unanswered polls");
  }
  int64_t dropped = 0;
  if (!std::isfinite(value)) {
    MonitorLog(t.config.tag + ": reading at " + TimeText(t.poll_time) +
               " is not a number; not stored");
  } else if (!buffer_.Add(i, HistoryReading{t.poll_time, value}, &dropped)) {
    MonitorLog(t.config.tag + ": a second reading at " + TimeText(t.poll_time) + "; not stored");
  } else if (dropped > 0) {
    MonitorLog(t.config.tag + ": " + std::to_string(dropped) +
               " readings older than 24 hours dropped while the history is unreachable");
  }
  // Regular polls keep to their own clock; after an outage the interval counts from the
  // answer, and polls missed meanwhile are not made up.
  const int64_t now = SteadyMs();
  const int64_t interval_ms = int64_t{t.config.interval} * 1000;
  t.due_ms = step.came_back ? now + interval_ms : t.due_ms + interval_ms;
  while (t.due_ms < now) t.due_ms += interval_ms;
  if (!stopping_) t.timer.start(static_cast<int>(std::min<int64_t>(t.due_ms - now, INT32_MAX)));
  MaybeFinishStop();
}

void TransmitterPoller::Failed(std::size_t i, const std::string& why) {
  Transmitter& t = *transmitters_[i];
  t.in_flight = false;
  const PollSchedule::Step step = t.schedule.Failed();
  if (step.went_quiet) {
    MonitorLog(t.config.tag + ": no answer at " + TimeText(t.poll_time) + " (" + why +
               "); trying again from 1 s up to every " + std::to_string(t.config.interval) + " s");
  }
  if (!stopping_) t.timer.start(static_cast<int>(step.delay_ms));
  MaybeFinishStop();
}

HistoryStore* TransmitterPoller::History() {
  if (store_) return store_.get();
  const int64_t now = SteadyMs();
  if (now < next_open_ms_) return nullptr;
  std::string error;
  store_ = OpenHistory(config_.history, &error);
  if (!store_) {
    next_open_ms_ = now + kHistoryRetryMs;
    if (!history_down_) {
      MonitorLog("history unreachable (" + error + "); keeping readings in memory");
    }
    history_down_ = true;
    return nullptr;
  }
  if (history_down_) {
    MonitorLog("history reachable again; storing " + std::to_string(buffer_.TotalPending()) +
               " kept readings");
  }
  history_down_ = false;
  return store_.get();
}

void TransmitterPoller::HistoryFailed(const std::string& why) {
  if (!history_down_) MonitorLog("history unreachable (" + why + "); keeping readings in memory");
  history_down_ = true;
  store_.reset();
  next_open_ms_ = SteadyMs() + kHistoryRetryMs;
}

void TransmitterPoller::StoreDue(bool all) {
  const HistoryTime now = HistoryNow();
  for (std::size_t i = 0; i < transmitters_.size(); ++i) {
    const std::deque<HistoryReading>& pending = buffer_.Pending(i);
    if (pending.empty() || (!all && !buffer_.Due(i, now) && !history_down_)) continue;
    HistoryStore* store = History();
    if (!store) return;
    const TransmitterConfig& t = transmitters_[i]->config;
    const ImportResult r = StoreTransmitterReadings(*store, t, pending);
    if (!r.status) {
      HistoryFailed(r.status.message);
      return;
    }
    MonitorLog(t.tag + ": stored " + std::to_string(pending.size()) + " readings from " +
               TimeText(pending.front().time) + " to " + TimeText(pending.back().time) + " (" +
               std::to_string(r.added) + " new, " + std::to_string(r.duplicates) + " duplicate, " +
               std::to_string(r.conflicts) + " conflicting)");
    buffer_.Stored(i, pending.size());
  }
  // Once a transmitter's probe is in the history, it goes to its POINT (once a run).
  if (!to_place_.empty() && !history_down_) {
    HistoryStore* store = History();
    if (!store) return;
    std::vector<const TransmitterConfig*> configs;
    for (const auto& tr : transmitters_) configs.push_back(&tr->config);
    std::vector<std::string> placed;
    if (Status st = PlaceTransmitterProbes(*store, configs, &to_place_, &placed); !st) {
      MonitorLog("could not place probes at their points: " + st.message);
      to_place_.clear();  // said once; the readings are stored all the same
      return;
    }
    for (const std::string& p : placed) MonitorLog(p + ": placed");
  }
}

}  // namespace tarn
