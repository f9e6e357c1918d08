// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the program's name, version and a link to its home page. Created once and
// reused; closing only hides it.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace tarn {

class about : public QDialog {
  Q_OBJECT

 public:
  explicit about(QWidget* parent = nullptr);

  // The page a click on the link opens, and the text the link shows.
  static constexpr const char* kHomePage = "https://tarn.example.org/";
  static constexpr const char* kHomeText = "www.tarn.example.org";
  // The licence of LICENSE, as the second line of the rights notice names it.
  static constexpr const char* kLicence = "Licence: GNU GPL v3 or later";

 private:
  void InitializeComponent();
  void btnOk_Click();
  void linkLabel1_LinkClicked();

  QFrame* panel1 = nullptr;
  QLabel* pictureBox1 = nullptr;
  QLabel* label1 = nullptr;
  QLabel* label2 = nullptr;
  QLabel* label3 = nullptr;
  QLabel* label4 = nullptr;
  QLabel* linkLabel1 = nullptr;
  QPushButton* btnOk = nullptr;
};

}  // namespace tarn
