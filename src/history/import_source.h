// SPDX-License-Identifier: GPL-3.0-or-later
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
  std::vector<SkippedReading> skips;  // the first few of the file's skipped readings
  // Values closer than this are the same value written to the file's precision.
  double precision = 0.0;
  // Readings less than this many seconds apart are one reading. An instrument file's clock
  // carries seconds that differ between downloads, so a minute; a transmitter polled by the
  // monitor is timed by the monitor to the second, so 1 (the same second only).
  HistoryTime same_reading_seconds = 60;
};

// The years every history keeps: readings outside them are skipped and reported.
inline constexpr int kFirstHistoryYear = 1900;
inline constexpr int kLastHistoryYear = 2199;
bool InHistoryRange(HistoryTime t);
// Drops the batch's readings outside the history's years, counting and naming them.
void DropOutOfRange(ImportBatch* batch);
// Takes the batch's skipped count and named examples into the result.
void TakeSkipped(const ImportBatch& batch, ImportResult* result);

// Size and SHA-256 of the file as imported.
struct ImportFileFacts {
  std::string name;  // absolute path
  int64_t size = 0;
  std::string sha256;           // lower-case hex
  HistoryTime imported_at = 0;  // when it was imported; 0: now (a copy keeps the original's)
};

// Now, on the history's clock (local wall-clock seconds): when a file is imported.
HistoryTime HistoryNow();

Status DigestFile(const std::string& path, ImportFileFacts* out);

// Reads every tag of the file in file order and hands its readings to `on_batch`, in batches of
// at most `max_batch` readings. Stops at the first failure of on_batch, at a cancel (reported
// as a failure), or when the file cannot be read or is of no known format.
Status ReadImportSource(const std::string& path, double pi_of_tubular, std::size_t max_batch,
                        const std::atomic<bool>* cancel,
                        const std::function<Status(ImportBatch&)>& on_batch);

// A reading offered less than a minute from one already held with another value; `time` is
// that of the reading held.
struct BatchConflict {
  HistoryTime time = 0;
  double stored = 0.0;
  double offered = 0.0;
  bool same_file = false;
};

// True when two values are the same to within `precision`.
inline bool SameValue(double a, double b, double precision) {
  const double d = a > b ? a - b : b - a;
  return d <= precision * (1.0 + 1e-9) + 1e-12 * (a > 0 ? a : -a);
}

// Sorts the readings by time and keeps the first reading of each moment: a later reading less
// than `same_seconds` after a kept one is a duplicate when its value matches to `precision`,
// else a conflict (same_file).
void NormaliseReadings(std::vector<HistoryReading>* readings, double precision,
                       HistoryTime same_seconds, int64_t* duplicates,
                       std::vector<BatchConflict>* conflicts);

// Meets an offered reading with `stored` (sorted by time): when a stored reading lies less than
// `same_seconds` away (the closest, the earlier on a tie), counts the offered one as its
// duplicate or conflict and returns true. Readings are offered in time order; *k (0 at first)
// keeps the place.
bool MeetStored(const std::vector<HistoryReading>& stored, const HistoryReading& offered,
                double precision, HistoryTime same_seconds, std::size_t* k, int64_t* duplicates,
                std::vector<BatchConflict>* conflicts);

// The message a cancelled import returns.
inline constexpr const char* kImportCancelled = "Import cancelled; the history is unchanged.";

inline bool Cancelled(const ImportControl* control) {
  return control && control->cancel && control->cancel->load();
}
// Checks for a cancel once more, tells `control` the commit begins, commits with `commit`, and
// marks the result when a cancel came too late to undo it.
template <typename Commit>
Status CommitUnlessCancelled(const ImportControl* control, ImportResult* result, Commit commit) {
  if (Cancelled(control)) return Status::Fail(kImportCancelled);
  if (control && control->committing) control->committing();
  Status st = commit();
  if (st && Cancelled(control)) result->cancelled_too_late = true;
  return st;
}

}  // namespace tarn
