// SPDX-License-Identifier: GPL-3.0-or-later
// The unit-of-measure dialog: picks, for each of the five unit kinds of the coupon calculator,
// the stored unit or the other one, by writing the `sel` fields of vUnit.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QShowEvent;

namespace tarn {

// The title bar's close button and Escape end it as "Cancel" does (QDialog's reject).
class Unit : public QDialog {
  Q_OBJECT

 public:
  explicit Unit(QWidget* parent = nullptr);

  // Selects, in each group, the radio button matching the `sel` of its vUnit entry.
  void PutValues();
  // Writes the five `sel` fields from the radio buttons.
  void GetValues();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void btnOk_Click();
  void btnCancel_Click();
  QGroupBox* MakeGroup(const char* name, const QString& caption, QRadioButton** left,
                       const char* left_name, const QString& left_text, QRadioButton** right,
                       const char* right_name, const QString& right_text);

  QLabel* lbTitle;
  QGroupBox* groupBox1;
  QGroupBox* groupBox2;
  QGroupBox* groupBox3;
  QGroupBox* groupBox4;
  QGroupBox* groupBox5;
  QRadioButton* rbDe0;
  QRadioButton* rbDe1;
  QRadioButton* rbDi0;
  QRadioButton* rbDi1;
  QRadioButton* rbMe0;
  QRadioButton* rbMe1;
  QRadioButton* rbWe0;
  QRadioButton* rbWe1;
  QRadioButton* rbCo0;
  QRadioButton* rbCo1;
  QPushButton* btnOk;
  QPushButton* btnCancel;
};

}  // namespace tarn
