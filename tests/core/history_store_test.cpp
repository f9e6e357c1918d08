// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the probe history through its interface, on every back end.
#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <utility>

#include "core/history_fixture.h"
#include "core/instrument_text.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;
using testing::MetalSamplesTag;
using testing::NembraTag;

constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;

std::vector<double> Values(const std::vector<HistoryReading>& r) {
  std::vector<double> v;
  for (const HistoryReading& x : r) v.push_back(x.value);
  return v;
}

TEST_P(HistoryTest, ImportsEveryTagOfBothFormatsWithTheAnalysisValues) {
  const int64_t t0 = At(2025, 2, 3, 8);
  // Two readings within one minute are one reading, in the history as in the graph.
  const double ratios[] = {1.25, 1.25, 1.0};
  const double rates[] = {3.15, 3.21};
  ImportResult r =
      ImportText("NEMBRA LOGGER\n" +
                 NembraTag("A-1", "S1", true, t0, 3, 30, [&](int i) { return ratios[i]; }) +
                 NembraTag("B-2", "S2", false, t0, 2, kHour, [&](int i) { return rates[i]; }));
  ASSERT_TRUE(r.status.ok) << r.status.message;
  EXPECT_EQ(r.tags, 2);
  EXPECT_EQ(r.added, 4);
  EXPECT_EQ(r.duplicates, 1);
  r = ImportText(
      MetalSamplesTag("WELL 3", true, t0, 2, kHour, [](int i) { return 0.5 + i * 0.25; }) +
          MetalSamplesTag("LPR 1", false, t0, 1, kHour, [](int) { return 2.5; }),
      "ms.csv");
  ASSERT_TRUE(r.status.ok) << r.status.message;
  EXPECT_EQ(r.tags, 2);
  EXPECT_EQ(r.added, 3);

  const std::vector<ProbeSummary> probes = store_->ListProbes(0);
  ASSERT_EQ(probes.size(), 4u);
  struct Expected {
    std::string tag, serial;
    int32_t type;
    int64_t count;
    std::vector<double> values;
    double probe_life;
  };
  const Expected expected[] = {
      {"A-1", "S1", 0, 2, {2.0, 0.0}, 5.0},
      {"B-2", "S2", 1, 2, {3.15, 3.21}, 0.0},
      {"WELL 3", "", 4, 2, {0.5, 0.75}, 5.0},
      {"LPR 1", "", 5, 1, {2.5}, 0.0},
  };
  for (std::size_t i = 0; i < probes.size(); ++i) {
    SCOPED_TRACE(expected[i].tag);
    const ProbeSummary& p = probes[i];
    EXPECT_EQ(p.key.tag, expected[i].tag);
    EXPECT_EQ(p.key.serial, expected[i].serial);
    EXPECT_EQ(p.key.data_type, expected[i].type);
    EXPECT_EQ(p.count, expected[i].count);
    EXPECT_EQ(p.first_time, t0);
    EXPECT_EQ(p.header.probe_life, expected[i].probe_life);
    const auto readings = store_->ReadRange(p.id, INT64_MIN, INT64_MAX);
    EXPECT_EQ(Values(readings), expected[i].values);
    EXPECT_EQ(p.latest_value, expected[i].values.back());
  }
  EXPECT_EQ(probes[0].header.part_no, "P-1");
  EXPECT_EQ(probes[0].header.mloss_unit, "MILS");
  EXPECT_EQ(probes[0].last_time, t0 + 60);
}

TEST_P(HistoryTest, ImportsAddOnlyNewReadingsAndKeepConflictsApart) {
  const int64_t t0 = At(2025, 3, 1);
  auto file = [&](const std::string& tag, int64_t start, int count, double first) {
    return NembraTag(tag, "S1", false, start, count, kHour, [=](int i) { return first + i; });
  };
  struct Step {
    std::string text;
    int64_t added, duplicates, conflicts;
  };
  const Step steps[] = {
      {file("X", t0, 4, 1), 4, 0, 0},                // 1 2 3 4
      {file("X", t0, 4, 1), 0, 4, 0},                // the same file again
      {file("X", t0 + 2 * kHour, 4, 3), 2, 2, 0},    // overlaps: 3 4 known, 5 6 new
      {file("X", t0 + kHour, 1, 9), 0, 0, 1},        // 9 where 2 is stored
      {file("X2", t0, 4, 1), 4, 0, 0},               // the tag renamed: a probe of its own
      {file("X", t0 + kHour / 2, 1, 1.5), 1, 0, 0},  // fills a gap
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const ImportResult r = ImportText(steps[i].text, "f" + std::to_string(i) + ".nid");
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(r.tags, 1);
    EXPECT_EQ(r.added, steps[i].added);
    EXPECT_EQ(r.duplicates, steps[i].duplicates);
    EXPECT_EQ(r.conflicts, steps[i].conflicts);
    if (steps[i].conflicts > 0) {
      ASSERT_EQ(r.first_conflicts.size(), 1u);
      EXPECT_EQ(r.first_conflicts[0].tag, "X");
      EXPECT_EQ(r.first_conflicts[0].time, t0 + kHour);
      EXPECT_EQ(r.first_conflicts[0].stored, 2.0);
      EXPECT_EQ(r.first_conflicts[0].offered, 9.0);
    }
  }
  const auto probes = store_->ListProbes(0);
  ASSERT_EQ(probes.size(), 2u);
  EXPECT_EQ(Values(store_->ReadRange(probes[0].id, INT64_MIN, INT64_MAX)),
            (std::vector<double>{1, 1.5, 2, 3, 4, 5, 6}));
  EXPECT_EQ(probes[0].count, 7);
  EXPECT_EQ(probes[0].latest_value, 6.0);
  EXPECT_EQ(probes[0].last_time, t0 + 5 * kHour);
  EXPECT_EQ(probes[1].key.tag, "X2");
  EXPECT_EQ(probes[1].count, 4);
  // Readings trace to the files that brought them.
  const auto files = store_->ProbeFiles(probes[0].id);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].readings, 4);
  EXPECT_EQ(files[1].readings, 2);
  EXPECT_EQ(files[1].sha256.size(), 64u);
  EXPECT_NE(files[1].name.find("f2.nid"), std::string::npos);
  const std::pair<int64_t, const char*> sources[] = {{t0, "f0.nid"},
                                                     {t0 + kHour / 2, "f5.nid"},
                                                     {t0 + kHour, "f0.nid"},
                                                     {t0 + 3 * kHour, "f0.nid"},
                                                     {t0 + 5 * kHour, "f2.nid"},
                                                     {t0 + 6 * kHour, nullptr}};
  for (const auto& [when, name] : sources) {
    const auto source = store_->ReadingFile(probes[0].id, when);
    ASSERT_EQ(source.has_value(), name != nullptr) << when - t0;
    if (name) {
      EXPECT_NE(source->name.find(name), std::string::npos) << source->name;
    }
  }
}

// First, lowest, highest and last reading of each of `columns` equal time columns, in time order.
std::vector<HistoryReading> PlainDecimation(const std::vector<HistoryReading>& all,
                                            HistoryTime from, HistoryTime to, int columns) {
  const double span = static_cast<double>(to) - static_cast<double>(from) + 1.0;
  auto column_of = [&](HistoryTime t) {
    return static_cast<int64_t>((static_cast<double>(t) - static_cast<double>(from)) * columns /
                                span);
  };
  std::vector<HistoryReading> out;
  for (std::size_t i = 0; i < all.size();) {
    if (all[i].time < from || all[i].time > to) {
      ++i;
      continue;
    }
    std::size_t j = i;
    HistoryReading low = all[i], high = all[i];
    while (j < all.size() && all[j].time <= to &&
           column_of(all[j].time) == column_of(all[i].time)) {
      if (all[j].value < low.value) low = all[j];
      if (all[j].value > high.value) high = all[j];
      ++j;
    }
    std::vector<HistoryReading> four = {all[i], low, high, all[j - 1]};
    std::sort(four.begin(), four.end(), [](auto& a, auto& b) { return a.time < b.time; });
    for (const HistoryReading& r : four) {
      if (out.empty() || out.back().time != r.time) out.push_back(r);
    }
    i = j;
  }
  return out;
}

TEST_P(HistoryTest, HoldsMoreReadingsThanTheGraphAndDecimatesThem) {
  const int64_t t0 = At(2024, 1, 1);
  const int n = 70000;
  // Every 17 readings in a row hold a 0 and a 1000.
  auto value = [](int i) {
    return i % 17 == 0 ? 0.0 : i % 17 == 8 ? 1000.0 : static_cast<double>((i * 37) % 999 + 1);
  };
  ASSERT_TRUE(ImportText(NembraTag("BIG", "1", false, t0, n, 60, value)).status.ok);
  const ProbeSummary p = store_->ListProbes(0).at(0);
  EXPECT_EQ(p.count, n);
  const auto all = store_->ReadRange(p.id, INT64_MIN, INT64_MAX);
  ASSERT_EQ(all.size(), static_cast<std::size_t>(n));
  EXPECT_EQ(store_->ReadRange(p.id, t0 + 600, t0 + 1140).size(), 10u);

  // Narrow columns (17 minutes) read readings, wide ones the hourly figures.
  for (const auto& [end, columns] :
       {std::pair<int64_t, int32_t>{t0 + 1092 * 60, 64}, {t0 + (n - 1) * int64_t{60}, 4}}) {
    SCOPED_TRACE(columns);
    const auto d = store_->ReadDecimated(p.id, t0, end, columns);
    EXPECT_LE(d.size(), 4u * columns);
    EXPECT_GE(d.size(), 2u * columns);
    EXPECT_EQ(d.front().time, t0);
    EXPECT_EQ(d.back().time, end);
    for (std::size_t i = 0; i < d.size(); ++i) {
      if (i > 0) {
        EXPECT_LT(d[i - 1].time, d[i].time);
      }
      EXPECT_EQ(d[i].value, value(static_cast<int>((d[i].time - t0) / 60)));
    }
    // Every column shows its extremes: here each holds both 0 and 1000 somewhere.
    // (A column may also begin or end on one.)
    EXPECT_GE(std::count_if(d.begin(), d.end(), [](auto& r) { return r.value == 1000; }), columns);
    EXPECT_GE(std::count_if(d.begin(), d.end(), [](auto& r) { return r.value == 0; }), columns);
    // Read in pages on a server: none lost or repeated where one page ends and the next begins.
    const auto want = PlainDecimation(all, t0, end, columns);
    ASSERT_EQ(d.size(), want.size());
    for (std::size_t i = 0; i < d.size(); ++i) {
      EXPECT_EQ(d[i].time, want[i].time);
      EXPECT_EQ(d[i].value, want[i].value);
    }
  }
}

TEST_P(HistoryTest, DerivesRatesConsumptionAndStateAgainstLimits) {
  const int64_t t0 = At(2025, 1, 1);
  // 0.1 mil a day for ten days: 36.5 mpy; 1 mil of a 5 mil life used: 20 %.
  ASSERT_TRUE(
      ImportText(MetalSamplesTag("ER", true, t0, 11, kDay, [](int i) { return 0.1 * i; }) +
                     MetalSamplesTag("LPR", false, t0, 11, kDay, [](int i) { return 0.2 * i; }),
                 "ms.csv")
          .status.ok);
  for (int32_t window : {0, 5}) {
    SCOPED_TRACE(window);
    const auto probes = store_->ListProbes(window);
    ASSERT_EQ(probes.size(), 2u);
    const ProbeSummary& er = probes[0];
    ASSERT_TRUE(er.rate.has_value());
    EXPECT_NEAR(*er.rate, 36.5, 1e-9);
    EXPECT_EQ(er.rate_unit, "mpy");
    EXPECT_NEAR(*er.consumed, 0.2, 1e-12);
    EXPECT_NEAR(static_cast<double>(*er.end_time), static_cast<double>(t0 + 50 * kDay), 1.0);
    EXPECT_EQ(er.state, ProbeState::kAlarm);
    EXPECT_EQ(er.state_reason, "rate 36.50 mpy above alarm 10.00");
    EXPECT_FALSE(er.own_limits);
    EXPECT_NEAR(*probes[1].rate, window == 0 ? 1.0 : 1.5, 1e-12);  // the mean in the window
    EXPECT_EQ(probes[1].state, ProbeState::kOk);
  }
  const int64_t er = store_->ListProbes(0)[0].id;
  const int64_t lpr = store_->ListProbes(0)[1].id;
  ASSERT_TRUE(store_->SetLimits(er, {40, 50, 0.1, 0.9}).ok);
  ASSERT_TRUE(store_->SetLimits(0, {0.5, 0.8, 0.5, 0.8}).ok);
  EXPECT_FALSE(store_->SetLimits(er, {5, 4, 0.5, 0.8}).ok);  // warning above alarm
  EXPECT_FALSE(store_->SetLimits(999, {5, 10, 0.5, 0.8}).ok);
  auto probes = store_->ListProbes(0);
  EXPECT_TRUE(probes[0].own_limits);
  EXPECT_EQ(probes[0].state, ProbeState::kWarning);
  EXPECT_EQ(probes[0].state_reason, "consumed 20.0 % at or above warning 10.0 %");
  EXPECT_EQ(probes[1].state, ProbeState::kAlarm);
  EXPECT_EQ(probes[1].state_reason, "rate 1.00 mpy above alarm 0.80");
  EXPECT_EQ(store_->GetLimits(er).rate_warn, 40.0);
  EXPECT_EQ(store_->GetLimits(lpr).rate_alarm, 0.8);

  ASSERT_TRUE(store_->ClearLimits(er).ok);
  ASSERT_TRUE(store_->ClearLimits(0).ok);
  probes = store_->ListProbes(0);
  EXPECT_FALSE(probes[0].own_limits);
  EXPECT_EQ(probes[0].limits.rate_alarm, 10.0);
  EXPECT_EQ(probes[1].state, ProbeState::kOk);

  ASSERT_TRUE(store_->RemoveProbe(er).ok);
  EXPECT_EQ(store_->ListProbes(0).size(), 1u);
  EXPECT_TRUE(store_->ReadRange(er, INT64_MIN, INT64_MAX).empty());
}

// Every decimated read of the probe's ranges in each number of columns equals a plain
// decimation of its readings.
void ExpectPlainDecimations(HistoryStore* store, const std::string& when, const ProbeSummary& p,
                            const std::vector<std::pair<HistoryTime, HistoryTime>>& ranges,
                            std::initializer_list<int32_t> column_counts) {
  const auto all = store->ReadRange(p.id, INT64_MIN, INT64_MAX);
  for (const auto& [from, to] : ranges) {
    for (const int32_t columns : column_counts) {
      SCOPED_TRACE(when + ", " + p.key.tag + ", " + std::to_string(columns) + " columns");
      const auto got = store->ReadDecimated(p.id, from, to, columns);
      const auto want = PlainDecimation(all, from, to, columns);
      ASSERT_EQ(got.size(), want.size());
      for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].time, want[i].time);
        EXPECT_EQ(got[i].value, want[i].value);
      }
    }
  }
}

// Every probe's rate over any window equals a plain least-squares fit (or mean) of the
// readings ReadRange gives in it, its count, ends and latest value those of the readings, and a
// decimated read a plain decimation of them.
void ExpectFiguresOfAPlainScan(HistoryStore* store, const std::string& when) {
  for (const int32_t days : {0, 1, 7, 30, 90, 365, 1000}) {
    for (const ProbeSummary& p : store->ListProbes(days)) {
      SCOPED_TRACE(when + ", " + p.key.tag + ", " + std::to_string(days) + " days");
      std::vector<HistoryReading> in;
      const auto all = store->ReadRange(p.id, INT64_MIN, INT64_MAX);
      ASSERT_EQ(p.count, static_cast<int64_t>(all.size()));
      ASSERT_FALSE(all.empty());
      EXPECT_EQ(p.first_time, all.front().time);
      EXPECT_EQ(p.last_time, all.back().time);
      EXPECT_EQ(p.latest_value, all.back().value);
      for (const HistoryReading& r : all) {
        if (days == 0 || r.time >= p.last_time - days * kDay) in.push_back(r);
      }
      double mx = 0, my = 0;
      for (const HistoryReading& r : in) {
        mx += static_cast<double>(r.time - p.last_time) / kDay / in.size();
        my += r.value / in.size();
      }
      double sxy = 0, sxx = 0;
      for (const HistoryReading& r : in) {
        const double dx = static_cast<double>(r.time - p.last_time) / kDay - mx;
        sxy += dx * (r.value - my);
        sxx += dx * dx;
      }
      std::optional<double> want;
      if (p.key.data_type == 1) want = my;
      if (p.key.data_type == 0 && sxx > 0) want = sxy / sxx * 365.0;
      ASSERT_EQ(p.rate.has_value(), want.has_value());
      if (want) {
        EXPECT_NEAR(*p.rate, *want, 1e-7 * (1.0 + std::abs(*want)));
      }
    }
  }
  for (const ProbeSummary& p : store->ListProbes(0)) {
    ExpectPlainDecimations(
        store, when, p,
        {{p.first_time, p.last_time}, {p.first_time + 12345, p.last_time - 9 * kDay}},
        {7, 300, 20000});
  }
}

// The rate over any window equals a plain least-squares fit (or mean) of the readings ReadRange
// gives in it, and a decimated read a plain decimation of them, through overlapping, earlier and
// repeated imports and the removal of a probe.
TEST_P(HistoryTest, WindowRatesAndDecimationEqualAPlainScanOfTheReadings) {
  std::mt19937 rng(11);
  const int64_t steps[] = {17, 600, 3599, 7200, 28800};
  // Each tag: stretches of 5-120 readings at steps from seconds to hours.
  auto file = [&](int64_t from, int stretches, std::vector<std::string> tags) {
    std::string text = "NEMBRA LOGGER\n";
    for (const std::string& tag : tags) {
      int64_t t = from;
      for (int s = 0; s < stretches; ++s) {
        const int64_t step = steps[rng() % 5];
        const int count = 5 + static_cast<int>(rng() % 116);
        const double base = std::uniform_real_distribution<double>(1.0, 1.1)(rng);
        text += NembraTag(tag, "S", tag[0] == 'E', t, count, step,
                          [&](int i) { return base + 0.0005 * i + 0.0001 * (rng() % 7); });
        t += step * count + static_cast<int64_t>(rng() % 5000);
      }
    }
    return text;
  };
  auto check = [&](const std::string& when) { ExpectFiguresOfAPlainScan(store_.get(), when); };
  const int64_t t0 = At(2023, 3, 1, 7, 13, 5);
  const std::string first = file(t0, 8, {"ER-1", "LPR-1", "ER-2"});
  ASSERT_TRUE(ImportText(first, "a.nid").status.ok);
  check("first file");
  ASSERT_TRUE(ImportText(file(t0 + 40 * kDay, 8, {"ER-1", "LPR-1"}), "b.nid").status.ok);
  check("overlapping file");
  ASSERT_TRUE(ImportText(file(t0 - 500 * kDay, 4, {"ER-1", "ER-2"}), "c.nid").status.ok);
  check("earlier file");
  EXPECT_EQ(ImportText(first, "a.nid").added, 0);
  check("same file again");
  ASSERT_TRUE(store_->RemoveProbe(store_->ListProbes(0)[2].id).ok);
  ASSERT_TRUE(ImportText(file(t0 + 600 * kDay, 3, {"ER-2", "ER-1"}), "d.nid").status.ok);
  check("probe removed and back");
}

// Columns of days read the busy days' kept extremes where a day lies inside one column: through
// overlapping and earlier imports, conflicts chosen and chosen back, an undone import and a
// removed probe, every decimation equals a plain one of the readings. Values repeat often, so
// the first of equal lowest and highest values is the one kept.
TEST_P(HistoryTest, ColumnsOfDaysMatchAPlainDecimationThroughEveryChange) {
  const int64_t t0 = At(2024, 1, 1, 5, 17);
  auto tag = [&](const std::string& name, int64_t from, int count, int64_t step, int salt) {
    return NembraTag(name, "S", false, from, count, step,
                     [=](int i) { return static_cast<double>((i * 7 + salt) % 5) - 2.0; });
  };
  auto check = [&](const std::string& when) {
    for (const ProbeSummary& p : store_->ListProbes(0)) {
      ExpectPlainDecimations(store_.get(), when, p,
                             {{p.first_time, p.last_time},
                              {p.first_time + 12345, p.last_time - 9 * kHour - 1},
                              {p.first_time - 30 * kDay, p.last_time + 3 * kDay}},
                             {1, 3, 7, 19});
    }
  };
  // Every 30 minutes for 60 days, with a quiet week (a reading a day) in the middle.
  const std::string a = "NEMBRA LOGGER\n" + tag("A", t0, 1440, 1800, 0) +
                        tag("B", t0, 1200, 1800, 1) + tag("B", t0 + 40 * kDay, 7, kDay, 2) +
                        tag("B", t0 + 47 * kDay, 500, 1800, 3);
  ASSERT_TRUE(ImportText(a, "a.nid").status.ok);
  check("first file");
  // Overlaps the end of A with other values (conflicts) and goes on; then an earlier stretch.
  const ImportResult b =
      ImportText("NEMBRA LOGGER\n" + tag("A", t0 + 25 * kDay, 1000, 1800, 4), "b.nid");
  ASSERT_TRUE(b.status.ok) << b.status.message;
  ASSERT_GT(b.conflicts, 0);
  check("overlapping file");
  ASSERT_TRUE(ImportText("NEMBRA LOGGER\n" + tag("A", t0 - 20 * kDay + 900, 960, 1800, 1), "c.nid")
                  .status.ok);
  check("earlier file");
  const int64_t a_id = store_->ListProbes(0).at(0).id;
  const std::vector<ReadingConflicts> review = store_->ReviewConflicts(a_id);
  ASSERT_GE(review.size(), 3u);
  for (const std::size_t i : {std::size_t{0}, review.size() / 2, review.size() - 1}) {
    ASSERT_TRUE(store_->ChooseConflict(review[i].offers.at(0).conflict_id, true).ok);
  }
  check("conflicts taken");
  ASSERT_TRUE(store_->ChooseConflict(review[0].offers.at(0).conflict_id, false).ok);
  check("a conflict chosen back");
  int64_t b_file = 0;
  for (const HistorySourceFile& f : store_->SourceFiles()) {
    if (f.name.find("b.nid") != std::string::npos) b_file = f.id;
  }
  ASSERT_TRUE(store_->Unimport(b_file, true).status.ok);
  check("overlapping file undone");
  ASSERT_TRUE(store_->RemoveProbe(store_->ListProbes(0).at(1).id).ok);
  ASSERT_TRUE(
      ImportText("NEMBRA LOGGER\n" + tag("B", t0 + 3 * kDay, 300, 600, 5), "d.nid").status.ok);
  check("probe removed and back");
}

// Conflicts reviewed, chosen and chosen back, and imports undone, on a probe with hour rows:
// every step keeps the figures a plain scan gives, and choices outlast reopening the history.
TEST_P(HistoryTest, ChosenConflictsAndUndoneImportsKeepEveryFigureRight) {
  const int64_t t0 = At(2024, 6, 1, 0, 0, 30);
  // ER ratios: reading i of file a is 1 + i/1000; b and c offer other values for some seconds.
  auto er = [&](int from, int to, std::function<double(int)> ratio) {
    return NembraTag("X", "S", true, t0 + from * 60, to - from, 60,
                     [=](int i) { return ratio(from + i); });
  };
  auto a_ratio = [](int i) { return 1.0 + i / 1000.0; };
  auto b_ratio = [&](int i) { return i < 150 ? 1.5 + i / 1000.0 : a_ratio(i); };
  ASSERT_TRUE(ImportText("NEMBRA LOGGER\n" + er(0, 300, a_ratio), "a.nid").status.ok);
  const ImportResult b =
      ImportText("NEMBRA LOGGER\n" + er(100, 400, b_ratio) +
                     NembraTag("Y", "S", false, t0, 30, 600, [](int i) { return 2.0 + i; }),
                 "b.nid");
  ASSERT_TRUE(b.status.ok) << b.status.message;
  EXPECT_EQ(b.conflicts, 50);
  ASSERT_EQ(b.conflict_probes.size(), 1u);
  EXPECT_EQ(b.conflict_probes[0].tag, "X");
  const ImportResult c =
      ImportText("NEMBRA LOGGER\n" + er(120, 130, [](int i) { return 1.9 + i / 1000.0; }), "c.nid");
  ASSERT_EQ(c.conflicts, 10);
  ExpectFiguresOfAPlainScan(store_.get(), "imported");

  auto probe = [&](const std::string& tag) -> ProbeSummary {
    for (const ProbeSummary& p : store_->ListProbes(0))
      if (p.key.tag == tag) return p;
    return {};
  };
  auto file_id = [&](const std::string& name) -> int64_t {
    for (const HistorySourceFile& f : store_->SourceFiles())
      if (f.name.find(name) != std::string::npos) return f.id;
    return 0;
  };
  const int64_t x = probe("X").id;
  auto at = [&](int i) { return store_->ReadRange(x, t0 + i * 60, t0 + i * 60).at(0).value; };
  std::vector<ReadingConflicts> review = store_->ReviewConflicts(x);
  ASSERT_EQ(review.size(), 50u);
  EXPECT_EQ(review[0].time, t0 + 100 * 60);
  EXPECT_NE(review[0].file.find("a.nid"), std::string::npos);
  ASSERT_EQ(review[0].offers.size(), 1u);
  EXPECT_NE(review[0].offers[0].file.find("b.nid"), std::string::npos);
  const ReadingConflicts both = review[25];  // second 125: offers from b and from c
  ASSERT_EQ(both.offers.size(), 2u);
  EXPECT_NE(both.offers[1].file.find("c.nid"), std::string::npos);
  const double stored_100 = review[0].value, stored_125 = both.value;
  const double offered_100 = review[0].offers[0].value;
  EXPECT_FALSE(both.offers[0].in_use || both.offers[1].in_use);

  // Take b's value at 100 and c's at 125, then keep the stored value at 100 after all.
  ASSERT_EQ(store_->ChooseConflict(review[0].offers[0].conflict_id, true).message, "");
  ASSERT_EQ(store_->ChooseConflict(both.offers[1].conflict_id, true).message, "");
  EXPECT_EQ(at(100), review[0].offers[0].value);
  EXPECT_EQ(at(125), both.offers[1].value);
  ExpectFiguresOfAPlainScan(store_.get(), "offers taken");
  store_ = Reopen();
  review = store_->ReviewConflicts(x);
  ASSERT_EQ(review.size(), 50u);
  EXPECT_TRUE(review[0].offers[0].in_use);
  EXPECT_TRUE(review[25].offers[1].in_use);
  EXPECT_EQ(review[25].stored, stored_125);
  ASSERT_EQ(store_->ChooseConflict(review[0].offers[0].conflict_id, false).message, "");
  EXPECT_EQ(at(100), stored_100);
  EXPECT_FALSE(store_->ChooseConflict(987654, true).ok);

  // A dry run counts and changes nothing.
  const UnimportResult dry = store_->Unimport(file_id("a.nid"), false);
  ASSERT_TRUE(dry.status.ok) << dry.status.message;
  EXPECT_EQ(dry.readings, 300);
  EXPECT_EQ(probe("X").count, 400);
  EXPECT_EQ(at(125), both.offers[1].value);

  // Undoing c gives the value it offered and that was taken back to the stored one.
  const UnimportResult uc = store_->Unimport(file_id("c.nid"), true);
  ASSERT_TRUE(uc.status.ok) << uc.status.message;
  EXPECT_EQ(uc.readings, 0);
  EXPECT_EQ(uc.conflicts, 10);
  EXPECT_EQ(at(125), stored_125);
  EXPECT_EQ(store_->ReviewConflicts(x).at(25).offers.size(), 1u);
  ExpectFiguresOfAPlainScan(store_.get(), "c undone");

  // Undoing a: b's offers take the place of a's readings they conflicted with.
  const UnimportResult ua = store_->Unimport(file_id("a.nid"), true);
  ASSERT_TRUE(ua.status.ok) << ua.status.message;
  EXPECT_EQ(ua.readings, 300);
  EXPECT_EQ(ua.promoted, 50);
  EXPECT_TRUE(ua.emptied.empty());
  EXPECT_EQ(probe("X").count, 150);  // b's 50 offers and its 100 new readings
  EXPECT_EQ(probe("X").first_time, t0 + 100 * 60);
  EXPECT_EQ(at(100), offered_100);
  EXPECT_TRUE(store_->ReviewConflicts(x).empty());
  const auto files = store_->ProbeFiles(x);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].readings, 150);
  EXPECT_EQ(store_->ReadingFile(x, t0 + 100 * 60)->id, file_id("b.nid"));
  ExpectFiguresOfAPlainScan(store_.get(), "a undone");

  // Undoing b leaves both probes without readings: they go.
  const UnimportResult ub = store_->Unimport(file_id("b.nid"), true);
  ASSERT_TRUE(ub.status.ok) << ub.status.message;
  EXPECT_EQ(ub.readings, 180);
  ASSERT_EQ(ub.emptied.size(), 2u);
  EXPECT_TRUE(store_->ListProbes(0).empty());
  EXPECT_TRUE(store_->SourceFiles().empty());
  EXPECT_FALSE(store_->Unimport(file_id("b.nid") + 1, true).status.ok);
}

TEST_P(HistoryTest, ConcurrentImportsLoseNothingAndCancelChangesNothing) {
  const int64_t t0 = At(2025, 5, 1);
  const int n = 20000;
  const std::string a = dir_.file("a.nid"), b = dir_.file("b.nid");
  testing::WriteAll(a, NembraTag("A", "1", false, t0, n, 60, [](int i) { return i * 0.5; }));
  testing::WriteAll(b, NembraTag("B", "1", false, t0, n, 60, [](int i) { return i * 0.25; }));

  std::atomic<bool> cancel{true};
  ImportControl control;
  control.cancel = &cancel;
  const ImportResult cancelled = store_->Import(a, control);
  EXPECT_FALSE(cancelled.status.ok);
  EXPECT_TRUE(store_->ListProbes(0).empty());

  // A connection must not cross a fork: each process opens its own.
  store_.reset();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto other = OpenHistory(location_, &error);
    _exit(other && other->Import(a, ImportControl{}).status.ok ? 0 : 1);
  }
  store_ = Reopen();
  const ImportResult mine = store_->Import(b, ImportControl{});
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(mine.status.ok) << mine.status.message;
  const auto probes = store_->ListProbes(0);
  ASSERT_EQ(probes.size(), 2u);
  for (const ProbeSummary& p : probes) {
    EXPECT_EQ(p.count, n) << p.key.tag;
    EXPECT_EQ(store_->ReadRange(p.id, INT64_MIN, INT64_MAX).size(), static_cast<std::size_t>(n));
  }
}

TARN_HISTORY_BACKENDS(HistoryTest);

}  // namespace
}  // namespace tarn
