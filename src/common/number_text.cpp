// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

// Everything here uses <charconv>, which never looks at the C locale: the Qt layer may call
// setlocale, and a comma decimal point must never reach a file.
namespace tarn {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// End of the longest decimal number starting at i (sign, digits, full stop, exponent); i itself
// when there is none. An exponent without digits is not part of the number.
size_t ScanNumber(std::string_view s, size_t i) {
  size_t j = i;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
  size_t digits = 0;
  while (j < s.size() && IsDigit(s[j])) ++j, ++digits;
  if (j < s.size() && s[j] == '.') {
    ++j;
    while (j < s.size() && IsDigit(s[j])) ++j, ++digits;
  }
  if (digits == 0) return i;
  size_t end = j;
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    size_t k = j + 1;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    if (k < s.size() && IsDigit(s[k])) {
      while (k < s.size() && IsDigit(s[k])) ++k;
      end = k;
    }
  }
  return end;
}

// Power of ten of the leading non-zero digit of a scanned number, saturated; used only to tell
// an overflow from an underflow when the conversion reports the value out of range.
int64_t Magnitude(std::string_view num) {
  size_t i = (num[0] == '+' || num[0] == '-') ? 1 : 0;
  int64_t int_digits = 0, first_nonzero = -1, index = 0;
  bool in_fraction = false;
  for (; i < num.size() && num[i] != 'e' && num[i] != 'E'; ++i) {
    if (num[i] == '.') {
      in_fraction = true;
      continue;
    }
    if (!in_fraction) ++int_digits;
    if (first_nonzero < 0 && num[i] != '0') first_nonzero = index;
    ++index;
  }
  if (first_nonzero < 0) return std::numeric_limits<int32_t>::min();
  int64_t exp = 0;
  if (i < num.size()) {
    size_t k = i + 1;
    bool neg = false;
    if (num[k] == '+' || num[k] == '-') neg = num[k++] == '-';
    for (; k < num.size(); ++k) {
      if (exp < 100'000'000) exp = exp * 10 + (num[k] - '0');
    }
    if (neg) exp = -exp;
  }
  return int_digits - first_nonzero - 1 + exp;
}

// Converts a scanned number; out of range gives +-HUGE_VAL or a signed zero, as strtod does.
// Plain "[+-]digits[.digits]" with at most 15 digits: the digits make an integer a double holds
// exactly, and one division by an exact power of ten rounds as the full conversion does. False
// for anything else.
bool ShortDecimal(std::string_view num, double* value) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = (num.front() == '+' || num.front() == '-') ? 1 : 0;
  int64_t n = 0;
  int digits = 0, decimals = -1;
  for (; i < num.size(); ++i) {
    const char c = num[i];
    if (IsDigit(c)) {
      if (++digits > 15) return false;
      n = n * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double v = static_cast<double>(n) / kPowers[decimals < 0 ? 0 : decimals];
  *value = num.front() == '-' ? -v : v;
  return true;
}

double ConvertNumber(std::string_view num, bool* overflow) {
  *overflow = false;
  double quick = 0.0;
  if (ShortDecimal(num, &quick)) return quick;
  const bool negative = num.front() == '-';
  std::string_view digits = num;
  if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
  double value = 0.0;
  auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                             std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    if (Magnitude(num) >= 0) {
      *overflow = true;
      value = HUGE_VAL;
    } else {
      value = 0.0;
    }
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // saturate, clamped below
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

double LeadingDouble(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const size_t end = ScanNumber(text, i);
  if (end == i) return 0.0;
  bool overflow;
  return ConvertNumber(text.substr(i, end - i), &overflow);
}

bool ParseWholeNumber(std::string_view text, double* out) {
  *out = 0.0;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || ScanNumber(text, 0) != text.size()) return false;
  bool overflow;
  const double value = ConvertNumber(text, &overflow);
  if (overflow) return false;
  *out = value;
  return true;
}

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 1100) decimals = 1100;  // beyond this every digit of a double is zero anyway
  // The largest double has 309 integer digits.
  std::string buf(static_cast<size_t>(decimals) + 320, '\0');
  auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, decimals);
  buf.resize(res.ec == std::errc() ? static_cast<size_t>(res.ptr - buf.data()) : 0);
  return buf;
}

std::string FormatPattern(double value, int decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (decimals < 0) decimals = 0;
  if (decimals > 300) decimals = 300;
  // Like the Windows program: the value to 15 significant digits first, then rounded at the
  // wanted decimal with halves away from zero, so 1.005 shows as 1.01 with two decimals.
  char sci[32];
  auto res =
      std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific, 14);
  std::string_view s(sci, static_cast<size_t>(res.ptr - sci));  // d.dddddddddddddde+XX
  std::string digits;
  digits += s[0];
  digits.append(s.substr(2, 14));
  int exp = 0;
  std::from_chars(s.data() + 17 + (s[17] == '+' ? 1 : 0), s.data() + s.size(), exp);
  if (value == 0.0) exp = 0;

  // kept: digits at places 10^exp down to 10^-decimals.
  const int kept = exp + decimals + 1;
  std::string mag;  // |value| * 10^decimals, rounded, as decimal digits
  if (kept < 0) {
    mag = "0";
  } else if (kept >= static_cast<int>(digits.size())) {
    mag = digits + std::string(static_cast<size_t>(kept) - digits.size(), '0');
  } else {
    mag = digits.substr(0, static_cast<size_t>(kept));
    if (digits[static_cast<size_t>(kept)] >= '5') {
      int k = static_cast<int>(mag.size()) - 1;
      while (k >= 0 && mag[static_cast<size_t>(k)] == '9') mag[static_cast<size_t>(k--)] = '0';
      if (k >= 0) {
        ++mag[static_cast<size_t>(k)];
      } else {
        mag.insert(mag.begin(), '1');
      }
    }
    if (mag.empty()) mag = "0";
  }
  if (mag.size() < static_cast<size_t>(decimals) + 1) {
    mag.insert(0, static_cast<size_t>(decimals) + 1 - mag.size(), '0');
  }
  const bool zero = mag.find_first_not_of('0') == std::string::npos;
  std::string out;
  if (value < 0 && !zero) out += '-';
  out.append(mag, 0, mag.size() - static_cast<size_t>(decimals));
  if (decimals > 0) {
    out += '.';
    out.append(mag, mag.size() - static_cast<size_t>(decimals), std::string::npos);
  }
  return out;
}

}  // namespace tarn
