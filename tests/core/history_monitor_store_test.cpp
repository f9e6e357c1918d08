// SPDX-License-Identifier: GPL-3.0-or-later
// A transmitter's readings go through the history's own import: one source per batch named
// after the transmitter, the probe keyed by tag and serial, and the duplicate and conflict
// rules of every import.
#include <gtest/gtest.h>

#include "core/history_fixture.h"
#include "history/import_source.h"
#include "monitor/monitor_store.h"

namespace tarn::testing {
namespace {

class HistoryMonitorStoreTest : public HistoryTest {};

TEST_P(HistoryMonitorStoreTest, StoresBatchesUnderTheTransmitter) {
  TransmitterConfig t;
  t.tag = "CDU-101-ER";
  t.serial = "E0412-118";
  t.kind = TransmitterKind::kEr;
  t.span = 5.0;
  t.millimetre = true;
  t.link.text = "tcp://127.0.0.1:1502";
  t.unit = 3;
  const HistoryTime t0 = HistoryNow() - 86400;
  const std::deque<HistoryReading> first = {{t0, 0.5}, {t0 + 60, 0.6}};
  ImportResult r = StoreTransmitterReadings(*store_, t, first);
  ASSERT_TRUE(r.status) << r.status.message;
  EXPECT_EQ(r.added, 2);
  // A batch offered again (its answer lost) adds nothing; another value is a conflict.
  r = StoreTransmitterReadings(*store_, t, {{t0 + 60, 0.6}, {t0 + 120, 0.7}, {t0, 0.9}});
  ASSERT_TRUE(r.status) << r.status.message;
  EXPECT_EQ(r.added, 1);
  EXPECT_EQ(r.duplicates, 1);
  EXPECT_EQ(r.conflicts, 1);

  const auto probes = store_->ListProbes(0);
  ASSERT_EQ(probes.size(), 1u);
  const ProbeSummary& p = probes[0];
  EXPECT_EQ(p.key.tag, "CDU-101-ER");
  EXPECT_EQ(p.key.serial, "E0412-118");
  EXPECT_EQ(p.key.data_type, 0);
  EXPECT_EQ(p.rate_unit, "mm/y");
  EXPECT_DOUBLE_EQ(p.header.probe_life, 5.0);
  ASSERT_TRUE(p.consumed);
  EXPECT_DOUBLE_EQ(*p.consumed, 0.7 / 5.0);
  const auto readings = store_->ReadRange(p.id, t0, t0 + 120);
  ASSERT_EQ(readings.size(), 3u);
  EXPECT_EQ(readings[0].value, 0.5);
  const auto files = store_->ProbeFiles(p.id);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "transmitter CDU-101-ER (tcp://127.0.0.1:1502 unit 3 register 0)");
  EXPECT_EQ(files[0].sha256.size(), 64u);
  EXPECT_NE(files[0].sha256, files[1].sha256);

  TransmitterConfig lpr = t;
  lpr.tag = "CDU-102-\xC3\x9C";  // UTF-8 in the configuration, narrow text in the history
  lpr.serial = "\xE2\x82\xAC-1";
  lpr.kind = TransmitterKind::kLpr;
  ASSERT_TRUE(StoreTransmitterReadings(*store_, lpr, {{t0, 12.5}}).status);
  const auto all = store_->ListProbes(0);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].key.tag, "CDU-102-\xDC");
  EXPECT_EQ(all[1].key.serial, "\x80-1");
  EXPECT_EQ(all[1].key.data_type, 1);
  EXPECT_EQ(all[1].rate_unit, "mpy");
}

TARN_HISTORY_BACKENDS(HistoryMonitorStoreTest);

}  // namespace
}  // namespace tarn::testing
