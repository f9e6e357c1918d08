// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's tables, version by version: one upgrade step per schema version.
#pragma once

#include <sqlite3.h>

#include <string>

#include "common/status.h"

namespace tarn {

inline constexpr int kSqliteSchemaVersion = 8;

// Runs every step from `from_version` (0 = an empty file) to the current version inside the
// caller's transaction, then records the version. False with *error set on failure.
Status UpgradeSqliteSchema(sqlite3* db, int from_version);

}  // namespace tarn
