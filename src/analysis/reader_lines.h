// SPDX-License-Identifier: GPL-3.0-or-later
// The small text rules the instrument file reader applies to each line: preparing, classifying,
// splitting and converting fields, without copies where the line allows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// A reading line as the readers see it: up to a NUL, tabs turned into spaces.
void PrepareLine(std::string_view piece, std::string* out);

// What a reading line holds that matters before it is read.
inline constexpr unsigned kNeedsPreparing =
    1;                                    // tab, NUL, a lower-case letter or a byte from 0x80 up
inline constexpr unsigned kHasUpper = 2;  // an upper-case letter: it may name a new tag
// kNeedsPreparing, kHasUpper or 0 for a line piece.
unsigned Classify(std::string_view piece);

// Upper-cases a prepared line in place, by the narrow code page's rule (as UpperSpacedCopy: a
// tab, which PrepareLine leaves none of, would become a space).
void UpperInPlace(std::string* line);

// GetNextStr on a text that is already upper case, without copying: the result is the same
// view into it that GetNextStr would return as a copy.
std::string_view NextStr(std::string_view sep, std::string_view text, int32_t* pos);

// The number in the whole text, 0 when the text is not wholly one.
double NumberOrZero(std::string_view text);

// A decimal integer (sign allowed, blanks around it) within int32; 0 for anything else.
int32_t DecimalIntOrZero(std::string_view text);

// The part of text before its first comma (all of it without one), trimmed.
std::string_view FirstField(std::string_view text);

// The text with its commas turned into blanks.
void CommasToSpaces(std::string_view text, std::string* out);

}  // namespace tarn
