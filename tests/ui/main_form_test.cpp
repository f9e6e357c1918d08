// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: first run folders and settings, geometry kept between runs, the tabs moving
// the screens, and screenshots of the window and the about box.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "app/user_guide.h"
#include "common/ui/about.h"
#include "coupon/ui/coupon.h"
#include "download/ui/elpr.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

// The build folder: the test binaries live in its tests/ folder.
QString BuildDir() {
  const QString dir = qEnvironmentVariable("TARN_BUILD_DIR");
  return dir.isEmpty() ? QDir::cleanPath(QCoreApplication::applicationDirPath() + "/..") : dir;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The documents folder must follow HOME, not a user-dirs file elsewhere.
    qunsetenv("XDG_CONFIG_HOME");
    vSetup = {};
    for (auto& u : vUnit) u = {};
    CfgFile.clear();
    DataPath.clear();
  }

  QString Tarn() const { return home_.path() + QStringLiteral("/Documents/Tarn"); }
  QString Cfg() const { return Tarn() + QStringLiteral("/TARN.CFG"); }

  void WriteCfg(const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(Tarn()));
    QFile f(Cfg());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  // The saved file as "SECTION/KEY=value" lines, in file order.
  QStringList SavedKeys() const {
    QFile f(Cfg());
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList keys;
    QString section;
    for (const QByteArray& raw : f.readAll().split('\n')) {
      const QString line = QString::fromLatin1(raw).trimmed();
      if (line.startsWith(u'['))
        section = line.mid(1, line.size() - 2);
      else if (line.contains(u'='))
        keys << section + u'/' + line;
    }
    return keys;
  }

  static QWidget* Page(MainForm& f, const char* name) {
    return f.findChild<QWidget*>(QString::fromLatin1(name));
  }

  static void ClickTab(MainForm& f, int index) {
    auto* bar = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }

  testing::TempHome home_;
};

TEST_F(MainFormTest, FirstRunMakesFoldersOpensOnErAndSavesAllKeys) {
  {
    MainForm f;
    f.show();
    for (const char* dir : {"", "/DATA", "/DATA/DOWNLOAD", "/DATA/COUPON", "/DATA/ANALYSIS"})
      EXPECT_TRUE(QDir(Tarn() + QString::fromLatin1(dir)).exists()) << dir;
    EXPECT_EQ(QString::fromStdString(CfgFile), Cfg());
    EXPECT_EQ(QString::fromStdString(DataPath), Tarn() + QStringLiteral("/DATA/"));
    EXPECT_EQ(f.pos(), QPoint(0, 0));
    EXPECT_EQ(f.size(), QSize(1024, 800));
    EXPECT_EQ(f.CurView(), 1);
    EXPECT_EQ(f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->currentIndex(), 0);
    EXPECT_EQ(f.fmElpr()->parentWidget(), Page(f, "tbPg1"));
    EXPECT_TRUE(f.fmElpr()->isVisible());
    EXPECT_FALSE(QFile::exists(Cfg())) << "the settings are written only after closing";
    f.close();
  }
  const QStringList expected = {"COMM/PORT=1",
                                "COMM/BAUD=5",
                                "COMM/PARITY=0",
                                "COMM/DATA=1",
                                "COMM/STOP=0",
                                "COMM/FLOW=0",
                                "WIN/TOP=0",
                                "WIN/LEFT=0",
                                "WIN/HEIGHT=800",
                                "WIN/WIDTH=1024",
                                "UNIT/DENSITY=0",
                                "UNIT/DIMENSION=0",
                                "UNIT/METALLOSS=0",
                                "UNIT/WEIGHT=0",
                                "UNIT/CORRATE=0",
                                "UNIT/DENSITY_RATIO=0.036127292",
                                "UNIT/DIMENSION_RATIO=0.393700787",
                                "UNIT/METALLOSS_RATIO=39.370078700",
                                "UNIT/WEIGHT_RATIO=0.035273960",
                                "UNIT/CORRATE_RATIO=39.370078700",
                                "ETC/PI_OF_TUBULAR_TYPE=312.500000000",
                                "GRAPH/Y_HIGH=10.000000000",
                                "GRAPH/Y_LOW=0.000000000",
                                "GRAPH/DATA_COLOR=-16776961",
                                "GRAPH/TREND_COLOR=-65536",
                                "GRAPH/DATA_LINE=1.000000000",
                                "GRAPH/TREND_LINE=1.000000000"};
  EXPECT_EQ(SavedKeys(), expected);
}

TEST_F(MainFormTest, ExistingFoldersAndAFolderInTheWayArePassedOver) {
  // DATA is a file: DATA and everything under it cannot be made; the window still opens.
  ASSERT_TRUE(QDir().mkpath(Tarn()));
  QFile blocker(Tarn() + QStringLiteral("/DATA"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  MainForm f;
  f.show();
  EXPECT_TRUE(f.isVisible());
  EXPECT_FALSE(QDir(Tarn() + QStringLiteral("/DATA/DOWNLOAD")).exists());
  EXPECT_EQ(QString::fromStdString(DataPath), Tarn() + QStringLiteral("/DATA/"));
  f.close();
}

TEST_F(MainFormTest, SavedSizeBelowTheMinimumOpensAtTheMinimum) {
  WriteCfg("[WIN]\nTOP=30\nLEFT=40\nHEIGHT=400\nWIDTH=500\n");
  MainForm f;
  f.show();
  EXPECT_EQ(f.minimumSize(), QSize(912, 693));
  EXPECT_EQ(f.size(), QSize(912, 693));
  EXPECT_EQ(f.pos(), QPoint(40, 30));
  f.close();
}

TEST_F(MainFormTest, EndOfMoveIsSavedButMaximisingIsNot) {
  {
    MainForm f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.move(123, 77);  // the frame's corner, as the user drags it
    f.resize(1000, 720);
    QTest::qWait(MainForm::kResizeEndMs * 3);
    EXPECT_EQ(vSetup.left, 123);
    EXPECT_EQ(vSetup.top, 77);
    EXPECT_EQ(vSetup.width, 1000);
    EXPECT_EQ(vSetup.height, 720);
    f.showMaximized();
    QTest::qWait(MainForm::kResizeEndMs * 3);
    f.close();
  }
  const QStringList keys = SavedKeys();
  for (const char* k : {"WIN/TOP=77", "WIN/LEFT=123", "WIN/HEIGHT=720", "WIN/WIDTH=1000"})
    EXPECT_TRUE(keys.contains(QString::fromLatin1(k))) << k << "\n"
                                                       << keys.join(u'\n').toStdString();
  {
    // A move ended just before the close still counts; the next run opens there.
    MainForm f;
    f.show();
    EXPECT_EQ(f.pos(), QPoint(123, 77));
    f.move(300, 200);
    f.close();
  }
  EXPECT_TRUE(SavedKeys().contains(QStringLiteral("WIN/LEFT=300")));
}

TEST_F(MainFormTest, TabsMoveTheDownloadScreenAndShowEachScreen) {
  MainForm f;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  // Each screen lives in its own page.
  EXPECT_EQ(f.fmCpon()->parentWidget(), Page(f, "tbPg3"));
  EXPECT_EQ(f.fmAnl()->parentWidget(), Page(f, "tbPg4"));

  ClickTab(f, 1);
  EXPECT_EQ(f.CurView(), 2);
  EXPECT_EQ(f.fmElpr()->parentWidget(), Page(f, "tbPg2"));
  EXPECT_TRUE(f.fmElpr()->isVisible());
  ClickTab(f, 2);
  EXPECT_EQ(f.CurView(), 3);
  EXPECT_TRUE(f.fmCpon()->isVisible());
  EXPECT_FALSE(f.fmElpr()->isVisible());
  ClickTab(f, 3);
  EXPECT_EQ(f.CurView(), 4);
  EXPECT_TRUE(f.fmAnl()->isVisible());
  ClickTab(f, 0);
  EXPECT_EQ(f.CurView(), 1);
  EXPECT_EQ(f.fmElpr()->parentWidget(), Page(f, "tbPg1"));
  EXPECT_TRUE(f.fmElpr()->isVisible());
  // Each screen fills its page inside the page's padding.
  EXPECT_EQ(f.fmElpr()->geometry(), Page(f, "tbPg1")->rect().adjusted(9, 9, -9, -9));
  f.close();
}

TEST_F(MainFormTest, SwitchingErToLprClosesThePortAndKeepsEachPane) {
  MainForm f;
  f.show();
  auto* er = f.fmElpr()->findChild<QPlainTextEdit*>(QStringLiteral("erText"));
  auto* lpr = f.fmElpr()->findChild<QPlainTextEdit*>(QStringLiteral("lprText"));
  auto* title = f.fmElpr()->findChild<QLabel*>(QStringLiteral("lbTitle"));
  auto* port = f.fmElpr()->findChild<QLabel*>(QStringLiteral("lbSt1"));
  if (!er || !lpr || !title || !port) GTEST_SKIP() << "the download screen has no panes yet";
  er->setPlainText(QStringLiteral("ER line\n"));
  port->setText(QStringLiteral("stale"));
  ClickTab(f, 1);
  EXPECT_EQ(title->text(), QStringLiteral("LPR"));
  EXPECT_EQ(port->text(), QStringLiteral("Port : OFF")) << "ClosePort refreshes the status";
  EXPECT_TRUE(lpr->isVisible());
  EXPECT_FALSE(er->isVisible());
  lpr->setPlainText(QStringLiteral("LPR line\n"));
  port->setText(QStringLiteral("stale"));
  ClickTab(f, 2);  // leaving LPR for Coupon closes the port too
  EXPECT_EQ(port->text(), QStringLiteral("Port : OFF"));
  ClickTab(f, 0);
  EXPECT_EQ(title->text(), QStringLiteral("ER"));
  EXPECT_TRUE(er->isVisible());
  EXPECT_EQ(er->toPlainText(), QStringLiteral("ER line\n"));
  EXPECT_EQ(lpr->toPlainText(), QStringLiteral("LPR line\n"));
  f.close();
}

TEST_F(MainFormTest, CouponTabRefreshesTheFileName) {
  MainForm f;
  f.show();
  auto* status = f.fmCpon()->findChild<QLabel*>(QStringLiteral("lbSt2"));
  if (!status) GTEST_SKIP() << "the coupon screen has no status line yet";
  status->setText(QStringLiteral("stale"));
  ClickTab(f, 2);
  EXPECT_EQ(status->text(), QStringLiteral("noname"));
  f.close();
}

TEST_F(MainFormTest, TopBandAndTabsLookAsDesigned) {
  MainForm f;
  f.show();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Corrosion Monitoring Program"));
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_EQ(f.font().family(), QStringLiteral("Verdana"));
  auto* top = f.findChild<QWidget*>(QStringLiteral("pnTop"));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->height(), 36);
  EXPECT_EQ(top->palette().color(QPalette::Window), QColor(65, 105, 225));
  auto* logo = top->findChild<QLabel*>(QStringLiteral("pictureBox1"));
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->pixmap().size(), QSize(192, 55)) << "logo resource not compiled in";
  for (const char* name : {"label3", "label1"}) {
    auto* label = top->findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 215, 0)) << name;
    EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
        << name << " is clipped";
  }
  EXPECT_EQ(top->findChild<QLabel*>(QStringLiteral("label3"))->text(),
            QStringLiteral("Corrosion Monitoring Program"));
  EXPECT_EQ(top->findChild<QLabel*>(QStringLiteral("label1"))->text(),
            QStringLiteral("powered by Nembra"));
  // The two captions never overlap, whatever the font stand-in.
  EXPECT_LT(top->findChild<QLabel*>(QStringLiteral("label3"))->geometry().right(),
            top->findChild<QLabel*>(QStringLiteral("label1"))->geometry().left());

  auto* base = f.findChild<QWidget*>(QStringLiteral("pnBase"));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->palette().color(QPalette::Window), QColor(220, 220, 220));
  auto* tabs = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->geometry(), base->rect().adjusted(5, 9, -5, -5));
  const QStringList captions = {"ER", "LPR", "Coupon", "Analysis"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tabs->tabText(i), captions[i]);
    EXPECT_EQ(tabs->tabBar()->tabRect(i).size(), QSize(120, 40)) << i;
    EXPECT_EQ(tabs->widget(i)->objectName(), QStringLiteral("tbPg%1").arg(i + 1));
    EXPECT_EQ(tabs->widget(i)->palette().color(QPalette::Window), QColor(Qt::white));
  }
  EXPECT_TRUE(tabs->tabBar()->font().bold());
  EXPECT_EQ(tabs->tabBar()->font().pointSize(), 10);
  f.close();
}

// Started with no display, the program says how to get one instead of aborting inside Qt.
TEST(MainProgram, NoDisplayGivesOneLineAndFails) {
  const QString tarn = BuildDir() + QStringLiteral("/src/app/tarn");
  if (!QFile::exists(tarn)) GTEST_SKIP() << "no tarn at " << tarn.toStdString();
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromLatin1(var));
  p.setProcessEnvironment(env);
  p.start(tarn, {});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(p.exitCode(), 0);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("xvfb-run"))) << err.toStdString();
}

// Saves PNGs of the main window and the about box into <build>/screenshots. Under xvfb-run, when
// it is installed, the pictures come from a real X server; otherwise from an offscreen grab.
TEST_F(MainFormTest, GuidePicturesAreScaledToTheGuidesWidth) {
  MainForm f;
  f.show();
  f.ShowGuide();
  auto* dialog = f.findChild<QDialog*>(QStringLiteral("dlgGuide"));
  ASSERT_NE(dialog, nullptr);
  auto* browser = dialog->findChild<GuideBrowser*>(QStringLiteral("txtGuide"));
  ASSERT_NE(browser, nullptr);
  // Wide pictures shrink to the window, narrow ones keep their own size, at every width.
  for (int width : {820, 500, 1400}) {
    SCOPED_TRACE(width);
    dialog->resize(width, 700);
    QApplication::processEvents();
    const int room = browser->viewport()->width();
    const int wide = browser->ImageWidth("images/start.png");  // 1024 pixels
    EXPECT_LE(wide, room);
    if (room > 1100) {
      EXPECT_EQ(wide, 1024);
    } else {
      EXPECT_GT(wide, room - 40);
    }
    EXPECT_EQ(browser->ImageWidth("images/port_setup.png"), 339);
    EXPECT_EQ(browser->horizontalScrollBar()->maximum(), 0);
  }
  dialog->close();
}

TEST_F(MainFormTest, Screenshots) {
  const QString out_dir = BuildDir() + QStringLiteral("/screenshots");
  ASSERT_TRUE(QDir().mkpath(out_dir));
  const QString main_png = out_dir + QStringLiteral("/main_form.png");
  const QString about_png = out_dir + QStringLiteral("/about.png");
  const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
  if (!xvfb.isEmpty() && qEnvironmentVariableIsEmpty("TARN_SCREENSHOT_CHILD")) {
    QFile::remove(main_png);
    QFile::remove(about_png);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARN_SCREENSHOT_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(
        xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
               QCoreApplication::applicationFilePath(),
               QStringLiteral("--gtest_filter=MainFormTest.Screenshots")});
    ASSERT_TRUE(child.waitForFinished(120000)) << "xvfb-run did not finish";
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
  } else {
    MainForm f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.resize(912, 693);
    QTest::qWait(100);
    QPixmap shot = f.screen()->grabWindow(f.winId());
    if (shot.isNull() || shot.size() != f.size()) shot = f.grab();
    EXPECT_TRUE(shot.save(main_png));

    about box(&f);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(100);
    QPixmap about_shot = box.screen()->grabWindow(box.winId());
    if (about_shot.isNull() || about_shot.size() != box.size()) about_shot = box.grab();
    EXPECT_TRUE(about_shot.save(about_png));
    box.hide();
    f.close();
  }
  QImage main_img(main_png), about_img(about_png);
  EXPECT_EQ(main_img.size(), QSize(912, 693));
  EXPECT_EQ(about_img.size(), QSize(341, 287));
  // The top band really is royal blue, and the about panel floral white.
  if (!main_img.isNull()) {
    EXPECT_EQ(main_img.pixelColor(600, 20), QColor(65, 105, 225));
  }
  if (!about_img.isNull()) {
    EXPECT_EQ(about_img.pixelColor(20, 30), QColor(0xFF, 0xFA, 0xF0));
  }
}

}  // namespace
}  // namespace tarn
