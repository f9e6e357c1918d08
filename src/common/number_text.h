// SPDX-License-Identifier: GPL-3.0-or-later
// Number text rules shared by the settings file, the data files and the exports. Files always
// use a full stop as decimal point, whatever the user's regional settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// atoi-style: leading blanks, optional sign, digits; 0 when none; clamps to int32.
int32_t LeadingInt(std::string_view text);
// _wtof-style: leading blanks skipped, the longest leading number (sign, digits, full stop,
// exponent) taken; 0.0 when there is none.
double LeadingDouble(std::string_view text);
// The whole text (blanks around it allowed) is one decimal number with a full stop: true and
// *out set. Anything else (empty, trailing letters, hex, inf, nan): false and *out = 0.
bool ParseWholeNumber(std::string_view text, double* out);

// printf "%.Nf" with a full stop.
std::string FormatFixed(double value, int decimals);
// The "0.0000"-style pattern: at least one integer digit, exactly `decimals` decimals, halves
// away from zero, and no minus sign on a value that rounds to zero. Full stop.
std::string FormatPattern(double value, int decimals);

}  // namespace tarn
