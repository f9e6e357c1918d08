// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis screen reading on its worker thread: the same screen as a direct read, and a second
// Open or a tab change ending a read that is still waiting for its file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <memory>

#include "analysis/ui/anl.h"
#include "analysis/ui/anl_models.h"
#include "app/main_form.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

const char kTwoTags[] =
    "TAG NUMBER : TAG-A\nPROBE TYPE : FLUSH\nTHICKNESS : 10\nSTART TIME : 01/02/2020 10:20:30\n"
    "RS_RR\n1 01/02/2020 10:20:30 1.25 X\n2 01/02/2020 10:35:10 1 X\n"
    "TAG NUMBER : LPR\nSTART TIME : 02/02/2020 08:00:00\nCOR RATE\n1 02/02/2020 08:00:00 2.5\n"
    "2 02/02/2020 09:00:00 3.5\n3 02/02/2020 10:00:00 4.5\n";
const char kOther[] =
    "TAG NUMBER : SECOND\nPROBE TYPE : FLUSH\nTHICKNESS : 10\nRS_RR\n"
    "1 03/03/2021 00:00:00 1 X\n";

bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 20000) QTest::qWait(5);
  return done();
}

// What the screen shows: status line, tag list, count label and every cell of both grids.
QStringList Screen(Anl* anl) {
  QStringList out;
  out << anl->findChild<QLabel*>("lbSt2")->text() << anl->findChild<QLabel*>("lbDataCnt")->text()
      << anl->findChild<QLabel*>("lbTagCnt")->text();
  auto* list = anl->findChild<QListWidget*>("lstBox");
  out << QString::number(list->currentRow());
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  for (const QAbstractItemModel* m : {static_cast<const QAbstractItemModel*>(anl->gViewModel()),
                                      static_cast<const QAbstractItemModel*>(anl->gInfoModel())}) {
    for (int r = 0; r < m->rowCount(); ++r) {
      for (int c = 0; c < m->columnCount(); ++c) out << m->index(r, c).data().toString();
    }
  }
  return out;
}

class AnlWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(home.path()).mkpath("DATA/DOWNLOAD");
    DataPath = (home.path() + "/DATA/").toStdString();
  }
  QString Write(const QString& name, const QByteArray& content) {
    const QString path = home.path() + "/DATA/DOWNLOAD/" + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
  }
  // A pipe: opening it waits until something opens it for writing.
  QString Fifo() {
    const QString path = home.path() + "/DATA/DOWNLOAD/slow.nid";
    EXPECT_EQ(mkfifo(path.toUtf8().constData(), 0600), 0);
    return path;
  }
  // Lets the read waiting to open the pipe go on (it is the pipe's only reader).
  static void Release(const QString& fifo) {
    const int fd = ::open(fifo.toUtf8().constData(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  static void Open(Anl* anl, const QString& path) {
    anl->exec_file_dialog = [path](QFileDialog* d) {
      // The dialog is kept for the run; each Open still starts with no file chosen.
      for (const QString& chosen : d->selectedFiles()) EXPECT_TRUE(QFileInfo(chosen).isDir());
      d->selectFile(path);
      return true;
    };
    anl->findChild<QPushButton*>("btnOpen")->click();
  }

  testing::TempHome home;
};

// Both screens share the program's one graph data set, so each is looked at right after its read.
TEST_F(AnlWorkerTest, WorkerShowsWhatADirectReadShows) {
  const QString path = Write("two.nid", kTwoTags);
  Anl direct, worker;
  worker.worker_from_bytes = 0;
  for (int tag : {-1, 1}) {
    if (tag < 0) {
      Open(&worker, path);
    } else {
      worker.findChild<QListWidget*>("lstBox")->setCurrentRow(tag);
    }
    ASSERT_TRUE(WaitFor([&] { return !worker.isLoading(); }));
    const QStringList seen = Screen(&worker);
    if (tag < 0) {
      Open(&direct, path);
    } else {
      direct.findChild<QListWidget*>("lstBox")->setCurrentRow(tag);
    }
    EXPECT_EQ(seen, Screen(&direct));
    EXPECT_TRUE(worker.findChild<QPushButton*>("btnGraph")->isEnabled());
  }
  EXPECT_EQ(Screen(&worker).at(1), "Data Count : 3");
}

TEST_F(AnlWorkerTest, SecondOpenAndTabChangeEndAWaitingRead) {
  const QString fifo = Fifo();
  const QString other = Write("other.nid", kOther);
  {
    Anl anl;
    anl.show();
    Open(&anl, fifo);  // not a regular file: read on the worker, which waits for the pipe
    ASSERT_TRUE(anl.isLoading());
    EXPECT_FALSE(anl.findChild<QPushButton*>("btnOpen")->isHidden());
    // Long enough for the progress bar with its Cancel button.
    EXPECT_TRUE(WaitFor([&] { return anl.findChild<QPushButton*>("btnCancel")->isVisible(); }));
    Open(&anl, other);
    EXPECT_FALSE(anl.isLoading());
    EXPECT_FALSE(anl.findChild<QPushButton*>("btnCancel")->isVisible());
    const QStringList shown = Screen(&anl);
    EXPECT_TRUE(shown.contains("SECOND"));
    Release(fifo);  // the cancelled read ends; nothing of it reaches the screen
    QTest::qWait(200);
    EXPECT_EQ(Screen(&anl), shown);
  }

  MainForm main;
  main.show();
  auto* bar = main.findChild<QTabWidget*>("tbCtrl")->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(3).center());
  Anl* anl = main.fmAnl();
  Open(anl, other);
  const QStringList shown = Screen(anl);
  Open(anl, fifo);
  ASSERT_TRUE(anl->isLoading());
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
  EXPECT_FALSE(anl->isLoading());
  Release(fifo);
  QTest::qWait(200);
  EXPECT_EQ(Screen(anl), shown);
}

}  // namespace
}  // namespace tarn
