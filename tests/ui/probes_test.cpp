// The Probes tab over a real history file: import by the dialog and by a drop, a cancelled
// import, the graph on double-click and Enter, overlay and its refusal, limits, removal, saved
// downloads, the rate window in the settings file, and the tab's place in the main window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/main_form.h"
#include "download/ui/elpr.h"
#include "history/ui/import_job.h"
#include "history/ui/limits_dialog.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"
#include "settings/ini_file.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

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
  QTRY_VERIFY_WITH_TIMEOUT(tab_.lbStatus->text().contains("readings"), 30000);
  tab_.btnCancel->click();
  ASSERT_TRUE(done.wait(60000));
  EXPECT_TRUE(box.text.contains("cancelled")) << box.text.toStdString();
  EXPECT_EQ(tab_.store()->ListProbes(0).size(), 0u);
  EXPECT_EQ(tab_.gProbes->model()->rowCount(), 0);
  EXPECT_FALSE(tab_.prgImport->isVisible());
}

TEST_F(ProbesTest, ReportButtonSavesTheSelectedProbesOrAll) {
  Import({Write("l.nid", LprFile({{"T-A", "S1", 3.0}, {"T-B", "S2", 9.0}}, 10))});
  const struct {
    QStringList selected;
    const char* count;
    bool has_a;
  } cases[] = {{{"T-B"}, "Probes: 1", false}, {{}, "Probes: 2", true}};
  for (const auto& c : cases) {
    Select(c.selected);
    const QString name = dir_.filePath(QStringLiteral("report%1").arg(c.selected.size()));
    tab_.exec_open_dialog = [&name](QFileDialog* d) {
      EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
      d->selectFile(name);  // no suffix typed: the dialog adds .pdf
      return true;
    };
    tab_.btnReport->click();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {name + ".pdf", QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(out.contains(c.count)) << out.toStdString();
    EXPECT_TRUE(out.contains("Probe T-B S2"));
    EXPECT_EQ(out.contains("Probe T-A S1"), c.has_a);
    EXPECT_TRUE(tab_.lbStatus->text().startsWith("Report saved to"));
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
  graph->close();

  tab_.gProbes->setCurrentIndex(Row("T-B"));
  tab_.gProbes->setFocus();
  QTest::keyClick(tab_.gProbes, Qt::Key_Return);
  ASSERT_TRUE(graph->isVisible());
  EXPECT_EQ(graph->view().series()[0].probe.key.tag, "T-B");
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

  Select({"R-3", "R-7"});
  SeenBox no;
  AnswerNextMessageBox(&no, QMessageBox::No);
  tab_.btnRemove->click();
  EXPECT_EQ(no.text, "Remove 2 probes and their 40 readings from the history?");
  EXPECT_EQ(Tags().size(), 3);
  SeenBox yes;
  AnswerNextMessageBox(&yes, QMessageBox::Yes);
  tab_.btnRemove->click();
  EXPECT_EQ(Tags(), QStringList{"R-12"});
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

}  // namespace
}  // namespace tarn
