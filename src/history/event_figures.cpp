// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/event_figures.h"

#include <algorithm>
#include <cctype>

#include "common/code_page.h"
#include "common/date_time.h"
#include "history/point_path.h"

namespace tarn {

namespace {

constexpr EventKind kKinds[] = {EventKind::kInhibitor, EventKind::kProcess, EventKind::kCleaning,
                                EventKind::kProbe, EventKind::kOther};

}  // namespace

const char* EventKindWord(EventKind kind) {
  switch (kind) {
    case EventKind::kInhibitor:
      return "inhibitor";
    case EventKind::kProcess:
      return "process";
    case EventKind::kCleaning:
      return "cleaning";
    case EventKind::kProbe:
      return "probe";
    case EventKind::kOther:
      break;
  }
  return "other";
}

bool ParseEventKind(const std::string& word, EventKind* kind) {
  std::string lower = word;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const EventKind k : kKinds) {
    if (lower == EventKindWord(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

std::string EventText(const HistoryEvent& e) {
  std::string text = std::string(EventKindWord(e.kind)) + " at " +
                     DateTime2Str(DateTime{e.time * kTicksPerSecond}) + " on " +
                     NarrowToUtf8(e.path);
  if (!e.note.empty()) text += ": " + NarrowToUtf8(e.note);
  return text;
}

bool EventApplies(const std::string& event_key, const std::string& point_key) {
  return PointPathUnder(point_key, event_key);
}

bool EventConcerns(const std::string& event_key, const std::string& filter_key) {
  return filter_key.empty() || PointPathUnder(filter_key, event_key) ||
         PointPathUnder(event_key, filter_key);
}

void AddToSides(const std::vector<HistoryReading>& readings, double offset, int64_t probe_id,
                HistoryTime at, int32_t days, const std::vector<LeftOutStretch>& left_out,
                EventSides* sides) {
  std::vector<LeftOutStretch> own;
  for (const LeftOutStretch& s : left_out) {
    if (s.probe_id == probe_id) own.push_back(s);
  }
  const HistoryTime span = int64_t{days} * kSecondsPerDay;
  for (const HistoryReading& r : readings) {
    if (r.time < at - span || r.time >= at + span) continue;
    if (std::any_of(own.begin(), own.end(),
                    [&](const LeftOutStretch& s) { return r.time >= s.from && r.time <= s.to; })) {
      continue;
    }
    const double x = static_cast<double>(r.time - at) / static_cast<double>(kSecondsPerDay);
    (r.time < at ? sides->before : sides->after).Add(x, r.value + offset);
  }
}

}  // namespace tarn
