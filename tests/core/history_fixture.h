// SPDX-License-Identifier: GPL-3.0-or-later
// One fresh history per test on every back end the tests can reach: each back end turns a
// temporary folder into a location string for OpenHistory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pg_test_server.h"
#include "core/test_util.h"
#include "history/history_store.h"
#include "history/import_source.h"

namespace tarn::testing {

struct HistoryBackend {
  std::string name;
  std::function<std::string(const TempDir& dir)> location;
};

inline std::vector<HistoryBackend> HistoryBackends() {
  return {
      {"SQLite", [](const TempDir& dir) { return dir.file("history.sqlite"); }},
      // A fresh database on the test run's own server.
      {"PostgreSQL", [](const TempDir&) { return FreshPgDatabase(); }},
  };
}

class HistoryTest : public ::testing::TestWithParam<HistoryBackend> {
 protected:
  void SetUp() override {
    location_ = GetParam().location(dir_);
    store_ = Reopen();
    ASSERT_NE(store_, nullptr);
  }

  std::unique_ptr<HistoryStore> Reopen() {
    std::string error;
    auto store = OpenHistory(location_, &error);
    EXPECT_NE(store, nullptr) << error;
    return store;
  }

  // Writes the text as an instrument file in the test's folder and imports it.
  ImportResult ImportText(const std::string& text, const std::string& name = "data.nid") {
    const std::string path = dir_.file(name);
    WriteAll(path, text);
    return store_->Import(path, ImportControl{});
  }

  // Hands the batches to the store as one file of their own, as a copied history hands them.
  ImportResult Offer(std::vector<ImportBatch> batches) {
    ImportFileFacts facts;
    facts.name = dir_.file("batch" + std::to_string(++offered_) + ".nid");
    facts.sha256 = std::string(63, '0') + std::to_string(offered_ % 10);
    return store_->ImportBatches(facts, [&](const HistoryStore::BatchSink& sink) {
      for (ImportBatch& b : batches) {
        if (Status st = sink(b); !st) return st;
      }
      return Status{};
    });
  }

  // The id of the probe with that serial number; 0 when there is none.
  int64_t ProbeId(const std::string& serial) {
    for (const ProbeSummary& p : store_->ListProbes(0)) {
      if (p.key.serial == serial) return p.id;
    }
    return 0;
  }

  TempDir dir_;
  int batch_files_ = 0;
  std::string location_;
  std::unique_ptr<HistoryStore> store_;
  int offered_ = 0;
};

#define TARN_HISTORY_BACKENDS(suite)                                                \
  INSTANTIATE_TEST_SUITE_P(Backends, suite,                                         \
                           ::testing::ValuesIn(::tarn::testing::HistoryBackends()), \
                           [](const auto& info) { return info.param.name; })

}  // namespace tarn::testing
