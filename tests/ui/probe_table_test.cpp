// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's table model behind a sorting, filtering proxy, and the limits dialog's checks.
#include <gtest/gtest.h>

#include <QBrush>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>

#include "history/ui/limits_dialog.h"
#include "history/ui/probe_table_model.h"

namespace tarn {
namespace {

using Col = ProbeTableModel::Column;

ProbeSummary Probe(const char* tag, const char* serial, int64_t count, std::optional<double> rate,
                   ProbeState state, const char* reason = "") {
  ProbeSummary p;
  p.key = {tag, serial, 0};
  p.count = count;
  p.rate = rate;
  p.rate_unit = "mpy";
  p.state = state;
  p.state_reason = reason;
  p.first_time = 63'800'000'000 + count;
  p.last_time = p.first_time + 10;
  return p;
}

QStringList Column(const QSortFilterProxyModel& m, int column) {
  QStringList out;
  for (int r = 0; r < m.rowCount(); ++r) out << m.index(r, column).data().toString();
  return out;
}

TEST(ProbeTable, SortsByValueFiltersByTagOrSerialAndShowsStatus) {
  ProbeTableModel model;
  model.SetProbes(
      {Probe("B-2", "S9", 100, 12.3, ProbeState::kAlarm, "rate 12.3 mpy above alarm 10"),
       Probe("A-1", "X7", 9, std::nullopt, ProbeState::kOk),
       Probe("C-3", "S1", 20, 6.0, ProbeState::kWarning, "rate 6 mpy above warning 5")});
  QSortFilterProxyModel proxy;
  proxy.setSourceModel(&model);
  proxy.setSortRole(ProbeTableModel::kSortRole);
  proxy.setFilterRole(ProbeTableModel::kFilterRole);
  proxy.setFilterKeyColumn(0);
  proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);

  // Numbers sort as numbers (9 < 20 < 100), a missing rate below every rate, status by severity.
  const struct {
    int column;
    QStringList tags;
  } sorts[] = {{Col::kTag, {"A-1", "B-2", "C-3"}},      {Col::kSerial, {"C-3", "B-2", "A-1"}},
               {Col::kReadings, {"A-1", "C-3", "B-2"}}, {Col::kFirst, {"A-1", "C-3", "B-2"}},
               {Col::kRate, {"A-1", "C-3", "B-2"}},     {Col::kStatus, {"A-1", "C-3", "B-2"}}};
  for (const auto& s : sorts) {
    proxy.sort(s.column, Qt::AscendingOrder);
    EXPECT_EQ(Column(proxy, Col::kTag), s.tags) << "column " << s.column;
  }

  const struct {
    const char* filter;
    QStringList tags;
  } filters[] = {{"b-", {"B-2"}}, {"s", {"C-3", "B-2"}}, {"x7", {"A-1"}}, {"zz", {}}};
  proxy.sort(Col::kSerial, Qt::AscendingOrder);
  for (const auto& f : filters) {
    proxy.setFilterFixedString(QString::fromLatin1(f.filter));
    EXPECT_EQ(Column(proxy, Col::kTag), f.tags) << f.filter;
  }
  proxy.setFilterFixedString({});

  // Status: the word, a colour per state, and the reason as tooltip.
  proxy.sort(Col::kStatus, Qt::AscendingOrder);
  const struct {
    const char* text;
    const char* tip;
  } states[] = {{"OK", ""},
                {"Warning", "rate 6 mpy above warning 5"},
                {"Alarm", "rate 12.3 mpy above alarm 10"}};
  QSet<QRgb> colours;
  for (int r = 0; r < 3; ++r) {
    const QModelIndex cell = proxy.index(r, Col::kStatus);
    EXPECT_EQ(cell.data().toString(), states[r].text);
    EXPECT_EQ(cell.data(Qt::ToolTipRole).toString(), states[r].tip);
    colours.insert(cell.data(Qt::BackgroundRole).value<QBrush>().color().rgb());
  }
  EXPECT_EQ(colours.size(), 3);
  EXPECT_EQ(proxy.index(2, Col::kRate).data().toString(), "12.3000 mpy");
  EXPECT_EQ(proxy.index(0, Col::kRate).data().toString(), "");
}

TEST(ProbeTable, NamesTheRateWindowSortsTagsNaturallyAndSaysWhatHasNoFigure) {
  ProbeTableModel model;
  for (const auto& [days, title] :
       {std::pair{30, "Rate (trend, 30 d)"}, {7, "Rate (trend, 7 d)"}, {0, "Rate (trend, all)"}}) {
    model.SetProbes({}, days);
    EXPECT_EQ(model.headerData(Col::kRate, Qt::Horizontal, Qt::DisplayRole).toString(), title);
  }

  // Element End and Status for what a probe's figures leave: life used up, a rate that never
  // ends the element, and quantities no limit applies to.
  const struct {
    const char* tag;
    int data_type;
    std::optional<double> rate, consumed;
    bool has_end;
    const char* end;
    const char* end_tip;  // a fragment; "" for none
    const char* status;
  } cases[] = {
      {"P0-10", 0, 2.0, 0.5, true, "", "", "OK"},
      {"P0-2", 0, 3.0, 1.2, false, "used up", "reached the probe life", "OK"},
      {"P0-9", 0, -0.4, 0.3, false, "\u2013", "zero or negative", "OK"},
      {"p0-1", 0, 0.0, 0.3, false, "\u2013", "zero or negative", "OK"},
      {"P10", 2, std::nullopt, std::nullopt, false, "", "", "\u2013"},
      {"P9", 3, std::nullopt, std::nullopt, false, "", "", "\u2013"},
  };
  std::vector<ProbeSummary> probes;
  for (const auto& c : cases) {
    ProbeSummary p = Probe(c.tag, "", 5, c.rate, ProbeState::kOk);
    p.key.data_type = c.data_type;
    p.consumed = c.consumed;
    if (c.has_end) p.end_time = p.last_time + 86400;
    probes.push_back(p);
  }
  model.SetProbes(probes, 30);
  for (int r = 0; r < model.rowCount(); ++r) {
    const auto& c = cases[r];
    SCOPED_TRACE(c.tag);
    const QString end = model.index(r, Col::kEnd).data().toString();
    if (c.has_end) {
      EXPECT_EQ(end.size(), 10);  // a date
    } else {
      EXPECT_EQ(end, QString::fromUtf8(c.end));
    }
    EXPECT_TRUE(model.index(r, Col::kEnd).data(Qt::ToolTipRole).toString().contains(c.end_tip));
    EXPECT_EQ(model.index(r, Col::kStatus).data().toString(), QString::fromUtf8(c.status));
    // No colour claims a state that no limit supports.
    EXPECT_EQ(model.index(r, Col::kStatus).data(Qt::BackgroundRole).isValid(), c.data_type == 0);
    EXPECT_FALSE(model.index(r, Col::kDataType).data(Qt::ToolTipRole).toString().isEmpty());
  }

  QSortFilterProxyModel proxy;
  proxy.setSourceModel(&model);
  proxy.setSortRole(ProbeTableModel::kSortRole);
  proxy.sort(Col::kTag, Qt::AscendingOrder);
  EXPECT_EQ(Column(proxy, Col::kTag), (QStringList{"p0-1", "P0-2", "P0-9", "P0-10", "P9", "P10"}));
  EXPECT_EQ(ProbeTableModel::NaturalKey("A007"), ProbeTableModel::NaturalKey("a7"));
}

TEST(LimitsDialog, AcceptsNumbersWithWarningsBelowAlarms) {
  const struct {
    QString texts[4];
    const char* error;  // empty: accepted
  } cases[] = {
      {{"5", "10", "50", "80"}, ""},
      {{"0.13", "0.25", "0", "100"}, ""},
      {{"five", "10", "50", "80"}, "Rate warning must be a number."},
      {{"5", "", "50", "80"}, "Rate alarm must be a number."},
      {{"5", "10", "50", "8O"}, "Consumed alarm must be a number."},
      {{"-1", "10", "50", "80"}, "Rate warning cannot be negative."},
      {{"10", "10", "50", "80"}, "Rate warning must be below rate alarm."},
      {{"5", "10", "90", "80"}, "Consumed warning must be below consumed alarm."},
  };
  for (const auto& c : cases) {
    HistoryLimits limits;
    QString error;
    const bool ok = ParseLimits(c.texts, &limits, &error);
    EXPECT_EQ(ok, *c.error == 0) << c.texts[0].toStdString();
    EXPECT_EQ(error, QString::fromLatin1(c.error));
  }
  HistoryLimits limits;
  QString error;
  const QString texts[4] = {"5", "10", "50", "80"};
  ASSERT_TRUE(ParseLimits(texts, &limits, &error));
  EXPECT_DOUBLE_EQ(limits.consumed_warn, 0.5);
  EXPECT_DOUBLE_EQ(limits.consumed_alarm, 0.8);

  // The dialog stays open on a bad entry and says why; a good one closes it.
  LimitsDialog dialog;
  dialog.Init(HistoryLimits{}, HistoryLimits{}, {"T1 S1"});
  EXPECT_TRUE(dialog.rbSelected->isChecked());
  dialog.show();
  dialog.edRateWarn->setText("20");
  dialog.buttons->button(QDialogButtonBox::Ok)->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.lbError->text(), "Rate warning must be below rate alarm.");
  dialog.edRateAlarm->setText("30");
  dialog.buttons->button(QDialogButtonBox::Ok)->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(dialog.limits().rate_alarm, 30.0);
  EXPECT_FALSE(dialog.ForDefaults());
}

}  // namespace
}  // namespace tarn
