// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab follows a history that another program writes: readings and probes stored
// through a second connection appear without a click, nothing is read again while nothing
// changed, and a hidden tab catches up once shown.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "core/instrument_text.h"
#include "history/history_store.h"
#include "history/ui/history_watcher.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/probes.h"

namespace tarn {
namespace {

using testing::At;
using testing::NembraTag;

class HistoryWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath("history.sqlite").toStdString();
    tab_.SetHistoryLocation(path_);
    tab_.historyWatcher()->SetInterval(20);
    tab_.resize(900, 500);
    tab_.show();
    std::string error;
    writer_ = OpenHistory(path_, &error);
    ASSERT_NE(writer_, nullptr) << error;
  }
  // Another program stores readings: `count` hourly LPR readings of `tag` from `start`.
  void Store(const std::string& tag, int64_t start, int count) {
    const std::string file = dir_.filePath(QString::number(files_++) + ".nid").toStdString();
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    const std::string text = NembraTag(tag, "S1", false, start, count, 3600, [](int) { return 2; });
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    const ImportResult r = writer_->Import(file, ImportControl{});
    ASSERT_TRUE(r.status.ok) << r.status.message;
  }
  ProbeTableModel* model() {
    return static_cast<ProbeTableModel*>(
        static_cast<QSortFilterProxyModel*>(tab_.gProbes->model())->sourceModel());
  }

  QTemporaryDir dir_;
  std::string path_;
  Probes tab_;
  std::unique_ptr<HistoryStore> writer_;
  int files_ = 0;
};

TEST_F(HistoryWatcherTest, ProbesTabShowsWhatAnotherProgramStores) {
  EXPECT_EQ(HistoryWatcher::kDefaultIntervalMs, 5000);
  const int64_t t0 = At(2025, 3, 1);
  ASSERT_EQ(model()->rowCount(), 0);
  Store("X", t0, 4);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model()->rowCount() == 1; }, 3000))
      << model()->rowCount();
  Store("X", t0 + 4 * 3600, 2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model()->probe(0).count == 6; }, 3000))
      << model()->probe(0).count;

  // Nothing changed: the list is not read again.
  QSignalSpy resets(model(), &QAbstractItemModel::modelReset);
  QTest::qWait(200);
  EXPECT_EQ(resets.count(), 0);

  // A hidden tab does not look; shown again, it catches up.
  tab_.hide();
  Store("Y", t0, 3);
  QTest::qWait(200);
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(model()->rowCount(), 1);
  tab_.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return model()->rowCount() == 2; }, 3000))
      << model()->rowCount();
}

}  // namespace
}  // namespace tarn
