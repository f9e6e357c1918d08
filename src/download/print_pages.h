// SPDX-License-Identifier: GPL-3.0-or-later
// Page breaking of the printed download listing: a fixed line step down the margin rectangle,
// in hundredths of an inch.
#pragma once

#include <vector>

namespace tarn {

inline constexpr int kPrintLineStep = 15;  // hundredths of an inch

// Number of lines on each page for `lines` lines and a margin height of `height` hundredths of
// an inch. A page ends when the next line position reaches the bottom; at least one line goes
// on every page, and no lines still gives one (empty) page.
std::vector<int> LinesPerPage(int lines, int height);

}  // namespace tarn
