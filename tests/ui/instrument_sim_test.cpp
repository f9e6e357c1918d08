// SPDX-License-Identifier: GPL-3.0-or-later
// A download as a user does it: the instrument simulator serves the ER example file, the port
// is picked in "Port Setup", and the saved file is the example byte for byte.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "graph/ui/view_grp.h"

#include "common/ui/qt_text.h"
#include "download/ui/elpr.h"
#include "download/ui/setup.h"
#include "serial_pty.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

// The source and build trees: from the test environment, or else from where this file and the
// test program are.
QString SourceDir() {
  const QString env = qEnvironmentVariable("TARN_SOURCE_DIR");
  return env.isEmpty() ? QStringLiteral(TARN_TEST_SOURCE_DIR) : env;
}
QString BuildDir() {
  const QString env = qEnvironmentVariable("TARN_BUILD_DIR");
  return env.isEmpty() ? QCoreApplication::applicationDirPath() + "/.." : env;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(InstrumentSim, DownloadsTheExampleFileThroughThePortChosenInPortSetup) {
  testing::TempHome home;
  const QString example = SourceDir() + "/examples/er_download.nid";
  const QByteArray expected = ReadFile(example);
  ASSERT_FALSE(expected.isEmpty());

  QProcess sim;
  sim.start(BuildDir() + "/src/download/tarn-instrument-sim",
            {example, "--baud", "2000000", "--delay-ms", "200"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(sim.waitForReadyRead(10000));
  const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
  ASSERT_TRUE(port.startsWith("/dev/pts/")) << port.toStdString();
  qputenv("TARN_EXTRA_PORTS", port.toUtf8());

  vSetup = _basic_set_{};
  vSetup.baud = 5;
  vSetup.data = 1;
  DataPath = ToUtf8(home.path()) + "/DATA/";
  QDir().mkpath(home.path() + "/DATA/DOWNLOAD");
  Elpr elpr;
  elpr.SetCurScr(1);
  elpr.show();

  testing::WithNextModal<tarn::Setup>([&](tarn::Setup* dlg) {
    auto* cb = dlg->findChild<QComboBox*>("cbPort");
    cb->setCurrentIndex(cb->findText(port.mid(5)));
    dlg->findChild<QPushButton*>("btnOk")->click();
  });
  elpr.findChild<QPushButton*>("btnSetPort")->click();
  qunsetenv("TARN_EXTRA_PORTS");

  auto* pane = elpr.findChild<QPlainTextEdit*>("erText");
  testing::Download(&elpr, [&] {
    EXPECT_TRUE(testing::WaitOnGui(
        &elpr, [&] { return pane->toPlainText().toLatin1() == expected; }, 30000));
  });

  const QString saved = home.path() + "/DATA/DOWNLOAD/unit 3.nid";
  testing::WithNextModal<QFileDialog>([&](QFileDialog* dlg) {
    testing::TypeFileName(dlg, saved);
    static_cast<QDialog*>(dlg)->accept();
  });
  elpr.findChild<QPushButton*>("btnSave")->click();
  EXPECT_EQ(ReadFile(saved), expected);

  sim.terminate();
  EXPECT_TRUE(sim.waitForFinished(5000));
}

// Pictures for the user guide, remade by tools/make-guide-screenshots.py: the graph of the ER
// example, a stretch of time being dragged and its zoom, the port setup and a download from the
// simulator while the lines arrive. Written only when TARN_SCREENSHOT_DIR names a folder.
TEST(InstrumentSim, GuideScreenshots) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  testing::TempHome home;
  const QString example = SourceDir() + "/examples/er_download.nid";
  QProcess sim;
  sim.start(BuildDir() + "/src/download/tarn-instrument-sim",
            {example, "--lines-per-second", "60", "--delay-ms", "200"});
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(sim.waitForReadyRead(10000));
  const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
  qputenv("TARN_EXTRA_PORTS", port.toUtf8());

  vSetup = _basic_set_{};
  MainForm main;
  main.show();
  main.resize(1000, 700);
  QApplication::processEvents();
  main.OpenFiles({example});

  // The graph, then a box dragged over its middle and the zoom it gives.
  bool shot = false;
  QTimer::singleShot(300, [&] {
    auto* w = qobject_cast<ViewGrp*>(QApplication::activeModalWidget());
    if (w == nullptr) return;
    w->resize(1000, 620);
    QApplication::processEvents();
    w->grab().save(out + "/graph.png");
    w->findChild<QPushButton*>("btnAreaX")->click();
    QWidget* plot = w->findChild<QWidget*>("pnGrp");
    const PlotEngine& e = w->view().engine;
    const QPoint a(e.gX1 + (e.gX2 - e.gX1) * 38 / 100, e.gY1 + (e.gY2 - e.gY1) * 15 / 100);
    const QPoint b(e.gX1 + (e.gX2 - e.gX1) * 68 / 100, e.gY1 + (e.gY2 - e.gY1) * 85 / 100);
    const auto mouse = [plot](QEvent::Type type, QPoint at, Qt::MouseButton button,
                              Qt::MouseButtons held) {
      QMouseEvent ev(type, at, plot->mapToGlobal(at), button, held, Qt::NoModifier);
      QApplication::sendEvent(plot, &ev);
    };
    mouse(QEvent::MouseMove, a, Qt::NoButton, Qt::NoButton);  // the line where the drag begins
    mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, (a + b) / 2, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    QApplication::processEvents();
    w->grab().save(out + "/zoom_drag.png");
    mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
    shot = w->grab().save(out + "/zoom.png");
    w->close();
  });
  main.fmAnl()->findChild<QPushButton*>("btnGraph")->click();
  EXPECT_TRUE(shot);

  // The ER tab: the simulator's port picked in Port Setup, then lines arriving.
  main.findChild<QTabWidget*>("tbCtrl")->setCurrentIndex(0);
  Elpr* elpr = main.fmElpr();
  testing::WithNextModal<tarn::Setup>([&](tarn::Setup* dlg) {
    auto* cb = dlg->findChild<QComboBox*>("cbPort");
    cb->setCurrentIndex(cb->findText(port.mid(5)));
    dlg->grab().save(out + "/port_setup.png");
    dlg->findChild<QPushButton*>("btnOk")->click();
  });
  elpr->findChild<QPushButton*>("btnSetPort")->click();
  qunsetenv("TARN_EXTRA_PORTS");
  auto* pane = elpr->findChild<QPlainTextEdit*>("erText");
  testing::Download(elpr, [&] {
    EXPECT_TRUE(testing::WaitOnGui(
        elpr, [&] { return pane->blockCount() > 60; }, 30000));
    testing::OnGui(elpr, [&] { main.grab().save(out + "/download.png"); });
  });
  testing::AnswerMessageBoxes(1, QMessageBox::Discard);
  main.close();
  sim.terminate();
  EXPECT_TRUE(sim.waitForFinished(5000));
}

}  // namespace
}  // namespace tarn
