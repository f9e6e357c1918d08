// Desktop habits of the main window: shortcuts, dropped files routed by content, the title with
// its unsaved mark, Save / Discard / Cancel before coupons are lost, undo of a deletion,
// tooltips, and the command line of the real program.
#include <gtest/gtest.h>

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <cstring>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/coupon_records.h"
#include "download/ui/elpr.h"
#include "graph/ui/graph_records.h"
#include "graph/ui/view_grp.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

QString SourceDir() {
  return QStringLiteral(TARN_TEST_SOURCE_DIR);
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qunsetenv("XDG_CONFIG_HOME");
    vSetup = {};
    vCponData.record_count = 0;
  }

  // A coupon data file holding one coupon per tag, under a name that does not say what it is.
  QString CouponFile(const QString& name, const QStringList& tags) {
    for (int i = 0; i < tags.size(); ++i) {
      vCponData.items[i] = {};
      std::strncpy(vCponData.items[i].tag, tags[i].toLatin1().constData(), 23);
    }
    vCponData.record_count = static_cast<int32_t>(tags.size());
    const QString path = home_.path() + u'/' + name;
    struct : CouponNotifier {
      void Error(std::string_view) override {}
    } quiet;
    EXPECT_TRUE(Save(path.toStdString(), vCponData, quiet));
    vCponData.record_count = 0;
    return path;
  }

  static QStringList Tags() {
    QStringList tags;
    for (int i = 0; i < vCponData.record_count; ++i)
      tags << QString::fromLatin1(vCponData.items[i].tag);
    return tags;
  }

  static void Activate(MainForm& f) {
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  }

  static void Drop(MainForm& f, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
    QTest::qWait(50);
  }

  testing::TempHome home_;
};

// Each key presses the button of the screen on the visible tab, and only there.
TEST_F(DesktopTest, ShortcutsPressTheVisibleScreensButton) {
  MainForm f;
  Activate(f);
  auto* tabs = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  const struct {
    int tab;
    QWidget* screen;
    const char* button;
    Qt::KeyboardModifiers mods;
    Qt::Key key;
  } cases[] = {
      {0, f.fmElpr(), "btnSave", Qt::ControlModifier, Qt::Key_S},
      {1, f.fmElpr(), "btnSave", Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S},
      {0, f.fmElpr(), "btnPrt", Qt::ControlModifier, Qt::Key_P},
      {2, f.fmCpon(), "btnOpen", Qt::ControlModifier, Qt::Key_O},
      {2, f.fmCpon(), "btnSaveAs", Qt::ControlModifier, Qt::Key_S},
      {2, f.fmCpon(), "btnExport", Qt::ControlModifier, Qt::Key_E},
      {3, f.fmAnl(), "btnOpen", Qt::ControlModifier, Qt::Key_O},
      {3, f.fmAnl(), "btnExport", Qt::ControlModifier, Qt::Key_E},
      {3, f.fmAnl(), "btnGraph", Qt::ControlModifier, Qt::Key_G},
  };
  // The buttons' own work (dialogs) is not under test here: only that the key presses them.
  QList<QPushButton*> buttons;
  for (QWidget* screen : {static_cast<QWidget*>(f.fmElpr()), static_cast<QWidget*>(f.fmCpon()),
                          static_cast<QWidget*>(f.fmAnl())})
    buttons << screen->findChildren<QPushButton*>();
  for (QPushButton* b : buttons) QObject::disconnect(b, &QPushButton::clicked, nullptr, nullptr);

  for (const auto& c : cases) {
    tabs->setCurrentIndex(c.tab);
    QList<QSignalSpy*> spies;
    for (QPushButton* b : buttons) {
      b->setEnabled(true);
      spies << new QSignalSpy(b, &QPushButton::clicked);
    }
    QTest::keyClick(&f, c.key, c.mods);
    auto* target = c.screen->findChild<QPushButton*>(QString::fromLatin1(c.button));
    for (int i = 0; i < buttons.size(); ++i) {
      EXPECT_EQ(spies[i]->count(), buttons[i] == target ? 1 : 0)
          << "tab " << c.tab << " key " << c.key << ": " << buttons[i]->objectName().toStdString();
    }
    qDeleteAll(spies);
  }
  // Ctrl+Q closes the window.
  QTest::keyClick(&f, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(f.isVisible());
}

// Esc closes the graph window, Ctrl+S there presses its own Save.
TEST_F(DesktopTest, GraphWindowKeys) {
  MainForm f;
  Activate(f);
  ViewGrp* graph = f.fmAnl()->fmGrp;
  auto* save = graph->findChild<QPushButton*>(QStringLiteral("btnSave"));
  QObject::disconnect(save, &QPushButton::clicked, nullptr, nullptr);
  QSignalSpy saved(save, &QPushButton::clicked);
  QTimer::singleShot(0, graph, [graph] {
    QApplication::setActiveWindow(graph);
    QTest::keyClick(graph, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(graph, Qt::Key_Escape);
  });
  f.OpenFiles({SourceDir() + QStringLiteral("/examples/er_download.nid")});
  graph->exec();  // returns once Esc has closed it
  EXPECT_EQ(saved.count(), 1);
  EXPECT_FALSE(graph->isVisible());
  f.close();
}

// Dropped files go where their content belongs, whatever their names; the title follows.
TEST_F(DesktopTest, DropRoutesByContentAndTitleFollows) {
  MainForm f;
  Activate(f);
  const QString coupons = CouponFile(QStringLiteral("plant.dat"), {"A", "B"});
  const QString nid = SourceDir() + QStringLiteral("/examples/er_download.nid");
  Drop(f, {coupons, nid});
  EXPECT_EQ(f.fmCpon()->fileName(), coupons);
  EXPECT_EQ(Tags(), QStringList({"A", "B"}));
  EXPECT_EQ(QString::fromStdString(f.fmAnl()->reader().FileName), nid);
  EXPECT_GT(f.fmAnl()->reader().tag_count, 0);
  EXPECT_EQ(f.CurView(), 4) << "the last file's tab is shown";
  EXPECT_EQ(f.windowTitle(), QStringLiteral("er_download.nid \u2014 Corrosion Monitoring Program"));

  // Delete and Ctrl+Z on the table; the Coupon tab's title carries the unsaved mark meanwhile.
  f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->setCurrentIndex(2);
  EXPECT_EQ(f.windowTitle(), QStringLiteral("plant.dat \u2014 Corrosion Monitoring Program"));
  auto* table = f.fmCpon()->findChild<QTableView*>(QStringLiteral("gCpon"));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                    table->visualRect(table->model()->index(0, 0)).center());
  table->setFocus();
  QTest::keyClick(table, Qt::Key_Delete);
  EXPECT_EQ(Tags(), QStringList({"B"}));
  EXPECT_EQ(f.windowTitle(), QStringLiteral("plant.dat* \u2014 Corrosion Monitoring Program"));
  QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Tags(), QStringList({"A", "B"})) << "back at its place";
  QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Tags(), QStringList({"A", "B"})) << "one deletion, one undo";
  // Discard the change so the window closes without asking.
  testing::SeenBox seen;
  testing::AnswerNextMessageBox(&seen, QMessageBox::Discard);
  f.close();
  EXPECT_TRUE(seen.seen);
}

// Closing with coupons deleted since the last save asks; each answer does what it says.
TEST_F(DesktopTest, UnsavedCouponsAskSaveDiscardCancel) {
  const struct {
    QMessageBox::StandardButton answer;
    bool closes;
    int saved_rows;  // rows in the file afterwards
  } cases[] = {
      {QMessageBox::Save, true, 1},
      {QMessageBox::Discard, true, 2},
      {QMessageBox::Cancel, false, 2},
  };
  for (const auto& c : cases) {
    MainForm f;
    Activate(f);
    const QString path = CouponFile(QStringLiteral("c.CPN"), {"A", "B"});
    f.OpenFiles({path});
    f.fmCpon()->DeleteData();
    f.fmCpon()->setFileDialogRunner([path](QFileDialog&, QString* chosen, QString*) {
      *chosen = path;
      return true;
    });
    testing::SeenBox seen;
    testing::AnswerNextMessageBox(&seen, c.answer);
    f.close();
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(seen.caption, QStringLiteral("Confirm"));
    EXPECT_EQ(f.isVisible(), !c.closes) << c.answer;
    EXPECT_EQ(QFile(path).size(), 14 + 424 * c.saved_rows) << c.answer;
    if (f.isVisible()) {
      testing::AnswerNextMessageBox(&seen, QMessageBox::Discard);
      f.close();
    }
  }
}

// Opening another coupon file over unsaved changes asks first; Cancel keeps the table.
TEST_F(DesktopTest, OpeningOverUnsavedCouponsAsks) {
  MainForm f;
  Activate(f);
  const QString one = CouponFile(QStringLiteral("one.CPN"), {"A", "B"});
  const QString two = CouponFile(QStringLiteral("two.CPN"), {"X"});
  f.OpenFiles({one});
  f.fmCpon()->DeleteData();
  testing::SeenBox seen;
  testing::AnswerNextMessageBox(&seen, QMessageBox::Cancel);
  f.OpenFiles({two});
  EXPECT_TRUE(seen.seen);
  EXPECT_EQ(Tags(), QStringList({"B"}));
  testing::AnswerNextMessageBox(&seen, QMessageBox::Discard);
  f.OpenFiles({two});
  EXPECT_EQ(Tags(), QStringList({"X"}));
  f.close();  // nothing unsaved: no question
}

TEST_F(DesktopTest, EveryButtonHasATooltip) {
  MainForm f;
  for (QPushButton* b : f.findChildren<QPushButton*>()) {
    // Buttons that Qt's own dialogs build are theirs to explain.
    if (!b->objectName().startsWith(QLatin1String("btn"))) continue;
    EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
  }
  for (const char* zoom : {"btnAreaXY", "btnAreaX", "btnAreaY"}) {
    auto* b = f.fmAnl()->fmGrp->findChild<QPushButton*>(QString::fromLatin1(zoom));
    EXPECT_TRUE(b->toolTip().endsWith(u'.')) << zoom << ": a sentence";
  }
}

// The real program: --help and --version answer without a display; files on the command line
// open (an unreadable one would show its message and keep the program waiting).
TEST(TarnCommandLine, HelpVersionAndFiles) {
  const QString build =
      qEnvironmentVariable("TARN_BUILD_DIR", QCoreApplication::applicationDirPath() + "/..");
  const QString tarn = build + QStringLiteral("/src/app/tarn");
  ASSERT_TRUE(QFile::exists(tarn)) << tarn.toStdString();
  QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    headless.remove(QString::fromLatin1(var));
  const struct {
    const char* arg;
    const char* says;
  } cases[] = {{"--help", "FILE"}, {"-h", "Coupon tab"}, {"--version", "tarn 2."}};
  for (const auto& c : cases) {
    QProcess p;
    p.setProcessEnvironment(headless);
    p.start(tarn, {QString::fromLatin1(c.arg)});
    ASSERT_TRUE(p.waitForFinished(30000)) << c.arg;
    EXPECT_EQ(p.exitCode(), 0) << c.arg;
    EXPECT_TRUE(p.readAllStandardOutput().contains(c.says)) << c.arg;
  }

  // Offscreen with an example file and a coupon file: the program opens them and keeps running.
  testing::TempHome home;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("HOME"), home.path());
  p.setProcessEnvironment(env);
  const QString coupons = home.path() + QStringLiteral("/c.bin");
  {
    QFile f(coupons);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("C_32_V_1_0\0\0\0\0", 14));
  }
  p.start(tarn, {SourceDir() + QStringLiteral("/examples/er_download.nid"), coupons});
  ASSERT_TRUE(p.waitForStarted());
  EXPECT_FALSE(p.waitForFinished(3000)) << p.readAllStandardError().toStdString();
  p.kill();
  p.waitForFinished();
}

}  // namespace
}  // namespace tarn
