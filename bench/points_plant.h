// SPDX-License-Identifier: GPL-3.0-or-later
// A plant of monitoring points for the benchmarks: each point's ER element is replaced every few
// years (same tag, new serial), its readings a fixed step apart over the years, metal loss
// rising from nothing on each element. Imported straight as batches, a "file" per point.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "history/history_store.h"
#include "history/import_source.h"

namespace tarn::bench {

struct PointsPlant {
  int points = 80;
  int64_t step = 4 * 3600;  // seconds between readings
  int years = 20;
  int element_years = 3;  // an element lasts this long before its replacement
  int64_t start = 63082281600 + 20 * 365 * 86400LL;  // 2020
};

inline int64_t PlantReadings(const PointsPlant& plant) {
  return plant.points * (plant.years * 365 * 86400LL / plant.step);
}

inline Status ImportPointsPlant(HistoryStore& store, const PointsPlant& plant) {
  const int64_t end = plant.start + plant.years * 365 * 86400LL;
  const int64_t life = plant.element_years * 365 * 86400LL;
  for (int p = 0; p < plant.points; ++p) {
    ImportFileFacts facts;
    facts.name = "/plant/point" + std::to_string(p) + ".nid";
    facts.sha256 = std::string(64, 'a');
    const ImportResult r = store.ImportBatches(facts, [&](const HistoryStore::BatchSink& sink) {
      int element = 0;
      for (int64_t from = plant.start; from < end; from += life, ++element) {
        ImportBatch b;
        b.key = {"TP-" + std::to_string(p), "E" + std::to_string(element), 0};
        b.header.mloss_unit = "MILS";
        b.header.probe_life = 10.0;
        // Points corrode at different speeds, with a daily wobble.
        const double per_day = 0.002 + 0.0001 * (p % 17);
        for (int64_t t = from; t < std::min(end, from + life); t += plant.step) {
          const double days = static_cast<double>(t - from) / 86400.0;
          b.readings.push_back({t, per_day * days + 0.01 * std::sin(days * 6.283)});
        }
        if (Status st = sink(b); !st) return st;
      }
      return Status{};
    });
    if (!r.status) return r.status;
  }
  return {};
}

// Moves each point into a unit of ten ("Plant/U3/TP-34") and adds `events` events spread over
// the years, one in ten on a unit (so on each of its points), the others on a point.
inline Status AddPlantEvents(HistoryStore& store, const PointsPlant& plant, int events) {
  for (int p = 0; p < plant.points; ++p) {
    const std::string name = "TP-" + std::to_string(p);
    const std::string unit = "Plant/U" + std::to_string(p / 10);
    if (Status st = store.RenamePoint("Unassigned/" + name, unit + "/" + name); !st) return st;
  }
  const int64_t span = plant.years * 365 * 86400LL;
  for (int i = 0; i < events; ++i) {
    const int p = (i * 37) % plant.points;
    HistoryEvent e;
    e.time = plant.start + span * (2 * i + 1) / (2 * events) + (i * 7919) % 86400;
    e.path = "Plant/U" + std::to_string(p / 10);
    if (i % 10 != 9) e.path += "/TP-" + std::to_string(p);
    e.kind = static_cast<EventKind>(i % 5);
    e.note = "event " + std::to_string(i);
    int64_t id = 0;
    if (Status st = store.AddEvent(e, &id); !st) return st;
  }
  return {};
}

}  // namespace tarn::bench
