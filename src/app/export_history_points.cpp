// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history points and assign: the monitoring points with their cumulative figures,
// moving a probe to a point, renaming (moving) a point.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/export_commands.h"
#include "app/export_history_common.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "graph/grp_values.h"
#include "history/history_store.h"
#include "history/point_path.h"
#include "history/rate_window.h"

namespace tarn {

namespace {

std::vector<std::string> PointFields(const PointSummary& p) {
  const ProbeSummary& c = p.current;
  std::string status = StateWord(c.key.data_type, p.state);
  if (!p.state_reason.empty()) status += ": " + p.state_reason;
  return {
      p.path,
      std::to_string(p.probes.size()),
      std::to_string(c.id),
      c.key.tag,
      c.key.serial,
      GrpYTitle(c.key.data_type),
      p.count > 0 ? FormatPattern(p.value, 4) : "",
      p.rate ? FormatPattern(*p.rate, 4) + " " + p.rate_unit : "",
      p.consumed ? FormatPattern(*p.consumed * 100.0, 1) : "",
      p.end_time ? DateText(*p.end_time) : "",
      status,
  };
}

int RunPoints(const ParsedArgs& args) {
  const int32_t window = RateWindow(args);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const std::vector<PointSummary> points = store->ListPoints(window);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (const std::string* out = args.Text("--csv")) {
    std::string text =
        CsvLine({"Path", "Probes", "Current Probe Id", "Tag", "Serial", "Type", "Cumulative Value",
                 RateColumnTitle(window), "Consumed %", "End Date", "Status"});
    for (const PointSummary& p : points) text += CsvLine(PointFields(p));
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  for (const PointSummary& p : points) std::printf("%s\n", TabLine(PointFields(p)).c_str());
  return 0;
}

int RunAssign(const ParsedArgs& args) {
  const std::optional<int64_t> probe = args.Whole("--probe");
  const std::optional<int64_t> coupon = args.Whole("--coupon");
  const std::string* path = args.Text("--point");
  if (!probe == !coupon || !path) {
    return args.Refuse("assign needs --probe ID or --coupon ID, and --point PATH");
  }
  if (coupon && args.Has("--from")) return args.Refuse("--from is for a probe, not a coupon");
  std::optional<HistoryTime> from;
  if (const std::string* f = args.Text("--from")) {
    HistoryTime t = 0;
    if (!ParseWhen(*f, false, &t)) return args.Refuse("--from is not a date: " + *f);
    from = t;
  }
  // A malformed path is refused before the history is opened (and perhaps created).
  std::string stored;
  if (Status st = ParsePointPath(*path, &stored); !st) return Fail(st.message);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  std::string placed;
  const Status st = coupon ? store->AssignCoupon(*coupon, stored, &placed)
                           : store->AssignProbe(*probe, stored, from, &placed);
  if (!st) return Fail(st.message);
  std::printf("%s\n", placed.c_str());
  return 0;
}

int RunRename(const ParsedArgs& args) {
  const std::string* path = args.Text("--point");
  const std::string* to = args.Text("--to");
  if (!path || !to) return args.Refuse("rename needs --point PATH and --to PATH");
  std::string from_stored, to_stored;
  if (Status st = ParsePointPath(*path, &from_stored); !st) return Fail(st.message);
  if (Status st = ParsePointPath(*to, &to_stored); !st) return Fail(st.message);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  if (Status st = store->RenamePoint(from_stored, to_stored); !st) return Fail(st.message);
  std::printf("%s\n", to_stored.c_str());
  return 0;
}

constexpr OptionDecl kPointsOptions[] = {kHistoryOption, kCsvOption, kWindowOption};
constexpr OptionDecl kPointOption = {.name = "--point",
                                     .value = "PATH",
                                     .repeatable = true,
                                     .help = "the point's path, Site/Unit/Point (1 to 6 names)"};
constexpr OptionDecl kAssignOptions[] = {
    kHistoryOption,
    kProbeIdOption,
    kCouponOption,
    kPointOption,
    {.name = "--from",
     .value = "DATE",
     .repeatable = true,
     .help = "the probe counts at the point from DATE, dd/MM/yyyy [HH:mm[:ss]]"},
};
constexpr OptionDecl kRenameOptions[] = {
    kHistoryOption,
    kPointOption,
    {.name = "--to",
     .value = "PATH",
     .repeatable = true,
     .help = "the new path; the points under the old one move with it"},
};

const CommandDecl kRename = {
    .path = "history points rename",
    .synopsis = "--point PATH --to PATH",
    .about = "renames (moves) a point and every point under its path; prints the new path.\n",
    .options = kRenameOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunRename,
};
const CommandDecl* const kPointsSubcommands[] = {&kRename};

}  // namespace

const CommandDecl kPointsCommand = {
    .path = "history points",
    .synopsis = "[--csv OUT] [--window DAYS|all]",
    .about =
        "one line per monitoring point, sorted by path (tab-separated; --csv writes a file\n"
        "with a header line): path, probes, current probe id, tag, serial, type, cumulative\n"
        "value, rate, consumed %, end date, status. The cumulative value is the metal loss\n"
        "carried across the point's probe replacements (the latest value for other series),\n"
        "the rate the trend of that series over the window, consumed, end date and status\n"
        "those of the current probe at that rate, against the point's limits.\n",
    .options = kPointsOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunPoints,
    .subcommands = kPointsSubcommands,
};

const CommandDecl kAssignCommand = {
    .path = "history assign",
    .synopsis = "--probe ID --point PATH [--from DATE]\n--coupon ID --point PATH",
    .about =
        "moves a probe with its readings, or a coupon, to the point at PATH (made when there\n"
        "is none) and prints the point's path; a point left without probes or coupons goes.\n",
    .options = kAssignOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunAssign,
};

}  // namespace tarn
