// A download as a user does it: the instrument simulator serves the ER example file, the port
// is picked in "Port Setup", and the saved file is the example byte for byte.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

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

}  // namespace
}  // namespace tarn
