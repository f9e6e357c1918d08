// Reads an instrument file for the history: every tag through the data file reader, as batches
// of (second, value) readings with the tag's header values. Shared by every history back end.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

// One tag's readings (or a part of them, for a very long tag) with its probe and header.
struct ImportBatch {
  int32_t tag_index = 0;  // position of the tag in the file
  ProbeKey key;
  ProbeHeader header;
  std::vector<HistoryReading> readings;  // in file order until NormaliseReadings
  int64_t skipped = 0;  // readings whose time does not convert or whose value is not finite
};

// Size and SHA-256 of the file as imported.
struct ImportFileFacts {
  std::string name;  // absolute path
  int64_t size = 0;
  std::string sha256;           // lower-case hex
  HistoryTime imported_at = 0;  // when it was imported; 0: now (a copy keeps the original's)
};

// Now, on the history's clock (local wall-clock seconds): when a file is imported.
HistoryTime HistoryNow();

HistoryStatus DigestFile(const std::string& path, ImportFileFacts* out);

// Reads every tag of the file in file order and hands its readings to `on_batch`, in batches of
// at most `max_batch` readings. Stops at the first failure of on_batch, at a cancel (reported
// as a failure), or when the file cannot be read or is of no known format.
HistoryStatus ReadImportSource(const std::string& path, double pi_of_tubular, std::size_t max_batch,
                               const std::atomic<bool>* cancel,
                               const std::function<HistoryStatus(ImportBatch&)>& on_batch);

// A reading offered for a second that already holds another value.
struct BatchConflict {
  HistoryTime time = 0;
  double stored = 0.0;
  double offered = 0.0;
};

// Sorts the readings by time and keeps the first reading of each second; a later reading of
// the same second is a duplicate when its value is equal, else a conflict.
void NormaliseReadings(std::vector<HistoryReading>* readings, int64_t* duplicates,
                       std::vector<BatchConflict>* conflicts);

// The message a cancelled import returns.
inline constexpr const char* kImportCancelled = "Import cancelled; the history is unchanged.";

}  // namespace tarn
