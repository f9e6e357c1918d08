// SPDX-License-Identifier: GPL-3.0-or-later
// An up-down list: a read-only spin box that steps through a fixed list of item texts. The up
// arrow moves toward item 0, as the lists of the graph settings dialog expect.
#pragma once

#include <QAbstractSpinBox>
#include <QStringList>

namespace tarn {

class UpDownList : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit UpDownList(const QStringList& items, QWidget* parent = nullptr);

  const QStringList& Items() const { return items_; }
  int SelectedIndex() const { return index_; }
  void SetSelectedIndex(int index);

  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  QStringList items_;
  int index_ = 0;
};

}  // namespace tarn
