// SPDX-License-Identifier: GPL-3.0-or-later
// The served register map: header and entry layout, the float and uint32 words high first,
// NaN and "none" where a figure cannot be had, and the cap of 2000 entries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "common/date_time.h"
#include "monitor/modbus_map.h"

namespace tarn {
namespace {

float FloatAt(const std::vector<uint16_t>& r, int32_t at) {
  const uint32_t bits = (uint32_t{r[at]} << 16) | r[at + 1];
  float f = 0;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t Uint32At(const std::vector<uint16_t>& r, int32_t at) {
  return (uint32_t{r[at]} << 16) | r[at + 1];
}

HistoryTime LocalTime(int y, int mo, int d, int h, int mi, int s) {
  DateTime dt;
  EXPECT_TRUE(MakeDateTime(y, mo, d, h, mi, s, &dt));
  return dt.ticks / kTicksPerSecond;
}

TEST(ModbusMap, EncodesHeaderAndEntries) {
  MapEntry a;
  a.status = 2;
  a.rate_mpy = 12.5f;
  a.consumed_percent = 42.25f;
  a.latest = 2.1f;
  a.latest_unix = 0x65A1B2C3u;
  a.days_to_end = 400;
  a.probe_id = 0x12345;  // only the low 16 bits fit
  MapEntry b;            // no reading: NaN figures and "none" times
  b.rate_mpy = b.consumed_percent = b.latest = std::nanf("");
  b.probe_id = 7;
  const auto r = EncodeRegisterMap({a, b}, 0x6000ABCD);
  ASSERT_EQ(r.size(), 40100u);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[1], 2);
  EXPECT_EQ(r[2], 0x6000);
  EXPECT_EQ(r[3], 0xABCD);
  EXPECT_EQ(r[100], 2);
  EXPECT_EQ(r[101], 0x4148);  // 12.5f = 0x41480000, high word first
  EXPECT_EQ(r[102], 0x0000);
  EXPECT_FLOAT_EQ(FloatAt(r, 103), 42.25f);
  EXPECT_FLOAT_EQ(FloatAt(r, 105), 2.1f);
  EXPECT_EQ(Uint32At(r, 107), 0x65A1B2C3u);
  EXPECT_EQ(Uint32At(r, 109), 400u);
  EXPECT_EQ(r[111], 0x2345);
  for (int k = 112; k < 120; ++k) EXPECT_EQ(r[k], 0) << k;
  EXPECT_EQ(r[120], 3);
  EXPECT_TRUE(std::isnan(FloatAt(r, 121)));
  EXPECT_TRUE(std::isnan(FloatAt(r, 123)));
  EXPECT_TRUE(std::isnan(FloatAt(r, 125)));
  EXPECT_EQ(Uint32At(r, 127), 0xFFFFFFFFu);
  EXPECT_EQ(Uint32At(r, 129), 0xFFFFFFFFu);
  EXPECT_EQ(r[131], 7);
  EXPECT_EQ(r[140], 0);  // no third entry

  std::vector<MapEntry> many(2001);
  many.back().status = 1;
  const auto full = EncodeRegisterMap(many, 0);
  EXPECT_EQ(full.size(), 40100u);
  EXPECT_EQ(full[1], 2000);
}

TEST(ModbusMap, TakesTheFiguresOfProbes) {
  ProbeSummary er;  // mils metal loss, alarm, ending in 10 days
  er.id = 3;
  er.key = {"CDU-101-ER", "E0412-118", 0};
  er.count = 5;
  er.last_time = LocalTime(2026, 7, 1, 12, 0, 0);
  er.latest_value = 1.5;
  er.rate = 20.0;
  er.rate_unit = "mpy";
  er.consumed = 0.3;
  er.end_time = LocalTime(2026, 7, 11, 12, 0, 0);
  er.state = ProbeState::kAlarm;
  ProbeSummary mm = er;  // a millimetre probe's rate is served in mpy
  mm.rate = 0.254;
  mm.rate_unit = "mm/y";
  mm.end_time.reset();
  mm.state = ProbeState::kWarning;
  ProbeSummary current = er;  // a current probe has no rate and no end
  current.rate.reset();
  current.rate_unit.clear();
  current.consumed.reset();
  current.end_time.reset();
  ProbeSummary empty;  // no reading at all
  empty.id = 9;
  empty.state = ProbeState::kAlarm;

  const int64_t now = *HistoryTimeToUnix(er.last_time);
  const auto e = MapEntriesFromProbes({er, mm, current, empty}, now);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].status, 2);
  EXPECT_FLOAT_EQ(e[0].rate_mpy, 20.0f);
  EXPECT_FLOAT_EQ(e[0].consumed_percent, 30.0f);
  EXPECT_FLOAT_EQ(e[0].latest, 1.5f);
  EXPECT_EQ(e[0].latest_unix, now);
  EXPECT_EQ(e[0].days_to_end, 10u);
  EXPECT_EQ(e[0].probe_id, 3);
  EXPECT_EQ(e[1].status, 1);
  EXPECT_FLOAT_EQ(e[1].rate_mpy, 10.0f);
  EXPECT_EQ(e[1].days_to_end, 0xFFFFFFFFu);
  EXPECT_TRUE(std::isnan(e[2].rate_mpy));
  EXPECT_TRUE(std::isnan(e[2].consumed_percent));
  EXPECT_EQ(e[3].status, 3);
  EXPECT_TRUE(std::isnan(e[3].latest));
  EXPECT_EQ(e[3].latest_unix, 0xFFFFFFFFu);

  // An end already passed counts no days; the local wall clock converts through the zone.
  EXPECT_EQ(MapEntriesFromProbes({er}, now + 20 * 86400)[0].days_to_end, 0u);
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 6;
  tm.tm_mday = 1;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  EXPECT_EQ(now, static_cast<int64_t>(std::mktime(&tm)));
  EXPECT_EQ(MapEntriesFromProbes(std::vector<ProbeSummary>(2500), 0).size(), 2000u);

  // A point serves its own figures (the cumulative loss across replacements, its rate and
  // status) with its current probe's id, not that probe's figures.
  PointSummary point;
  point.current = er;  // its latest probe, with the probe's own figures
  point.current.id = 9;
  point.count = 200;
  point.last_time = er.last_time;
  point.value = 4.25;
  point.rate = 2.0;
  point.rate_unit = "mm/y";
  point.consumed = 0.1;
  point.state = ProbeState::kWarning;
  const auto p = MapEntriesFromPoints({point, PointSummary{}}, now);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].probe_id, 9);
  EXPECT_FLOAT_EQ(p[0].latest, 4.25f);
  EXPECT_FLOAT_EQ(p[0].rate_mpy, static_cast<float>(2.0 / 0.0254));
  EXPECT_FLOAT_EQ(p[0].consumed_percent, 10.0f);
  EXPECT_EQ(p[0].status, 1);
  EXPECT_EQ(p[0].days_to_end, 0xFFFFFFFFu);
  EXPECT_EQ(p[1].status, 3);  // a point without readings
  EXPECT_EQ(MapEntriesFromPoints(std::vector<PointSummary>(2001), 0).size(), 2000u);
}

}  // namespace
}  // namespace tarn
