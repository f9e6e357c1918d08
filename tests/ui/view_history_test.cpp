// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph window in the graph windows' frame: its buttons and keys, printing, and the
// graph settings dialog's colours, line widths and fixed Y range applied to the history.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "common/date_time.h"
#include "graph/ui/g_setup.h"
#include "history/ui/view_history.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::OnNextModal;

constexpr uint32_t kData = 0xFF0000FFu;
constexpr uint32_t kTrend = 0xFFFF0000u;

// Hourly readings of each probe over ten days, rising from `start`.
struct Readings {
  std::vector<ProbeSummary> probes;
  HistoryReader Reader() const {
    const std::vector<ProbeSummary> shown = probes;
    return [shown](int64_t id, HistoryTime from, HistoryTime to, int32_t) {
      std::vector<HistoryReading> out;
      for (const ProbeSummary& p : shown) {
        if (p.id != id) continue;
        for (HistoryTime t = p.first_time; t <= p.last_time; t += 3600)
          if (t >= from && t <= to)
            out.push_back({t, static_cast<double>(id) + (t - p.first_time) / 86400.0});
      }
      return out;
    };
  }
  void Add(int64_t id, const char* tag) {
    DateTime t;
    MakeDateTime(2024, 1, 1, 0, 0, 0, &t);
    ProbeSummary p;
    p.id = id;
    p.key = {tag, "", 0};
    p.rate_unit = "mpy";
    p.first_time = t.ticks / kTicksPerSecond;
    p.last_time = p.first_time + 10 * 86400;
    p.count = 241;
    probes.push_back(p);
  }
};

class ViewHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(home.path()).mkpath("DATA/ANALYSIS");
    DataPath = (home.path() + "/DATA/").toStdString();
    vSetup.width = vSetup.height = 0;
    vSetup.y_low = 0.0;
    vSetup.y_high = 20.0;
    vSetup.data_color = static_cast<int32_t>(kData);
    vSetup.trend_color = static_cast<int32_t>(kTrend);
    vSetup.data_line = 1.0f;
    vSetup.trend_line = 1.0f;
    win = std::make_unique<ViewHistory>();
  }
  void TearDown() override {
    win.reset();
    DataPath.clear();
  }
  void Open(const Readings& r) {
    win->Open(r.Reader(), r.probes, -1);
    QApplication::processEvents();
    ASSERT_TRUE(win->isVisible());
  }
  template <typename T>
  T* Child(const char* name) {
    T* w = win->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Child<QPushButton>(name)->click(); }
  PlotEngine& E() { return win->view().engine; }
  int CountInBox(uint32_t argb) {
    int n = 0;
    for (int y = E().gY1 + 1; y < E().gY2; ++y)
      for (int x = E().gX1 + 1; x < E().gX2; ++x) n += win->view().surface()->Pixel(x, y) == argb;
    return n;
  }
  // Sets the fixed range and, when given, the data colour in the settings dialog, then OK.
  void Setup(const char* lo, const char* hi, const QColor* data) {
    OnNextModal<gSetup>([lo, hi, data](gSetup* d) {
      d->findChild<QLineEdit*>("edLo")->setText(lo);
      d->findChild<QLineEdit*>("edHi")->setText(hi);
      if (data != nullptr) {
        const QColor chosen = *data;
        OnNextModal<QColorDialog>([chosen](QColorDialog* cd) {
          cd->setCurrentColor(chosen);
          cd->accept();
        });
        d->findChild<QPushButton*>("btnCd")->click();
      }
      d->findChild<QPushButton*>("btnOk")->click();
    });
    Click("btnSetup");
  }

  testing::TempHome home;
  std::unique_ptr<ViewHistory> win;
};

TEST_F(ViewHistoryTest, HasTheGraphWindowsButtonsAndKeys) {
  Readings r;
  r.Add(1, "T-1");
  Open(r);
  EXPECT_EQ(win->windowTitle(), "Probe History");
  for (auto [name, text] : {std::pair{"btnSave", "Save"},
                            {"btnPrint", "Print"},
                            {"btnSetup", "Setup"},
                            {"btnClose", "Close"},
                            {"btnViewAll", "View All"}})
    EXPECT_EQ(testing::Caption(Child<QPushButton>(name)), text) << name;
  EXPECT_EQ(Child<QWidget>("panel1")->width(), 156);
  EXPECT_TRUE(Child<QPushButton>("btnAreaXY")->styleSheet().contains("blue"));
  Click("btnAreaX");
  EXPECT_EQ(win->view().zoom.gDragOpt, 1);

  // Ctrl+S and Ctrl+P press Save and Print, once each.
  for (const char* name : {"btnSave", "btnPrint"})
    QObject::disconnect(Child<QPushButton>(name), &QPushButton::clicked, nullptr, nullptr);
  QSignalSpy saved(Child<QPushButton>("btnSave"), &QPushButton::clicked);
  QSignalSpy printed(Child<QPushButton>("btnPrint"), &QPushButton::clicked);
  QApplication::setActiveWindow(win.get());
  QTest::keyClick(win.get(), Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(win.get(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(saved.count(), 1);
  EXPECT_EQ(printed.count(), 1);
}

TEST_F(ViewHistoryTest, ShownBeforeAnyProbeDrawsAnEmptyGraph) {
  win->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
  win->resize(1100, 650);
  QApplication::processEvents();
  Click("btnViewAll");
  QApplication::processEvents();
  win->close();
}

TEST_F(ViewHistoryTest, PrintsTheBitmapAndSavesOnlyABitmap) {
  Readings r;
  r.Add(1, "T-1");
  Open(r);
  const QString pdf = home.path() + "/history.pdf";
  win->exec_print_dialog = [&](QPrintDialog* d) {
    d->printer()->setOutputFormat(QPrinter::PdfFormat);
    d->printer()->setOutputFileName(pdf);
    return true;
  };
  Click("btnPrint");
  QFile printed(pdf);
  ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
  EXPECT_TRUE(printed.readAll().startsWith("%PDF"));

  QStringList filters;
  win->exec_save_dialog = [&](QFileDialog* d) {
    filters = d->nameFilters();
    d->selectFile(home.path() + "/missing/graph.bmp");
    return true;
  };
  testing::SeenBox box;
  testing::AnswerNextMessageBox(&box, QMessageBox::Ok);
  Click("btnSave");
  EXPECT_EQ(filters, QStringList({"Bitmap(*.bmp)"}));
  EXPECT_TRUE(box.seen);
  // The history's own message, without a reason after it.
  EXPECT_TRUE(box.text.startsWith("The graph could not be saved to /")) << box.text.toStdString();
  EXPECT_TRUE(box.text.endsWith("/missing/graph.bmp.")) << box.text.toStdString();
}

TEST_F(ViewHistoryTest, SetupColoursWidthsAndFixedRangeApplyToTheHistory) {
  Readings r;
  r.Add(1, "T-1");
  Open(r);
  ASSERT_GT(CountInBox(kData), 0);
  Child<QCheckBox>("chkYaxis")->setChecked(false);
  const QColor green(Qt::darkGreen);
  vSetup.data_line = 1.0f;
  Setup("0", "30", &green);
  EXPECT_DOUBLE_EQ(E().grMiny, 0.0);
  EXPECT_DOUBLE_EQ(E().grMaxy, 30.0);
  EXPECT_EQ(win->view().data_color(), green.rgba());
  EXPECT_EQ(win->view().series()[0].color, green.rgba());
  EXPECT_EQ(CountInBox(kData), 0);
  EXPECT_GT(CountInBox(green.rgba()), 0);
  EXPECT_GT(CountInBox(kTrend), 0) << "the trend keeps its colour";
  // A zoom, then View All: back to the confirmed range, not the one the window opened with.
  Click("btnAreaY");
  win->view().OnMouseWheel(120, -1, -1);
  ASSERT_LT(E().grMaxy, 30.0);
  Click("btnViewAll");
  EXPECT_DOUBLE_EQ(E().grMaxy, 30.0);
  // Closing hands the colours to the settings, for both graph windows.
  Click("btnClose");
  EXPECT_EQ(static_cast<uint32_t>(vSetup.data_color), green.rgba());
  EXPECT_EQ(static_cast<uint32_t>(vSetup.trend_color), kTrend);
  EXPECT_DOUBLE_EQ(vSetup.y_high, 30.0);

  // Cancelled, nothing changes.
  Open(r);
  OnNextModal<gSetup>([](gSetup* d) { d->reject(); });
  Click("btnSetup");
  EXPECT_EQ(win->view().series()[0].color, green.rgba());
}

TEST_F(ViewHistoryTest, AnOverlayKeepsItsOwnColoursAfterSetup) {
  Readings r;
  r.Add(1, "A");
  r.Add(2, "B");
  Open(r);
  const uint32_t a = win->view().series()[0].color, b = win->view().series()[1].color;
  ASSERT_NE(a, b);
  const QColor green(Qt::darkGreen);
  Setup("0", "20", &green);
  EXPECT_EQ(win->view().series()[0].color, a);
  EXPECT_EQ(win->view().series()[1].color, b);
  EXPECT_EQ(win->view().data_color(), green.rgba());
}

}  // namespace
}  // namespace tarn
