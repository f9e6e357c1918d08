#include "history/history_copy.h"

#include <climits>
#include <map>
#include <tuple>

#include "history/import_source.h"

namespace tarn {

namespace {

using KeyTuple = std::tuple<std::string, std::string, int32_t>;

KeyTuple KeyOf(const ProbeKey& k) {
  return {k.tag, k.serial, k.data_type};
}

}  // namespace

HistoryStatus CopyHistory(HistoryStore& from, HistoryStore& to, HistoryCopyReport* report) {
  *report = {};
  if (to.ReadOnly()) {
    return HistoryStatus::Fail("The history " + to.Location() +
                               " is read-only; nothing was copied into it.");
  }
  const std::vector<ProbeSummary> probes = from.ListProbes(0);
  if (HistoryStatus st = from.LastError(); !st) return st;
  const HistoryLimits defaults = from.GetLimits(0);
  if (HistoryStatus st = from.LastError(); !st) return st;
  const bool fresh = to.ListProbes(0).empty();
  if (HistoryStatus st = to.LastError(); !st) return st;

  ImportFileFacts source;
  source.name = "copy of " + from.Location();
  report->probes = static_cast<int64_t>(probes.size());
  report->result = to.ImportBatches(source, [&](const HistoryStore::BatchSink& sink) {
    int32_t index = 0;
    for (const ProbeSummary& p : probes) {
      ImportBatch batch;
      batch.tag_index = index++;
      batch.key = p.key;
      batch.header = p.header;
      batch.readings = from.ReadRange(p.id, INT64_MIN, INT64_MAX);
      if (HistoryStatus st = from.LastError(); !st) return st;
      report->readings += static_cast<int64_t>(batch.readings.size());
      if (HistoryStatus st = sink(batch); !st) return st;
    }
    return HistoryStatus{};
  });
  const ImportResult& r = report->result;
  if (!r.status) return r.status;

  std::map<KeyTuple, const ProbeSummary*> copied;
  const std::vector<ProbeSummary> now = to.ListProbes(0);
  if (HistoryStatus st = to.LastError(); !st) return st;
  for (const ProbeSummary& p : now) copied[KeyOf(p.key)] = &p;
  for (const ProbeSummary& p : probes) {
    const auto it = copied.find(KeyOf(p.key));
    if (it == copied.end() || it->second->count < p.count) {
      return HistoryStatus::Fail("The copy is incomplete: probe " + p.key.tag + " holds " +
                                 std::to_string(it == copied.end() ? 0 : it->second->count) +
                                 " readings at " + to.Location() + " but " +
                                 std::to_string(p.count) + " at " + from.Location() + ".");
    }
    if (p.own_limits) {
      if (HistoryStatus st = to.SetLimits(it->second->id, p.limits); !st) return st;
    }
  }
  if (r.added + r.duplicates + r.conflicts != report->readings) {
    return HistoryStatus::Fail(
        "The copy is incomplete: " + std::to_string(report->readings) + " readings read, " +
        std::to_string(r.added + r.duplicates + r.conflicts) + " accounted for.");
  }
  if (fresh) return to.SetLimits(0, defaults);
  return {};
}

}  // namespace tarn
