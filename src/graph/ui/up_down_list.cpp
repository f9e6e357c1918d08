// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/up_down_list.h"

#include <QLineEdit>

namespace tarn {

UpDownList::UpDownList(const QStringList& items, QWidget* parent)
    : QAbstractSpinBox(parent), items_(items) {
  // The value can only be chosen with the arrows, never typed.
  lineEdit()->setReadOnly(true);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  SetSelectedIndex(0);
}

void UpDownList::SetSelectedIndex(int index) {
  if (items_.isEmpty()) return;
  index_ = qBound(0, index, static_cast<int>(items_.size()) - 1);
  lineEdit()->setText(items_.at(index_));
  update();
}

void UpDownList::stepBy(int steps) {
  SetSelectedIndex(index_ - steps);
}

QAbstractSpinBox::StepEnabled UpDownList::stepEnabled() const {
  StepEnabled enabled = StepNone;
  if (index_ > 0) enabled |= StepUpEnabled;
  if (index_ < items_.size() - 1) enabled |= StepDownEnabled;
  return enabled;
}

}  // namespace tarn
