// SPDX-License-Identifier: GPL-3.0-or-later
// Tooltips of every button of the main window's screens and their dialogs, and the keyboard
// shortcuts that press a screen's buttons.
#pragma once

#include <QString>

class QWidget;

namespace tarn {

// The tooltip of button `button` on screen or dialog `screen` (its class name without the
// namespace), or an empty text for a button the table does not know.
QString ButtonHint(const QString& screen, const QString& button);

// Gives every push button under root its tooltip.
void SetButtonHints(QWidget* root);

}  // namespace tarn
