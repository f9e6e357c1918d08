// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/screen_keys.h"

#include <QPushButton>

namespace tarn {

QKeySequence KeysOf(ScreenKey key) {
  switch (key) {
    case ScreenKey::kOpen:
      return QKeySequence(QKeySequence::Open);
    case ScreenKey::kSave:
      return QKeySequence(QKeySequence::Save);
    // Every save asks for a name, so "save as" presses the same button. Spelled out: not every
    // platform theme binds a key to QKeySequence::SaveAs.
    case ScreenKey::kSaveAs:
      return QKeySequence(QStringLiteral("Ctrl+Shift+S"));
    case ScreenKey::kExport:
      return QKeySequence(QStringLiteral("Ctrl+E"));
    case ScreenKey::kGraph:
      return QKeySequence(QStringLiteral("Ctrl+G"));
    case ScreenKey::kPrint:
      return QKeySequence(QKeySequence::Print);
  }
  return {};
}

QString KeyHint(const char* hint, ScreenKey key) {
  return QString::fromLatin1(hint) + QStringLiteral(" (") +
         KeysOf(key).toString(QKeySequence::NativeText) + QLatin1Char(')');
}

bool PressButtonOf(ScreenKey key,
                   std::initializer_list<std::pair<ScreenKey, QPushButton*>> buttons) {
  for (const auto& [k, button] : buttons) {
    if (k != key) continue;
    button->click();
    return true;
  }
  return false;
}

}  // namespace tarn
