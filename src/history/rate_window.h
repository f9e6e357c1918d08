// SPDX-License-Identifier: GPL-3.0-or-later
// The window of the history's rate (the least-squares trend over the last days up to a probe's
// last reading), kept in the settings file by the Probes tab and named the same way everywhere
// the rate is shown.
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

// The rate windows offered, in days; 0 is the whole history.
inline constexpr int kRateWindows[] = {7, 30, 90, 365, 0};
inline constexpr int kDefaultRateWindow = 30;
inline constexpr const char* kProbesSection = "Probes";
inline constexpr const char* kRateWindowKey = "RateWindow";

// A window the program does not offer falls back to the default, as other settings do.
int32_t OfferedRateWindow(int64_t days);
// The window kept in the settings file; the default when the file or key is missing.
int32_t SavedRateWindow(const std::string& cfg_file);

// "Rate (trend, 30 d)", "Rate (trend, all)": the rate column's title.
std::string RateColumnTitle(int32_t days);
// "trend over the last 30 days", "trend over the whole history".
std::string RateWindowPhrase(int32_t days);

}  // namespace tarn
