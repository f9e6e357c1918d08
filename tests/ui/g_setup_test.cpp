// SPDX-License-Identifier: GPL-3.0-or-later
// Graph settings dialog: range checks on OK, the shown values, the width lists and the colour
// chooser, driven through the real controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string_view>

#include "graph/ui/g_setup.h"
#include "graph/ui/up_down_list.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::OnNextModal;

class GSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vSetup.y_low = 0.0;
    vSetup.y_high = 10.0;
    vSetup.data_line = 2.0f;
    vSetup.trend_line = 1.0f;
  }

  template <typename T>
  T* Find(const char* name) {
    T* w = dlg.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  // One opening as the graph window does it; `edit` runs while the dialog is up.
  int Open(uint32_t cl_data, uint32_t cl_trend, std::function<void()> edit, const char* button) {
    dlg.Init(cl_data, cl_trend);
    OnNextModal<gSetup>([this, edit, button](gSetup*) {
      edit();
      Find<QPushButton>(button)->click();
    });
    return dlg.exec();
  }

  QString Decimal(const char* text) {
    return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
  }

  gSetup dlg;
};

TEST_F(GSetupTest, OkStoresACheckedRange) {
  struct Case {
    const char* hi;
    const char* lo;
    double want_lo;
    double want_hi;
  };
  const Case cases[] = {
      {"5", "10", 5.0, 10.0},    // reversed: swapped
      {"3.2", "3.0", 3.0, 4.0},  // narrower than 1.0: widened upward
      {"-4.5", "-7", -7.0, -4.5},
      {" 2 ", "0", 0.0, 2.0},  // blanks around a number
  };
  for (const Case& c : cases) {
    const int result = Open(
        0xFF0000FFu, 0xFFFF0000u,
        [&] {
          Find<QLineEdit>("edHi")->setText(Decimal(c.hi));
          Find<QLineEdit>("edLo")->setText(Decimal(c.lo));
        },
        "btnOk");
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_DOUBLE_EQ(vSetup.y_low, c.want_lo) << c.hi << " / " << c.lo;
    EXPECT_DOUBLE_EQ(vSetup.y_high, c.want_hi) << c.hi << " / " << c.lo;
  }
}

TEST_F(GSetupTest, OkRefusesARangeFieldThatIsNoNumberAndStaysOpen) {
  struct Case {
    const char* hi;
    const char* lo;
    const char* field;  // named in the message and given the focus
  };
  const Case cases[] = {
      {"abc", "2", "edHi"},
      {"5", "", "edLo"},
      {"nan", "inf", "edHi"},
      {"1e999", "0", "edHi"},
  };
  for (const Case& c : cases) {
    testing::SeenBox box;
    bool still_open = false;
    QWidget* focus = nullptr;
    const int result = Open(
        0, 0,
        [&] {
          Find<QLineEdit>("edHi")->setText(c.hi);
          Find<QLineEdit>("edLo")->setText(c.lo);
          testing::AnswerNextMessageBox(&box, QMessageBox::Ok);
          Find<QPushButton>("btnOk")->click();
          still_open = dlg.isVisible();
          focus = dlg.focusWidget();
        },
        "btnCancel");
    const QString name = std::string_view(c.field) == "edHi" ? "Y-axis High" : "Y-axis Low";
    EXPECT_EQ(box.text, name + ": enter a number such as " + Decimal("10.0") + ".") << c.hi;
    EXPECT_TRUE(still_open) << c.hi;
    EXPECT_EQ(focus, Find<QLineEdit>(c.field)) << c.hi;
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_DOUBLE_EQ(vSetup.y_high, 10.0) << c.hi;
    EXPECT_DOUBLE_EQ(vSetup.y_low, 0.0) << c.hi;
  }
}

TEST_F(GSetupTest, ShowsRoundedRangeAndWidthItems) {
  vSetup.y_high = 2.25;
  vSetup.y_low = -0.04;
  vSetup.data_line = 1.5f;  // no such item: shows "5"
  vSetup.trend_line = 2.0f;
  QString hi, lo, data, trend;
  Open(
      0xFF000000u, 0xFF000000u,
      [&] {
        hi = Find<QLineEdit>("edHi")->text();
        lo = Find<QLineEdit>("edLo")->text();
        data = Find<UpDownList>("udData")->text();
        trend = Find<UpDownList>("udTrend")->text();
      },
      "btnOk");
  EXPECT_EQ(hi, Decimal("2.3"));
  EXPECT_EQ(lo, Decimal("0.0"));
  EXPECT_EQ(data, "5");
  EXPECT_EQ(trend, "2");
  // OK stores what was shown, range widened to 1.0.
  EXPECT_DOUBLE_EQ(vSetup.y_high, 2.3);
  EXPECT_DOUBLE_EQ(vSetup.y_low, 0.0);
  EXPECT_FLOAT_EQ(vSetup.data_line, 5.0f);
  EXPECT_FLOAT_EQ(vSetup.trend_line, 2.0f);
}

TEST_F(GSetupTest, ShowsAndReadsTheUserNumberFormat) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  vSetup.y_high = 2.25;
  QString hi;
  Open(
      0, 0,
      [&] {
        hi = Find<QLineEdit>("edHi")->text();
        Find<QLineEdit>("edLo")->setText("-1,5");
      },
      "btnOk");
  EXPECT_EQ(hi, "2,3");
  EXPECT_DOUBLE_EQ(vSetup.y_low, -1.5);
  EXPECT_DOUBLE_EQ(vSetup.y_high, 2.3);
  // A full stop is still understood.
  Open(
      0, 0, [&] { Find<QLineEdit>("edLo")->setText("0.5"); }, "btnOk");
  QLocale::setDefault(QLocale::system());
  EXPECT_DOUBLE_EQ(vSetup.y_low, 0.5);
}

TEST_F(GSetupTest, WidthListsStepAndCannotBeTyped) {
  Open(
      0, 0,
      [&] {
        UpDownList* ud = Find<UpDownList>("udData");
        EXPECT_EQ(ud->Items(), QStringList({"5", "4", "3", "2", "1"}));
        EXPECT_EQ(ud->text(), "2");
        ud->stepBy(1);  // up arrow: wider
        EXPECT_EQ(ud->text(), "3");
        ud->stepBy(10);  // stops at the first item
        EXPECT_EQ(ud->text(), "5");
        UpDownList* ut = Find<UpDownList>("udTrend");
        EXPECT_EQ(ut->text(), "1");
        ut->stepBy(-1);  // already the narrowest
        EXPECT_EQ(ut->text(), "1");
        ut->stepBy(2);
        EXPECT_EQ(ut->text(), "3");
        QLineEdit* edit = ut->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
      },
      "btnOk");
  EXPECT_FLOAT_EQ(vSetup.data_line, 5.0f);
  EXPECT_FLOAT_EQ(vSetup.trend_line, 3.0f);
  EXPECT_EQ(dlg.GetWidthIndex(1.0), 4);
  EXPECT_EQ(dlg.GetWidthIndex(7.0), 0);
}

TEST_F(GSetupTest, CancelStoresNothingAndNextOpeningStartsFromTheGraph) {
  const uint32_t graph_data = 0xFF00FF00u;
  const uint32_t graph_trend = 0xFF0000FFu;
  dlg.c_data = graph_data;
  dlg.c_trend = graph_trend;
  const int result = Open(
      graph_data, graph_trend,
      [&] {
        OnNextModal<QColorDialog>([](QColorDialog* cd) {
          cd->setCurrentColor(QColor(Qt::red));
          cd->accept();
        });
        Find<QPushButton>("btnCd")->click();
        EXPECT_EQ(dlg.c_tempd, QColor(Qt::red).rgba());
        EXPECT_TRUE(Find<QPushButton>("btnCd")->styleSheet().contains("#ffff0000"));
        Find<QLineEdit>("edHi")->setText("99");
      },
      "btnCancel");
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_DOUBLE_EQ(vSetup.y_high, 10.0);
  EXPECT_EQ(dlg.c_data, graph_data);

  // The next opening shows the graph's colour and the stored range again.
  QString hi, cd_style;
  Open(
      graph_data, graph_trend,
      [&] {
        hi = Find<QLineEdit>("edHi")->text();
        cd_style = Find<QPushButton>("btnCd")->styleSheet();
      },
      "btnCancel");
  EXPECT_EQ(hi, Decimal("10.0"));
  EXPECT_TRUE(cd_style.contains("#ff00ff00")) << cd_style.toStdString();
}

TEST_F(GSetupTest, ColourChooserOkAndCancel) {
  Open(
      0xFF00FF00u, 0xFF0000FFu,
      [&] {
        // Cancelling the chooser keeps the colour.
        OnNextModal<QColorDialog>([](QColorDialog* cd) {
          cd->setCurrentColor(QColor(Qt::yellow));
          cd->reject();
        });
        Find<QPushButton>("btnCt")->click();
        EXPECT_EQ(dlg.c_tempt, 0xFF0000FFu);
        OnNextModal<QColorDialog>([](QColorDialog* cd) {
          EXPECT_EQ(cd->currentColor().rgba(), 0xFF0000FFu);  // preset to the current colour
          cd->setCurrentColor(QColor(Qt::magenta));
          cd->accept();
        });
        Find<QPushButton>("btnCt")->click();
      },
      "btnOk");
  EXPECT_EQ(dlg.c_trend, QColor(Qt::magenta).rgba());
  EXPECT_EQ(dlg.c_data, 0xFF00FF00u);
}

}  // namespace
}  // namespace tarn
