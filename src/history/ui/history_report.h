// SPDX-License-Identifier: GPL-3.0-or-later
// The probe-history report: a cover page, the fleet table by site and unit, a page of coupons
// beside their probes, then for each unit a page of its points and their events in the window
// (rates before and after), a page per point whose probe was replaced (its cumulative graph with
// its events and coupons) and a page per probe with its graph, figures, limits and source files,
// as a PDF saved through the safe save.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace tarn {

struct ReportRequest {
  std::vector<int64_t> probe_ids;  // empty: every probe
  int32_t window_days = 30;        // the window of the rate beside the whole history's
  // Which probes the cover says these are, e.g. "the 3 selected probes"; empty: "every probe
  // of the history", or "the probes asked for" when probe_ids is not empty.
  std::string scope;
};

// Progress of a long report: called with the probe and point pages done and those in all; the
// report stops (and writes nothing) when `cancel` becomes true.
struct ReportControl {
  std::function<void(int done, int total)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

// The message a cancelled report returns.
inline constexpr const char* kReportCancelled = "The report was cancelled; nothing was written.";

// Writes the report to `path`; false with a one-line reason in *error when anything failed,
// the history could not be read included (nothing is then written). Needs a QGuiApplication;
// may run on any one thread.
bool SaveHistoryReport(HistoryStore& store, const ReportRequest& request, const std::string& path,
                       std::string* error, const ReportControl* control = nullptr);

}  // namespace tarn
