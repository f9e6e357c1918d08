// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/date_time.h"

#include <cmath>
#include <cstring>

#include "common/code_page.h"

namespace tarn {

namespace {

constexpr int64_t kTicksPerMillisecond = 10'000;
constexpr int64_t kTicksPerHour = 60 * kTicksPerMinute;
// Days from 01/01/0001 to 01/01/10000: the first tick that is out of range.
constexpr int64_t kDaysTo10000 = 3'652'059;
constexpr int64_t kMaxTicks = kDaysTo10000 * kTicksPerDay - 1;

// Two digits at s[0], s[1]; a non-digit sets a bit in *bad.
inline int TwoDigits(const char* s, unsigned* bad) {
  const unsigned a = static_cast<unsigned char>(s[0]) - '0';
  const unsigned b = static_cast<unsigned char>(s[1]) - '0';
  *bad |= (a > 9) | (b > 9);
  return static_cast<int>(a * 10 + b);
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 01/01/0001 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, int month, int day) {
  // Shift the year to start in March so the leap day ends it.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // era * 146097 + doe counts from 01/03/0000; 01/01/0001 is day 306 of that count.
  return era * 146097 + doe - 306;
}

void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  const int64_t z = days + 306;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

bool IsSeparator(char c) {
  return c == '/' || c == '-' || c == ':' || c == ' ';
}

// One field: white space around it removed, an optional '+', then decimal digits only.
bool ParseField(std::string_view field, int* out) {
  while (!field.empty() && IsNarrowSpace(static_cast<unsigned char>(field.front())))
    field.remove_prefix(1);
  while (!field.empty() && IsNarrowSpace(static_cast<unsigned char>(field.back())))
    field.remove_suffix(1);
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  if (field.empty()) return false;
  int64_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > 2'147'483'647) return false;
  }
  *out = static_cast<int>(value);
  return true;
}

// Writes n as `width` decimal digits, zero-padded (n is never negative here).
char* PutDigits(char* out, int n, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return out + width;
}

// "dd/MM/yyyy HH:mm", then ":ss" when asked, at buf (20 bytes); hand-made because the readers
// format every reading. Returns the length.
std::size_t FormatTo(const DateTimeParts& p, bool seconds, char* buf) {
  char* o = PutDigits(buf, p.day, 2);
  *o++ = '/';
  o = PutDigits(o, p.month, 2);
  *o++ = '/';
  o = PutDigits(o, p.year, 4);
  *o++ = ' ';
  o = PutDigits(o, p.hour, 2);
  *o++ = ':';
  o = PutDigits(o, p.minute, 2);
  if (seconds) {
    *o++ = ':';
    o = PutDigits(o, p.second, 2);
  }
  return static_cast<size_t>(o - buf);
}

std::string Format(const DateTimeParts& p, bool seconds) {
  char buf[20];
  return std::string(buf, FormatTo(p, seconds, buf));
}

DateTime Fallback() {
  DateTime dt;
  MakeDateTime(1990, 1, 1, 1, 1, 1, &dt);
  return dt;
}

}  // namespace

bool MakeDateTime(int year, int month, int day, int hour, int minute, int second, DateTime* out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  out->ticks = DaysFromCivil(year, month, day) * kTicksPerDay + hour * kTicksPerHour +
               minute * kTicksPerMinute + second * kTicksPerSecond;
  return true;
}

DateTimeParts SplitDateTime(DateTime dt) {
  DateTimeParts parts;
  int64_t days = dt.ticks / kTicksPerDay;
  int64_t rest = dt.ticks % kTicksPerDay;
  if (rest < 0) {
    rest += kTicksPerDay;
    --days;
  }
  CivilFromDays(days, &parts.year, &parts.month, &parts.day);
  parts.hour = static_cast<int>(rest / kTicksPerHour);
  parts.minute = static_cast<int>(rest / kTicksPerMinute % 60);
  parts.second = static_cast<int>(rest / kTicksPerSecond % 60);
  parts.sub_second_ticks = rest % kTicksPerSecond;
  return parts;
}

DateTime Str2DateTime(std::string_view text, int32_t* chk) {
  // Every separator splits, so doubled or trailing separators leave empty fields that fail.
  std::string_view fields[6];
  int count = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size() && count < 6; ++i) {
    if (i == text.size() || IsSeparator(text[i])) {
      fields[count++] = text.substr(start, i - start);
      start = i + 1;
    }
  }
  int v[6] = {0, 0, 0, 0, 0, 0};
  bool ok = count >= 5;
  for (int i = 0; ok && i < count; ++i) ok = ParseField(fields[i], &v[i]);
  DateTime dt;
  // Fields are day, month, year, hour, minute[, second].
  if (ok) ok = MakeDateTime(v[2], v[1], v[0], v[3], v[4], v[5], &dt);
  if (chk != nullptr) *chk = ok ? 1 : 0;
  return ok ? dt : Fallback();
}

bool FixedStr2DateTime(std::string_view text, DateTime* out) {
  if (text.size() != 19 || text[2] != '/' || text[5] != '/' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return false;
  }
  unsigned bad = 0;
  const auto two = [&](int i) { return TwoDigits(text.data() + i, &bad); };
  const int day = two(0), month = two(3), year = two(6) * 100 + two(8);
  const int hour = two(11), minute = two(14), second = two(17);
  return bad == 0 && MakeDateTime(year, month, day, hour, minute, second, out);
}

bool FixedDateTimeReader::Read(std::string_view text, DateTime* out) {
  if (text.size() != 19 || day_ticks_ < 0 || std::memcmp(text.data(), date_, 10) != 0) {
    if (!FixedStr2DateTime(text, out)) return false;
    std::memcpy(date_, text.data(), 10);
    day_ticks_ = -1;
  } else if (text[10] != ' ' || text[13] != ':' || text[16] != ':') {
    return false;
  }
  unsigned bad = 0;
  const auto two = [&](int i) { return int64_t{TwoDigits(text.data() + i, &bad)}; };
  const int64_t hour = two(11), minute = two(14), second = two(17);
  if (bad != 0 || hour > 23 || minute > 59 || second > 59) return false;
  const int64_t time = hour * kTicksPerHour + minute * kTicksPerMinute + second * kTicksPerSecond;
  if (day_ticks_ < 0) {
    day_ticks_ = out->ticks - time;  // the text converted whole just above
  } else {
    out->ticks = day_ticks_ + time;
  }
  return true;
}

std::string DateTime2Str(DateTime dt) {
  return Format(SplitDateTime(dt), true);
}

std::string TimeSpan2Str(DateTime tm, double minutes) {
  char buf[16];
  return std::string(buf, TimeSpan2Chars(tm, minutes, buf));
}

std::size_t TimeSpan2Chars(DateTime tm, double minutes, char* out) {
  if (std::isnan(minutes)) return 0;
  const double ms = std::round(minutes * 60000.0);  // halves away from zero
  // Anything this large leaves the calendar whatever tm is; also keeps the cast defined.
  if (!(std::fabs(ms) < 1e15)) return 0;
  const int64_t ticks = tm.ticks + static_cast<int64_t>(ms) * kTicksPerMillisecond;
  if (ticks < 0 || ticks > kMaxTicks) return 0;
  return FormatTo(SplitDateTime(DateTime{ticks}), false, out);
}

double DateTime2Interval(DateTime sdt, DateTime edt) {
  return static_cast<double>(edt.ticks - sdt.ticks) / static_cast<double>(kTicksPerMinute);
}

}  // namespace tarn
