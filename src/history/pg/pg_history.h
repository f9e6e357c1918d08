// SPDX-License-Identifier: GPL-3.0-or-later
// The shared probe history on a PostgreSQL server, reached by a libpq connection URI. Imports
// are serialised between Tarn processes; readers never wait for them.
#pragma once

#include <memory>
#include <string>

#include "history/history_store.h"

namespace tarn {

// Connects to the server at `uri` and creates or upgrades the history's tables on first use.
// Null with *error set when the server cannot be reached, the location holds a password, the
// tables were written by a newer Tarn, or they cannot be created.
std::unique_ptr<HistoryStore> OpenPgHistory(const std::string& uri, std::string* error);

}  // namespace tarn
