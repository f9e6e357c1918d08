// SPDX-License-Identifier: GPL-3.0-or-later
// The register map the monitor serves over Modbus (input registers): a header, then 20
// registers per entry (a probe, or later a monitoring point) with its figures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

inline constexpr uint16_t kMapVersion = 1;
inline constexpr int32_t kMapFirstEntry = 100;  // register of entry 0
inline constexpr int32_t kMapEntryStride = 20;
inline constexpr int32_t kMapMaxEntries = 2000;
inline constexpr int32_t kMapRegisters = kMapFirstEntry + kMapEntryStride * kMapMaxEntries;
inline constexpr uint32_t kMapNoTime = 0xFFFFFFFFu;  // uint32 figures that cannot be had

// Status of an entry as served: the probe's state, or 3 when it has no reading in the window.
inline constexpr uint16_t kMapNoReading = 3;

// One entry's figures; NaN (or kMapNoTime) where a figure cannot be had.
struct MapEntry {
  uint16_t status = kMapNoReading;
  float rate_mpy = 0.0f;
  float consumed_percent = 0.0f;
  float latest = 0.0f;
  uint32_t latest_unix = kMapNoTime;
  uint32_t days_to_end = kMapNoTime;
  int64_t probe_id = 0;
};

// One figure of an entry: its offset from the entry's base, its width in registers, its type
// and what it holds; the table the README and `tarn-export history modbus-map` print.
struct MapFigure {
  int32_t offset;
  int32_t width;
  const char* type;
  const char* name;
};
const std::vector<MapFigure>& MapEntryFigures();
const std::vector<MapFigure>& MapHeaderFigures();

// The entries the server shows: every monitoring point in the order of the points list (its
// cumulative value, rate, consumed share and end date, status, latest reading, and its current
// probe's id); a history without points shows its probes in the order of the probe list.
// `now` (Unix UTC seconds) counts the days to an element's end.
std::vector<MapEntry> MapEntriesFromPoints(const std::vector<PointSummary>& points,
                                           int64_t now_unix);
std::vector<MapEntry> MapEntriesFromProbes(const std::vector<ProbeSummary>& probes,
                                           int64_t now_unix);

// All kMapRegisters registers: the header with `refreshed_unix`, then the first
// kMapMaxEntries entries; registers of absent entries are 0.
std::vector<uint16_t> EncodeRegisterMap(const std::vector<MapEntry>& entries,
                                        int64_t refreshed_unix);

// Unix UTC seconds of a history time (local wall clock); none before 1970 or after 2106.
std::optional<uint32_t> HistoryTimeToUnix(HistoryTime t);

}  // namespace tarn
