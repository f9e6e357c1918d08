// SPDX-License-Identifier: GPL-3.0-or-later
// What undoing an import does to one second of a probe that files offered conflicting values
// for: which conflicts go, which take another stored value, and which value the reading holds.
// Shared by every history back end, which only carry the plan out.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "history/history_store.h"

namespace tarn {

// A conflict kept for the second.
struct SecondConflict {
  int64_t id = 0;
  int64_t file_id = 0;
  double stored = 0.0;
  double offered = 0.0;
};

struct SecondPlan {
  std::vector<int64_t> drop;                       // conflicts to delete
  std::vector<std::pair<int64_t, double>> rebase;  // conflict, its new stored value
  bool write_value = false;                        // the kept reading takes `value`
  bool promote = false;                            // a new reading of `value` from `file_id`
  double value = 0.0;
  int64_t file_id = 0;
};

// `conflicts`: every conflict of the second, in the order found; `reading_removed`: the
// second's reading came from `file_id` and goes; `value`: the reading's value now.
SecondPlan PlanUnimportSecond(int64_t file_id, const std::vector<SecondConflict>& conflicts,
                              bool reading_removed, double value);

// The value first stored for a second: the stored side of its oldest conflict.
inline double FirstStored(const std::vector<SecondConflict>& conflicts, double value) {
  return conflicts.empty() ? value : conflicts.front().stored;
}

// "TAG SERIAL" names, comma-separated, for messages.
std::string ProbeKeyNames(const std::vector<ProbeKey>& keys);

}  // namespace tarn
