// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/monitor_store.h"

#include <nettle/sha2.h>

#include "common/code_page.h"
#include "common/number_text.h"
#include "history/import_source.h"
#include "history/point_path.h"

namespace tarn {

ProbeKey TransmitterProbeKey(const TransmitterConfig& t) {
  // Data types as the instrument files give them: 0 metal loss, 1 corrosion rate; the names in
  // their narrow text, so that a tag from the configuration (UTF-8) is the same as a file's.
  return ProbeKey{Utf8ToNarrow(t.tag), Utf8ToNarrow(t.serial),
                  t.kind == TransmitterKind::kEr ? 0 : 1};
}

ProbeHeader TransmitterProbeHeader(const TransmitterConfig& t) {
  ProbeHeader h;
  if (t.kind == TransmitterKind::kEr) {
    h.probe_type_str = "ER";
    h.mloss_unit = t.millimetre ? "MM" : "MILS";
    // The register's full scale is the probe life; the element is consumed at half its
    // thickness, as the history reckons for instrument files.
    h.probe_life = t.span;
    h.thickness = t.span * 2.0;
  } else {
    h.probe_type_str = "LPR";
  }
  return h;
}

ImportResult StoreTransmitterReadings(HistoryStore& store, const TransmitterConfig& t,
                                      const std::deque<HistoryReading>& readings) {
  // The source's text is the readings themselves, so its size and digest say what it brought.
  std::string text;
  for (const HistoryReading& r : readings) {
    text += std::to_string(r.time) + "," + FormatPattern(r.value, 6) + "\n";
  }
  ImportFileFacts facts;
  facts.name = "transmitter " + t.tag + " (" + t.link.text + " unit " + std::to_string(t.unit) +
               " register " + std::to_string(t.reg) + ")";
  facts.size = static_cast<int64_t>(text.size());
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, SHA256_DIGEST_SIZE, digest);
  static const char kHex[] = "0123456789abcdef";
  for (uint8_t b : digest) {
    facts.sha256 += kHex[b >> 4];
    facts.sha256 += kHex[b & 15];
  }
  return store.ImportBatches(facts, [&](const HistoryStore::BatchSink& sink) {
    ImportBatch batch;
    batch.key = TransmitterProbeKey(t);
    batch.header = TransmitterProbeHeader(t);
    batch.readings.assign(readings.begin(), readings.end());
    // The monitor times each poll itself: only a reading of the same second is the same one.
    batch.same_reading_seconds = 1;
    return sink(batch);
  });
}

Status PlaceTransmitterProbes(HistoryStore& store,
                              const std::vector<const TransmitterConfig*>& transmitters,
                              std::vector<std::size_t>* todo, std::vector<std::string>* placed) {
  if (todo->empty()) return {};
  const std::vector<ProbeSummary> probes = store.ListProbes(0);
  if (Status st = store.LastError(); !st) return st;
  const std::vector<PointSummary> points = store.ListPoints(0);
  if (Status st = store.LastError(); !st) return st;
  std::vector<std::size_t> left;
  for (const std::size_t i : *todo) {
    const TransmitterConfig& t = *transmitters[i];
    const ProbeKey key = TransmitterProbeKey(t);
    int64_t id = 0;
    for (const ProbeSummary& p : probes) {
      if (p.key.tag == key.tag && p.key.serial == key.serial && p.key.data_type == key.data_type)
        id = p.id;
    }
    if (id == 0) {  // nothing stored yet
      left.push_back(i);
      continue;
    }
    std::string joined;
    for (const std::string& name : t.point) joined += (joined.empty() ? "" : "/") + name;
    const std::string path = Utf8ToNarrow(joined);
    bool there = false;
    for (const PointSummary& point : points) {
      for (const PointProbe& held : point.probes) {
        if (held.probe_id == id) there = PointPathKey(point.path) == PointPathKey(path);
      }
    }
    if (!there) {
      std::string stored;
      if (Status st = store.AssignProbe(id, path, std::nullopt, &stored); !st) return st;
      placed->push_back(t.tag + " at " + joined);
    }
  }
  *todo = std::move(left);
  return {};
}

}  // namespace tarn
