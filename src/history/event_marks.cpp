// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/event_marks.h"

#include <cmath>
#include <cstdio>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"

namespace tarn {

namespace {

// Small rates keep two decimals, so that 0.04 and 0.06 mpy do not read alike.
std::string Figure(double v, int decimals) {
  std::string text = FormatPattern(v, decimals);
  if (v < 0 && text[0] == '-') text = "\u2212" + text.substr(1);  // a minus sign, not a hyphen
  return text;
}

}  // namespace

const char* EventKindTitle(EventKind kind) {
  switch (kind) {
    case EventKind::kInhibitor:
      return "Inhibitor";
    case EventKind::kProcess:
      return "Process";
    case EventKind::kCleaning:
      return "Cleaning";
    case EventKind::kProbe:
      return "Probe";
    case EventKind::kOther:
      break;
  }
  return "Other";
}

const char* EventSymbol(EventKind kind) {
  switch (kind) {
    case EventKind::kInhibitor:
      return "\u25c6";  // a diamond
    case EventKind::kProcess:
      return "\u25b2";  // a triangle
    case EventKind::kCleaning:
      return "\u25cf";  // a disc
    case EventKind::kProbe:
      return "\u25a0";  // a square
    case EventKind::kOther:
      break;
  }
  return "\u2731";  // a star
}

uint32_t EventColor(EventKind kind) {
  switch (kind) {
    case EventKind::kInhibitor:
      return 0xFF0060C0;
    case EventKind::kProcess:
      return 0xFFC06000;
    case EventKind::kCleaning:
      return 0xFF008060;
    case EventKind::kProbe:
      return 0xFF8040A0;
    case EventKind::kOther:
      break;
  }
  return 0xFF505050;
}

std::vector<GraphMark> EventMarks(const std::vector<HistoryEvent>& events) {
  std::vector<GraphMark> marks;
  for (const HistoryEvent& e : events) {
    std::string text = NarrowToUtf8(e.note);
    if (text.empty()) text = EventKindTitle(e.kind);
    // A short label: the note's first words, cut at a character's start.
    constexpr std::size_t kLabel = 24;
    if (text.size() > kLabel) {
      std::size_t cut = kLabel;
      while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
      text = text.substr(0, cut) + "\u2026";
    }
    marks.push_back(
        {e.time, std::string(EventSymbol(e.kind)) + " " + text, EventColor(e.kind), e.id});
  }
  return marks;
}

std::vector<GraphMark> FlagMarks(const std::vector<StepDownFlag>& flags,
                                 const std::vector<SetAsideStretch>& spans) {
  constexpr uint32_t kFlagColor = 0xFFD08000;
  std::vector<GraphMark> marks;
  for (const StepDownFlag& f : flags) {
    for (const SetAsideStretch& span : spans) {
      if (span.probe_id != f.probe_id || f.time < span.from || f.time > span.to) continue;
      char drop[32];
      std::snprintf(drop, sizeof drop, "%.4f", f.drop);
      marks.push_back({f.time, std::string("\u25bc fall ") + drop, kFlagColor, 0});
      break;
    }
  }
  return marks;
}

std::string EventReadout(const EventFigure& f) {
  std::string text = std::string(EventKindTitle(f.event.kind)) + " " +
                     DateTime2Str(DateTime{f.event.time * kTicksPerSecond}).substr(0, 10) + ": ";
  if (!f.before || !f.after || !f.change)
    return text + (f.reason.empty() ? "no figures" : f.reason);
  const double biggest = std::max(std::abs(*f.before), std::abs(*f.after));
  const int d = biggest >= 1.0 ? 1 : 2;
  text += Figure(*f.before, d) + " \u2192 " + Figure(*f.after, d) + " " + f.rate_unit +
          ", change " + Figure(*f.change, d);
  if (f.low && f.high) text += " (" + Figure(*f.low, d) + " to " + Figure(*f.high, d) + ")";
  return text + (f.significant ? ", significant" : ", not significant");
}

}  // namespace tarn
