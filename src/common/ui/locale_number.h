// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers on screen in the user's regional format (QLocale(): the system's unless set). Files
// keep the core's full stop; the screens swap in the locale's separator and minus sign.
#pragma once

#include <QString>
#include <string>

namespace tarn {

// The core's "0.0000"-style pattern with `decimals` decimals, in the user's format.
QString LocaleNumber(double value, int decimals);
// A number text of the core (full stop, minus sign) in the user's format.
QString LocaleText(const std::string& text);
// A number typed by the user: the whole text in the user's format, or with a full stop. False,
// leaving *out alone, when it is neither or not finite.
bool LocaleToNumber(const QString& text, double* out);

}  // namespace tarn
