// SPDX-License-Identifier: GPL-3.0-or-later
// Where an embedded history's readings came from, enumerated for copies: every source file,
// each probe's runs of readings by file, and the conflicts kept.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

// Each returns an empty list with *error set when the history cannot be read.
std::vector<HistorySourceFile> SqliteSourceFiles(sqlite3* db, const std::string& path,
                                                 Status* error);
std::vector<HistoryRun> SqliteReadingRuns(sqlite3* db, const std::string& path, int64_t probe_id,
                                          Status* error);
std::vector<StoredConflict> SqliteProbeConflicts(sqlite3* db, const std::string& path,
                                                 int64_t probe_id, Status* error);

}  // namespace tarn
