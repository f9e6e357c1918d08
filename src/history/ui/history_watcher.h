// SPDX-License-Identifier: GPL-3.0-or-later
// Looks at the history's change mark on a timer and says when it moved, so that a screen
// showing the history refreshes when another program (the monitor, another desktop) wrote to it.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

namespace tarn {

class HistoryStore;

class HistoryWatcher : public QObject {
  Q_OBJECT

 public:
  // `store` gives the history to look at, or null while there is none to look at (not open,
  // not shown, busy importing): that tick is skipped.
  HistoryWatcher(std::function<HistoryStore*()> store, QObject* parent);

  static constexpr int kDefaultIntervalMs = 5000;
  void SetInterval(int ms) { timer_.setInterval(ms); }
  int Interval() const { return timer_.interval(); }
  // Looks once now (the timer calls it).
  void Check();
  // Takes the history as it is now for known: the screen has just read it.
  void Rebase();

 signals:
  // The mark differs from the one seen last: the history changed under the screen.
  void Changed();

 private:
  std::function<HistoryStore*()> store_;
  HistoryStore* seen_store_ = nullptr;
  std::string mark_;
  QTimer timer_;
};

}  // namespace tarn
