// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history: imports instrument files into the probe history and lists its probes,
// a probe's readings and its limits, and the PDF report (drawn off-screen).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/export_commands.h"
#include "app/export_history_common.h"
#include "common/atomic_file.h"
#include "common/code_page.h"
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

std::vector<std::string> ProbeFields(const ProbeSummary& p) {
  std::string status = StateWord(p.key.data_type, p.state);
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

// For each reading, the reason it is set aside (UTF-8), or empty.
std::vector<std::string> ExcludedColumn(HistoryStore& store, int64_t probe_id,
                                        const std::vector<HistoryReading>& readings) {
  std::vector<std::string> out(readings.size());
  const std::vector<SetAsideStretch> stretches = store.ListSetAside(probe_id);
  std::size_t k = 0;
  for (std::size_t i = 0; i < readings.size() && k < stretches.size(); ++i) {
    while (k < stretches.size() && stretches[k].to < readings[i].time) ++k;
    if (k < stretches.size() && stretches[k].from <= readings[i].time) {
      out[i] = stretches[k].reason;
    }
  }
  return out;
}

int RunImport(const ParsedArgs& args) {
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  vaLoadCfg(UserCfgFile(), setup, unit);
  ImportControl control;
  control.pi_of_tubular = setup.pi_of_tubular;
  int code = 0;
  for (const std::string& file : args.words()) {
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

int RunProbes(const ParsedArgs& args) {
  const int32_t window = RateWindow(args);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const auto probes = store->ListProbes(window);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (const std::string* out = args.Text("--csv")) {
    std::string text =
        CsvLine({"Id", "Tag", "Serial", "Type", "Count", "Last Reading", "Latest Value",
                 RateColumnTitle(window), "Consumed %", "End Date", "Status"});
    for (const ProbeSummary& p : probes) text += CsvLine(ProbeFields(p));
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  std::printf("# rate: %s\n", RateWindowPhrase(window).c_str());
  for (const ProbeSummary& p : probes) {
    std::printf("%s\n", TabLine(ProbeFields(p)).c_str());
  }
  return 0;
}

int RunReadings(const ParsedArgs& args) {
  const std::optional<int64_t> probe = args.Whole("--probe");
  const std::string* out = args.Text("--csv");
  const std::string* xlsx = args.Text("--xlsx");
  if (!probe) return args.Refuse("readings needs --probe ID");
  const int64_t id = *probe;
  if (!out && !xlsx) return args.Refuse("readings needs --csv OUT or --xlsx OUT");
  HistoryTime from = INT64_MIN, to = INT64_MAX;
  if (const std::string* f = args.Text("--from"); f && !ParseWhen(*f, false, &from)) {
    return args.Refuse("--from is not a date: " + *f);
  }
  if (const std::string* t = args.Text("--to"); t && !ParseWhen(*t, true, &to)) {
    return args.Refuse("--to is not a date: " + *t);
  }
  if (from > to) return args.Refuse("--from must not be after --to");
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  if (!store->GetProbe(id, 0)) return Fail("no probe with id " + *args.Text("--probe"));
  const auto readings = store->ReadRange(id, from, to);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  const std::vector<std::string> excluded = ExcludedColumn(*store, id, readings);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (out) {
    std::string text = "Date,Value,excluded\r\n";
    text.reserve(readings.size() * 32 + text.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
      const HistoryReading& r = readings[i];
      text += TimeText(r.time) + "," + FormatPattern(r.value, 4) + ",";
      text += excluded[i].empty() ? std::string("\r\n") : CsvLine({Utf8ToNarrow(excluded[i])});
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
    sheet.Text(0, 2, "excluded");
    uint32_t row = 1;
    for (std::size_t i = 0; i < readings.size(); ++i) {
      sheet.Date(row, 0, DateTime{readings[i].time * kTicksPerSecond}, true);
      sheet.Number(row, 1, readings[i].value, 4);
      if (!excluded[i].empty()) sheet.Text(row, 2, excluded[i]);
      ++row;
    }
    if (Status saved = sheet.Save(*xlsx); !saved) return Fail(saved.message);
  }
  return 0;
}

int RunReport(const ParsedArgs& args) {
  const std::string* out = args.Text("--pdf");
  if (!out) return args.Refuse("report needs --pdf OUT");
  ReportRequest request;
  for (const GivenOption& g : args.options()) {
    if (std::string_view(g.decl->name) == "--probe") request.probe_ids.push_back(g.whole);
  }
  request.window_days = RateWindow(args);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  OffscreenGui gui;  // fonts and painting
  if (!SaveHistoryReport(*store, request, *out, &error)) return Fail(error);
  std::printf("# rate: %s\n", RateWindowPhrase(request.window_days).c_str());
  return 0;
}

constexpr char kLimitsNeedRates[] = "limits needs numbers for --rate-warn and --rate-alarm";

int RunLimits(const ParsedArgs& args) {
  const std::string* probe = args.Text("--probe");
  const bool defaults = args.Has("--default");
  if (defaults == (probe != nullptr)) return args.Refuse("limits needs --probe ID or --default");
  const int64_t id = args.Whole("--probe").value_or(0);  // 0: the defaults
  HistoryLimits l;
  const std::optional<double> rw = args.Decimal("--rate-warn");
  const std::optional<double> ra = args.Decimal("--rate-alarm");
  if (!rw || !ra) return args.Refuse(kLimitsNeedRates);
  l.rate_warn = *rw;
  l.rate_alarm = *ra;
  const std::optional<double> cw = args.Decimal("--consumed-warn");
  const std::optional<double> ca = args.Decimal("--consumed-alarm");
  if (cw.has_value() != ca.has_value()) {
    return args.Refuse("give both --consumed-warn and --consumed-alarm, or neither");
  }
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const HistoryLimits now = store->GetLimits(id);
  l.consumed_warn = now.consumed_warn;
  l.consumed_alarm = now.consumed_alarm;
  if (cw) {
    l.consumed_warn = *cw / 100.0;
    l.consumed_alarm = *ca / 100.0;
  }
  if (Status st = store->SetLimits(id, l); !st) return Fail(st.message);
  std::printf("%s: rate warning %s, alarm %s mpy; consumed warning %s %%, alarm %s %%\n",
              defaults ? "defaults" : ("probe " + *probe).c_str(),
              FormatPattern(l.rate_warn, 2).c_str(), FormatPattern(l.rate_alarm, 2).c_str(),
              FormatPattern(l.consumed_warn * 100, 1).c_str(),
              FormatPattern(l.consumed_alarm * 100, 1).c_str());
  return 0;
}

// The map tarn-monitor serves for this history, figure by figure, for the control system's
// engineer.
int RunModbusMap(const ParsedArgs& args) {
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  // Entries as the monitor serves them: the points, or the probes of a history without points.
  const std::vector<PointSummary> points = store->ListPoints(0);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  std::vector<ProbeSummary> probes;
  if (points.empty()) {
    probes = store->ListProbes(0);
    if (Status st = store->LastError(); !st) return Fail(st.message);
  }
  const auto entries =
      points.empty() ? MapEntriesFromProbes(probes, 0) : MapEntriesFromPoints(points, 0);
  std::vector<std::vector<std::string>> rows;
  for (const MapFigure& f : MapHeaderFigures()) {
    rows.push_back(
        {std::to_string(f.offset), std::to_string(f.width), f.type, "", "", "", "", f.name, ""});
  }
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const int32_t base = kMapFirstEntry + kMapEntryStride * static_cast<int32_t>(k);
    const ProbeSummary& p = points.empty() ? probes[k] : points[k].current;
    const std::string path = points.empty() ? "" : points[k].path;
    for (const MapFigure& f : MapEntryFigures()) {
      rows.push_back({std::to_string(base + f.offset), std::to_string(f.width), f.type,
                      std::to_string(k), std::to_string(p.id), p.key.tag, p.key.serial, f.name,
                      path});
    }
  }
  if (const std::string* out = args.Text("--csv")) {
    std::string text = CsvLine(
        {"Register", "Registers", "Type", "Entry", "Probe Id", "Tag", "Serial", "Figure", "Point"});
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

constexpr char kUnimportNeeds[] = "history unimport needs one FILE or --file-id N";

int RunUnimport(const ParsedArgs& args) {
  const std::string* id_text = args.Text("--file-id");
  if ((id_text != nullptr) == !args.words().empty() || args.words().size() > 1) {
    return args.Refuse(kUnimportNeeds);
  }
  int64_t file_id = args.Whole("--file-id").value_or(0);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  if (!id_text) {
    // The file as imported: by its full name, else (moved or renamed since) by its contents.
    const std::string& given = args.words().front();
    ImportFileFacts facts;
    const bool readable = DigestFile(given, &facts).ok;
    // Named as the import names it (the file may be gone since).
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(given, ec);
    const std::string absolute = ec ? given : full.string();
    std::vector<HistorySourceFile> found;
    const std::vector<HistorySourceFile> files = store->SourceFiles();
    if (Status st = store->LastError(); !st) return Fail(st.message);
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

int RunChanges(const ParsedArgs& args) {
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const std::vector<HistoryChange> changes = store->ListChanges();
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (const std::string* out = args.Text("--csv")) {
    std::string text = CsvLine({"Time", "User", "What", "Before", "After"});
    for (const HistoryChange& c : changes) {
      text += CsvLine({TimeText(c.time), c.user, c.what, c.before, c.after});
    }
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  for (const HistoryChange& c : changes) {
    std::printf("%s\t%s\t%s\t%s\t%s\n", TimeText(c.time).c_str(), c.user.c_str(), c.what.c_str(),
                c.before.c_str(), c.after.c_str());
  }
  std::fflush(stdout);
  return 0;
}

constexpr OptionDecl kImportOptions[] = {kHistoryOption};
constexpr OptionDecl kUnimportOptions[] = {
    kHistoryOption,
    {.name = "--file-id",
     .value = "N",
     .repeatable = true,
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = kMaxId,
     .refusal = "--file-id needs a number",
     .help = "the import to undo, by its id"},
};
constexpr OptionDecl kProbesOptions[] = {kHistoryOption, kCsvOption, kWindowOption};
constexpr OptionDecl kReportOptions[] = {
    kHistoryOption,
    {.name = "--pdf", .value = "OUT", .repeatable = true, .help = "writes the report to OUT"},
    {.name = "--probe",
     .value = "ID",
     .repeatable = true,
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = kMaxId,
     .refusal = "--probe needs a whole number",
     .help = "a probe of the report, by its id (every probe without it)"},
    kWindowOption,
};
constexpr OptionDecl kModbusMapOptions[] = {kHistoryOption, kCsvOption};
constexpr OptionDecl kReadingsOptions[] = {
    kHistoryOption,
    {.name = "--probe",
     .value = "ID",
     .repeatable = true,
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = kMaxId,
     .refusal = "readings needs --probe ID",
     .help = "the probe, by the id 'history probes' lists"},
    kCsvOption,
    {.name = "--xlsx", .value = "OUT", .repeatable = true, .help = "writes a workbook to OUT"},
    {.name = "--from",
     .value = "DATE",
     .repeatable = true,
     .help = "the first reading time, dd/MM/yyyy [HH:mm[:ss]]"},
    {.name = "--to",
     .value = "DATE",
     .repeatable = true,
     .help = "the last reading time, dd/MM/yyyy [HH:mm[:ss]]"},
};
constexpr char kConsumedNumbers[] = "--consumed-warn and --consumed-alarm need numbers (percent)";
constexpr char kConsumedShares[] =
    "--consumed-warn and --consumed-alarm are shares of the element, at most 100 %";
constexpr OptionDecl kLimitsOptions[] = {
    kHistoryOption,
    {.name = "--probe",
     .value = "ID",
     .repeatable = true,
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = kMaxId,
     .refusal = "--probe needs a whole number",
     .help = "the probe whose limits are set, by its id"},
    {.name = "--default",
     .repeatable = true,
     .help = "sets the limits of probes without their own"},
    {.name = "--rate-warn",
     .value = "X",
     .repeatable = true,
     .kind = ValueKind::kDecimal,
     .refusal = kLimitsNeedRates,
     .help = "the warning rate in mpy"},
    {.name = "--rate-alarm",
     .value = "Y",
     .repeatable = true,
     .kind = ValueKind::kDecimal,
     .refusal = kLimitsNeedRates,
     .help = "the alarm rate in mpy"},
    {.name = "--consumed-warn",
     .value = "P",
     .repeatable = true,
     .kind = ValueKind::kDecimal,
     .high = 100,
     .refusal = kConsumedNumbers,
     .out_of_range = kConsumedShares,
     .help = "the warning level of the element consumed, in %"},
    {.name = "--consumed-alarm",
     .value = "Q",
     .repeatable = true,
     .kind = ValueKind::kDecimal,
     .high = 100,
     .refusal = kConsumedNumbers,
     .out_of_range = kConsumedShares,
     .help = "the alarm level of the element consumed, in %"},
};

const CommandDecl kImport = {
    .path = "history import",
    .synopsis = "FILE...",
    .about =
        "one line per file: tags, new, duplicate, conflicting and skipped readings, then\n"
        "the first conflicts and skipped readings with their reasons.\n",
    .options = kImportOptions,
    .min_words = 1,
    .max_words = INT32_MAX,
    .messages = {.too_few_words = "history import needs at least one FILE"},
    .style = RefusalStyle::kWithHelp,
    .run = RunImport,
};
const CommandDecl kProbes = {
    .path = "history probes",
    .synopsis = "[--csv OUT] [--window DAYS|all]",
    .about =
        "a first line \"# rate: trend over ...\", then one line per probe (tab-separated;\n"
        "--csv writes a file with a header line whose rate column names the window):\n"
        "id, tag, serial, type, count, last reading, latest value, rate, consumed %, end\n"
        "date, status. The rate is the least-squares trend over the last DAYS days up to the\n"
        "probe's last reading, 'all' the whole history; without --window, the window the\n"
        "Probes tab keeps in the settings file (30 days unless changed there).\n",
    .options = kProbesOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunProbes,
};
const CommandDecl kReadings = {
    .path = "history readings",
    .synopsis = "--probe ID [--csv OUT] [--xlsx OUT] [--from DATE] [--to DATE]",
    .about =
        "the probe's readings as Date,Value lines (CSV) or a workbook of date and number\n"
        "cells (XLSX); DATE is dd/MM/yyyy [HH:mm[:ss]].\n",
    .options = kReadingsOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunReadings,
};
const CommandDecl kReport = {
    .path = "history report",
    .synopsis = "--pdf OUT [--probe ID]... [--window DAYS|all]",
    .about =
        "the PDF report: a cover, the table of probes and a page per probe with its\n"
        "graph, figures, limits and files; every page names the rate's window.\n",
    .options = kReportOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunReport,
};
const CommandDecl kLimits = {
    .path = "history limits",
    .synopsis =
        "--probe ID|--default --rate-warn X --rate-alarm Y [--consumed-warn P --consumed-alarm Q]",
    .about = "rates in mpy (mm/y probes compare with them converted), consumed levels in %.\n",
    .options = kLimitsOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunLimits,
};
const CommandDecl kModbusMap = {
    .path = "history modbus-map",
    .synopsis = "[--csv OUT]",
    .about =
        "the input register of every figure tarn-monitor serves, one line per figure\n"
        "(tab-separated; --csv writes a file with a header line): register, registers, type,\n"
        "entry, probe id, tag, serial, figure, point. An entry is a monitoring point, in the\n"
        "order of 'history points', with its current probe. Registers count from 0.\n",
    .options = kModbusMapOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunModbusMap,
};
const CommandDecl kUnimport = {
    .path = "history unimport",
    .synopsis = "FILE|--file-id N",
    .about =
        "removes the readings one imported file brought (FILE as imported, or the id\n"
        "of its import), the conflicts it offered, and probes left without readings.\n",
    .options = kUnimportOptions,
    .max_words = 1,
    .messages = {.too_many_words = kUnimportNeeds},
    .style = RefusalStyle::kWithHelp,
    .run = RunUnimport,
};

constexpr OptionDecl kChangesOptions[] = {kHistoryOption, kCsvOption};
const CommandDecl kChanges = {
    .path = "history changes",
    .synopsis = "[--csv OUT]",
    .about =
        "the trail of every change made to the history through Tarn (limits, conflicts\n"
        "chosen, imports undone, probes removed), oldest first, one line per change\n"
        "(tab-separated; --csv writes a file with a header line): time, user, what, before,\n"
        "after.\n",
    .options = kChangesOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunChanges,
};

const CommandDecl* const kHistorySubcommands[] = {
    &kImport,
    &kProbes,
    &kReadings,
    &kReport,
    &kLimits,
    &kPointsCommand,
    &kAssignCommand,
    &kEventsCommand,
    &kHistoryCouponsCommand,
    &kHistoryCopyCommand,
    &kModbusMap,
    &kUnimport,
    &kChanges,
    &kExcludeCommand,
    &kRestoreCommand,
};

}  // namespace

const CommandDecl kHistoryCommand = {
    .path = "history",
    .synopsis =
        "(import|probes|readings|report|limits|points|assign|events|coupons|exclude|restore) ...\n"
        "[--history PATH]\n"
        "copy --from LOCATION --to LOCATION",
    .about =
        "Every command but copy takes --history PATH; without it the history is the settings\n"
        "file's [HISTORY] LOCATION, else history.sqlite in the program's data folder.\n",
    .messages = {.unknown_command = "unknown history command '{}'"},
    .style = RefusalStyle::kWithHelp,
    .subcommands = kHistorySubcommands,
    .describe_subcommands = true,
};

}  // namespace tarn
