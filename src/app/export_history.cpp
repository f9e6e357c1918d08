// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history: imports instrument files into the probe history and lists its probes,
// a probe's readings and its limits, and the PDF report (drawn off-screen).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <QGuiApplication>
#include "app/export_commands.h"

#include "common/atomic_file.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "common/user_paths.h"
#include "graph/grp_values.h"
#include "history/history_location.h"
#include "history/history_review.h"
#include "history/history_store.h"
#include "history/import_source.h"
#include "history/probe_figures.h"
#include "history/rate_window.h"
#include "history/ui/history_report.h"
#include "monitor/modbus_map.h"
#include "settings/settings.h"
#include "xlsx/xlsx_sheet.h"

namespace tarn {

namespace {

const char kHistoryUsage[] =
    "usage:\n"
    "  tarn-export history import FILE...\n"
    "  tarn-export history probes [--csv OUT] [--window DAYS|all]\n"
    "  tarn-export history readings --probe ID [--csv OUT] [--xlsx OUT] [--from DATE] [--to DATE]\n"
    "  tarn-export history report --pdf OUT [--probe ID]... [--window DAYS|all]\n"
    "  tarn-export history limits --probe ID|--default --rate-warn X --rate-alarm Y\n"
    "                             [--consumed-warn P --consumed-alarm Q]\n"
    "  tarn-export history copy --from LOCATION --to LOCATION\n"
    "  tarn-export history modbus-map [--csv OUT]\n"
    "  tarn-export history unimport FILE|--file-id N\n"
    "  Every command but copy takes --history PATH; without it the history is the settings\n"
    "  file's [HISTORY] LOCATION, else history.sqlite in the program's data folder.\n"
    "  import: one line per file: tags, new, duplicate, conflicting and skipped readings, then\n"
    "    the first conflicts and skipped readings with their reasons.\n"
    "  probes: a first line \"# rate: trend over ...\", then one line per probe (tab-separated;\n"
    "    --csv writes a file with a header line whose rate column names the window):\n"
    "    id, tag, serial, type, count, last reading, latest value, rate, consumed %, end\n"
    "    date, status. The rate is the least-squares trend over the last DAYS days up to the\n"
    "    probe's last reading, 'all' the whole history; without --window, the window the\n"
    "    Probes tab keeps in the settings file (30 days unless changed there).\n"
    "  readings: the probe's readings as Date,Value lines (CSV) or a workbook of date and number\n"
    "    cells (XLSX); DATE is dd/MM/yyyy [HH:mm[:ss]].\n"
    "  limits: rates in mpy (mm/y probes compare with them converted), consumed levels in %.\n"
    "  modbus-map: the input register of every figure tarn-monitor serves, one line per figure\n"
    "    (tab-separated; --csv writes a file with a header line): register, registers, type,\n"
    "    entry, probe id, tag, serial, figure. Registers count from 0.\n"
    "  unimport: removes the readings one imported file brought (FILE as imported, or the id\n"
    "    of its import), the conflicts it offered, and probes left without readings.\n"
    "  copy: every probe with its readings and limits into another history (a file or a\n"
    "    postgresql:// URI); see 'tarn-export history copy --help'.\n";

// One subcommand's share of the usage: its usage lines, the paragraphs every subcommand shares
// and its own ("NAME: ..."), each with the lines indented under it; all of it for a name the
// usage does not list.
std::string SubcommandHelp(const std::string& name) {
  std::string out = "usage:\n";
  bool found = false, keep = false;
  const char* line = std::strchr(kHistoryUsage, '\n') + 1;
  while (*line != '\0') {
    const char* end = std::strchr(line, '\n');
    const std::string text(line, end);
    line = end + 1;
    if (text.rfind("    ", 0) != 0) {  // not a continuation: a new item decides
      const std::string usage = "  tarn-export history ";
      const size_t word_end = text.find_first_of(" :", 2);
      const std::string word = text.substr(2, word_end == std::string::npos ? 0 : word_end - 2);
      if (text.rfind(usage, 0) == 0) {
        keep = text.compare(usage.size(), name.size() + 1, name + " ") == 0;
        found = found || keep;
      } else {
        keep = word_end == std::string::npos || text[word_end] != ':' || word == name;
      }
    }
    if (keep) out += text + "\n";
  }
  return found ? out : kHistoryUsage;
}

bool AsksForHelp(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "tarn-export: %s\n", text.c_str());
  return 1;
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "tarn-export: %s\n%s", text.c_str(), kHistoryUsage);
  return 2;
}

// Options of the form --name VALUE, and the words that are not options.
struct Args {
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::string> flags;
  std::vector<std::string> words;

  const std::string* Get(const char* name) const {
    const std::string* found = nullptr;
    for (const auto& [k, v] : options) {
      if (k == name) found = &v;
    }
    return found;
  }
  bool Has(const char* flag) const {
    for (const std::string& f : flags) {
      if (f == flag) return true;
    }
    return false;
  }
};

bool ParseArgs(int argc, char** argv, const std::vector<std::string>& valued,
               const std::vector<std::string>& bare, Args* out, std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--", 0) != 0) {
      out->words.push_back(a);
      continue;
    }
    bool known = false;
    for (const std::string& v : valued) {
      if (a == v) {
        if (i + 1 >= argc) {
          *error = a + " needs a value";
          return false;
        }
        out->options.emplace_back(a, argv[++i]);
        known = true;
      }
    }
    for (const std::string& b : bare) {
      if (a == b) {
        out->flags.push_back(a);
        known = true;
      }
    }
    if (!known) {
      *error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

bool ParseNumber(const std::string& text, double* out) {
  return ParseWholeNumber(text, out);
}

bool ParseId(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 18) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

// dd/MM/yyyy with an optional time; a date alone means its first (or, for `to`, last) second.
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

const char* StateName(const ProbeSummary& p) {
  if (KindOfSeries(p.key.data_type) == SeriesKind::kOther) return "-";  // no limit applies
  switch (p.state) {
    case ProbeState::kAlarm:
      return "ALARM";
    case ProbeState::kWarning:
      return "WARNING";
    default:
      return "OK";
  }
}

std::vector<std::string> ProbeFields(const ProbeSummary& p) {
  std::string status = StateName(p);
  if (!p.state_reason.empty()) status += ": " + p.state_reason;
  return {
      std::to_string(p.id),
      p.key.tag,
      p.key.serial,
      GrpYTitle(p.key.data_type),
      std::to_string(p.count),
      p.count > 0 ? TimeText(p.last_time) : "",
      p.count > 0 ? FormatPattern(p.latest_value, 4) : "",
      p.rate ? FormatPattern(*p.rate, 4) + " " + p.rate_unit : "",
      p.consumed ? FormatPattern(*p.consumed * 100.0, 1) : "",
      p.end_time ? DateText(*p.end_time) : "",
      status,
  };
}

// A CSV field, quoted when it holds a comma or a quote.
std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

std::unique_ptr<HistoryStore> Open(const Args& args, std::string* error) {
  const std::string* given = args.Get("--history");
  const std::string location =
      ResolveHistoryLocation(given ? *given : "", UserCfgFile(), UserDataPath());
  return OpenHistory(location, error);
}

int RunImport(const Args& args) {
  if (args.words.empty()) return UsageError("history import needs at least one FILE");
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  vaLoadCfg(UserCfgFile(), setup, unit);
  ImportControl control;
  control.pi_of_tubular = setup.pi_of_tubular;
  int code = 0;
  for (const std::string& file : args.words) {
    const ImportResult r = store->Import(file, control);
    if (!r.status.ok) {
      code = Fail(r.status.message);
      continue;
    }
    std::printf("%s: %d tags, %lld new, %lld duplicate, %lld conflicting", file.c_str(), r.tags,
                static_cast<long long>(r.added), static_cast<long long>(r.duplicates),
                static_cast<long long>(r.conflicts));
    if (r.skipped > 0) std::printf(", %lld skipped", static_cast<long long>(r.skipped));
    std::printf("\n");
    if (!r.conflict_probes.empty()) {
      std::printf("  conflicts in: %s\n", ProbeKeyNames(r.conflict_probes).c_str());
    }
    for (const HistoryConflict& c : r.first_conflicts) {
      std::printf("  conflict: %s %s %s %s %s offered %s\n", c.tag.c_str(), c.serial.c_str(),
                  TimeText(c.time).c_str(), c.same_file ? "in the same file" : "stored",
                  FormatPattern(c.stored, 4).c_str(), FormatPattern(c.offered, 4).c_str());
    }
    for (const SkippedReading& k : r.first_skipped) {
      std::printf("  skipped: %s%s%s\n",
                  k.line > 0 ? ("line " + std::to_string(k.line) + ", ").c_str() : "",
                  k.tag.empty() ? "" : ("tag " + k.tag + ": ").c_str(), k.reason.c_str());
    }
    // The readings are stored whatever happens to the summary: say so, and do not fail.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr,
                   "tarn-export: %s was imported (%lld new readings), but its summary could not "
                   "be written to standard output.\n",
                   file.c_str(), static_cast<long long>(r.added));
      std::clearerr(stdout);
    }
  }
  return code;
}

// --window DAYS or "all"; without it the window the Probes tab keeps in the settings file.
bool ParseWindow(const Args& args, int32_t* days) {
  const std::string* w = args.Get("--window");
  if (w == nullptr) {
    *days = SavedRateWindow(UserCfgFile());
    return true;
  }
  if (*w == "all") {
    *days = 0;
    return true;
  }
  int64_t n = 0;
  if (!ParseId(*w, &n) || n < 1 || n > 100000) return false;
  *days = static_cast<int32_t>(n);
  return true;
}

int RunProbes(const Args& args) {
  int32_t window = 0;
  if (!ParseWindow(args, &window)) {
    return UsageError("--window needs a whole number of days, at least 1, or 'all'");
  }
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  const auto probes = store->ListProbes(window);
  if (HistoryStatus st = store->LastError(); !st) return Fail(st.message);
  if (const std::string* out = args.Get("--csv")) {
    std::string text =
        CsvLine({"Id", "Tag", "Serial", "Type", "Count", "Last Reading", "Latest Value",
                 RateColumnTitle(window), "Consumed %", "End Date", "Status"});
    for (const ProbeSummary& p : probes) text += CsvLine(ProbeFields(p));
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  std::printf("# rate: %s\n", RateWindowPhrase(window).c_str());
  for (const ProbeSummary& p : probes) {
    const auto fields = ProbeFields(p);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int RunReadings(const Args& args) {
  int64_t id = 0;
  const std::string* probe = args.Get("--probe");
  const std::string* out = args.Get("--csv");
  const std::string* xlsx = args.Get("--xlsx");
  if (!probe || !ParseId(*probe, &id)) return UsageError("readings needs --probe ID");
  if (!out && !xlsx) return UsageError("readings needs --csv OUT or --xlsx OUT");
  HistoryTime from = INT64_MIN, to = INT64_MAX;
  if (const std::string* f = args.Get("--from"); f && !ParseWhen(*f, false, &from)) {
    return UsageError("--from is not a date: " + *f);
  }
  if (const std::string* t = args.Get("--to"); t && !ParseWhen(*t, true, &to)) {
    return UsageError("--to is not a date: " + *t);
  }
  if (from > to) return UsageError("--from must not be after --to");
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  if (!store->GetProbe(id, 0)) return Fail("no probe with id " + *probe);
  const auto readings = store->ReadRange(id, from, to);
  if (HistoryStatus st = store->LastError(); !st) return Fail(st.message);
  if (out) {
    std::string text = "Date,Value\r\n";
    text.reserve(readings.size() * 32 + text.size());
    for (const HistoryReading& r : readings) {
      text += TimeText(r.time) + "," + FormatPattern(r.value, 4) + "\r\n";
    }
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
  }
  if (xlsx) {
    // Same columns as the CSV; dates are date cells and values numbers with the CSV's decimals.
    constexpr std::size_t kSheetRows = 1048575;  // a worksheet's rows below the header
    if (readings.size() > kSheetRows) {
      return Fail("a workbook sheet holds at most 1048575 readings; narrow --from/--to");
    }
    XlsxSheet sheet;
    sheet.ColumnWidth(0, 20);
    sheet.Text(0, 0, "Date");
    sheet.Text(0, 1, "Value");
    uint32_t row = 1;
    for (const HistoryReading& r : readings) {
      sheet.Date(row, 0, DateTime{r.time * kTicksPerSecond}, true);
      sheet.Number(row, 1, r.value, 4);
      ++row;
    }
    if (Status saved = sheet.Save(*xlsx); !saved) return Fail(saved.message);
  }
  return 0;
}

int RunReport(const Args& args) {
  const std::string* out = args.Get("--pdf");
  if (!out) return UsageError("report needs --pdf OUT");
  ReportRequest request;
  for (const auto& [name, value] : args.options) {
    int64_t id = 0;
    if (name != "--probe") continue;
    if (!ParseId(value, &id)) return UsageError("--probe needs a whole number");
    request.probe_ids.push_back(id);
  }
  if (!ParseWindow(args, &request.window_days)) {
    return UsageError("--window needs a whole number of days, at least 1, or 'all'");
  }
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  // Fonts and painting need a platform plugin; without a display use the off-screen one.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int qt_argc = 1;
  char name[] = "tarn-export";
  char* qt_argv[] = {name, nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  if (!SaveHistoryReport(*store, request, *out, &error)) return Fail(error);
  std::printf("# rate: %s\n", RateWindowPhrase(request.window_days).c_str());
  return 0;
}

int RunLimits(const Args& args) {
  const std::string* probe = args.Get("--probe");
  const bool defaults = args.Has("--default");
  int64_t id = 0;
  if (defaults == (probe != nullptr)) return UsageError("limits needs --probe ID or --default");
  if (probe && !ParseId(*probe, &id)) return UsageError("--probe needs a whole number");
  HistoryLimits l;
  const std::string* rw = args.Get("--rate-warn");
  const std::string* ra = args.Get("--rate-alarm");
  if (!rw || !ra || !ParseNumber(*rw, &l.rate_warn) || !ParseNumber(*ra, &l.rate_alarm)) {
    return UsageError("limits needs numbers for --rate-warn and --rate-alarm");
  }
  const std::string* cw = args.Get("--consumed-warn");
  const std::string* ca = args.Get("--consumed-alarm");
  if ((cw == nullptr) != (ca == nullptr)) {
    return UsageError("give both --consumed-warn and --consumed-alarm, or neither");
  }
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  const HistoryLimits now = store->GetLimits(id);
  l.consumed_warn = now.consumed_warn;
  l.consumed_alarm = now.consumed_alarm;
  if (cw) {
    double p = 0, q = 0;
    if (!ParseNumber(*cw, &p) || !ParseNumber(*ca, &q)) {
      return UsageError("--consumed-warn and --consumed-alarm need numbers (percent)");
    }
    if (p > 100 || q > 100) {
      return UsageError(
          "--consumed-warn and --consumed-alarm are shares of the element, at most 100 %");
    }
    l.consumed_warn = p / 100.0;
    l.consumed_alarm = q / 100.0;
  }
  if (HistoryStatus st = store->SetLimits(id, l); !st) return Fail(st.message);
  std::printf("%s: rate warning %s, alarm %s mpy; consumed warning %s %%, alarm %s %%\n",
              defaults ? "defaults" : ("probe " + *probe).c_str(),
              FormatPattern(l.rate_warn, 2).c_str(), FormatPattern(l.rate_alarm, 2).c_str(),
              FormatPattern(l.consumed_warn * 100, 1).c_str(),
              FormatPattern(l.consumed_alarm * 100, 1).c_str());
  return 0;
}

// The map tarn-monitor serves for this history, figure by figure, for the control system's
// engineer.
int RunModbusMap(const Args& args) {
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  const auto probes = store->ListProbes(0);
  if (HistoryStatus st = store->LastError(); !st) return Fail(st.message);
  const auto entries = MapEntriesFromProbes(probes, 0);
  std::vector<std::vector<std::string>> rows;
  for (const MapFigure& f : MapHeaderFigures()) {
    rows.push_back(
        {std::to_string(f.offset), std::to_string(f.width), f.type, "", "", "", "", f.name});
  }
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const int32_t base = kMapFirstEntry + kMapEntryStride * static_cast<int32_t>(k);
    const ProbeSummary& p = probes[k];
    for (const MapFigure& f : MapEntryFigures()) {
      rows.push_back({std::to_string(base + f.offset), std::to_string(f.width), f.type,
                      std::to_string(k), std::to_string(p.id), p.key.tag, p.key.serial, f.name});
    }
  }
  if (const std::string* out = args.Get("--csv")) {
    std::string text =
        CsvLine({"Register", "Registers", "Type", "Entry", "Probe Id", "Tag", "Serial", "Figure"});
    for (const auto& r : rows) text += CsvLine(r);
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  for (const auto& r : rows) {
    std::string line;
    for (std::size_t i = 0; i < r.size(); ++i) line += (i ? "\t" : "") + r[i];
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int RunUnimport(const Args& args) {
  const std::string* id_text = args.Get("--file-id");
  if ((id_text != nullptr) == !args.words.empty() || args.words.size() > 1) {
    return UsageError("history unimport needs one FILE or --file-id N");
  }
  int64_t file_id = 0;
  if (id_text && !ParseId(*id_text, &file_id)) return UsageError("--file-id needs a number");
  std::string error;
  auto store = Open(args, &error);
  if (!store) return Fail(error);
  if (!id_text) {
    // The file as imported: by its full name, else (moved or renamed since) by its contents.
    const std::string& given = args.words.front();
    ImportFileFacts facts;
    const bool readable = DigestFile(given, &facts).ok;
    // Named as the import names it (the file may be gone since).
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(given, ec);
    const std::string absolute = ec ? given : full.string();
    std::vector<HistorySourceFile> found;
    const std::vector<HistorySourceFile> files = store->SourceFiles();
    if (HistoryStatus st = store->LastError(); !st) return Fail(st.message);
    for (const HistorySourceFile& f : files) {
      if (f.name == absolute || f.name == given) found.push_back(f);
    }
    if (found.empty() && readable) {
      for (const HistorySourceFile& f : files) {
        if (f.sha256 == facts.sha256) found.push_back(f);
      }
    }
    if (found.empty()) return Fail("no import of " + given + " in the history");
    if (found.size() > 1) {
      std::string list;
      for (const HistorySourceFile& f : found) {
        list += "\n  --file-id " + std::to_string(f.id) + ": " + f.name + ", imported " +
                TimeText(f.imported_at) + ", " + std::to_string(f.readings) + " new readings";
      }
      return Fail(given + " was imported " + std::to_string(found.size()) +
                  " times; name one import:" + list);
    }
    file_id = found.front().id;
  }
  const UnimportResult r = store->Unimport(file_id, true);
  if (!r.status.ok) return Fail(r.status.message);
  std::printf("%s: %lld readings removed, %lld conflicts dropped, %lld offered values stored\n",
              r.file.c_str(), static_cast<long long>(r.readings),
              static_cast<long long>(r.conflicts), static_cast<long long>(r.promoted));
  if (!r.emptied.empty()) {
    std::printf("  probes left without readings, removed: %s\n", ProbeKeyNames(r.emptied).c_str());
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace

int RunHistoryCommand(int argc, char** argv) {
  if (argc < 1 || std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0) {
    std::fputs(kHistoryUsage, argc < 1 ? stderr : stdout);
    return argc < 1 ? 2 : 0;
  }
  if (std::strcmp(argv[0], "copy") == 0) return RunHistoryCopyCommand(argc - 1, argv + 1);
  struct Sub {
    const char* name;
    int (*run)(const Args&);
    std::vector<std::string> valued;
    std::vector<std::string> bare;
  };
  const Sub subs[] = {
      {"import", RunImport, {"--history"}, {}},
      {"unimport", RunUnimport, {"--history", "--file-id"}, {}},
      {"probes", RunProbes, {"--history", "--csv", "--window"}, {}},
      {"report", RunReport, {"--history", "--pdf", "--probe", "--window"}, {}},
      {"modbus-map", RunModbusMap, {"--history", "--csv"}, {}},
      {"readings", RunReadings, {"--history", "--probe", "--csv", "--xlsx", "--from", "--to"}, {}},
      {"limits",
       RunLimits,
       {"--history", "--probe", "--rate-warn", "--rate-alarm", "--consumed-warn",
        "--consumed-alarm"},
       {"--default"}},
  };
  for (const Sub& s : subs) {
    if (std::strcmp(argv[0], s.name) != 0) continue;
    if (AsksForHelp(argc - 1, argv + 1)) {
      std::fputs(SubcommandHelp(s.name).c_str(), stdout);
      return 0;
    }
    Args args;
    std::string error;
    if (!ParseArgs(argc - 1, argv + 1, s.valued, s.bare, &args, &error)) return UsageError(error);
    if (std::strcmp(s.name, "import") != 0 && std::strcmp(s.name, "unimport") != 0 &&
        !args.words.empty()) {
      return UsageError("unexpected argument " + args.words.front());
    }
    return s.run(args);
  }
  return UsageError(std::string("unknown history command '") + argv[0] + "'");
}

}  // namespace tarn
