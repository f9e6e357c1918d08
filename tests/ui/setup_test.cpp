// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port settings dialog: working copy, port list, defaults, typed text.
#include "download/ui/setup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <functional>

#include "download/port_name.h"
#include "serial_pty.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("TARN_EXTRA_PORTS", "/dev/ttyUSB40:/dev/ttyUSB42::ttyUSB42");
    vSetup = _basic_set_{};
    vSetup.port = 1043;  // ttyUSB42
    vSetup.baud = 7;
    vSetup.parity = 1;
    vSetup.data = 0;
    vSetup.stop = 1;
    vSetup.flow = 1;
  }
  void TearDown() override { qunsetenv("TARN_EXTRA_PORTS"); }

  QComboBox* List(const char* name) { return dlg_.findChild<QComboBox*>(name); }
  QPushButton* Btn(const char* name) { return dlg_.findChild<QPushButton*>(name); }
  // Opens the dialog modally, lets `act` work on it, and ends with the button `close`.
  void Run(const std::function<void()>& act, const char* close) {
    testing::WithNextModal<tarn::Setup>([&, close](tarn::Setup*) {
      act();
      Btn(close)->click();
    });
    dlg_.exec();
  }

  tarn::Setup dlg_;
};

TEST_F(SetupTest, OpensOnTheSavedValuesAndListsExtraPortsOnce) {
  Run(
      [&] {
        EXPECT_EQ(List("cbPort")->currentText(), "ttyUSB42");
        EXPECT_EQ(List("cbPort")->findText("ttyUSB42"), List("cbPort")->count() - 1);
        EXPECT_GE(List("cbPort")->findText("ttyUSB40"), 0);
        EXPECT_EQ(List("cbBaud")->currentText(), "19200");
        EXPECT_EQ(List("cbParity")->currentText(), "Odd");
        EXPECT_EQ(List("cbData")->currentText(), "7");
        EXPECT_EQ(List("cbStop")->currentText(), "2");
        EXPECT_EQ(List("cbFlow")->currentText(), "RTS/CTS");
        EXPECT_EQ(List("cbBaud")->count(), 12);
        EXPECT_EQ(List("cbBaud")->itemText(6), "14400");
        EXPECT_EQ(List("cbBaud")->itemText(9), "56000");
      },
      "btnCancel");

  // A port that is no longer listed opens with no selection, and "OK" stores no port.
  vSetup.port = 1042;
  vSetup.baud = -1;
  Run(
      [&] {
        EXPECT_EQ(List("cbPort")->currentIndex(), -1);
        EXPECT_EQ(List("cbBaud")->currentIndex(), -1);
      },
      "btnOk");
  EXPECT_EQ(vSetup.port, 0);
  EXPECT_EQ(vSetup.baud, -1);
  EXPECT_EQ(vSetup.parity, 1);
}

TEST_F(SetupTest, DefaultSettingChangesNothingUntilOk) {
  const _basic_set_ before = vSetup;
  Run([&] { Btn("btnDefault")->click(); }, "btnCancel");
  EXPECT_EQ(vSetup.port, before.port);
  EXPECT_EQ(vSetup.baud, before.baud);
  EXPECT_EQ(vSetup.flow, before.flow);

  Run(
      [&] {
        Btn("btnDefault")->click();
        EXPECT_EQ(List("cbBaud")->currentText(), "9600");
      },
      "btnOk");
  bool ttyS0 = false;
  for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
    ttyS0 = ttyS0 || p.portName() == "ttyS0";
  }
  EXPECT_EQ(vSetup.port, ttyS0 ? 1 : 0);
  EXPECT_EQ(vSetup.baud, 5);
  EXPECT_EQ(vSetup.parity, 0);
  EXPECT_EQ(vSetup.data, 1);
  EXPECT_EQ(vSetup.stop, 0);
  EXPECT_EQ(vSetup.flow, 0);
}

TEST_F(SetupTest, OnlyASelectedEntryCountsTypedTextMayNameOne) {
  Run(
      [&] {
        List("cbPort")->setCurrentIndex(List("cbPort")->findText("ttyUSB40"));
        List("cbBaud")->setCurrentIndex(11);
        List("cbParity")->lineEdit()->setText("Bogus");  // no entry: no selection
        List("cbData")->lineEdit()->setText("8");        // an entry's exact text selects it
      },
      "btnOk");
  EXPECT_EQ(vSetup.port, 1041);
  EXPECT_EQ(vSetup.baud, 11);
  EXPECT_EQ(vSetup.parity, -1);
  EXPECT_EQ(vSetup.data, 1);

  // Every opening re-reads the settings: what was typed last time is gone.
  Run([&] { EXPECT_EQ(List("cbParity")->currentIndex(), -1); }, "btnCancel");
  vSetup.parity = 2;
  Run([&] { EXPECT_EQ(List("cbParity")->currentText(), "Even"); }, "btnCancel");
}

}  // namespace
}  // namespace tarn
