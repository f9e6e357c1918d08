// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/locale_number.h"

#include <QLocale>
#include <cmath>

#include "common/number_text.h"
#include "common/ui/qt_text.h"

namespace tarn {

QString LocaleNumber(double value, int decimals) {
  return LocaleText(FormatPattern(value, decimals));
}

QString LocaleText(const std::string& narrow) {
  QString text = FromUtf8(narrow);
  const QLocale locale = QLocale();
  text.replace(QLatin1Char('.'), locale.decimalPoint());
  text.replace(QLatin1Char('-'), locale.negativeSign());
  return text;
}

bool LocaleToNumber(const QString& text, double* out) {
  bool ok = false;
  const double value = QLocale().toDouble(text.trimmed(), &ok);
  // "inf" and "nan" are words, not numbers a range can use.
  if (ok) {
    if (!std::isfinite(value)) return false;
    *out = value;
    return true;
  }
  double plain = 0.0;
  if (!ParseWholeNumber(ToUtf8(text), &plain) || !std::isfinite(plain)) return false;
  *out = plain;
  return true;
}

}  // namespace tarn
