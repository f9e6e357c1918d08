// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's tables, version by version: one upgrade step per schema version, the
// same ladder as the embedded store's up to version 8.
#pragma once

#include <string>

#include "history/pg/pg_connection.h"

namespace tarn {

inline constexpr int kPgSchemaVersion = 9;

// Runs every step from `from_version` (0 = no tables yet) to the current version inside the
// caller's transaction, then records the version. False with *error set on failure.
Status UpgradePgSchema(PgConnection& db, int from_version);

}  // namespace tarn
