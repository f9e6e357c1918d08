// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop habits of the main window: shortcuts, dropped files routed by content, the title with
// its unsaved mark, Save / Discard / Cancel before coupons are lost, undo of a deletion,
// tooltips, and the command line of the real program.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMap>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <cstring>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "common/ui/about.h"
#include "common/ui/recent_menu.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/coupon_records.h"
#include "download/ui/elpr.h"
#include "download/ui/setup.h"
#include "graph/ui/graph_records.h"
#include "graph/ui/view_grp.h"
#include "history/ui/probes.h"
#include "settings/ui/settings_records.h"
#include "ui/serial_pty.h"
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
    struct : Notifier {
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

// The files opened in one run are offered by the Open buttons of the next, newest first; a
// file deleted meanwhile is greyed; choosing one opens it.
TEST_F(DesktopTest, RecentFilesSurviveARestart) {
  const QString example = SourceDir() + QStringLiteral("/examples/er_download.nid");
  QStringList nids;
  for (const char* name : {"a.nid", "b.nid", "c.nid"}) {
    nids << home_.path() + u'/' + QLatin1String(name);
    ASSERT_TRUE(QFile::copy(example, nids.last()));
  }
  const QString coupons = CouponFile(QStringLiteral("plant.CPN"), {"A"});
  {
    MainForm f;
    Activate(f);
    f.OpenFiles(nids);
    f.OpenFiles({coupons});
    f.close();
  }
  ASSERT_TRUE(QFile::remove(nids[1]));
  MainForm f;
  Activate(f);
  const struct {
    MainForm::RecentKind kind;
    QStringList files;
  } menus[] = {{MainForm::kRecentInstrument, {nids[2], nids[1], nids[0]}},
               {MainForm::kRecentCoupon, {coupons}}};
  for (const auto& m : menus) {
    const QList<QAction*> actions = f.recentMenu(m.kind)->menu()->actions();
    QStringList files;
    for (QAction* a : actions) {
      files << a->data().toString();
      EXPECT_EQ(a->isEnabled(), QFile::exists(files.last())) << files.last().toStdString();
    }
    EXPECT_EQ(files, m.files);
  }
  f.recentMenu(MainForm::kRecentInstrument)->menu()->actions().last()->trigger();
  EXPECT_EQ(QString::fromStdString(f.fmAnl()->reader().FileName), nids[0]);
  EXPECT_EQ(f.windowTitle(), QStringLiteral("a.nid \u2014 Corrosion Monitoring Program"));
  EXPECT_EQ(f.recentMenu(MainForm::kRecentInstrument)->menu()->actions().first()->data(), nids[0]);
}

// The real dialogs: each starts in its data folder, then where the last file of its kind went;
// one-type dialogs offer "All files (*)"; a bare name gets the chosen type's extension.
TEST_F(DesktopTest, FileDialogsFolderTypesAndExtension) {
  MainForm f;
  Activate(f);
  f.OpenFiles({SourceDir() + QStringLiteral("/examples/er_download.nid")});
  const QString other = home_.path() + QStringLiteral("/elsewhere");
  ASSERT_TRUE(QDir().mkpath(other));
  ASSERT_TRUE(QFile::copy(SourceDir() + QStringLiteral("/examples/lpr_download.nid"),
                          other + QStringLiteral("/lpr.dat")));
  const QString data = home_.path() + QStringLiteral("/Documents/Tarn/DATA/");
  const struct {
    int tab;
    QWidget* screen;
    const char* button;
    const char* start;  // under the data folder; nullptr: where the last file of its kind went
    const char* filter;
    bool all_files;     // "All files (*)" offered last
    const char* typed;  // nullptr: cancel
    const char* made;   // the file the choice gives
  } dialogs[] = {
      {2, f.fmCpon(), "btnSaveAs", "COUPON", "Coupon Data (*.CPN)", true, "plant", "plant.CPN"},
      {2, f.fmCpon(), "btnOpen", nullptr, "", true, nullptr, nullptr},
      {3, f.fmAnl(), "btnExport", "ANALYSIS", "Excel files(*.xls)", false, "tag", "tag.xls"},
      {3, f.fmAnl(), "btnExport", nullptr, "CSV files(*.csv)", false, "t.2", "t.2.csv"},
      {3, f.fmAnl(), "btnOpen", "DOWNLOAD", "All files (*)", true, "lpr.dat", "lpr.dat"},
      {3, f.fmAnl(), "btnOpen", nullptr, "", true, nullptr, nullptr},
  };
  auto* tabs = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  for (const auto& d : dialogs) {
    tabs->setCurrentIndex(d.tab);
    QString start;
    QStringList filters;
    testing::WithNextModal<QFileDialog>([&](QFileDialog* dlg) {
      start = dlg->directory().absolutePath();
      filters = dlg->nameFilters();
      if (d.typed == nullptr) {
        dlg->reject();
        return;
      }
      dlg->selectNameFilter(QString::fromLatin1(d.filter));
      testing::TypeFileName(dlg, other + u'/' + QLatin1String(d.typed));
      static_cast<QDialog*>(dlg)->accept();
    });
    d.screen->findChild<QPushButton*>(QString::fromLatin1(d.button))->click();
    const std::string row = std::string(d.button) + " " + d.filter;
    EXPECT_EQ(QDir(start), QDir(d.start ? data + QLatin1String(d.start) : other)) << row;
    EXPECT_EQ(filters.last() == QStringLiteral("All files (*)"), d.all_files) << row;
    if (d.made) {
      EXPECT_TRUE(QFile::exists(other + u'/' + QLatin1String(d.made))) << row;
    }
  }
  EXPECT_EQ(QString::fromStdString(f.fmAnl()->reader().FileName),
            other + QStringLiteral("/lpr.dat"));
}

// Every button of every screen and dialog answers to Alt and a letter of its own; the picture
// and colour buttons, which show no text, carry the key directly.
TEST_F(DesktopTest, EveryButtonHasItsOwnMnemonic) {
  MainForm f;
  const char* windows[] = {"Elpr",    "Setup",  "Coupon", "Unit",         "Anl",        "about",
                           "ViewGrp", "gSetup", "Probes", "LimitsDialog", "ViewHistory"};
  QList<QWidget*> found;
  for (const char* name : windows) {
    QWidget* w = nullptr;
    for (QWidget* c : f.findChildren<QWidget*>())
      if (QString::fromLatin1(c->metaObject()->className()) == QStringLiteral("tarn::") + name)
        w = c;
    ASSERT_NE(w, nullptr) << name;
    found << w;
  }
  for (QWidget* w : found) {
    QMap<int, QString> keys;
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
      QWidget* owner = b->parentWidget();
      while (!found.contains(owner) && !qobject_cast<QDialog*>(owner))
        owner = owner->parentWidget();
      if (owner != w) continue;  // a button of a dialog the window holds, or of Qt's own
      const QString where = QString::fromLatin1(w->metaObject()->className()) + u'/' +
                            b->objectName() + u' ' + b->text();
      const QKeySequence key = b->shortcut();
      ASSERT_EQ(key.count(), 1) << where.toStdString();
      EXPECT_EQ(key[0].keyboardModifiers(), Qt::AltModifier) << where.toStdString();
      const int letter = key[0].key();
      EXPECT_FALSE(keys.contains(letter))
          << where.toStdString() << " shares its key with " << keys.value(letter).toStdString();
      keys.insert(letter, where);
    }
    EXPECT_FALSE(keys.isEmpty()) << w->metaObject()->className();
  }
}

// The program's window makes its dialogs only when first asked for; each then has what the
// others get at start: tooltips, its own Alt keys, and the graph window its Save key.
// The program's window makes the hidden tabs' screens, the dialogs and its icon when first
// wanted; each is then hooked up as if it had been there from the start.
TEST_F(DesktopTest, ScreensAndDialogsMadeOnFirstUseHaveTheirHintsKeysAndSettings) {
  const QString tarn = home_.path() + QStringLiteral("/Documents/Tarn");
  ASSERT_TRUE(QDir().mkpath(tarn));
  QFile cfg(tarn + QStringLiteral("/TARN.CFG"));
  ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
  cfg.write("[Probes]\nRateWindow=90\n");
  cfg.close();
  {
    MainForm f(nullptr, MainForm::Dialogs::kOnFirstUse);
    f.show();
    EXPECT_TRUE(QTest::qWaitFor([] { return !QGuiApplication::windowIcon().isNull(); }, 10000))
        << "the icon follows the first paint";
    f.close();  // saving the settings makes no screen either
    for (const char* name : {"tarn::Coupon", "tarn::Anl", "tarn::Probes"})
      for (QWidget* c : f.findChildren<QWidget*>())
        EXPECT_STRNE(c->metaObject()->className(), name) << "made before its tab was shown";
  }

  MainForm f(nullptr, MainForm::Dialogs::kOnFirstUse);
  f.show();
  for (const char* name : {"tarn::Setup", "tarn::about", "tarn::ViewGrp"})
    for (QWidget* c : f.findChildren<QWidget*>())
      EXPECT_STRNE(c->metaObject()->className(), name) << "made before its first use";
  auto* tabs = f.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  for (int tab : {2, 3, 4}) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
    QWidget* screen = tab == 2   ? static_cast<QWidget*>(f.fmCpon())
                      : tab == 3 ? static_cast<QWidget*>(f.fmAnl())
                                 : static_cast<QWidget*>(f.fmPrb());
    EXPECT_EQ(screen->parentWidget(), tabs->widget(tab));
    EXPECT_TRUE(screen->isVisible()) << tab;
    for (QPushButton* b : screen->findChildren<QPushButton*>(QStringLiteral("btnOpen")))
      EXPECT_FALSE(b->toolTip().isEmpty()) << tab;
  }
  EXPECT_NE(f.recentMenu(MainForm::kRecentCoupon), nullptr);
  EXPECT_NE(f.recentMenu(MainForm::kRecentInstrument), nullptr);
  EXPECT_EQ(f.fmPrb()->RateWindow(), 90);
  const QList<QWidget*> dialogs = {f.fmElpr()->portDialog(), f.fmAnl()->fmAbout.get(),
                                   f.fmAnl()->fmGrp.get()};
  for (QWidget* dialog : dialogs) {
    const std::string where = dialog->metaObject()->className();
    int buttons = 0;
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
      if (!b->objectName().startsWith(QLatin1String("btn"))) continue;
      ++buttons;
      EXPECT_FALSE(b->toolTip().isEmpty()) << where << '/' << b->objectName().toStdString();
      EXPECT_EQ(b->shortcut()[0].keyboardModifiers(), Qt::AltModifier)
          << where << '/' << b->objectName().toStdString();
    }
    EXPECT_GT(buttons, 0) << where;
  }
  int save_keys = 0;
  for (QShortcut* s : f.fmAnl()->fmGrp->findChildren<QShortcut*>())
    save_keys += s->key() == QKeySequence(QKeySequence::Save);
  EXPECT_EQ(save_keys, 1);
  EXPECT_EQ(f.fmAnl()->fmGrp.get(), dialogs[2]) << "made once";
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
  } cases[] = {{"--help", "Usage: tarn [options] [FILE...]"},
               {"-h", "Coupon tab"},
               {"--version", "tarn 2."}};
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
