// SPDX-License-Identifier: GPL-3.0-or-later
// Named controls for building screens. The object name comes first, as the screens name their
// controls; a screen sets sizes, places and looks on what these return.
#pragma once

#include <QString>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace tarn {

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent);
// hint is the button's tooltip; the screen that builds a button explains it.
QPushButton* MakeButton(const char* name, const QString& text, QWidget* parent,
                        const QString& hint = QString());
QFrame* MakePanel(const char* name, QWidget* parent);
// A label without text that shows a status line in the given style sheet.
QLabel* MakeStatus(const char* name, const QString& style, QWidget* parent);
// A ticked check box with a bold caption (the graph windows' switches).
QCheckBox* MakeBoldCheck(const char* name, const char* text, QWidget* parent);

}  // namespace tarn
