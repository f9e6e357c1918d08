// SPDX-License-Identifier: GPL-3.0-or-later
// The history's change fingerprint, read alike from both back ends: one row of small figures
// of the probe list's tables, never a scan of the readings.
#pragma once

#include <string>
#include <vector>

namespace tarn {

// The number of figures the statement reads.
inline constexpr int kChangeMarkFigures = 19;

// The statement for a schema prefix ("" for the file store, "tarn." on the server).
std::string ChangeMarkSql(const std::string& schema);

// The row's figures joined into the mark.
std::string JoinChangeMark(const std::vector<std::string>& figures);

}  // namespace tarn
