// The probe-history report: a cover page, the fleet table and a page per probe with its graph,
// figures, limits and source files, as a PDF saved through the safe save.
#pragma once

#include <cstdint>
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

// Writes the report to `path`; false with a one-line reason in *error when anything failed
// (nothing is then written). Needs a QGuiApplication.
bool SaveHistoryReport(HistoryStore& store, const ReportRequest& request, const std::string& path,
                       std::string* error);

}  // namespace tarn
