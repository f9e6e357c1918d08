// SPDX-License-Identifier: GPL-3.0-or-later
// The keys that press the screens' buttons: one place for the sequence the main window listens
// to and the text a button's hint shows for it.
#pragma once

#include <QKeySequence>
#include <QString>
#include <initializer_list>
#include <utility>

class QPushButton;

namespace tarn {

enum class ScreenKey { kOpen, kSave, kSaveAs, kExport, kGraph, kPrint };

inline constexpr ScreenKey kScreenKeys[] = {ScreenKey::kOpen,   ScreenKey::kSave,
                                            ScreenKey::kSaveAs, ScreenKey::kExport,
                                            ScreenKey::kGraph,  ScreenKey::kPrint};

QKeySequence KeysOf(ScreenKey key);

// "hint (Ctrl+S)": a button's hint followed by the key that presses it.
QString KeyHint(const char* hint, ScreenKey key);

// Clicks the button paired with key, as the user would: nothing happens while it is disabled.
// False when no button is paired with the key.
bool PressButtonOf(ScreenKey key,
                   std::initializer_list<std::pair<ScreenKey, QPushButton*>> buttons);

}  // namespace tarn
