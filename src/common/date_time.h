// SPDX-License-Identifier: GPL-3.0-or-later
// Date-time values and their text forms ("dd/MM/yyyy HH:mm[:ss]"), shared by the data files,
// the analysis table, the graph labels and the coupon screen.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// Local wall-clock time as 100-nanosecond ticks since 01/01/0001 00:00:00 (years 1 to 9999).
struct DateTime {
  int64_t ticks = 0;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

inline constexpr int64_t kTicksPerSecond = 10'000'000;
inline constexpr int64_t kTicksPerMinute = 60 * kTicksPerSecond;
inline constexpr int64_t kTicksPerDay = 1440 * kTicksPerMinute;

struct DateTimeParts {
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int64_t sub_second_ticks = 0;
};

// False (and *out untouched) when the fields make no valid date or time.
bool MakeDateTime(int year, int month, int day, int hour, int minute, int second, DateTime* out);
DateTimeParts SplitDateTime(DateTime dt);

// Text day/month/year hour:minute[:second] to a date-time; *chk is 1 on success, 0 on failure
// (then the result is 01/01/1990 01:01:01). chk may be null.
DateTime Str2DateTime(std::string_view text, int32_t* chk);
// The common case of Str2DateTime, quickly: true (and *out set) only when the text is exactly
// "dd/MM/yyyy HH:mm:ss" with digits and a valid date; for anything else the caller converts it
// with Str2DateTime, which gives the same result for the texts accepted here.
bool FixedStr2DateTime(std::string_view text, DateTime* out);
// FixedStr2DateTime for a run of texts that mostly share their date with the one before (the
// readings of a file): the last date's conversion is kept and only the time is read again.
class FixedDateTimeReader {
 public:
  bool Read(std::string_view text, DateTime* out);

 private:
  char date_[10] = {};
  int64_t day_ticks_ = -1;  // midnight of the kept date; -1 while none is kept
};
// "dd/MM/yyyy HH:mm:ss".
std::string DateTime2Str(DateTime dt);
// tm plus the minutes, as "dd/MM/yyyy HH:mm"; empty for NaN or a result outside years 1-9999.
std::string TimeSpan2Str(DateTime tm, double minutes);
// The same text written at out (room for 16 characters) without making a string; its length.
std::size_t TimeSpan2Chars(DateTime tm, double minutes, char* out);
// Minutes from sdt to edt, fraction kept, negative when edt is earlier.
double DateTime2Interval(DateTime sdt, DateTime edt);

}  // namespace tarn
