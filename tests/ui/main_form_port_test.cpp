// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with the download screen receiving through a real pseudo-terminal: a tab change
// and the window's closing both end reception, and each pane keeps what it received.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/main_form.h"
#include "download/port_name.h"
#include "download/ui/elpr.h"
#include "serial_pty.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

using testing::Download;
using testing::OnGui;
using testing::PtyPair;
using testing::TempHome;
using testing::WaitOnGui;

TEST(MainFormPortTest, TabChangeAndClosingTheWindowEndReception) {
  qunsetenv("XDG_CONFIG_HOME");
  TempHome home;
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  vSetup = {};
  const QString tarn = home.path() + QStringLiteral("/Documents/Tarn");
  ASSERT_TRUE(QDir().mkpath(tarn));
  {
    QFile cfg(tarn + QStringLiteral("/TARN.CFG"));
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write(QStringLiteral("[COMM]\nPORT=%1\n").arg(PortNumberFromName(pty.name())).toLatin1());
  }

  MainForm f;
  f.show();
  Elpr* elpr = f.fmElpr();
  auto* tabs = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  auto* er = elpr->findChild<QPlainTextEdit*>(QStringLiteral("erText"));
  auto* lpr = elpr->findChild<QPlainTextEdit*>(QStringLiteral("lprText"));
  auto* status = elpr->findChild<QLabel*>(QStringLiteral("lbSt1"));
  auto* open = elpr->findChild<QPushButton*>(QStringLiteral("btnOpenPort"));

  // Selecting LPR while receiving on ER closes the port; the ER text stays in the ER pane.
  Download(elpr, [&] {
    pty.Write("ER 1\n");
    EXPECT_TRUE(WaitOnGui(elpr, [&] { return er->toPlainText() == QStringLiteral("ER 1\n"); }));
    OnGui(elpr, [&] { tabs->setCurrentIndex(1); });
    EXPECT_TRUE(WaitOnGui(elpr, [&] { return status->text() == QStringLiteral("Port : OFF"); }));
  });
  EXPECT_EQ(f.CurView(), 2);
  EXPECT_TRUE(lpr->isVisible());
  EXPECT_EQ(lpr->toPlainText(), QString());
  EXPECT_EQ(open->text(), QStringLiteral("&Open Port"));
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Corrosion Monitoring Program")) << "LPR: nothing";
  tabs->setCurrentIndex(0);
  EXPECT_EQ(er->toPlainText(), QStringLiteral("ER 1\n"));
  EXPECT_EQ(f.windowTitle(), QStringLiteral("noname* \u2014 Corrosion Monitoring Program"));

  // Closing the main window while receiving in LPR mode closes the port and saves the settings.
  tabs->setCurrentIndex(1);
  Download(elpr, [&] {
    pty.Write("LPR 1\n");
    EXPECT_TRUE(WaitOnGui(elpr, [&] { return lpr->toPlainText() == QStringLiteral("LPR 1\n"); }));
    // Both panes hold text never saved: the close asks twice, and both answers let it go on.
    OnGui(elpr, [&] {
      testing::AnswerMessageBoxes(2, QMessageBox::Discard);
      f.close();
    });
    EXPECT_TRUE(WaitOnGui(elpr, [&] { return status->text() == QStringLiteral("Port : OFF"); }));
  });
  EXPECT_EQ(open->text(), QStringLiteral("&Open Port"));
  QFile saved(tarn + QStringLiteral("/TARN.CFG"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("HEIGHT="));  // written again, in full, after the close
}

}  // namespace
}  // namespace tarn
