// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/widget_builders.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace tarn {

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QPushButton* MakeButton(const char* name, const QString& text, QWidget* parent,
                        const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QFrame* MakePanel(const char* name, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  return panel;
}

QLabel* MakeStatus(const char* name, const QString& style, QWidget* parent) {
  QLabel* label = MakeLabel(name, QString(), parent);
  label->setStyleSheet(style);
  return label;
}

QCheckBox* MakeBoldCheck(const char* name, const char* text, QWidget* parent) {
  auto* c = new QCheckBox(QString::fromLatin1(text), parent);
  c->setObjectName(QString::fromLatin1(name));
  QFont f = c->font();
  f.setBold(true);
  c->setFont(f);
  c->setChecked(true);
  return c;
}

}  // namespace tarn
