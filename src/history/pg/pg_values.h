// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between Tarn's values and the PostgreSQL history's: record texts (Windows-1252
// here, UTF-8 there), file names, number arrays for bound parameters, and the clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

// Record texts are Windows-1252; the server keeps UTF-8 so that any client reads them right.
std::string ToServer(const std::string& narrow);
std::string FromServer(const std::string& utf8);

// A file name is the system's own bytes: kept as they are when they are UTF-8.
std::string FileNameToServer(const std::string& name);

// Array literals ("{1,2,3}") for one bound parameter.
std::string NumberArray(const std::vector<double>& values);
std::string NumberArray(const std::vector<int64_t>& values);

}  // namespace tarn
