// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis screen: opening real data files through the file dialog seam, the tag list, both
// grids, the labels and buttons, the exports and their failure, the graph and about boxes.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <cmath>

#include "analysis/ui/anl.h"
#include "analysis/ui/anl_models.h"
#include "app/main_form.h"
#include "common/date_time.h"
#include "common/ui/about.h"
#include "graph/ui/view_grp.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

// An ER tag of two readings (flush probe, thickness 10: ratios 1.25 and 1 give 2 and 0 mils),
// an LPR corrosion-rate tag of one reading, and an ER tag with a comma in its name.
const char kTwoTags[] =
    "TAG NUMBER : TAG-A\n"
    "SERIAL NUMBER : 1234\n"
    "PART NUMBER : P-9\n"
    "PROBE TYPE : FLUSH\n"
    "METAL LOSS UNIT : MILS\n"
    "THICKNESS : 10\n"
    "READING INTERVAL : 15\n"
    "START TIME : 01/02/2020 10:20:30\n"
    "RS_RR\n"
    "1 01/02/2020 10:20:30 1.25 X\n"
    "2 01/02/2020 10:35:10 1 X\n"
    "TAG NUMBER : lpr,one\n"
    "SERIAL NUMBER : 77\n"
    "PART NUMBER : Q-1\n"
    "PROBE TYPE : PR 2\n"
    "READING INTERVAL : 60\n"
    "START TIME : 02/02/2020 08:00:00\n"
    "COR RATE\n"
    "1 02/02/2020 08:00:00 2.5\n";

const char kOtherFile[] =
    "TAG NUMBER : SECOND\n"
    "PROBE TYPE : FLUSH\n"
    "THICKNESS : 10\n"
    "START TIME : 03/03/2021 00:00:00\n"
    "RS_RR\n"
    "1 03/03/2021 00:00:00 1 X\n"
    "2 04/03/2021 00:00:00 1.25 X\n"
    "3 05/03/2021 00:00:00 2 X\n";

class AnlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir root(home.path());
    root.mkpath("DATA/DOWNLOAD");
    root.mkpath("DATA/ANALYSIS");
    DataPath = (home.path() + "/DATA/").toStdString();
    vSetup.pi_of_tubular = 312.5;
    anl = std::make_unique<Anl>();
    anl->resize(883, 656);
    anl->show();
  }
  void TearDown() override {
    anl.reset();
    DataPath.clear();
  }

  QString Write(const QString& name, const QByteArray& content) {
    const QString path = home.path() + "/DATA/DOWNLOAD/" + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
  }

  // Opens `path` with "Open" through the dialog seam; records how the dialog was set up.
  void OpenFile(const QString& path) {
    anl->exec_file_dialog = [this, path](QFileDialog* d) {
      seen_dir = d->directory().absolutePath();
      seen_filters = d->nameFilters();
      seen_suffix = d->defaultSuffix();
      d->selectFile(path);
      return true;
    };
    Button("btnOpen")->click();
  }

  // Exports with the named filter (0 CSV, 1 Excel, 2 workbook) through the dialog seam.
  void Export(const QString& path, int filter) {
    anl->exec_file_dialog = [this, path, filter](QFileDialog* d) {
      seen_dir = d->directory().absolutePath();
      seen_filters = d->nameFilters();
      seen_filter = d->selectedNameFilter();
      d->selectNameFilter(d->nameFilters().value(filter));
      d->selectFile(path);
      return true;
    };
    Button("btnExport")->click();
  }

  QPushButton* Button(const char* name) { return Child<QPushButton>(name); }
  QString Text(const char* name) { return Child<QLabel>(name)->text(); }
  template <typename T>
  T* Child(const char* name) {
    T* w = anl->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Cell(const char* grid, int row, int col) {
    return Child<QTableView>(grid)->model()->index(row, col).data().toString();
  }
  QString Header(const char* grid, int col) {
    return Child<QTableView>(grid)->model()->headerData(col, Qt::Horizontal).toString();
  }
  int Rows(const char* grid) { return Child<QTableView>(grid)->model()->rowCount(); }
  static QString Num(const char* text) {
    return QString::fromLatin1(text).replace('.', QLocale().decimalPoint());
  }
  static QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  testing::TempHome home;
  std::unique_ptr<Anl> anl;
  QString seen_dir, seen_suffix, seen_filter;
  QStringList seen_filters;
};

TEST_F(AnlTest, StartsEmptyWithButtonsOff) {
  EXPECT_EQ(Text("lbSt2"), "noname");
  EXPECT_EQ(Text("lbTitle"), "ANALYSIS");
  EXPECT_EQ(Text("lbSt1"), "File Name");
  EXPECT_EQ(Text("lbTagCnt"), "Tag Count : 0");
  EXPECT_EQ(Text("lbDataCnt"), "Data Count : 0");
  EXPECT_EQ(Text("lbDataType"), "ER Data");
  EXPECT_EQ(testing::Caption(Button("btnOpen")), "Open");
  EXPECT_EQ(testing::Caption(Button("btnAbout")), "About");
  EXPECT_FALSE(Button("btnExport")->isEnabled());
  EXPECT_FALSE(Button("btnGraph")->isEnabled());
  // The first display resets the reading grid's headers.
  EXPECT_EQ(Header("gView", 0), "Received Date / Time");
  EXPECT_EQ(Header("gView", 1), "");
  EXPECT_EQ(Header("gInfo", 0), "Name");
  EXPECT_EQ(Header("gInfo", 1), "Value");
  EXPECT_EQ(Child<QListWidget>("lstBox")->width(), 172);
  EXPECT_EQ(Child<QWidget>("panel2")->width(), 371);
  EXPECT_EQ(Child<QWidget>("panel1")->width(), 156);
  EXPECT_EQ(Button("btnGraph")->size(), QSize(119, 55));

  // Both grids: read-only, no sorting, no row headers, columns sharing the width.
  for (const char* name : {"gView", "gInfo"}) {
    QTableView* g = Child<QTableView>(name);
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers) << name;
    EXPECT_EQ(g->selectionMode(), QAbstractItemView::SingleSelection) << name;
    EXPECT_FALSE(g->isSortingEnabled()) << name;
    EXPECT_TRUE(g->verticalHeader()->isHidden()) << name;
    EXPECT_EQ(g->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch) << name;
  }
  EXPECT_EQ(Child<QTableView>("gInfo")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(AnlTest, OpeningShowsFirstTagAndSelectingShowsOthers) {
  const QString path = Write("two.nid", kTwoTags);
  OpenFile(path);
  EXPECT_EQ(QDir(seen_dir), QDir(home.path() + "/DATA/DOWNLOAD"));
  EXPECT_EQ(seen_filters, (QStringList{"Nembra instrument data(*.nid)", "All files (*)"}));
  EXPECT_EQ(seen_suffix, "nid");

  EXPECT_EQ(Text("lbSt2"), path);
  QListWidget* list = Child<QListWidget>("lstBox");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "TAG-A");
  EXPECT_EQ(list->item(1)->text(), "LPR,ONE");
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(Text("lbTagCnt"), "Tag Count : 2");

  // ER tag: seven information rows, each reading at its own minute, four decimals.
  EXPECT_EQ(Text("lbDataType"), "ER Data");
  EXPECT_EQ(Text("lbDataCnt"), "Data Count : 2");
  ASSERT_EQ(Rows("gInfo"), 7);
  const char* names[] = {"Serial no", "Part no",          "Probe Type", "Metal Loss Unit",
                         "Thickness", "Reading Interval", "Start Time"};
  const char* values[] = {"1234", "P-9", "FLUSH", "MILS", "10", "15", "01/02/2020 10:20:30"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Cell("gInfo", i, 0), names[i]);
    EXPECT_EQ(Cell("gInfo", i, 1), values[i]);
  }
  ASSERT_EQ(Rows("gView"), 2);
  EXPECT_EQ(Header("gView", 0), "Received Date / Time");
  EXPECT_EQ(Header("gView", 1), "Metal Loss (mils)");
  EXPECT_EQ(Cell("gView", 0, 0), "01/02/2020 10:20");
  EXPECT_EQ(Cell("gView", 0, 1), Num("2.0000"));
  EXPECT_EQ(Cell("gView", 1, 0), "01/02/2020 10:35");
  EXPECT_EQ(Cell("gView", 1, 1), Num("0.0000"));
  QAbstractItemModel* m = Child<QTableView>("gView")->model();
  EXPECT_EQ(m->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
  EXPECT_TRUE(m->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
  EXPECT_TRUE(Button("btnExport")->isEnabled());
  EXPECT_TRUE(Button("btnGraph")->isEnabled());

  // The rate line comes from the graph window, which is never shown for it.
  ASSERT_FALSE(anl->fmGrp->isVisible());
  const QString rate = anl->fmGrp->GetCrateStr(0, 1);
  EXPECT_FALSE(rate.isEmpty());
  EXPECT_EQ(QString(anl->CrateStr).replace('.', QLocale().decimalPoint()),
            "Corrosion Rate : " + rate + " mpy");
  EXPECT_FALSE(anl->fmGrp->isVisible());

  // LPR tag of one reading: five rows, Export on, Graph off, no rate.
  list->setCurrentRow(1);
  EXPECT_EQ(Text("lbDataType"), "LPR Data");
  EXPECT_EQ(Rows("gInfo"), 5);
  EXPECT_EQ(Cell("gInfo", 4, 0), "Start Time");
  EXPECT_EQ(Rows("gView"), 1);
  EXPECT_EQ(Header("gView", 1), "Corrosion Rate (mpy)");
  EXPECT_EQ(Cell("gView", 0, 1), Num("2.5000"));
  EXPECT_EQ(Text("lbDataCnt"), "Data Count : 1");
  EXPECT_TRUE(Button("btnExport")->isEnabled());
  EXPECT_FALSE(Button("btnGraph")->isEnabled());
  EXPECT_TRUE(anl->CrateStr.isEmpty());

  // A second file replaces the list and shows its first tag.
  OpenFile(Write("other.nid", kOtherFile));
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "SECOND");
  EXPECT_EQ(Rows("gView"), 3);
  EXPECT_EQ(Cell("gView", 2, 0), "05/03/2021 00:00");
  EXPECT_EQ(Text("lbDataCnt"), "Data Count : 3");

  // Cancelling the dialog changes nothing.
  anl->exec_file_dialog = [](QFileDialog*) { return false; };
  Button("btnOpen")->click();
  EXPECT_EQ(list->count(), 1);
  EXPECT_EQ(Rows("gView"), 3);
}

TEST_F(AnlTest, ScreenUsesTheLocaleAndFilesAFullStop) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  OpenFile(Write("two.nid", kTwoTags));
  EXPECT_EQ(Cell("gView", 0, 1), "2,0000");
  const QString csv = home.path() + "/DATA/ANALYSIS/de.csv";
  Export(csv, 0);
  QLocale::setDefault(QLocale::system());
  EXPECT_TRUE(ReadAll(csv).contains("01/02/2020 10:20,2.0000\r\n"));
}

TEST_F(AnlTest, UnknownFileIsReportedAndEmptiesTheScreen) {
  OpenFile(Write("two.nid", kTwoTags));
  Child<QListWidget>("lstBox")->setCurrentRow(1);
  ASSERT_EQ(Text("lbDataType"), "LPR Data");
  const QString junk = Write("junk.nid", "hello\nworld\n");
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok);
  OpenFile(junk);
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text, "Unknown file type.");
  EXPECT_EQ(Text("lbSt2"), junk);
  // Nothing of the file before stays under the new name.
  EXPECT_EQ(Child<QListWidget>("lstBox")->count(), 0);
  EXPECT_EQ(Text("lbTagCnt"), "Tag Count : 0");
  EXPECT_EQ(Rows("gInfo"), 0);
  EXPECT_EQ(Rows("gView"), 0);
  EXPECT_EQ(Text("lbDataType"), "ER Data");
  EXPECT_EQ(Text("lbDataCnt"), "Data Count : 0");
  EXPECT_EQ(Header("gView", 0), "Received Date / Time");
  EXPECT_EQ(Header("gView", 1), "");
  EXPECT_FALSE(Button("btnExport")->isEnabled());
  EXPECT_FALSE(Button("btnGraph")->isEnabled());
}

TEST_F(AnlTest, SaysWhatTheListAndGridLeaveOut) {
  // `tags` tags; the first holds `readings` readings a minute apart, the others one each.
  const auto file = [](int tags, int readings) {
    DateTime base;
    MakeDateTime(2020, 1, 1, 0, 0, 0, &base);
    QByteArray text;
    for (int t = 0; t < tags; ++t) {
      text += "TAG NUMBER : T" + QByteArray::number(t) +
              "\nPROBE TYPE : FLUSH\nTHICKNESS : 10\nSTART TIME : 01/01/2020 00:00:00\nRS_RR\n";
      for (int i = 0; i < (t == 0 ? readings : 1); ++i) {
        text += QByteArray::number(i + 1) + ' ' + QByteArray::fromStdString(TimeSpan2Str(base, i)) +
                ":00 1.25 X\n";
      }
    }
    return text;
  };
  struct Case {
    int tags;
    int readings;
    const char* tag_note;   // empty: hidden
    const char* data_note;  // empty: hidden
  };
  const Case cases[] = {
      {102, 2, "Listing the first 100 of 102 tags.", ""},
      {1, 70000, "", "Showing the first 65535 of 70000 readings."},
      {100, 65535, "", ""},
  };
  for (const Case& c : cases) {
    OpenFile(Write("many.nid", file(c.tags, c.readings)));
    for (auto [label, note] : {std::pair{"lbTagNote", c.tag_note}, {"lbDataNote", c.data_note}}) {
      auto* l = Child<QLabel>(label);
      EXPECT_EQ(l->isVisible() ? l->text() : QString(), QString::fromLatin1(note))
          << label << " with " << c.tags << " tags of " << c.readings;
    }
  }
}

TEST_F(AnlTest, ExportsWriteWhatIsShownAndReportFailure) {
  OpenFile(Write("two.nid", kTwoTags));
  const QString csv = home.path() + "/DATA/ANALYSIS/tag-a.csv";
  Export(csv, 0);
  EXPECT_EQ(QDir(seen_dir), QDir(home.path() + "/DATA/ANALYSIS"));
  EXPECT_EQ(seen_filters,
            (QStringList{"CSV files(*.csv)", "Excel files(*.xls)", "Excel workbook (*.xlsx)"}));
  EXPECT_EQ(seen_filter, "CSV files(*.csv)");
  const QByteArray text = ReadAll(csv);
  EXPECT_TRUE(text.startsWith("ER Data\r\n\r\nTag Name,TAG-A\r\nSerial no,1234\r\n"))
      << text.data();
  EXPECT_TRUE(text.contains("\r\n\r\nReceived Date / Time,Metal Loss (mils),Corrosion Rate : "));
  // Files always hold a full stop.
  EXPECT_TRUE(text.contains("01/02/2020 10:20,2.0000\r\n01/02/2020 10:35,0.0000\r\n\r\n"));

  const QString xls = home.path() + "/DATA/ANALYSIS/tag-a.xls";
  Export(xls, 1);
  const QByteArray sheet = ReadAll(xls);
  ASSERT_GE(sheet.size(), 4);
  EXPECT_EQ(sheet.left(2), QByteArray("\x09\x00", 2));  // BIFF2 BOF record
  const QString xlsx = home.path() + "/DATA/ANALYSIS/tag-a.xlsx";
  Export(xlsx, 2);
  EXPECT_TRUE(ReadAll(xlsx).startsWith("PK\x03\x04"));  // a zip container

  // A folder that does not exist: reported, nothing written.
  const QString bad = home.path() + "/missing/out.csv";
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok);
  Export(bad, 0);
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_TRUE(box.text.contains(bad)) << box.text.toStdString();
  EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(AnlTest, ExportFollowsTheExtensionTyped) {
  // The typed extension decides over the type left chosen; any other name gets the chosen
  // type's extension.
  OpenFile(Write("two.nid", kTwoTags));
  const struct {
    const char* typed;
    int filter;
    const char* written;
    QByteArray starts;
  } cases[] = {{"a.xlsx", 0, "a.xlsx", "PK\x03\x04"},
               {"b.CSV", 2, "b.CSV", "ER Data\r\n"},
               {"c.xls", 0, "c.xls", QByteArray("\x09\x00", 2)},
               {"d", 1, "d.xls", QByteArray("\x09\x00", 2)},
               {"e.txt", 0, "e.txt.csv", "ER Data\r\n"},
               {"f.png", 2, "f.png.xlsx", "PK\x03\x04"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    const QString dir = home.path() + "/DATA/ANALYSIS/";
    Export(dir + c.typed, c.filter);
    EXPECT_TRUE(ReadAll(dir + c.written).startsWith(c.starts));
  }
}

TEST_F(AnlTest, GraphAndAboutOpenModally) {
  OpenFile(Write("other.nid", kOtherFile));
  ASSERT_TRUE(Button("btnGraph")->isEnabled());
  bool graph_seen = false;
  QTimer::singleShot(20, [&] {
    auto* w = qobject_cast<ViewGrp*>(QApplication::activeModalWidget());
    if (w == nullptr) return;
    graph_seen = w->isVisible() && w->windowTitle() == "View Graph";
    w->findChild<QPushButton*>("btnClose")->click();
  });
  Button("btnGraph")->click();
  EXPECT_TRUE(graph_seen);
  EXPECT_FALSE(anl->fmGrp->isVisible());

  bool about_seen = false;
  QTimer::singleShot(20, [&] {
    auto* w = qobject_cast<about*>(QApplication::activeModalWidget());
    if (w == nullptr) return;
    about_seen = true;
    w->close();
  });
  Button("btnAbout")->click();
  EXPECT_TRUE(about_seen);
}

// Pictures of the Analysis tab with an ER file open and of the graph window, for a person to
// look at; written only when TARN_SCREENSHOT_DIR names a folder (run under xvfb-run).
TEST(AnlScreenshot, AnalysisTabAndGraphWindow) {
  const QString out = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
  if (out.isEmpty()) GTEST_SKIP() << "TARN_SCREENSHOT_DIR not set";
  testing::TempHome home;
  MainForm main;
  main.resize(1100, 760);
  main.show();
  QApplication::processEvents();
  main.View(4);
  main.findChild<QTabWidget*>()->setCurrentIndex(3);

  // Two weeks of hourly readings from a flush probe losing metal at about 30 mils a year.
  DateTime base;
  MakeDateTime(2024, 3, 1, 8, 0, 0, &base);
  std::string text =
      "TAG NUMBER : CRUDE-UNIT-07\nSERIAL NUMBER : 40117\nPART NUMBER : ER-F20\n"
      "PROBE TYPE : FLUSH\nMETAL LOSS UNIT : MILS\nTHICKNESS : 20\nREADING INTERVAL : 60\n"
      "START TIME : 01/03/2024 08:00:00\nRS_RR\n";
  for (int i = 0; i < 336; ++i) {
    const double loss = 0.4 + i * 30.0 / 8760.0 + 0.05 * std::sin(i / 9.0);
    const double ratio = 20.0 / (20.0 - loss);
    text += std::to_string(i + 1) + " " + TimeSpan2Str(base, i * 60.0) + ":00 " +
            std::to_string(ratio) + " 1\n";
  }
  text +=
      "TAG NUMBER : CRUDE-UNIT-09\nPROBE TYPE : WIRE LOOP\nTHICKNESS : 10\n"
      "START TIME : 01/03/2024 08:00:00\nRS_RR\n1 01/03/2024 08:00:00 2.0 1\n";
  const QString path = QString::fromStdString(DataPath) + "DOWNLOAD/site-a.nid";
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray::fromStdString(text));
  f.close();

  Anl* anl = main.fmAnl();
  anl->exec_file_dialog = [&](QFileDialog* d) {
    d->selectFile(path);
    return true;
  };
  anl->findChild<QPushButton*>("btnOpen")->click();
  QApplication::processEvents();
  EXPECT_TRUE(main.grab().save(out + "/analysis_tab.png"));

  bool saved = false;
  QTimer::singleShot(300, [&] {
    auto* w = qobject_cast<ViewGrp*>(QApplication::activeModalWidget());
    if (w == nullptr) return;
    saved = w->grab().save(out + "/graph_window.png");
    // A fixed range that misses every reading: the plot says so.
    vSetup.y_low = 5.0;
    vSetup.y_high = 6.0;
    w->findChild<QCheckBox*>("chkYaxis")->setChecked(false);
    w->findChild<QPushButton*>("btnViewAll")->click();
    w->grab().save(out + "/graph_window_note.png");
    w->findChild<QCheckBox*>("chkYaxis")->setChecked(true);
    QTimer::singleShot(200, [&] {
      QWidget* setup = QApplication::activeModalWidget();
      if (setup == nullptr || setup->objectName() != "gSetup") return;
      setup->grab().save(out + "/graph_setup.png");
      setup->findChild<QPushButton*>("btnCancel")->click();
    });
    w->findChild<QPushButton*>("btnSetup")->click();
    w->close();
  });
  anl->findChild<QPushButton*>("btnGraph")->click();
  EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace tarn
