// SPDX-License-Identifier: GPL-3.0-or-later
// Graph window: controls, drag and wheel zoom through real pointer events on the plot panel,
// the read-out, the settings dialog round trip, saving the bitmap and printing to PDF.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

#include "common/date_time.h"
#include "graph/grp_values.h"
#include "graph/ui/g_setup.h"
#include "graph/ui/graph_records.h"
#include "graph/ui/view_grp.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::OnNextModal;

using testing::AnswerNextMessageBox;
using testing::SeenBox;

// n samples every hour from 01/03/2024 00:00, value i / 10, metal loss.
void FillSeries(int n) {
  DateTime base;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &base);
  int p = 0;
  for (int i = 0; i < n; ++i) {
    if (StoreGrpSample(vGrpData, p, TimeSpan2Str(base, i * 60.0) + ":00", i / 10.0)) ++p;
  }
  FinishGrpValues(vGrpData, p, 0, "P-1");
}

class ViewGrpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(home.path()).mkpath("DATA/ANALYSIS");
    DataPath = (home.path() + "/DATA/").toStdString();
    vSetup.width = vSetup.height = 0;
    vSetup.y_low = 0.0;
    vSetup.y_high = 10.0;
    vSetup.data_color = static_cast<int32_t>(0xFF0000FFu);
    vSetup.trend_color = static_cast<int32_t>(0xFFFF0000u);
    vSetup.data_line = 1.0f;
    vSetup.trend_line = 1.0f;
    FillSeries(20);
    win = std::make_unique<ViewGrp>();
    win->show();
    QApplication::processEvents();
    panel = win->findChild<QWidget*>("pnGrp");
    ASSERT_NE(panel, nullptr);
  }
  void TearDown() override {
    win.reset();
    DataPath.clear();
  }

  PlotEngine& E() { return win->view().engine; }
  template <typename T>
  T* Child(const char* name) {
    T* w = win->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Child<QPushButton>(name)->click(); }

  // Pointer events at panel pixels, as the window system delivers them.
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent ev(type, at, panel->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(panel, &ev);
  }
  void Drag(int from_minutes, int to_minutes) {
    const int y = (E().gY1 + E().gY2) / 2;
    const QPoint a(E().gGetScrX(from_minutes), y), b(E().gGetScrX(to_minutes), y);
    Mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, (a + b) / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
  }
  void Wheel(int delta) {
    const QPoint at((E().gX1 + E().gX2) / 2, (E().gY1 + E().gY2) / 2);
    QWheelEvent ev(at, panel->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(panel, &ev);
  }

  testing::TempHome home;
  std::unique_ptr<ViewGrp> win;
  QWidget* panel = nullptr;
};

TEST_F(ViewGrpTest, ShowsControlsAndDrawsTheWholeSeries) {
  EXPECT_EQ(win->windowTitle(), "View Graph");
  EXPECT_GE(win->minimumWidth(), 1000);
  EXPECT_GE(win->minimumHeight(), 600);
  for (auto [name, text] : {std::pair{"btnSave", "Save"},
                            {"btnPrint", "Print"},
                            {"btnSetup", "Setup"},
                            {"btnClose", "Close"},
                            {"btnViewAll", "View All"}}) {
    EXPECT_EQ(testing::Caption(Child<QPushButton>(name)), text) << name;
  }
  for (const char* name : {"chkData", "chkTrend", "chkYaxis"}) {
    EXPECT_TRUE(Child<QCheckBox>(name)->isChecked()) << name;
  }
  EXPECT_EQ(Child<QCheckBox>("chkYaxis")->text(), "Y-axis auto range");
  EXPECT_EQ(Child<QPushButton>("btnAreaX")->iconSize(), QSize(24, 24));
  EXPECT_FALSE(Child<QPushButton>("btnAreaX")->icon().isNull());
  EXPECT_EQ(Child<QWidget>("panel1")->width(), 156);

  // Whole series, automatic Y range around the data.
  EXPECT_EQ(E().grMinx, 0);
  EXPECT_EQ(E().grMaxx, 19 * 60);
  EXPECT_DOUBLE_EQ(E().grMiny, -0.5);
  EXPECT_DOUBLE_EQ(E().grMaxy, 1.9 + 0.5);
  EXPECT_TRUE(win->view().resized_scr);
  EXPECT_GE(E().gBaseW, panel->width());

  // The selected picture button is blue, the others white.
  EXPECT_TRUE(Child<QPushButton>("btnAreaXY")->styleSheet().contains("blue"));
  Click("btnAreaY");
  EXPECT_EQ(win->view().zoom.gDragOpt, 2);
  EXPECT_TRUE(Child<QPushButton>("btnAreaY")->styleSheet().contains("blue"));
  EXPECT_TRUE(Child<QPushButton>("btnAreaXY")->styleSheet().contains("white"));
}

// Pixels of `argb` inside the plot box of the current bitmap.
int CountInBox(ViewGrp& win, uint32_t argb) {
  auto* surface = win.view().surface();
  const PlotEngine& e = win.view().engine;
  int n = 0;
  for (int y = e.gY1 + 1; y < e.gY2; ++y) {
    for (int x = e.gX1 + 1; x < e.gX2; ++x) n += surface->Pixel(x, y) == argb;
  }
  return n;
}

TEST_F(ViewGrpTest, CheckBoxesSwitchSeriesAndTrend) {
  EXPECT_GT(CountInBox(*win, 0xFF0000FFu), 0);
  EXPECT_GT(CountInBox(*win, 0xFFFF0000u), 0);
  Child<QCheckBox>("chkData")->setChecked(false);
  EXPECT_EQ(CountInBox(*win, 0xFF0000FFu), 0);
  EXPECT_GT(CountInBox(*win, 0xFFFF0000u), 0);
  Child<QCheckBox>("chkTrend")->setChecked(false);
  EXPECT_EQ(CountInBox(*win, 0xFFFF0000u), 0);
  // They keep their state into the next showing.
  Click("btnClose");
  win->show();
  QApplication::processEvents();
  EXPECT_FALSE(Child<QCheckBox>("chkData")->isChecked());
  EXPECT_EQ(CountInBox(*win, 0xFF0000FFu), 0);
}

TEST_F(ViewGrpTest, DragZoomsToSamplesAndViewAllRestores) {
  Drag(90, 400);  // over 310 minutes: snaps to the samples at or after both ends
  EXPECT_EQ(E().grMinx, 120);
  EXPECT_EQ(E().grMaxx, 420);
  Click("btnViewAll");
  EXPECT_EQ(E().grMinx, 0);
  EXPECT_EQ(E().grMaxx, 1140);
  Drag(400, 90);  // right to left: the same
  EXPECT_EQ(E().grMinx, 120);
  EXPECT_EQ(E().grMaxx, 420);
  Click("btnViewAll");
  Drag(300, 315);  // under 20 minutes: nothing
  EXPECT_EQ(E().grMinx, 0);
  EXPECT_EQ(E().grMaxx, 1140);
  EXPECT_FALSE(win->view().zoom.is_drawing);
}

TEST_F(ViewGrpTest, DragOntoAStretchOfFewerThanTwoSamplesKeepsTheView) {
  // Ten hourly samples, a gap of 90 hours, ten more.
  DateTime base;
  MakeDateTime(2024, 3, 1, 0, 0, 0, &base);
  for (int i = 0; i < 20; ++i) {
    const int minutes = (i < 10 ? i : i + 90) * 60;
    ASSERT_TRUE(StoreGrpSample(vGrpData, i, TimeSpan2Str(base, minutes) + ":00", i / 10.0));
  }
  FinishGrpValues(vGrpData, 20, 0, "GAP");
  Click("btnClose");
  win->show();
  QApplication::processEvents();
  struct Case {
    int from, to;
    int want_min, want_max;
  };
  const Case cases[] = {
      {600, 5900, 0, 6540},     // inside the gap: one sample at most
      {600, 6000, 0, 6540},     // up to the first sample after it: still one
      {600, 6030, 6000, 6060},  // two samples: zoomed
  };
  for (const Case& c : cases) {
    Click("btnViewAll");
    Drag(c.from, c.to);
    EXPECT_EQ(E().grMinx, c.want_min) << c.from << " to " << c.to;
    EXPECT_EQ(E().grMaxx, c.want_max) << c.from << " to " << c.to;
  }
}

TEST_F(ViewGrpTest, AFixedYRangeMissingEveryReadingSaysSoInThePlot) {
  // The readings run from 0 to 1.9.
  struct Case {
    bool auto_range;
    double low, high;
    const char* note;
  };
  const Case cases[] = {
      {false, 5.0, 6.0, "No reading within the Y range 5 to 6; turn on Y-axis auto range."},
      {false, -3.25, -1.0, "No reading within the Y range -3.25 to -1; turn on Y-axis auto range."},
      {false, 1.0, 2.0, ""},
      {true, 5.0, 6.0, ""},
  };
  for (const Case& c : cases) {
    vSetup.y_low = c.low;
    vSetup.y_high = c.high;
    Child<QCheckBox>("chkYaxis")->setChecked(c.auto_range);
    Click("btnViewAll");
    EXPECT_EQ(win->view().note, c.note) << c.low << " to " << c.high;
  }
}

TEST_F(ViewGrpTest, WheelStepsSamplesAndYRange) {
  Click("btnAreaX");
  Wheel(120);  // away from the user at both ends: unchanged
  EXPECT_EQ(E().grMinx, 0);
  EXPECT_EQ(E().grMaxx, 1140);
  Drag(130, 430);  // 6 visible samples: 180 to 480
  ASSERT_EQ(E().grMinx, 180);
  ASSERT_EQ(E().grMaxx, 480);
  Wheel(-120);  // toward the user: one sample off each end
  EXPECT_EQ(E().grMinx, 240);
  EXPECT_EQ(E().grMaxx, 420);
  Wheel(-120);  // 4 visible: no further
  EXPECT_EQ(E().grMinx, 240);
  EXPECT_EQ(E().grMaxx, 420);

  // Y only, fixed range 0 to 3 from the settings dialog.
  Child<QCheckBox>("chkYaxis")->setChecked(false);
  OnNextModal<gSetup>([](gSetup* d) {
    d->findChild<QLineEdit*>("edHi")->setText("3");
    d->findChild<QLineEdit*>("edLo")->setText("0");
    OnNextModal<QColorDialog>([](QColorDialog* cd) {
      cd->setCurrentColor(QColor(Qt::darkGreen));
      cd->accept();
    });
    d->findChild<QPushButton*>("btnCd")->click();
    d->findChild<QPushButton*>("btnOk")->click();
  });
  Click("btnSetup");
  EXPECT_DOUBLE_EQ(E().grMiny, 0.0);
  EXPECT_DOUBLE_EQ(E().grMaxy, 3.0);
  EXPECT_EQ(win->view().cl_data, QColor(Qt::darkGreen).rgba());
  Click("btnAreaY");
  Wheel(-120);
  EXPECT_DOUBLE_EQ(E().grMiny, 1.0);
  EXPECT_DOUBLE_EQ(E().grMaxy, 2.0);
  Wheel(-120);
  EXPECT_DOUBLE_EQ(E().grMiny, 1.0);
  EXPECT_DOUBLE_EQ(E().grMaxy, 2.0);
  EXPECT_EQ(E().grMinx, 240);  // X untouched with Y only

  // Closing hands the colours to the settings.
  Click("btnClose");
  EXPECT_FALSE(win->isVisible());
  EXPECT_EQ(static_cast<uint32_t>(vSetup.data_color), QColor(Qt::darkGreen).rgba());
  EXPECT_DOUBLE_EQ(vSetup.y_high, 3.0);
}

TEST_F(ViewGrpTest, EachShowingCoversTheMainWindowWithTheWholeSeries) {
  Drag(90, 400);
  ASSERT_EQ(E().grMinx, 120);
  Click("btnClose");
  vSetup.left = 40;
  vSetup.top = 30;
  vSetup.width = 1200;
  vSetup.height = 700;
  win->show();
  QApplication::processEvents();
  EXPECT_EQ(win->pos(), QPoint(40, 30));
  EXPECT_EQ(win->size(), QSize(1200, 700));
  EXPECT_EQ(E().grMinx, 0);
  EXPECT_EQ(E().grMaxx, 1140);
  EXPECT_GE(E().gBaseW, panel->width());
  Click("btnClose");
  // A smaller saved window is raised to the smallest graph window.
  vSetup.width = 800;
  vSetup.height = 500;
  win->show();
  QApplication::processEvents();
  EXPECT_EQ(win->size(), QSize(1000, 600));
}

TEST_F(ViewGrpTest, PointerReadOutAndCursorLines) {
  const int y = (E().gY1 + E().gY2) / 2;
  const QPoint at(E().gGetScrX(185), y);  // 5 minutes after the sample at 03:00
  Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
  const QString dec = QLocale().decimalPoint();
  EXPECT_EQ(Child<QLabel>("lbValue")->text(), "01/03/2024 03:00 , 0" + dec + "3000");
  EXPECT_EQ(panel->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(E().sX1, at.x());
  EXPECT_EQ(E().sY1, y);
  Mouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(Child<QLabel>("lbValue")->text(), "");
  EXPECT_EQ(panel->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(E().sX1, -1);
}

TEST_F(ViewGrpTest, SaveWritesTheBitmapOrReportsFailure) {
  const QString path = home.path() + "/DATA/ANALYSIS/graph.bmp";
  QString seen_dir, seen_suffix;
  QStringList seen_filters;
  win->exec_save_dialog = [&](QFileDialog* d) {
    seen_dir = d->directory().absolutePath();
    seen_suffix = d->defaultSuffix();
    seen_filters = d->nameFilters();
    d->selectFile(path);
    return true;
  };
  Click("btnSave");
  EXPECT_EQ(QDir(seen_dir), QDir(home.path() + "/DATA/ANALYSIS"));
  EXPECT_EQ(seen_suffix, "bmp");
  EXPECT_EQ(seen_filters, QStringList({"Bitmap(*.bmp)", "PNG image(*.png)", "PDF document(*.pdf)",
                                       "SVG drawing(*.svg)"}));
  QImage saved(path, "BMP");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.size(), QSize(E().gBaseW, E().gBaseH));
  // The plot box outline is black at its top-left corner.
  EXPECT_EQ(saved.pixelColor(E().gX1, E().gY1 + 20).rgb(), qRgb(0, 0, 0));

  const QString bad = home.path() + "/missing/graph.bmp";
  win->exec_save_dialog = [&](QFileDialog* d) {
    d->selectFile(bad);
    return true;
  };
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok);
  Click("btnSave");
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_FALSE(QFile::exists(bad));
}

// The file holds the format its name says: an offered extension wins over the chosen type, and
// a name without one gets the chosen type and its extension.
TEST_F(ViewGrpTest, SaveWritesTheFormatTheNameOrTypeNames) {
  const struct {
    const char* typed;
    const char* filter;
    const char* written;
    QByteArray magic;
  } cases[] = {
      {"a.png", "Bitmap(*.bmp)", "a.png", "\x89PNG"},
      {"b", "PNG image(*.png)", "b.png", "\x89PNG"},
      {"c", "PDF document(*.pdf)", "c.pdf", "%PDF"},
      {"d", "SVG drawing(*.svg)", "d.svg", "<?xml"},
      {"e.PDF", "SVG drawing(*.svg)", "e.PDF", "%PDF"},
      {"f.dat", "Bitmap(*.bmp)", "f.dat.bmp", "BM"},
  };
  const QString dir = home.path() + "/DATA/ANALYSIS/";
  for (const auto& c : cases) {
    win->exec_save_dialog = [&](QFileDialog* d) {
      d->selectNameFilter(c.filter);
      d->selectFile(dir + c.typed);
      return true;
    };
    Click("btnSave");
    QFile f(dir + c.written);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.typed;
    EXPECT_TRUE(f.readAll().startsWith(c.magic)) << c.typed;
  }
  QImage bmp, png;
  const auto save_as = [&](const char* name) {
    win->exec_save_dialog = [&](QFileDialog* d) {
      d->selectFile(dir + name);
      return true;
    };
    Click("btnSave");
  };
  save_as("same.bmp");
  save_as("same.png");
  ASSERT_TRUE(bmp.load(dir + "same.bmp") && png.load(dir + "same.png"));
  EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), png.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ViewGrpTest, PrintPutsTheScaledGraphAtTheMargin) {
  const QString pdf = home.path() + "/graph.pdf";
  win->exec_print_dialog = [&](QPrintDialog* d) {
    d->printer()->setOutputFormat(QPrinter::PdfFormat);
    d->printer()->setOutputFileName(pdf);
    return true;
  };
  Click("btnPrint");
  ASSERT_TRUE(QFile::exists(pdf));
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  if (pdftoppm.isEmpty()) GTEST_SKIP() << "pdftoppm not installed";
  // 50 dots per inch: the picture starts at the one-inch margin and is 7 inches wide.
  QProcess::execute(pdftoppm, {"-r", "50", "-png", "-singlefile", pdf, home.path() + "/page"});
  QImage page(home.path() + "/page.png");
  ASSERT_FALSE(page.isNull());
  int left = page.width(), right = -1, top = page.height();
  for (int y = 0; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) {
      if (qGray(page.pixel(x, y)) < 128) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
      }
    }
  }
  ASSERT_GE(right, 0) << "blank page";
  // Dark pixels lie inside the picture, which spans 50 to 400 across.
  EXPECT_GE(left, 50);
  EXPECT_LE(right, 401);
  EXPECT_GE(top, 50);
  // The plot box reaches near the picture's right end (80 of 1000+ pixels are margin).
  EXPECT_GT(right, 330);
}

}  // namespace
}  // namespace tarn
