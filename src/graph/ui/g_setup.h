// SPDX-License-Identifier: GPL-3.0-or-later
// The graph settings dialog: colours and line widths of the data and trend lines and the fixed
// Y range. OK stores the range and widths into vSetup at once; the colours go back to the window.
#pragma once

#include <QDialog>
#include <cstdint>

class QColorDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarn {

class UpDownList;

class gSetup : public QDialog {
  Q_OBJECT

 public:
  explicit gSetup(QWidget* parent = nullptr);

  // Working copies for one opening: the Y range from vSetup, the colours from the graph.
  void Init(uint32_t cl_data, uint32_t cl_trend);
  void PutData();
  void GetDataColor();
  void GetTrendColor();
  int GetWidthIndex(double v) const;
  // Stores the checked range, widths and colours; false, with a message naming the field and
  // the focus on it, when a range field holds no number.
  bool GetData();

  double y_hi = 0.0;
  double y_lo = 0.0;
  uint32_t c_tempd = 0;
  uint32_t c_tempt = 0;
  uint32_t c_data = 0;  // read by the window after OK
  uint32_t c_trend = 0;

  QColorDialog* ColorDialog = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void btnOk_Click();
  void ShowColor(QPushButton* button, uint32_t argb);
  // Opens the chooser preset to `argb`; true with the chosen colour when confirmed.
  bool ChooseColor(uint32_t* argb);

  QFrame* panel1;
  QLabel* label1;
  QLabel* label2;
  QLabel* label3;
  QLabel* label4;
  QLabel* label5;
  QLabel* label6;
  QPushButton* btnCd;
  QPushButton* btnCt;
  UpDownList* udData;
  UpDownList* udTrend;
  QLineEdit* edHi;
  QLineEdit* edLo;
  QPushButton* btnOk;
  QPushButton* btnCancel;
};

}  // namespace tarn
