// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab over a real history file: import by the dialog and by a drop, a cancelled
// import, the graph on double-click and Enter, overlay and its refusal, limits, removal, saved
// downloads, the rate window in the settings file, and the tab's place in the main window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "app/main_form.h"
#include "common/date_time.h"
#include "download/ui/elpr.h"
#include "history/history_coupons.h"
#include "history/history_store.h"
#include "history/ui/changes_dialog.h"
#include "history/ui/conflicts_dialog.h"
#include "history/ui/event_dialog.h"
#include "history/ui/flags_dialog.h"
#include "history/ui/history_report.h"
#include "history/ui/import_job.h"
#include "history/ui/limits_dialog.h"
#include "history/ui/plant_tree.h"
#include "history/ui/point_table_model.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

// Runs `act` on the next modal message box once it is open.
void OnNextBox(std::function<void(QMessageBox*)> act, int attempts = 400) {
  QTimer::singleShot(10, [act = std::move(act), attempts]() mutable {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (attempts > 0) OnNextBox(std::move(act), attempts - 1);
      return;
    }
    act(box);
  });
}

// Clicks the button of the next message box whose text starts with `caption` ("&" dropped).
void ClickNextBoxButton(const QString& caption, QString* seen_text) {
  OnNextBox([caption, seen_text](QMessageBox* box) {
    *seen_text = box->text();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text().remove(QLatin1Char('&')).startsWith(caption)) return b->click();
    }
    ADD_FAILURE() << "no button " << caption.toStdString();
    box->reject();
  });
}

QString PdfPageText(const QString& pdf, int page) {
  QProcess text;
  text.start(QStringLiteral("pdftotext"),
             {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
              QString::number(page), pdf, QStringLiteral("-")});
  EXPECT_TRUE(text.waitForFinished(30000));
  return QString::fromUtf8(text.readAllStandardOutput());
}

// An LPR download of one or more probes: n readings every `step` minutes from 01/01/2025, each
// tag's corrosion rate constant at `value` (mpy).
struct LprProbe {
  std::string tag, serial;
  double value;
};

std::string LprFile(const std::vector<LprProbe>& probes, int n, int step = 30) {
  std::string text = "NEMBRA NDL-200 PORTABLE LOGGER\nDOWNLOAD OF STORED LPR PROBES\n";
  char line[96];
  for (const LprProbe& p : probes) {
    text += "\nTAG NUMBER      : " + p.tag + "\nSERIAL NUMBER   : " + p.serial +
            "\nPART NUMBER     : LPR-3E-CS\nPROBE TYPE      : PR 3\nREADING INTERVAL: " +
            std::to_string(step) +
            " MIN\nSTART TIME      : 01/01/2025 00:00:00\n"
            "  NO.  DATE       TIME       COR RATE (MPY)\n";
    for (int i = 0; i < n; ++i) {
      const long long m = static_cast<long long>(i) * step;
      const long long day = m / 1440;
      // Days past January roll into a simple 28-day month calendar, enough for test dates.
      std::snprintf(line, sizeof line, "%5d %02lld/%02lld/%04lld %02lld:%02lld:00 %.2f\n", i + 1,
                    day % 28 + 1, (day / 28) % 12 + 1, 2025 + day / 336, (m / 60) % 24, m % 60,
                    p.value);
      text += line;
    }
  }
  return text;
}

class ProbesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    tab_.SetHistoryLocation(ToStd(dir_.filePath("history.sqlite")));
    tab_.resize(1000, 600);
    tab_.show();
  }
  static std::string ToStd(const QString& s) { return s.toUtf8().toStdString(); }
  QString Write(const QString& name, const std::string& text) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
    return path;
  }
  // Runs the import and answers the summary box; returns the box's text.
  QString Import(const QStringList& files, bool by_drop = false) {
    QSignalSpy done(&tab_, &Probes::ImportFinished);
    SeenBox box;
    AnswerNextMessageBox(&box, QMessageBox::Ok, 2000);
    if (by_drop) {
      QMimeData mime;
      QList<QUrl> urls;
      for (const QString& f : files) urls << QUrl::fromLocalFile(f);
      mime.setUrls(urls);
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QCoreApplication::sendEvent(&tab_, &enter);
      EXPECT_TRUE(enter.isAccepted());
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QCoreApplication::sendEvent(&tab_, &drop);
    } else {
      tab_.exec_open_dialog = [&files](QFileDialog* d) {
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
        QStringList names;
        for (const QString& f : files) names << QFileInfo(f).fileName();
        d->setDirectory(QFileInfo(files.first()).path());
        d->selectFile(QStringLiteral("\"%1\"").arg(names.join(QStringLiteral("\" \""))));
        return true;
      };
      tab_.btnImport->click();
    }
    EXPECT_TRUE(done.wait(60000));
    EXPECT_TRUE(box.seen);
    return box.text;
  }
  QStringList Tags() {
    QStringList tags;
    for (int r = 0; r < tab_.gProbes->model()->rowCount(); ++r)
      tags << tab_.gProbes->model()->index(r, ProbeTableModel::kTag).data().toString();
    return tags;
  }
  void Select(const QStringList& tags) {
    tab_.gProbes->clearSelection();
    auto* m = tab_.gProbes->model();
    for (int r = 0; r < m->rowCount(); ++r) {
      if (tags.contains(m->index(r, ProbeTableModel::kTag).data().toString()))
        tab_.gProbes->selectionModel()->select(
            m->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  QModelIndex Row(const QString& tag) {
    auto* m = tab_.gProbes->model();
    for (int r = 0; r < m->rowCount(); ++r)
      if (m->index(r, ProbeTableModel::kTag).data().toString() == tag) return m->index(r, 0);
    return {};
  }

  QTemporaryDir dir_;
  testing::TempHome home_;
  Probes tab_;
};

TEST_F(ProbesTest, ImportsByDialogAndDropAndSummarises) {
  const QString a = Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}}, 48));
  const QString b = Write("b.nid", LprFile({{"T-A", "S1", 3.0}}, 96));  // overlaps a.nid
  const QString text = Import({a});
  EXPECT_TRUE(text.contains("Files imported: 1")) << text.toStdString();
  EXPECT_TRUE(text.contains("New readings: 96")) << text.toStdString();
  EXPECT_EQ(Tags(), (QStringList{"T-A", "T-B"}));

  const QString again = Import({b}, /*by_drop=*/true);
  EXPECT_TRUE(again.contains("New readings: 48")) << again.toStdString();
  EXPECT_TRUE(again.contains("Duplicates: 48")) << again.toStdString();
  EXPECT_EQ(tab_.gProbes->model()->index(0, ProbeTableModel::kReadings).data().toString(), "96");

  // A reading that cannot be taken is counted and named with its line.
  std::string bad = LprFile({{"T-C", "S3", 2.0}}, 2);
  const int line = static_cast<int>(std::count(bad.begin(), bad.end(), '\n')) + 1;
  bad += "    3 02/01/2025 00:00:00 1,5\n";
  const QString skipped = Import({Write("c.nid", bad)});
  EXPECT_TRUE(skipped.contains("New readings: 2")) << skipped.toStdString();
  EXPECT_TRUE(skipped.contains("Skipped readings: 1")) << skipped.toStdString();
  EXPECT_TRUE(
      skipped.contains(QStringLiteral("line %1, tag T-C: value \"1,5\" is not a number").arg(line)))
      << skipped.toStdString();
}

TEST_F(ProbesTest, CancelledImportLeavesHistoryUnchangedWhileWindowKeepsTurning) {
  std::vector<LprProbe> many;
  for (int i = 0; i < 10; ++i) many.push_back({"BIG-" + std::to_string(i), "S", 2.0});
  const QString big = Write("big.nid", LprFile(many, 65535, 1));

  // A full import: the event loop turns throughout.
  int ticks = 0;
  qint64 longest_gap = 0;
  QElapsedTimer since;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (since.isValid()) longest_gap = std::max(longest_gap, since.elapsed());
    since.restart();
    ++ticks;
  });
  timer.start();
  QElapsedTimer took;
  took.start();
  const QString text = Import({big});
  timer.stop();
  EXPECT_TRUE(text.contains("New readings: 655350")) << text.toStdString();
  // A window that stood still during the import would show one gap as long as the import.
  EXPECT_GE(ticks, 10);
  EXPECT_LT(longest_gap, took.elapsed() / 3) << "the window stood still during the import";
  std::printf("import of 655350 readings: %lld ms, %d ticks, longest gap %lld ms\n",
              static_cast<long long>(took.elapsed()), ticks, static_cast<long long>(longest_gap));

  // Into a second, empty history: Cancel at the first progress report changes nothing.
  tab_.SetHistoryLocation(ToStd(dir_.filePath("second.sqlite")));
  tab_.PutProbes();
  QSignalSpy done(&tab_, &Probes::ImportFinished);
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok, 4000);
  tab_.StartImport({big});
  EXPECT_TRUE(tab_.prgImport->isVisible());
  EXPECT_FALSE(tab_.btnImport->isEnabled());
  ASSERT_TRUE(testing::WaitUntil([&] { return tab_.lbStatus->text().contains("readings"); }, 30000,
                                 "the import's first progress"));
  tab_.btnCancel->click();
  ASSERT_TRUE(done.wait(60000));
  EXPECT_TRUE(box.text.contains("cancelled")) << box.text.toStdString();
  EXPECT_EQ(tab_.store()->ListProbes(0).size(), 0u);
  EXPECT_EQ(tab_.gProbes->model()->rowCount(), 0);
  EXPECT_FALSE(tab_.prgImport->isVisible());
}

TEST_F(ProbesTest, ReportAsksSelectedOrShownProbesAndEveryPageNamesTheRateWindow) {
  Import(
      {Write("l.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 9.0}, {"U-C", "S3", 1.0}}, 10))});
  const struct {
    QStringList selected;
    const char* filter;
    const char* answer;  // the scope box's button; "" when no box is expected
    const char* cover;
    const char* probes;  // reported, by tag initial
  } cases[] = {
      {{"T-B"}, "", "Selected", "Probes: 1 (the 1 selected probe(s))", "B"},
      {{"T-B"}, "", "Whole fleet", "Probes: 3 (the whole fleet)", "ABC"},
      {{}, "t-a", "", "Probes: 1 (the 1 probes shown under the filter \"t-a\")", "A"},
      {{"T-A"},
       "t-",
       "Probes shown",
       "Probes: 2 (the 2 probes shown under the filter \"t-\")",
       "AB"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cover);
    tab_.edFilter->setText(QString::fromLatin1(c.filter));
    Select(c.selected);
    const QString name = dir_.filePath(QStringLiteral("report%1").arg(++n));
    tab_.exec_open_dialog = [&name](QFileDialog* d) {
      EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
      d->selectFile(name);  // no suffix typed: the dialog adds .pdf
      return true;
    };
    QString asked;
    if (*c.answer) ClickNextBoxButton(QString::fromLatin1(c.answer), &asked);
    QSignalSpy finished(&tab_, &Probes::ReportFinished);
    tab_.btnReport->click();
    EXPECT_EQ(asked.isEmpty(), *c.answer == 0) << asked.toStdString();
    ASSERT_TRUE(finished.wait(60000));
    const QString pdf = name + ".pdf";
    const QString reported = QString::fromLatin1(c.probes);
    // The cover, the fleet, the page of their unit (all are Unassigned) and the probes'.
    const int pages = 3 + static_cast<int>(reported.size());
    QString all;
    for (int page = 1; page <= pages; ++page) {
      const QString text = PdfPageText(pdf, page);
      EXPECT_TRUE(text.contains("Rate: trend over the last 30 days")) << page;
      all += text;
    }
    EXPECT_TRUE(PdfPageText(pdf, pages + 1).isEmpty());
    EXPECT_TRUE(all.contains(c.cover)) << all.toStdString();
    EXPECT_EQ(all.contains("Probe T-A S1"), reported.contains('A'));
    EXPECT_EQ(all.contains("Probe T-B S2"), reported.contains('B'));
    EXPECT_EQ(all.contains("Probe U-C S3"), reported.contains('C'));
    // The graph's legend shows the figure the text below it gives.
    if (reported.contains('B')) {
      EXPECT_TRUE(all.contains("Rate (trend, 30 d) : 9.0000 mpy")) << all.toStdString();
      EXPECT_TRUE(all.contains("Rate (trend, 30 d): 9.0000 mpy"));
    }
    EXPECT_TRUE(tab_.lbStatus->text().startsWith("Report of "));
  }
}

TEST_F(ProbesTest, GraphOnDoubleClickAndEnterOverlayAndItsRefusal) {
  const QString lpr = Write("l.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 9.0}}, 100));
  Import({lpr});
  ASSERT_EQ(Tags().size(), 2);
  ViewHistory* graph = tab_.graphWindow();

  const QModelIndex a = Row("T-A");
  const QRect cell = tab_.gProbes->visualRect(a);
  // A double click is a press and release followed by the double-click event.
  QTest::mouseClick(tab_.gProbes->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(tab_.gProbes->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_TRUE(graph->isVisible());
  ASSERT_EQ(graph->view().series().size(), 1u);
  EXPECT_EQ(graph->view().series()[0].probe.key.tag, "T-A");
  EXPECT_EQ(graph->view().series()[0].x.size(), 100u);
  {
    // A wheel notch away from the user zooms in around the pointer.
    const auto& e = graph->view().engine;
    const int span = e.grMaxx - e.grMinx;
    const QPointF at(e.gX1 + e.gbW / 4, (e.gY1 + e.gY2) / 2);
    QWheelEvent wheel(at, graph->plotPanel()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(graph->plotPanel(), &wheel);
    EXPECT_NEAR(double(e.grMaxx - e.grMinx) / span, 0.8, 0.05);
    EXPECT_GT(e.grMinx, 0);
  }
  graph->close();

  tab_.gProbes->setCurrentIndex(Row("T-B"));
  tab_.gProbes->setFocus();
  QTest::keyClick(tab_.gProbes, Qt::Key_Return);
  ASSERT_TRUE(graph->isVisible());
  EXPECT_EQ(graph->view().series()[0].probe.key.tag, "T-B");
  {
    // Ctrl+S and Ctrl+P, which the hints name, ask where to save and print as the buttons do.
    int asked = 0, printed = 0;
    graph->exec_save_dialog = [&asked](QFileDialog*) { return ++asked, false; };
    graph->exec_print_dialog = [&printed](QPrintDialog*) { return ++printed, false; };
    QApplication::setActiveWindow(graph);
    QTest::keyClick(graph, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(graph, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(printed, 1);
    graph->exec_save_dialog = nullptr;
    graph->exec_print_dialog = nullptr;
  }
  graph->close();

  Select({"T-A", "T-B"});
  EXPECT_TRUE(tab_.btnOverlay->isEnabled());
  tab_.btnOverlay->click();
  ASSERT_TRUE(graph->isVisible());
  ASSERT_EQ(graph->view().series().size(), 2u);
  // The read-out names the probe under the pointer.
  const auto& e = graph->view().engine;
  const HistorySeries& b = graph->view().series()[1];
  const QPointF at(e.gGetScrX(b.x[50]) + 1, e.gGetScrY(b.y[50]));
  QMouseEvent move(QEvent::MouseMove, at, graph->plotPanel()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(graph->plotPanel(), &move);
  EXPECT_TRUE(graph->readout()->text().startsWith("T-B S2 : "))
      << graph->readout()->text().toStdString();
  graph->close();

  // An ER probe (metal loss) cannot share a plot with corrosion rates.
  const QString er = Write("e.nid",
                           "NEMBRA NDL-200 PORTABLE LOGGER\nDOWNLOAD OF STORED ER PROBES\n\n"
                           "TAG NUMBER      : T-E\nSERIAL NUMBER   : E1\nPART NUMBER     : ER\n"
                           "PROBE TYPE      : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS       : 10\n"
                           "READING INTERVAL: 240 MIN\nSTART TIME      : 03/02/2025 08:00:00\n"
                           "  NO.  DATE       TIME       RS_RR    TEMP(C)\n"
                           "    1 03/02/2025 08:00:02 1.0121    26.2\n"
                           "    2 03/02/2025 12:00:02 1.0127    26.3\n");
  Import({er});
  Select({"T-A", "T-E"});
  SeenBox refusal;
  AnswerNextMessageBox(&refusal, QMessageBox::Ok);
  tab_.btnOverlay->click();
  EXPECT_TRUE(refusal.seen);
  EXPECT_EQ(refusal.caption, "Error");
  EXPECT_TRUE(refusal.text.contains("T-A S1: Corrosion Rate (mpy)")) << refusal.text.toStdString();
  EXPECT_TRUE(refusal.text.contains("T-E E1: Metal Loss (mils)")) << refusal.text.toStdString();
  EXPECT_FALSE(graph->isVisible());
}

TEST_F(ProbesTest, StatusFollowsLimitsAtEachCrossingAndRemovalNamesTheCount) {
  // Corrosion-rate probes: their rate is the mean value, so each sits at a known level.
  const QString f =
      Write("s.nid", LprFile({{"R-3", "A", 3.0}, {"R-7", "B", 7.0}, {"R-12", "C", 12.0}}, 20));
  Import({f});
  const struct {
    double warn, alarm;
    const char* states;  // of, R-7 (tag order)
  } cases[] = {{5, 10, "Alarm OK Warning"},
               {2, 4, "Alarm Warning Alarm"},
               {20, 30, "OK OK OK"},
               {6.99, 7.01, "Alarm OK Warning"}};
  for (const auto& c : cases) {
    tab_.exec_limits_dialog = [&c](LimitsDialog* d) {
      d->rbDefaults->setChecked(true);
      d->edRateWarn->setText(QString::number(c.warn));
      d->edRateAlarm->setText(QString::number(c.alarm));
      d->buttons->button(QDialogButtonBox::Ok)->click();
      return d->result() == QDialog::Accepted;
    };
    tab_.btnLimits->click();
    QStringList states;
    for (const char* tag : {"R-12", "R-3", "R-7"}) {
      const QModelIndex status = Row(tag).siblingAtColumn(ProbeTableModel::kStatus);
      states << status.data().toString();
      if (status.data().toString() != "OK") {
        EXPECT_FALSE(status.data(Qt::ToolTipRole).toString().isEmpty()) << tag;
      }
    }
    EXPECT_EQ(states.join(' '), c.states) << c.warn << " / " << c.alarm;
  }

  // The footer counts what the filter leaves.
  tab_.edFilter->setText(QStringLiteral("r-1"));
  EXPECT_EQ(tab_.lbStatus->text(), "1 of 3 probes shown, 1 in alarm, 0 in warning");
  tab_.edFilter->clear();
  EXPECT_EQ(tab_.lbStatus->text(), "3 probes, 1 in alarm, 1 in warning");

  // Enter in the confirmation keeps the probes: No is its default.
  Select({"R-3", "R-7"});
  QString asked;
  OnNextBox([&asked](QMessageBox* box) {
    asked = box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  tab_.btnRemove->click();
  EXPECT_EQ(asked, "Remove 2 probes and their 40 readings from the history?");
  EXPECT_EQ(Tags().size(), 3);
  SeenBox yes;
  AnswerNextMessageBox(&yes, QMessageBox::Yes);
  tab_.btnRemove->click();
  EXPECT_EQ(Tags(), QStringList{"R-12"});
}

TEST(ProbesTab, ReadOnlyHistoryIsNamedAndRefusesChangesAndSavedDownloads) {
  testing::TempHome home;
  const QString history = home.path() + "/plant.sqlite";
  const QString saved = home.path() + "/dl.nid";
  {
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LprFile({{"CRUDE-UNIT-OVERHEAD-12AB", "S-4471", 1.0}}, 12).c_str());
  }
  {
    std::string error;
    auto store = OpenHistory(history.toStdString(), &error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(store->Import(saved.toStdString(), ImportControl{}).status.ok);
  }
  ASSERT_TRUE(QFile::setPermissions(history, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
  QDir().mkpath(home.path() + "/Documents/Tarn");
  {
    QFile cfg(home.path() + "/Documents/Tarn/TARN.CFG");
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write(("[HISTORY]\r\nLOCATION=" + history + "\r\n").toUtf8());
  }
  MainForm form;
  form.show();
  form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->setCurrentIndex(4);
  Probes* tab = form.fmPrb();
  ASSERT_EQ(tab->gProbes->model()->rowCount(), 1);
  // At the default size every column, from Tag to Status, shows without scrolling.
  EXPECT_EQ(form.size(), QSize(1024, 800));
  QTest::qWait(50);  // the scroll bar follows the columns' widths at the next layout
  EXPECT_EQ(tab->gProbes->horizontalScrollBar()->maximum(), 0);
  // Narrower, the table scrolls sideways, and Tag and Serial stay at its left edge.
  form.resize(form.minimumSize());
  tab->gProbes->horizontalScrollBar()->setValue(tab->gProbes->horizontalScrollBar()->maximum());
  QTest::qWait(50);
  ASSERT_GT(tab->gProbes->horizontalScrollBar()->maximum(), 0);
  const QPoint left = tab->gProbes->viewport()->mapTo(tab->gProbes, QPoint(5, 5));
  auto* shown = qobject_cast<QTableView*>(tab->gProbes->childAt(left)->parentWidget());
  ASSERT_EQ(shown, tab->gProbesFrozen);
  EXPECT_EQ(shown->indexAt(shown->viewport()->mapFrom(tab->gProbes, left)).data().toString(),
            "CRUDE-UNIT-OVERHEAD-12AB");
  EXPECT_TRUE(form.windowTitle().startsWith("plant.sqlite (read-only) \u2014 "))
      << form.windowTitle().toStdString();
  for (QPushButton* b : {tab->btnImport, tab->btnLimits, tab->btnRemove}) {
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(b->toolTip().contains("is read-only")) << b->toolTip().toStdString();
  }
  EXPECT_TRUE(tab->btnGraph->toolTip().isEmpty() || !tab->btnGraph->toolTip().contains("read"));
  EXPECT_TRUE(tab->btnReport->isEnabled());

  // A download saved meanwhile says, where it was saved, that it did not go in and why.
  form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->setCurrentIndex(0);
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok);
  emit form.fmElpr()->DataSaved(saved);
  EXPECT_TRUE(box.seen);
  EXPECT_TRUE(box.text.startsWith("dl.nid was saved, but not added to the history: "))
      << box.text.toStdString();
  EXPECT_TRUE(box.text.contains("read-only")) << box.text.toStdString();
  EXPECT_TRUE(box.text.contains("\"Add saved downloads to the history\""));
  QFile::setPermissions(history, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(ProbesTab, SummaryLeavesOutNoConflictSkipOrCancel) {
  ImportSummary s;
  s.files = 1;
  s.conflicts = 2;
  s.first_conflicts = {{"A", "1", 0, 1.0, 2.0, true}, {"B", "2", 0, 3.0, 4.0, false}};
  s.skipped = 1;
  s.first_skipped = {{12, "A", "value \"X\" is not a number"}};
  s.stored_despite_cancel = QStringLiteral("big.nid");
  const QString text = SummaryText(s);
  for (const char* part : {"A 1 at 01/01/0001 00:00:00: in the same file 1, file 2",
                           "B 2 at 01/01/0001 00:00:00: stored 3, file 4", "Skipped readings: 1",
                           "line 12, tag A: value \"X\" is not a number",
                           "Cancel came too late for big.nid: it was already being stored"}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
  }
}

TEST(ProbesTab, SavedDownloadsRateWindowAndPlaceInTheMainWindow) {
  testing::TempHome home;
  MainForm form;
  form.show();
  auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
  ASSERT_EQ(tabs->count(), 5);
  EXPECT_EQ(tabs->tabText(4), "Probes");
  EXPECT_EQ(form.minimumSize(), QSize(912, 693));
  tabs->setCurrentIndex(4);
  EXPECT_EQ(form.CurView(), 5);
  Probes* tab = form.fmPrb();
  EXPECT_TRUE(tab->isVisible());

  // A file saved on the download screen reaches the history through the main window's wiring.
  const QString saved = home.path() + "/dl.nid";
  {
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LprFile({{"DL-1", "S", 1.0}}, 12).c_str());
  }
  emit form.fmElpr()->DataSaved(saved);
  EXPECT_TRUE(tab->lbStatus->text().contains("12 new readings"))
      << tab->lbStatus->text().toStdString();
  EXPECT_EQ(tab->gProbes->model()->rowCount(), 1);
  tab->chkAddDownloads->setChecked(false);
  emit form.fmElpr()->DataSaved(saved);
  EXPECT_TRUE(tab->lbStatus->text().contains("12 new readings"));

  // The rate window is kept in the tab's own section; the other settings are untouched.
  tab->SetRateWindow(365);
  form.close();
  IniFile ini;
  ini.SetIniFile((home.path() + "/Documents/Tarn/TARN.CFG").toUtf8().toStdString());
  ini.SetIniSector("Probes");
  EXPECT_EQ(ini.IniReadInt("RateWindow", -1), 365);
  EXPECT_EQ(ini.IniReadInt("AddDownloads", -1), 0);
  Probes other;
  other.LoadSettings((home.path() + "/Documents/Tarn/TARN.CFG").toUtf8().toStdString());
  EXPECT_EQ(other.RateWindow(), 365);
  EXPECT_FALSE(other.chkAddDownloads->isChecked());
}

// An ER download: one probe of `thickness` mils, a reading every six hours for `days` days from
// 01/06/2025, its resistance ratio rising by `per_day` a day with a little noise above that.
std::string ErFile(const std::string& tag, const std::string& serial, double per_day, int days,
                   int thickness = 10, QDate first = QDate(2025, 6, 1), double ratio0 = 1.0) {
  std::string text =
      "NEMBRA NDL-200 PORTABLE LOGGER\nDOWNLOAD OF STORED ER PROBES\n\nTAG NUMBER      : " + tag +
      "\nSERIAL NUMBER   : " + serial +
      "\nPART NUMBER     : ER\nPROBE TYPE      : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS       "
      ": " +
      std::to_string(thickness) + "\nREADING INTERVAL: 360 MIN\nSTART TIME      : " +
      first.toString(QStringLiteral("dd/MM/yyyy")).toStdString() +
      " 00:00:00\n"
      "  NO.  DATE       TIME       RS_RR    TEMP(C)\n";
  const QDateTime start(first, QTime(0, 0));
  char line[96];
  for (int i = 0; i < days * 4; ++i) {
    const QDateTime t = start.addSecs(i * 6 * 3600);
    // Never below the start: an element loses no metal before its first reading.
    const double noise = ((i * 7919) % 13) * 0.00002;
    std::snprintf(line, sizeof line, "%5d %s %.4f    26.1\n", i + 1,
                  t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")).toLatin1().constData(),
                  ratio0 + per_day * i / 4.0 + noise);
    text += line;
  }
  return text;
}

// Pictures of the Probes tab for the user guide, remade by tools/make-guide-screenshots.py: the
// fleet at the main window's default size, the same history read-only, a probe's history graph
// and a probe's page of the report. Written only when TARN_SCREENSHOT_DIR names a folder.
TEST(ProbesTab, GuideScreenshots) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  testing::TempHome home;
  const QString data = home.path() + "/Documents/Tarn/DATA";
  QDir().mkpath(data);
  const QString history = data + "/history.sqlite";
  // Imported by name from the data folder, so that no folder of this machine shows in a picture.
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(data);
  {
    std::string error;
    auto store = OpenHistory(history.toStdString(), &error);
    ASSERT_TRUE(store) << error;
    const struct {
      const char* tag;
      const char* serial;
      double per_day;
      int days;
    } er[] = {{"P0-2", "ER-40117", 0.0006, 180},
              {"P0-10", "ER-40125", 0.0011, 180},
              {"P1-1", "ER-40208", 0.0024, 180},
              {"P1-3", "ER-40211", 0.0002, 120},
              {"P2-7", "ER-40377", 0.0049, 150},
              {"HX-OUTLET-12", "ER-40419", 0.0000, 90},
              {"CRUDE-UNIT-OVERHEAD-12A", "ER-40502", 0.0016, 180}};
    for (const auto& p : er) {
      const QString file = QString::fromLatin1(p.tag) + ".nid";
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(ErFile(p.tag, p.serial, p.per_day, p.days).c_str());
      f.close();
      ASSERT_TRUE(store->Import(file.toStdString(), ImportControl{}).status.ok) << p.tag;
      QFile::remove(file);
    }
    const QString lpr = QStringLiteral("LPR-ROUND-04.nid");
    QFile f(lpr);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LprFile({{"L-4", "LP-2201", 2.4}, {"L-9", "LP-2207", 11.5}, {"L-12", "LP-2230", 6.2}},
                    400, 360)
                .c_str());
    f.close();
    ASSERT_TRUE(store->Import(lpr.toStdString(), ImportControl{}).status.ok);
    QFile::remove(lpr);
    // A potential probe, which no limit applies to.
    std::string potential = LprFile({{"CP-1", "RE-88", -850.0}}, 200, 720);
    potential.replace(potential.find("COR RATE (MPY)"), 14, "POTENTIAL (MV)");
    QFile p(QStringLiteral("CP-1.nid"));
    ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    p.write(potential.c_str());
    p.close();
    ASSERT_TRUE(store->Import("CP-1.nid", ImportControl{}).status.ok);
    QFile::remove(QStringLiteral("CP-1.nid"));
  }
  QDir::setCurrent(cwd);

  auto shoot_tab = [&](const QString& name) {
    vSetup = _basic_set_{};
    MainForm form;
    form.show();
    auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"));
    tabs->setCurrentIndex(4);
    QApplication::processEvents();
    Probes* tab = form.fmPrb();
    tab->gProbes->selectRow(2);
    QTest::qWait(200);
    form.grab().save(out + "/" + name);
    return form.size();
  };
  const QSize size = shoot_tab(QStringLiteral("probes.png"));
  EXPECT_EQ(size, QSize(1024, 800));

  // A probe's history graph, in the colours a new user's settings give.
  {
    vaLoadCfg((home.path() + "/none.cfg").toStdString(), vSetup, vUnit);
    Probes tab;
    tab.SetHistoryLocation(history.toStdString());
    tab.resize(1000, 600);
    tab.show();
    tab.PutProbes();
    for (int r = 0; r < tab.gProbes->model()->rowCount(); ++r) {
      if (tab.gProbes->model()->index(r, 0).data().toString() == "P1-1") tab.gProbes->selectRow(r);
    }
    tab.OpenGraph();
    ASSERT_TRUE(tab.graphWindow()->isVisible());
    tab.graphWindow()->resize(1000, 620);
    QTest::qWait(400);
    tab.graphWindow()->grab().save(out + "/history_graph.png");
    tab.graphWindow()->close();
  }

  // A page of the report, the probe's own (the cover names the history's folder).
  {
    std::string error;
    auto store = OpenHistory(history.toStdString(), &error);
    ASSERT_TRUE(store) << error;
    ReportRequest request;
    for (const ProbeSummary& p : store->ListProbes(30)) {
      if (p.key.tag == "CRUDE-UNIT-OVERHEAD-12A") request.probe_ids.push_back(p.id);
    }
    request.scope = "the 1 selected probe(s)";
    const QString pdf = home.path() + "/report.pdf";
    ASSERT_TRUE(SaveHistoryReport(*store, request, pdf.toStdString(), &error)) << error;
    QProcess png;
    png.start(QStringLiteral("pdftoppm"),
              {QStringLiteral("-f"), QStringLiteral("4"), QStringLiteral("-l"), QStringLiteral("4"),
               QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-png"),
               QStringLiteral("-singlefile"), pdf, out + "/report_page"});
    ASSERT_TRUE(png.waitForFinished(30000));
    EXPECT_EQ(png.exitCode(), 0);
  }

  ASSERT_TRUE(QFile::setPermissions(history, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
  shoot_tab(QStringLiteral("probes_read_only.png"));
  QFile::setPermissions(history, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Pictures of the plant for the user guide: the Probes tab's points view of 3 sites, 12 units and
// 200 points in mixed states, and a point's graph across two replacements. Written only when
// TARN_SCREENSHOT_DIR names a folder.
TEST(ProbesTab, GuideScreenshotsOfThePlant) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  testing::TempHome home;
  const QString data = home.path() + "/Documents/Tarn/DATA";
  QDir().mkpath(data);
  const QString history = data + "/history.sqlite";
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(data);
  {
    std::string error;
    auto store = OpenHistory(history.toStdString(), &error);
    ASSERT_TRUE(store) << error;
    const char* const sites[] = {"North Field", "South Field", "Export Terminal"};
    const char* const units[] = {"Separation", "Compression", "Water Injection", "Flowlines"};
    std::string file_text;
    std::vector<std::pair<std::string, std::string>> places;  // tag, path
    for (int i = 0; i < 200; ++i) {
      const int unit = i % 12;
      char tag[32];
      std::snprintf(tag, sizeof tag, "%c%d-%03d", "NSE"[unit / 4], unit % 4 + 1, 100 + i);
      // Mostly quiet, a tenth in warning and one in twenty in alarm.
      const double per_day = i % 20 == 7   ? 0.0085
                             : i % 10 == 3 ? 0.0048
                                           : 0.0004 + 0.0002 * (i % 9);
      const std::string one = ErFile(tag, "ER-" + std::to_string(52000 + i), per_day, 90);
      file_text += one;
      places.emplace_back(tag, std::string(sites[unit / 4]) + "/" + units[unit % 4] + "/" + tag);
    }
    // One download of every probe, then each placed at its point.
    QFile f(QStringLiteral("ROUND-2025-08.nid"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file_text.c_str());
    f.close();
    ASSERT_TRUE(store->Import("ROUND-2025-08.nid", ImportControl{}).status.ok);
    // A vessel inlet whose element was replaced twice.
    const struct {
      const char* serial;
      double per_day;
      QDate first;
    } inlet[] = {{"ER-31007", 0.0030, QDate(2025, 1, 1)},
                 {"ER-31562", 0.0042, QDate(2025, 4, 2)},
                 {"ER-32210", 0.0021, QDate(2025, 7, 3)}};
    for (const auto& e : inlet) {
      QFile g(QStringLiteral("V-101.nid"));
      ASSERT_TRUE(g.open(QIODevice::WriteOnly));
      g.write(ErFile("V-101-IN", e.serial, e.per_day, 88, 10, e.first).c_str());
      g.close();
      ASSERT_TRUE(store->Import("V-101.nid", ImportControl{}).status.ok) << e.serial;
    }
    QFile::remove(QStringLiteral("V-101.nid"));
    QFile::remove(QStringLiteral("ROUND-2025-08.nid"));
    for (const ProbeSummary& p : store->ListProbes(0)) {
      for (const auto& [tag, path] : places) {
        std::string placed;
        if (p.key.tag == tag) ASSERT_TRUE(store->AssignProbe(p.id, path, std::nullopt, &placed));
      }
    }
    ASSERT_TRUE(store->RenamePoint("Unassigned/V-101-IN", "North Field/Separation/V-101 Inlet"));
  }
  QDir::setCurrent(cwd);

  vSetup = _basic_set_{};
  MainForm form;
  form.show();
  form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->setCurrentIndex(4);
  QApplication::processEvents();
  Probes* tab = form.fmPrb();
  QAbstractItemModel* tree = tab->tvPlant->model();
  const QModelIndex plant = tree->index(0, 0);
  for (int r = 0; r < tree->rowCount(plant); ++r) tab->tvPlant->expand(tree->index(r, 0, plant));
  tab->tvPlant->expand(tree->index(0, 0, tree->index(0, 0, plant)));
  tab->cbView->setCurrentIndex(1);
  tab->gPoints->selectRow(3);
  QTest::qWait(200);
  form.grab().save(out + "/plant_points.png");

  const QModelIndexList inlet =
      tree->match(plant, kNodePathRole, QStringLiteral("North Field/Separation/V-101 Inlet"), 1,
                  Qt::MatchFixedString | Qt::MatchRecursive);
  ASSERT_EQ(inlet.size(), 1);
  tab->OpenPointGraph(inlet.first().data(kNodePointRole).toLongLong());
  ASSERT_TRUE(tab->graphWindow()->isVisible());
  tab->graphWindow()->resize(1000, 620);
  QTest::qWait(400);
  tab->graphWindow()->grab().save(out + "/point_graph.png");
  tab->graphWindow()->close();
}

// Pictures of events and coupons for the user guide: a point whose inhibitor dose went up,
// with a process change and a pigging after it and two coupons beside its probe; its graph with
// the dose-up chosen, and the report's page of coupons and its unit's page of events.
TEST(ProbesTab, GuideScreenshotsOfEventsAndCoupons) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  testing::TempHome home;
  const QString data = home.path() + "/Documents/Tarn/DATA";
  QDir().mkpath(data);
  const QString history = data + "/history.sqlite";
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(data);
  const std::string path = "North Field/Separation/V-101 Inlet";
  auto at = [](const char* text) {
    int32_t chk = 0;
    return Str2DateTime(text, &chk).ticks / kTicksPerSecond;
  };
  {
    std::string error;
    auto store = OpenHistory(history.toStdString(), &error);
    ASSERT_TRUE(store) << error;
    // About 11.7 mpy until the dose went up on 02/03/2025, about 4.4 mpy after.
    const struct {
      double per_day, ratio0;
      int days;
      QDate first;
    } rounds[] = {{0.004, 1.0, 60, QDate(2025, 1, 1)}, {0.0015, 1.24, 120, QDate(2025, 3, 2)}};
    for (const auto& r : rounds) {
      QFile f(QStringLiteral("V-101.nid"));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(ErFile("V-101-IN", "ER-31562", r.per_day, r.days, 10, r.first, r.ratio0).c_str());
      f.close();
      ASSERT_TRUE(store->Import("V-101.nid", ImportControl{}).status.ok);
    }
    QFile::remove(QStringLiteral("V-101.nid"));
    ASSERT_TRUE(store->RenamePoint("Unassigned/V-101-IN", path));
    int64_t id = 0;
    ASSERT_TRUE(store->AddEvent(
        {0, at("02/03/2025 00:00:00"), path, EventKind::kInhibitor, "dose 20 to 35 ppm"}, &id));
    ASSERT_TRUE(store->AddEvent(
        {0, at("10/04/2025 08:00:00"), path, EventKind::kProcess, "feed to blend B"}, &id));
    ASSERT_TRUE(store->AddEvent(
        {0, at("20/05/2025 10:00:00"), path, EventKind::kCleaning, "pigging"}, &id));
    // Two coupons on the probe's tag: one before the dose-up, one after it.
    auto coupon = [](const char* from, const char* to, double hours, double mm_per_year) {
      _coupon_values_ c{};
      PutField(c.tag, "V-101-IN");
      PutField(c.install_time, from);
      PutField(c.removal_time, to);
      c.exposure = hours;
      c.corr_rate = mm_per_year;
      c.metal_loss = mm_per_year * hours / 8760.0;
      return c;
    };
    const CouponImportResult placed =
        store->ImportCoupons({coupon("01/01/2025 00:00:00", "01/03/2025 00:00:00", 1416, 0.259),
                              coupon("03/03/2025 00:00:00", "01/06/2025 00:00:00", 2160, 0.099)},
                             true);
    ASSERT_TRUE(placed.status.ok) << placed.status.message;
  }
  QDir::setCurrent(cwd);

  vSetup = _basic_set_{};
  MainForm form;
  form.show();
  form.findChild<QTabWidget*>(QStringLiteral("tbCtrl"))->setCurrentIndex(4);
  QApplication::processEvents();
  Probes& tab = *form.fmPrb();
  const std::vector<PointSummary> points = tab.store()->ListPoints(30);
  ASSERT_EQ(points.size(), 1u);
  tab.OpenPointGraph(points[0].id);
  ViewHistory* graph = tab.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  graph->resize(1000, 620);
  QTest::qWait(300);
  ASSERT_EQ(graph->view().coupons.size(), 2u);
  graph->grab().save(out + "/coupon_graph.png");
  const std::vector<HistoryEvent> events = tab.store()->ListEvents({});
  ASSERT_EQ(events.size(), 3u);
  tab.ChooseGraphEvent(events[0].id);
  QTest::qWait(300);
  graph->grab().save(out + "/event_graph.png");
  graph->close();

  // The report's page of coupons and its unit's page with the events.
  std::string error;
  auto store = OpenHistory(history.toStdString(), &error);
  ASSERT_TRUE(store) << error;
  ReportRequest request;
  request.window_days = 0;
  const QString pdf = home.path() + "/report.pdf";
  ASSERT_TRUE(SaveHistoryReport(*store, request, pdf.toStdString(), &error)) << error;
  for (const auto& [page, name] : {std::pair{"3", "report_coupons"}, {"4", "report_events"}}) {
    QProcess png;
    png.start(QStringLiteral("pdftoppm"),
              {QStringLiteral("-f"), QString::fromLatin1(page), QStringLiteral("-l"),
               QString::fromLatin1(page), QStringLiteral("-r"), QStringLiteral("80"),
               QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf,
               out + "/" + QString::fromLatin1(name)});
    ASSERT_TRUE(png.waitForFinished(30000));
    EXPECT_EQ(png.exitCode(), 0);
  }
}

// The history graph's rate is the table's: the trend over the tab's window, named so, its line
// of that slope, and both follow the window while the graph is open.
TEST_F(ProbesTest, HistoryGraphShowsTheTablesTrendOverItsWindow) {
  Import({Write("er.nid", ErFile("T-ER", "E9", 0.0004, 120))});
  ASSERT_EQ(Tags().size(), 1);
  ViewHistory* graph = tab_.graphWindow();
  tab_.gProbes->setCurrentIndex(Row("T-ER"));
  tab_.gProbes->setFocus();
  QTest::keyClick(tab_.gProbes, Qt::Key_Return);
  ASSERT_TRUE(graph->isVisible());
  for (int days : {30, 7, 0, 365}) {
    SCOPED_TRACE(days);
    if (days != 30) tab_.SetRateWindow(days);
    const QString header =
        tab_.gProbes->model()
            ->headerData(ProbeTableModel::kRate, Qt::Horizontal)
            .toString()
            .replace(QLatin1Char('\n'), QLatin1Char(' '));  // the header wraps its title
    const QString cell = tab_.gProbes->model()->index(0, ProbeTableModel::kRate).data().toString();
    EXPECT_EQ(QString::fromStdString(graph->view().LegendRate(0)), header + " : " + cell);
    const HistorySeries& s = graph->view().series()[0];
    ASSERT_TRUE(s.probe.rate.has_value());
    ASSERT_TRUE(s.has_fit);
    EXPECT_NEAR(s.const_a * 365 * 86400, *s.probe.rate, 1e-9);
    // The line starts at the window's first reading, not at the view's.
    const HistoryTime since =
        days == 0 ? s.probe.first_time
                  : std::max(s.probe.first_time, s.probe.last_time - days * HistoryTime{86400});
    EXPECT_GE(graph->view().base() + s.fit_from, since);
    EXPECT_LT(graph->view().base() + s.fit_from, since + 6 * 3600);
  }
  // A zoom keeps the stored figure, not the rate between the ends in view.
  const std::string before = graph->view().LegendRate(0);
  graph->view().engine.grMaxx /= 2;
  graph->RedrawGraph();
  EXPECT_EQ(graph->view().LegendRate(0), before);
  graph->close();
}

// The plant tree: sites, units and points with the worst status under each; choosing a unit
// lists its probes, or, switched, its points.
TEST_F(ProbesTest, PlantTreeListsAUnitsProbesOrItsPoints) {
  Import(
      {Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}, {"T-C", "S3", 6.0}}, 12))});
  HistoryStore* s = tab_.store();
  const std::pair<const char*, const char*> places[] = {
      {"T-A", "North/CDU/Inlet"}, {"T-B", "North/CDU/Outlet"}, {"T-C", "South/FCC/Riser"}};
  for (const auto& [tag, path] : places) {
    for (const ProbeSummary& p : s->ListProbes(0)) {
      std::string placed;
      if (p.key.tag == tag) ASSERT_TRUE(s->AssignProbe(p.id, path, std::nullopt, &placed));
    }
  }
  tab_.PutProbes();
  QAbstractItemModel* tree = tab_.tvPlant->model();
  const QModelIndex plant = tree->index(0, 0);
  auto counts = [](const QModelIndex& node) {
    return std::make_pair(node.data(kNodeAlarmsRole).toInt(), node.data(kNodeWarningsRole).toInt());
  };
  EXPECT_EQ(plant.data().toString(), "Whole plant");
  EXPECT_EQ(counts(plant), std::make_pair(0, 1));  // 6 mpy: above 5
  ASSERT_EQ(tree->rowCount(plant), 2);
  const QModelIndex north = tree->index(0, 0, plant), south = tree->index(1, 0, plant);
  EXPECT_EQ(north.data().toString(), "North");
  EXPECT_EQ(counts(north), std::make_pair(0, 0));
  EXPECT_EQ(south.data().toString(), "South");
  EXPECT_EQ(counts(south), std::make_pair(0, 1));
  const QModelIndex cdu = tree->index(0, 0, north);
  EXPECT_EQ(cdu.data().toString(), "CDU");
  EXPECT_EQ(tree->rowCount(cdu), 2);
  EXPECT_FALSE(cdu.data(kNodePointRole).isValid());
  EXPECT_TRUE(tree->index(0, 0, cdu).data(kNodePointRole).isValid());

  tab_.tvPlant->setCurrentIndex(cdu);
  EXPECT_EQ(Tags(), (QStringList{"T-A", "T-B"}));
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("2 of 3 probes shown"))
      << ToStd(tab_.lbStatus->text());
  tab_.cbView->setCurrentIndex(1);
  EXPECT_TRUE(tab_.gPoints->isVisible());
  QAbstractItemModel* points = tab_.gPoints->model();
  ASSERT_EQ(points->rowCount(), 2);
  EXPECT_EQ(points->index(0, PointTableModel::kPath).data().toString(), "North/CDU/Inlet");
  EXPECT_EQ(points->index(1, PointTableModel::kTag).data().toString(), "T-B");
  EXPECT_EQ(points->index(1, PointTableModel::kStatus).data().toString(), "OK");
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("2 of 3 points shown"))
      << ToStd(tab_.lbStatus->text());
  // The probe actions wait for the probes view.
  tab_.gPoints->selectRow(0);
  EXPECT_TRUE(tab_.btnGraph->isEnabled());
  EXPECT_FALSE(tab_.btnRemove->isEnabled());
  EXPECT_FALSE(tab_.btnConflicts->isEnabled());

  // A refresh keeps the node; the whole plant lists every point.
  tab_.PutProbes();
  EXPECT_EQ(points->rowCount(), 2);
  EXPECT_EQ(tab_.tvPlant->currentIndex().data().toString(), "CDU");
  tab_.tvPlant->setCurrentIndex(tree->index(0, 0));  // the tree was built again
  EXPECT_EQ(points->rowCount(), 3);
  EXPECT_EQ(points->index(2, PointTableModel::kStatus).data().toString(), "Warning");
  tab_.cbView->setCurrentIndex(0);
  EXPECT_EQ(Tags().size(), 3);
}

// A probe dragged from the table onto a point moves there; a unit renamed from the tree's menu
// takes its points along; a point's graph draws its cumulative series named by its path, with a
// mark at its replacement labelled with the new serial.
TEST_F(ProbesTest, ProbesMoveOntoPointsAndAPointsGraphMarksItsReplacements) {
  Import({Write("e1.nid", ErFile("V-101", "E1", 0.004, 60, 10, QDate(2025, 1, 1))),
          Write("e2.nid", ErFile("V-101", "E2", 0.002, 60, 10, QDate(2025, 3, 5))),
          Write("l.nid", LprFile({{"L-1", "S9", 3.0}}, 12))});
  QAbstractItemModel* tree = tab_.tvPlant->model();
  auto node = [&](const QString& path) {
    const QModelIndexList hits = tree->match(tree->index(0, 0), kNodePathRole, path, 1,
                                             Qt::MatchFixedString | Qt::MatchRecursive);
    return hits.isEmpty() ? QModelIndex() : hits.first();
  };
  ASSERT_TRUE(node("Unassigned/V-101").isValid());
  tab_.cbView->setCurrentIndex(1);
  ASSERT_EQ(tab_.gPoints->model()->rowCount(), 2);  // the replacement kept one point

  // Drag L-1 onto V-101's point: the table's drag data dropped on the tree's node.
  tab_.cbView->setCurrentIndex(0);
  const QModelIndex l1 = Row("L-1");
  std::unique_ptr<QMimeData> mime(tab_.gProbes->model()->mimeData({l1}));
  const QModelIndex v101 = node("Unassigned/V-101");
  EXPECT_FALSE(tree->canDropMimeData(mime.get(), Qt::MoveAction, -1, -1, tree->index(0, 0)));
  ASSERT_TRUE(tree->canDropMimeData(mime.get(), Qt::MoveAction, -1, -1, v101));
  tree->dropMimeData(mime.get(), Qt::MoveAction, -1, -1, v101);
  EXPECT_EQ(tab_.lbStatus->text(), "1 probe moved to Unassigned/V-101");
  EXPECT_FALSE(node("Unassigned/L-1").isValid());  // left without probes, it went
  std::string placed;
  for (const ProbeSummary& p : tab_.store()->ListProbes(0)) {
    if (p.key.tag == "L-1")
      ASSERT_TRUE(tab_.store()->AssignProbe(p.id, "Unassigned/L-1", std::nullopt, &placed));
  }
  tab_.PutProbes();

  // Rename the unit from the menu: its points move under the new path.
  tab_.exec_menu = [](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->text().startsWith("&Rename")) a->trigger();
    }
  };
  tab_.exec_input_dialog = [](QInputDialog* d) {
    EXPECT_EQ(d->textValue(), "Unassigned");
    d->setTextValue(QStringLiteral("North/Separators"));
    return true;
  };
  tab_.PlantMenu(node("Unassigned"), {});
  EXPECT_TRUE(node("North/Separators/V-101").isValid());
  EXPECT_TRUE(node("North/Separators/L-1").isValid());
  EXPECT_EQ(tab_.tvPlant->currentIndex().data(kNodePathRole).toString(), "North/Separators");
  // A refused move says why and changes nothing.
  tab_.exec_input_dialog = [](QInputDialog* d) {
    d->setTextValue(QStringLiteral("North/Separators/V-101/Deeper"));
    return true;
  };
  SeenBox refusal;
  AnswerNextMessageBox(&refusal, QMessageBox::Ok, 2000);
  tab_.PlantMenu(node("North/Separators"), {});
  EXPECT_TRUE(refusal.text.contains("cannot move under itself")) << ToStd(refusal.text);
  EXPECT_TRUE(node("North/Separators/V-101").isValid());

  // The point's graph: one series named by the path, cumulative across the replacement.
  tab_.exec_menu = [](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->text().startsWith("&Graph")) a->trigger();
    }
  };
  tab_.PlantMenu(node("North/Separators/V-101"), {});
  ViewHistory* graph = tab_.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  EXPECT_TRUE(graph->ShowsPoint());
  const HistoryGraph& view = graph->view();
  ASSERT_EQ(view.series().size(), 1u);
  EXPECT_EQ(view.series()[0].probe.key.tag, "North/Separators/V-101");
  EXPECT_EQ(view.name_label, "Point");
  ASSERT_EQ(view.marks.size(), 1u);
  EXPECT_EQ(view.marks[0].label, "E2");
  for (const ProbeSummary& p : tab_.store()->ListProbes(0)) {
    if (p.key.serial == "E2") EXPECT_EQ(view.marks[0].time, p.first_time);
  }
  // E2's first reading continues from E1's last: the series never falls at the mark.
  const HistorySeries& cumulative = view.series()[0];
  for (size_t i = 1; i < cumulative.y.size(); ++i) {
    EXPECT_GE(cumulative.y[i], cumulative.y[i - 1] - 1e-3) << i;
  }
  graph->close();
}

// An event added from the graph's menu at a time is marked there; chosen, it shows the trends
// either side and the read-out of its rates, over the days the graph's box says; removed after a
// question, its mark goes.
TEST_F(ProbesTest, AnEventAddedFromTheGraphShowsItsRatesBeforeAndAfter) {
  // The dose went up on 02/03/2025: the ratio climbs four times more slowly after it.
  Import({Write("a.nid", ErFile("V-1", "E1", 0.004, 60, 10, QDate(2025, 1, 1))),
          Write("b.nid", ErFile("V-1", "E1", 0.001, 60, 10, QDate(2025, 3, 2), 1.24))});
  tab_.gProbes->setCurrentIndex(Row("V-1"));
  tab_.OpenGraph();
  ViewHistory* graph = tab_.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  HistoryGraph& view = graph->view();
  int32_t chk = 0;
  const HistoryTime step = Str2DateTime("02/03/2025 00:00:00", &chk).ticks / kTicksPerSecond;
  const int px = view.engine.gGetScrX(static_cast<int>(step - view.base()));
  auto run_menu = [&](const QString& action) {
    graph->exec_menu = [action](QMenu* menu) {
      for (QAction* a : menu->actions()) {
        if (a->text().remove(QLatin1Char('&')).startsWith(action)) a->trigger();
      }
    };
    graph->PlotMenu(px, {});
  };
  tab_.exec_event_dialog = [&](EventDialog* d) {
    EXPECT_EQ(d->edPath->text(), "Unassigned/V-1");  // the graph's point
    const HistoryTime shown =
        Str2DateTime(d->edWhen->text().toStdString(), &chk).ticks / kTicksPerSecond;
    EXPECT_LE(std::llabs(shown - step), 86400 * 120 / view.engine.gbW + 1);
    d->edWhen->setText(QStringLiteral("02/03/2025 00:00"));
    d->edNote->setText(QStringLiteral("dose 20 to 35 ppm"));
    d->buttons->button(QDialogButtonBox::Ok)->click();
    return d->result() == QDialog::Accepted;
  };
  run_menu("Add event here");
  ASSERT_EQ(view.marks.size(), 1u);
  EXPECT_EQ(view.marks[0].label, "\u25c6 dose 20 to 35 ppm");
  EXPECT_EQ(view.marks[0].time, step);

  ASSERT_TRUE(graph->ChooseEventAt(px));  // a click on its mark
  ASSERT_EQ(view.segments.size(), 2u);
  EXPECT_EQ(view.segments[0].to, step);
  EXPECT_EQ(view.segments[1].from - view.segments[0].from, 30 * 86400);
  // Each segment has the slope of the history's rate on its side: before, about four times
  // the rate after (the loss is not quite linear in the ratio).
  const std::vector<EventFigure> figures = tab_.store()->EventFigures(30, "Unassigned/V-1");
  ASSERT_EQ(figures.size(), 1u);
  ASSERT_TRUE(figures[0].before && figures[0].after);
  const double before = (view.segments[0].to_value - view.segments[0].from_value) / 30 * 365;
  const double after = (view.segments[1].to_value - view.segments[1].from_value) / 30 * 365;
  EXPECT_NEAR(before, *figures[0].before, 1e-9 * *figures[0].before);
  EXPECT_NEAR(after, *figures[0].after, 1e-9 * *figures[0].after);
  EXPECT_GT(before, 3.5 * after);
  const QString readout = QString::fromStdString(view.segments_text);
  EXPECT_TRUE(readout.startsWith("Inhibitor 02/03/2025: ")) << ToStd(readout);
  EXPECT_TRUE(readout.endsWith(", significant")) << ToStd(readout);
  EXPECT_TRUE(readout.contains(QString::fromUtf8("\u2192"))) << ToStd(readout);
  graph->daysBox()->setValue(10);
  ASSERT_EQ(view.segments.size(), 2u);
  EXPECT_EQ(view.segments[1].to - view.segments[1].from, 10 * 86400);

  SeenBox asked;
  AnswerNextMessageBox(&asked, QMessageBox::Yes, 2000);
  run_menu("Remove this event");
  EXPECT_TRUE(asked.text.contains("dose 20 to 35 ppm")) << ToStd(asked.text);
  EXPECT_TRUE(view.marks.empty());
  EXPECT_TRUE(view.segments.empty());
  graph->close();
}

// The readings in view of a point's graph, set aside with a reason, are set aside on each of
// its probes over the part it counts there, drawn so and left out of the rate; restored, they
// count again. A reason is required.
TEST_F(ProbesTest, ReadingsInViewOfAPointsGraphAreSetAsideAndRestored) {
  Import({Write("e1.nid", ErFile("V-101", "E1", 0.004, 60, 10, QDate(2025, 1, 1))),
          Write("e2.nid", ErFile("V-101", "E2", 0.002, 60, 10, QDate(2025, 3, 5)))});
  const std::vector<PointSummary> points = tab_.store()->ListPoints(0);
  ASSERT_EQ(points.size(), 1u);
  ASSERT_TRUE(points[0].rate.has_value());
  tab_.OpenPointGraph(points[0].id);
  ViewHistory* graph = tab_.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  const HistoryGraph& view = graph->view();
  auto run_menu = [&](const QString& action) {
    graph->exec_menu = [action](QMenu* menu) {
      for (QAction* a : menu->actions()) {
        if (a->text().remove(QLatin1Char('&')).startsWith(action)) a->trigger();
      }
    };
    graph->PlotMenu(view.engine.gX1 + 5, {});
  };
  QString reason;
  tab_.exec_input_dialog = [&](QInputDialog* d) {
    EXPECT_EQ(d->objectName(), "setAsideDialog");
    d->setTextValue(reason);
    return true;
  };
  SeenBox refusal;
  AnswerNextMessageBox(&refusal, QMessageBox::Ok, 2000);
  run_menu("Set aside the readings in view");
  EXPECT_TRUE(refusal.text.contains("only with a reason")) << ToStd(refusal.text);
  EXPECT_TRUE(tab_.store()->ListSetAside(0).empty());

  reason = QStringLiteral("temperature upset");
  run_menu("Set aside the readings in view");
  EXPECT_EQ(tab_.lbStatus->text(), "480 readings set aside");
  const std::vector<SetAsideStretch> aside = tab_.store()->ListSetAside(0);
  ASSERT_EQ(aside.size(), 2u);  // one on each probe
  EXPECT_NE(aside[0].probe_id, aside[1].probe_id);
  EXPECT_EQ(aside[0].reason, "temperature upset");
  ASSERT_EQ(view.series().size(), 1u);
  const HistorySeries& shown = view.series()[0];
  ASSERT_FALSE(shown.x.empty());
  for (size_t i = 0; i < shown.x.size(); ++i) EXPECT_TRUE(shown.SetAside(i)) << i;
  EXPECT_FALSE(tab_.store()->ListPoints(0).at(0).rate.has_value());

  run_menu("Restore the readings in view");
  EXPECT_EQ(tab_.lbStatus->text(), "480 readings restored");
  EXPECT_TRUE(tab_.store()->ListSetAside(0).empty());
  for (size_t i = 0; i < view.series()[0].x.size(); ++i) EXPECT_FALSE(view.series()[0].SetAside(i));
  EXPECT_TRUE(tab_.store()->ListPoints(0).at(0).rate.has_value());
  graph->close();
}

// The tree's menu edits and removes the events that concern a node, a unit's among them.
TEST_F(ProbesTest, TheTreesMenuEditsAndRemovesANodesEvents) {
  Import({Write("a.nid", ErFile("V-1", "E1", 0.004, 10, 10, QDate(2025, 1, 1)))});
  int64_t id = 0;
  ASSERT_TRUE(tab_.store()->AddEvent(
      {0, 1735776000, "Unassigned", EventKind::kProcess, "feed change"}, &id));
  tab_.PutProbes();
  QAbstractItemModel* tree = tab_.tvPlant->model();
  const QModelIndexList hits =
      tree->match(tree->index(0, 0), kNodePathRole, QStringLiteral("Unassigned/V-1"), 1,
                  Qt::MatchFixedString | Qt::MatchRecursive);
  ASSERT_EQ(hits.size(), 1);
  auto run = [&](const QString& submenu) {
    bool found = false;
    tab_.exec_menu = [&](QMenu* menu) {
      for (QAction* a : menu->actions()) {
        if (a->menu() == nullptr || a->text().remove(QLatin1Char('&')) != submenu) continue;
        ASSERT_EQ(a->menu()->actions().size(), 1);
        EXPECT_TRUE(a->menu()->actions()[0]->text().startsWith("process at "));
        found = true;
        a->menu()->actions()[0]->trigger();
      }
    };
    tab_.PlantMenu(hits.first(), {});
    EXPECT_TRUE(found) << ToStd(submenu);
  };
  tab_.exec_event_dialog = [](EventDialog* d) {
    d->edNote->setText(QStringLiteral("feed to blend B"));
    d->buttons->button(QDialogButtonBox::Ok)->click();
    return d->result() == QDialog::Accepted;
  };
  run(QStringLiteral("Edit an event"));
  ASSERT_EQ(tab_.store()->ListEvents({}).size(), 1u);
  EXPECT_EQ(tab_.store()->ListEvents({}).at(0).note, "feed to blend B");
  SeenBox asked;
  AnswerNextMessageBox(&asked, QMessageBox::Yes, 2000);
  run(QStringLiteral("Remove an event"));
  EXPECT_TRUE(asked.text.contains("feed to blend B")) << ToStd(asked.text);
  EXPECT_TRUE(tab_.store()->ListEvents({}).empty());
}

// A probe reset between two downloads: the import flags the fall; the Flags button counts it,
// its list names the probe and whether the readings are kept, a double-click opens the probe's
// graph with the fall marked, and readings set aside there show in the list.
TEST_F(ProbesTest, AFlaggedFallIsListedAndMarkedOnItsProbesGraph) {
  EXPECT_FALSE(tab_.btnFlags->isEnabled());
  Import({Write("a.nid", ErFile("V-1", "E1", 0.004, 10, 10, QDate(2025, 1, 1))),
          Write("b.nid", ErFile("V-1", "E1", 0.004, 10, 10, QDate(2025, 1, 11)))});
  ASSERT_EQ(tab_.store()->ListFlags().size(), 1u);
  EXPECT_TRUE(tab_.btnFlags->isEnabled());
  EXPECT_EQ(tab_.btnFlags->text(), "&Flags (1)");
  tab_.btnFlags->click();
  FlagsDialog* list = tab_.flagsDialog();
  ASSERT_TRUE(list->isVisible());
  QAbstractItemModel* rows = list->gFlags->model();
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_EQ(rows->index(0, 0).data().toString(), "V-1");
  EXPECT_EQ(rows->index(0, 2).data().toString(), "Unassigned/V-1");
  EXPECT_EQ(rows->index(0, 3).data().toString(), "11/01/2025 00:00:00");
  EXPECT_TRUE(rows->index(0, 4).data().toString().endsWith(" mils"));
  EXPECT_EQ(rows->index(0, 5).data().toString(), "kept");

  emit list->gFlags->doubleClicked(rows->index(0, 1));
  ViewHistory* graph = tab_.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  const HistoryGraph& view = graph->view();
  ASSERT_EQ(view.marks.size(), 1u);
  EXPECT_EQ(view.marks[0].label.rfind("\u25bc fall ", 0), 0u) << view.marks[0].label;
  EXPECT_EQ(view.marks[0].time, tab_.store()->ListFlags()[0].time);

  const HistoryTime at = view.marks[0].time;
  tab_.exec_input_dialog = [](QInputDialog* d) {
    d->setTextValue(QStringLiteral("probe reset"));
    return true;
  };
  tab_.SetAsideInGraph(at - 86400, at + 86400);
  EXPECT_EQ(rows->index(0, 5).data().toString(), "set aside: probe reset");
  graph->close();
  list->close();
}

// Two files that disagree about T-A: the summary names it, the Conflicts view shows the stored
// and offered values with their files, and a value taken can be given back.
TEST_F(ProbesTest, ConflictsAreNamedReviewedTakenAndGivenBack) {
  Import({Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}}, 12))});
  const QString text = Import({Write("b.nid", LprFile({{"T-A", "S1", 5.0}}, 12))});
  EXPECT_TRUE(text.contains("Conflicts: 12")) << text.toStdString();
  EXPECT_TRUE(text.contains("Probes with conflicts: T-A S1")) << text.toStdString();

  Select({"T-A"});
  tab_.btnConflicts->click();
  ConflictsDialog* view = tab_.conflictsDialog();
  ASSERT_TRUE(view->isVisible());
  QAbstractItemModel* m = view->gConflicts->model();
  ASSERT_EQ(m->rowCount(), 12);
  auto cell = [&](int col) { return m->index(0, col).data().toString(); };
  EXPECT_EQ(cell(0), "01/01/2025 00:00:00");
  EXPECT_EQ(cell(1), QLocale().toString(3.0, 'f', 4));
  EXPECT_EQ(cell(2), "a.nid");
  EXPECT_EQ(cell(3), QLocale().toString(5.0, 'f', 4));
  EXPECT_EQ(cell(4), "b.nid");
  EXPECT_EQ(cell(5), "stored");
  EXPECT_FALSE(view->btnTake->isEnabled());  // nothing chosen yet

  const int64_t id = tab_.SelectedProbes().at(0).id;
  auto first_value = [&] { return tab_.store()->ReadRange(id, 0, INT64_MAX).at(0).value; };
  view->gConflicts->selectRow(0);
  EXPECT_FALSE(view->btnKeep->isEnabled());
  view->btnTake->click();
  EXPECT_EQ(first_value(), 5.0);
  EXPECT_EQ(m->index(0, 5).data().toString(), "offered");
  EXPECT_TRUE(view->btnKeep->isEnabled());
  view->btnKeep->click();
  EXPECT_EQ(first_value(), 3.0);
  EXPECT_EQ(m->index(0, 5).data().toString(), "stored");
  view->btnClose->click();
  EXPECT_FALSE(view->isVisible());
}

// The history of changes lists what was changed, by whom and from what, and filters by any word.
TEST_F(ProbesTest, HistoryOfChangesListsEachChangeAndFiltersIt) {
  Import({Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}}, 12))});
  tab_.btnChanges->click();
  ChangesDialog* view = tab_.changesDialog();
  ASSERT_TRUE(view->isVisible());
  EXPECT_EQ(view->gChanges->model()->rowCount(), 0);
  EXPECT_EQ(view->lbChanges->text(), "Nothing has been changed through Tarn yet.");
  view->btnClose->click();

  const std::vector<ProbeSummary> probes = tab_.store()->ListProbes(0);
  ASSERT_TRUE(tab_.store()->SetLimits(probes.at(0).id, {7, 8, 0.3, 0.4}));
  ASSERT_TRUE(tab_.store()->SetLimits(0, {4, 9, 0.5, 0.8}));
  tab_.btnChanges->click();
  QAbstractItemModel* m = view->gChanges->model();
  ASSERT_EQ(m->rowCount(), 2);
  EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "What");
  EXPECT_TRUE(m->index(0, 2).data().toString().startsWith("limits of probe ")) << "oldest first";
  EXPECT_EQ(m->index(1, 2).data().toString(), "default limits");
  EXPECT_FALSE(m->index(0, 1).data().toString().isEmpty());  // who
  EXPECT_EQ(view->lbChanges->text(), "2 changes, oldest first.");
  view->edFilter->setText("ALARM 9.00");  // any column, any case
  ASSERT_EQ(m->rowCount(), 1);
  EXPECT_EQ(m->index(0, 2).data().toString(), "default limits");
  EXPECT_EQ(view->lbChanges->text(), "1 of 2 changes shown, oldest first.");
  view->btnClose->click();
  EXPECT_FALSE(view->isVisible());
}

// Undo import: the chosen file's readings go after a confirmation that names the count, and a
// probe it leaves without readings goes too, as the confirmation says.
TEST_F(ProbesTest, UndoImportConfirmsTheCountAndRemovesOnlyThatFile) {
  Import({Write("a.nid", LprFile({{"T-A", "S1", 3.0}}, 10))});
  Import({Write("b.nid", LprFile({{"T-A", "S1", 3.0}, {"T-C", "S3", 1.0}}, 16))});
  auto choose = [&](const QString& name) {
    tab_.exec_input_dialog = [name](QInputDialog* d) {
      for (const QString& item : d->comboBoxItems()) {
        if (item.contains(name)) d->setTextValue(item);
      }
      return true;
    };
  };
  choose("b.nid");
  SeenBox no;
  AnswerNextMessageBox(&no, QMessageBox::No);
  tab_.btnUnimport->click();
  EXPECT_TRUE(no.text.contains("Remove the 22 readings that")) << no.text.toStdString();
  EXPECT_TRUE(no.text.contains("removed with their limits: T-C S3")) << no.text.toStdString();
  EXPECT_EQ(Tags().size(), 2);

  SeenBox yes;
  AnswerNextMessageBox(&yes, QMessageBox::Yes);
  tab_.btnUnimport->click();
  ASSERT_TRUE(yes.seen);
  EXPECT_EQ(Tags(), QStringList{"T-A"});
  EXPECT_EQ(tab_.gProbes->model()->index(0, ProbeTableModel::kReadings).data().toString(), "10");
  EXPECT_TRUE(tab_.lbStatus->text().contains("22 readings of b.nid removed"));
}

// A history file moved away under the open tab: the rows stay, the status says why they are
// not current, a report refuses, and the next refresh after it is back recovers.
TEST_F(ProbesTest, AMovedHistoryFileSaysSoAndKeepsTheRows) {
  Import({Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}}, 12))});
  const QString path = dir_.filePath("history.sqlite");
  ASSERT_TRUE(QFile::rename(path, path + ".away"));
  tab_.PutProbes();
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("Cannot reach the history"))
      << tab_.lbStatus->text().toStdString();
  EXPECT_TRUE(tab_.lbStatus->text().contains("not current"));
  EXPECT_EQ(Tags(), (QStringList{"T-A", "T-B"}));
  SeenBox refused;
  AnswerNextMessageBox(&refused, QMessageBox::Ok);
  tab_.StartReport({}, dir_.filePath("r.pdf"));
  EXPECT_TRUE(refused.text.contains("not there")) << refused.text.toStdString();
  EXPECT_FALSE(QFile::exists(path));  // not made anew, empty
  ASSERT_TRUE(QFile::rename(path + ".away", path));
  tab_.PutProbes();
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("2 probes")) << tab_.lbStatus->text().toStdString();
}

// The report of many probes runs off the window's thread: progress, then Cancel writes nothing;
// an import shows its share done in per cent.
TEST_F(ProbesTest, ReportRunsWithProgressAndCancelAndImportShowsAPercentage) {
  std::vector<LprProbe> many;
  for (int i = 0; i < 60; ++i) many.push_back({"R-" + std::to_string(i), "S", 2.0});
  const QString file = Write("many.nid", LprFile(many, 2000, 1));
  QSignalSpy done(&tab_, &Probes::ImportFinished);
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok, 4000);
  tab_.StartImport({file});
  ASSERT_TRUE(done.wait(60000));
  // The bar went by per cent of the file's lines, close to the end by the last tag.
  EXPECT_EQ(tab_.prgImport->maximum(), 100);
  EXPECT_GE(tab_.prgImport->value(), 90);

  const QString pdf = dir_.filePath("all.pdf");
  QSignalSpy reported(&tab_, &Probes::ReportFinished);
  tab_.StartReport({}, pdf);
  EXPECT_TRUE(tab_.Reporting());
  EXPECT_TRUE(tab_.btnCancel->isVisible());
  EXPECT_FALSE(tab_.btnReport->isEnabled());
  tab_.btnCancel->click();
  ASSERT_TRUE(reported.wait(60000));
  EXPECT_EQ(tab_.lbStatus->text(), QString::fromLatin1(kReportCancelled));
  EXPECT_FALSE(QFile::exists(pdf));
  EXPECT_FALSE(tab_.prgImport->isVisible());
  EXPECT_TRUE(tab_.btnReport->isEnabled());

  // Uncancelled, the bar counts the probe pages to the end.
  tab_.StartReport({}, pdf);
  ASSERT_TRUE(reported.wait(120000));
  EXPECT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(tab_.prgImport->maximum(), 60);
  EXPECT_EQ(tab_.prgImport->value(), 60);
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("Report saved to"));
  EXPECT_TRUE(tab_.btnReport->isEnabled());
}

// A private PostgreSQL server (not the one the other tests share) stopped under the open tab,
// its history graph and its Conflicts view: each keeps what it showed and says why it is not
// current; the report refuses; once the server is back the next refresh recovers.
TEST_F(ProbesTest, AStoppedServerSaysSoAndTheNextRefreshRecovers) {
  const QString script = QStringLiteral(TARN_TEST_SOURCE_DIR "/tests/tools/pg_test_server.sh");
  QTemporaryDir state;
  auto server = [&](const char* mode) {
    return QProcess::execute(QStringLiteral("bash"), {script, QLatin1String(mode), state.path()});
  };
  ASSERT_EQ(server("start"), 0);
  struct Stop {
    std::function<void()> f;
    ~Stop() { f(); }
  } stop{[&] { server("stop"); }};
  QFile uri_file(state.filePath("uri"));
  ASSERT_TRUE(uri_file.open(QIODevice::ReadOnly));
  tab_.SetHistoryLocation(QString::fromUtf8(uri_file.readAll()).trimmed().toStdString());
  Import({Write("a.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 4.0}}, 48))});
  Import({Write("b.nid", LprFile({{"T-A", "S1", 5.0}}, 6))});  // six conflicts for T-A
  ASSERT_EQ(Tags(), (QStringList{"T-A", "T-B"}));
  Select({"T-A"});
  tab_.btnConflicts->click();
  ConflictsDialog* conflicts = tab_.conflictsDialog();
  ASSERT_TRUE(conflicts->isVisible());
  ASSERT_EQ(conflicts->gConflicts->model()->rowCount(), 6);
  conflicts->btnClose->click();
  tab_.btnGraph->click();
  ViewHistory* graph = tab_.graphWindow();
  ASSERT_TRUE(graph->isVisible());
  const std::size_t shown = graph->view().series().at(0).x.size();
  ASSERT_GT(shown, 0u);
  EXPECT_FALSE(graph->staleLabel()->isVisible());

  ASSERT_EQ(server("halt"), 0);
  // The Conflicts view: opened, it says so; refreshed, it keeps its rows and says they are old.
  tab_.btnConflicts->click();
  ASSERT_TRUE(conflicts->isVisible());
  EXPECT_TRUE(conflicts->lbConflicts->text().startsWith("Cannot reach the history"))
      << conflicts->lbConflicts->text().toStdString();
  EXPECT_TRUE(conflicts->lbConflicts->text().contains("not current"));
  EXPECT_FALSE(conflicts->btnTake->isEnabled());
  conflicts->btnClose->click();
  ASSERT_EQ(server("resume"), 0);
  tab_.btnConflicts->click();
  ASSERT_EQ(conflicts->gConflicts->model()->rowCount(), 6);
  ASSERT_EQ(server("halt"), 0);
  conflicts->PutConflicts();
  EXPECT_TRUE(conflicts->lbConflicts->text().startsWith("Cannot reach the history"));
  EXPECT_EQ(conflicts->gConflicts->model()->rowCount(), 6);
  conflicts->btnClose->click();
  tab_.cbWindow->setCurrentIndex(tab_.cbWindow->findData(7));  // a refresh
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("Cannot reach the history"))
      << tab_.lbStatus->text().toStdString();
  EXPECT_EQ(Tags(), (QStringList{"T-A", "T-B"}));
  graph->view().engine.grMaxx /= 2;  // a zoom: the graph reads again
  graph->RedrawGraph();
  EXPECT_TRUE(graph->staleLabel()->isVisible());
  EXPECT_TRUE(graph->staleLabel()->text().startsWith("Cannot reach the history"))
      << graph->staleLabel()->text().toStdString();
  EXPECT_EQ(graph->view().series().at(0).x.size(), shown);
  SeenBox refused;
  AnswerNextMessageBox(&refused, QMessageBox::Ok, 4000);
  QSignalSpy reported(&tab_, &Probes::ReportFinished);
  tab_.StartReport({}, dir_.filePath("r.pdf"));
  ASSERT_TRUE(reported.wait(60000));
  EXPECT_TRUE(refused.text.contains("history server")) << refused.text.toStdString();
  EXPECT_FALSE(QFile::exists(dir_.filePath("r.pdf")));

  ASSERT_EQ(server("resume"), 0);
  tab_.PutProbes();
  EXPECT_TRUE(tab_.lbStatus->text().startsWith("2 probes")) << tab_.lbStatus->text().toStdString();
  graph->view().engine.grMaxx -= 60;
  graph->RedrawGraph();
  EXPECT_FALSE(graph->staleLabel()->isVisible());
  graph->close();
}

}  // namespace
}  // namespace tarn
