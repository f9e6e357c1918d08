// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/export_history_common.h"

#include "common/date_time.h"
#include "common/user_paths.h"
#include "history/history_location.h"
#include "history/probe_figures.h"
#include "history/rate_window.h"

namespace tarn {

bool ParseWhen(const std::string& text, bool end_of_day, HistoryTime* out) {
  int32_t chk = 0;
  DateTime dt = Str2DateTime(text, &chk);
  if (chk == 0) dt = Str2DateTime(text + (end_of_day ? " 23:59:59" : " 00:00:00"), &chk);
  if (chk == 0) return false;
  *out = dt.ticks / kTicksPerSecond;
  return true;
}

std::string TimeText(HistoryTime t) {
  return DateTime2Str(DateTime{t * kTicksPerSecond});
}

std::string DateText(HistoryTime t) {
  return TimeText(t).substr(0, 10);
}

const char* StateWord(int32_t data_type, ProbeState state) {
  if (KindOfSeries(data_type) == SeriesKind::kOther) return "-";  // no limit applies
  switch (state) {
    case ProbeState::kAlarm:
      return "ALARM";
    case ProbeState::kWarning:
      return "WARNING";
    default:
      return "OK";
  }
}

namespace {

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

std::string TabLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
  return line;
}

std::unique_ptr<HistoryStore> OpenFromArgs(const ParsedArgs& args, std::string* error) {
  const std::string* given = args.Text("--history");
  const std::string location =
      ResolveHistoryLocation(given ? *given : "", UserCfgFile(), UserDataPath());
  return OpenHistory(location, error);
}

int32_t RateWindow(const ParsedArgs& args) {
  if (!args.Has("--window")) return SavedRateWindow(UserCfgFile());
  return static_cast<int32_t>(args.Whole("--window").value_or(0));  // "all": 0
}

}  // namespace tarn
