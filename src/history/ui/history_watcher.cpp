// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/history_watcher.h"

#include "history/history_store.h"

namespace tarn {

HistoryWatcher::HistoryWatcher(std::function<HistoryStore*()> store, QObject* parent)
    : QObject(parent), store_(std::move(store)) {
  timer_.setInterval(kDefaultIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &HistoryWatcher::Check);
  timer_.start();
}

void HistoryWatcher::Check() {
  HistoryStore* s = store_();
  if (s == nullptr) return;
  // An unreadable mark (a server gone for now) says nothing; the next tick tries again.
  std::string mark = s->ChangeMark();
  if (mark.empty()) return;
  // The first mark of a history is what the screen read when it opened it.
  const bool known = s == seen_store_ && !mark_.empty();
  seen_store_ = s;
  if (known && mark == mark_) return;
  const bool changed = known;
  mark_ = std::move(mark);
  if (changed) emit Changed();
}

void HistoryWatcher::Rebase() {
  HistoryStore* s = store_();
  if (s == nullptr) return;
  std::string mark = s->ChangeMark();
  if (mark.empty()) return;
  seen_store_ = s;
  mark_ = std::move(mark);
}

}  // namespace tarn
