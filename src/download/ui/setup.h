// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port settings dialog: port and line parameters, edited on a working copy and
// stored into the general settings only on "OK".
#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tarn {

class Setup : public QDialog {
  Q_OBJECT

 public:
  explicit Setup(QWidget* parent = nullptr);

  void CopyToTmp();
  // Lists the ports the system reports, then those named in TARN_EXTRA_PORTS.
  void GetUsePort();
  // Index of the listed port whose stored number is p_num; -1 when it is not listed.
  int GetPortIndex(int32_t p_num) const;
  void PutValues();
  void GetValues();
  void SetDefault();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void btnOk_Click();
  void btnCancel_Click();
  void btnDefault_Click();

  int32_t p_port = 0;
  int32_t p_baud = 0;
  int32_t p_parity = 0;
  int32_t p_data = 0;
  int32_t p_stop = 0;
  int32_t p_flow = 0;

  QFrame* panel1;
  QLabel* label1;
  QLabel* label2;
  QLabel* label3;
  QLabel* label4;
  QLabel* label5;
  QLabel* label6;
  QComboBox* cbPort;
  QComboBox* cbBaud;
  QComboBox* cbParity;
  QComboBox* cbData;
  QComboBox* cbStop;
  QComboBox* cbFlow;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnDefault;
};

}  // namespace tarn
