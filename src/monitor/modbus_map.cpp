// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/modbus_map.h"

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "common/date_time.h"
#include "history/probe_figures.h"
#include "monitor/transmitter_registers.h"

namespace tarn {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void PutFloat(std::vector<uint16_t>& r, int32_t at, float v) {
  const std::array<uint16_t, 2> words = Float32Words(v);
  r[at] = words[0];
  r[at + 1] = words[1];
}

void PutUint32(std::vector<uint16_t>& r, int32_t at, uint32_t v) {
  r[at] = static_cast<uint16_t>(v >> 16);
  r[at + 1] = static_cast<uint16_t>(v & 0xFFFF);
}

}  // namespace

const std::vector<MapFigure>& MapHeaderFigures() {
  static const std::vector<MapFigure> kFigures = {
      {0, 1, "uint16", "map version (1)"},
      {1, 1, "uint16", "number of entries N"},
      {2, 2, "uint32", "Unix time (UTC) of the last refresh"},
  };
  return kFigures;
}

const std::vector<MapFigure>& MapEntryFigures() {
  static const std::vector<MapFigure> kFigures = {
      {0, 1, "uint16", "status: 0 OK, 1 Warning, 2 Alarm, 3 no reading in the window"},
      {1, 2, "float32", "rate, mpy"},
      {3, 2, "float32", "consumed % of the element"},
      {5, 2, "float32", "latest value, in the entry's unit"},
      {7, 2, "uint32", "Unix time (UTC) of the latest reading (0xFFFFFFFF: none)"},
      {9, 2, "uint32", "days to the element's end (0xFFFFFFFF: none)"},
      {11, 1, "uint16", "probe id, low 16 bits"},
  };
  return kFigures;
}

std::optional<uint32_t> HistoryTimeToUnix(HistoryTime t) {
  const DateTimeParts p = SplitDateTime(DateTime{t * kTicksPerSecond});
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;
  const std::time_t u = std::mktime(&tm);
  if (u < 0 || static_cast<int64_t>(u) >= static_cast<int64_t>(kMapNoTime)) return std::nullopt;
  return static_cast<uint32_t>(u);
}

namespace {

MapEntry EntryOf(const ProbeSummary& p, int64_t now_unix) {
  MapEntry e;
  e.probe_id = p.id;
  e.rate_mpy = kNaN;
  e.consumed_percent = kNaN;
  e.latest = kNaN;
  if (p.count > 0) {
    e.status = static_cast<uint16_t>(p.state);
    e.latest = static_cast<float>(p.latest_value);
    if (const auto u = HistoryTimeToUnix(p.last_time)) e.latest_unix = *u;
  }
  if (p.rate && p.rate_unit == "mpy") e.rate_mpy = static_cast<float>(*p.rate);
  if (p.rate && p.rate_unit == "mm/y") e.rate_mpy = static_cast<float>(*p.rate / kMmPerMil);
  if (p.consumed) e.consumed_percent = static_cast<float>(*p.consumed * 100.0);
  if (p.end_time) {
    if (const auto end = HistoryTimeToUnix(*p.end_time)) {
      const int64_t days = (static_cast<int64_t>(*end) - now_unix) / 86400;
      e.days_to_end = static_cast<uint32_t>(days < 0 ? 0 : days);
    }
  }
  return e;
}

}  // namespace

std::vector<MapEntry> MapEntriesFromProbes(const std::vector<ProbeSummary>& probes,
                                           int64_t now_unix) {
  std::vector<MapEntry> out;
  for (const ProbeSummary& p : probes) {
    if (out.size() == static_cast<std::size_t>(kMapMaxEntries)) break;
    out.push_back(EntryOf(p, now_unix));
  }
  return out;
}

std::vector<MapEntry> MapEntriesFromPoints(const std::vector<PointSummary>& points,
                                           int64_t now_unix) {
  std::vector<MapEntry> out;
  for (const PointSummary& point : points) {
    if (out.size() == static_cast<std::size_t>(kMapMaxEntries)) break;
    // The point's own figures in place of its current probe's.
    ProbeSummary figures = point.current;
    figures.count = point.count;
    figures.last_time = point.last_time;
    figures.latest_value = point.value;
    figures.rate = point.rate;
    figures.rate_unit = point.rate_unit;
    figures.consumed = point.consumed;
    figures.end_time = point.end_time;
    figures.state = point.state;
    out.push_back(EntryOf(figures, now_unix));
  }
  return out;
}

std::vector<uint16_t> EncodeRegisterMap(const std::vector<MapEntry>& entries,
                                        int64_t refreshed_unix) {
  std::vector<uint16_t> r(kMapRegisters, 0);
  const std::size_t n = std::min(entries.size(), static_cast<std::size_t>(kMapMaxEntries));
  r[0] = kMapVersion;
  r[1] = static_cast<uint16_t>(n);
  PutUint32(r, 2, static_cast<uint32_t>(refreshed_unix));
  for (std::size_t k = 0; k < n; ++k) {
    const MapEntry& e = entries[k];
    const int32_t base = kMapFirstEntry + kMapEntryStride * static_cast<int32_t>(k);
    r[base] = e.status;
    PutFloat(r, base + 1, e.rate_mpy);
    PutFloat(r, base + 3, e.consumed_percent);
    PutFloat(r, base + 5, e.latest);
    PutUint32(r, base + 7, e.latest_unix);
    PutUint32(r, base + 9, e.days_to_end);
    r[base + 11] = static_cast<uint16_t>(e.probe_id & 0xFFFF);
  }
  return r;
}

}  // namespace tarn
