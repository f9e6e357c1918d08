// Copying a whole probe history between locations (a laptop's file onto the team's server and
// back), through the store interface so that any back end can be either side.
#pragma once

#include <cstdint>

#include "history/history_store.h"

namespace tarn {

struct HistoryCopyReport {
  int64_t probes = 0;    // probes in the source
  int64_t readings = 0;  // readings in the source
  ImportResult result;   // what the destination made of them
};

// Copies every probe of `from` (header, readings, own limits) into `to` in one import, and the
// default limits when `to` held no probe before. Copying again adds nothing. Verified by counts:
// every source reading is added, a duplicate or a conflict, and every probe holds at least as
// many readings at the destination as at the source; otherwise a failure says what differs.
HistoryStatus CopyHistory(HistoryStore& from, HistoryStore& to, HistoryCopyReport* report);

}  // namespace tarn
