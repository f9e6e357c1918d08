// SPDX-License-Identifier: GPL-3.0-or-later
// A made-up plant for the history benchmarks: `probes` ER probes read every `interval` seconds
// for `years` years, split over `files` downloads of equal tag counts. Each download is handed
// to a store as the file reader would hand it (batches of at most kPlantBatch readings, a tag
// at a time), and can be written as CSV in the reading table's own columns for a bulk-load
// floor. Everything is a pure function of the shape, so two runs load the same readings.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "history/history_store.h"
#include "history/import_source.h"

namespace tarn::bench {

struct PlantShape {
  int probes = 50;
  int64_t interval = 3600;  // seconds between readings
  int years = 20;
  int files = 5;
};

inline constexpr int64_t kPlantStart = 63082281600 + 7 * 86400;  // 8 January 2000
inline constexpr std::size_t kPlantBatch = 1 << 18;              // as the file reader batches

inline int64_t PlantReadings(const PlantShape& s) {
  return int64_t{365} * 86400 * s.years / s.interval;
}
inline int64_t PlantTotal(const PlantShape& s) {
  return PlantReadings(s) * s.probes;
}
// Tags first..first+count of download `file` (0-based).
inline int PlantFirstTag(const PlantShape& s, int file) {
  return file * s.probes / s.files;
}
inline int PlantTagCount(const PlantShape& s, int file) {
  return PlantFirstTag(s, file + 1) - PlantFirstTag(s, file);
}

// Metal loss growing at a probe's own rate with a small ripple, to four decimals as an
// instrument writes it.
inline double PlantValue(int tag, int64_t i, int64_t interval) {
  const double days = static_cast<double>(i * interval) / 86400.0;
  const double rate = 0.002 + 0.0001 * (tag % 37);
  const double ripple = 0.01 * static_cast<double>((i * 7 + tag) % 13) / 13.0;
  const double v = rate * days + ripple;
  return static_cast<double>(static_cast<int64_t>(v * 10000.0 + 0.5)) / 10000.0;
}

// Hands download `file` to `sink` as batches.
inline Status ProducePlantFile(const PlantShape& s, int file, const HistoryStore::BatchSink& sink) {
  const int first = PlantFirstTag(s, file);
  const int64_t n = PlantReadings(s);
  for (int k = 0; k < PlantTagCount(s, file); ++k) {
    const int tag = first + k;
    for (int64_t from = 0; from < n; from += static_cast<int64_t>(kPlantBatch)) {
      ImportBatch b;
      b.tag_index = k;
      b.key = {"PT" + std::to_string(tag), "S" + std::to_string(tag), 0};
      b.header.probe_type_str = "ER";
      b.header.mloss_unit = "mils";
      b.header.thickness = 20;
      b.header.probe_life = 10;
      b.precision = 0.00005;
      const int64_t to = std::min<int64_t>(n, from + static_cast<int64_t>(kPlantBatch));
      b.readings.reserve(static_cast<std::size_t>(to - from));
      for (int64_t i = from; i < to; ++i) {
        b.readings.push_back({kPlantStart + i * s.interval, PlantValue(tag, i, s.interval)});
      }
      if (Status st = sink(b); !st) return st;
    }
  }
  return {};
}

// The whole plant as CSV rows "probe_id,t,v,file_id" (t in seconds from 01/01/2000), probe ids
// 1.. in tag order and file ids 1.. as a fresh history would number them.
inline bool WritePlantCsv(const PlantShape& s, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  char line[96];
  const int64_t n = PlantReadings(s);
  for (int file = 0; file < s.files; ++file) {
    const int first = PlantFirstTag(s, file);
    for (int k = 0; k < PlantTagCount(s, file); ++k) {
      const int tag = first + k;
      for (int64_t i = 0; i < n; ++i) {
        const int len =
            std::snprintf(line, sizeof line, "%d,%lld,%.4f,%d\n", tag + 1,
                          static_cast<long long>(kPlantStart - 63082281600 + i * s.interval),
                          PlantValue(tag, i, s.interval), file + 1);
        block.append(line, static_cast<std::size_t>(len));
        if (block.size() > (1 << 20)) {
          out << block;
          block.clear();
        }
      }
    }
  }
  out << block;
  return static_cast<bool>(out);
}

}  // namespace tarn::bench
