// SPDX-License-Identifier: GPL-3.0-or-later
// The program's two kinds of message box: "Error" with OK, and "Confirm" with Yes and No.
#pragma once

#include <QString>

class QWidget;

namespace tarn {

void ShowError(QWidget* parent, const QString& text);
// True when the user answers Yes; `default_no` makes No the default button (Enter), for what
// cannot be undone.
bool AskConfirm(QWidget* parent, const QString& text, bool default_no = false);

// Before unsaved work would be lost: "Confirm" with Save, Discard and Cancel.
enum class SaveChoice { kSave, kDiscard, kCancel };
SaveChoice AskSave(QWidget* parent, const QString& text);

}  // namespace tarn
