// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded probe history: one SQLite file (WAL, foreign keys, a busy timeout so that
// several Tarn processes can share it).
#pragma once

#include <memory>
#include <string>

#include "history/history_store.h"

namespace tarn {

// Opens or creates the history file at `path`. Null with *error set when the file is not a
// history, is damaged, was written by a newer Tarn, or cannot be opened; such a file is never
// changed. A file without write permission opens read-only.
std::unique_ptr<HistoryStore> OpenSqliteHistory(const std::string& path, std::string* error);

}  // namespace tarn
