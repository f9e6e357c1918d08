// SPDX-License-Identifier: GPL-3.0-or-later
// Copying a whole probe history between locations (a laptop's file onto the team's server and
// back), through the store interface so that any back end can be either side.
#pragma once

#include <cstdint>

#include "history/history_store.h"

namespace tarn {

struct HistoryCopyReport {
  int64_t probes = 0;      // probes in the source
  int64_t readings = 0;    // readings and conflicts offered to the destination
  int64_t files = 0;       // files imported at the destination
  int64_t files_held = 0;  // source files the destination already held
  int64_t coupons = 0;     // coupons added at the destination
  ImportResult result;     // what the destination made of them
};

// Copies every probe of `from` (header, readings, conflicts, own limits, its monitoring point
// and the date it counts there from) and every coupon (at its point, with its pit depth) into
// `to`, file by
// file in import order so that every reading keeps the file it came from, and the default
// limits when `to` held no probe before. Each file is one import; a file `to` already holds
// (same name, size, SHA-256 and import time) is left out, so copying again adds nothing.
// Verified by counts: everything offered is added, a duplicate or a conflict, and every probe
// holds at least as many readings and conflicts at the destination as at the source; otherwise
// a failure says what differs.
Status CopyHistory(HistoryStore& from, HistoryStore& to, HistoryCopyReport* report);

}  // namespace tarn
