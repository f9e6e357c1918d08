// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history copy: moves a whole probe history between a file and a server (either
// way), adding only what the destination lacks.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/export_commands.h"
#include "history/history_copy.h"
#include "history/history_store.h"

namespace tarn {

namespace {

int RunHistoryCopy(const ParsedArgs& args) {
  const std::string from = args.Has("--from") ? *args.Text("--from") : "";
  const std::string to = args.Has("--to") ? *args.Text("--to") : "";
  if (from.empty() || to.empty()) return args.Refuse("both --from and --to are needed");

  // Opening creates a missing history: a mistyped source must not become an empty one.
  std::error_code ec;
  if (!IsServerLocation(from) && !std::filesystem::exists(from, ec)) {
    return Fail("there is no history at " + from);
  }
  std::string error;
  std::unique_ptr<HistoryStore> source = OpenHistory(from, &error);
  if (!source) return Fail(error);
  std::unique_ptr<HistoryStore> target = OpenHistory(to, &error);
  if (!target) return Fail(error);
  HistoryCopyReport report;
  if (Status st = CopyHistory(*source, *target, &report); !st) return Fail(st.message);
  const ImportResult& r = report.result;
  std::printf("%lld probes, %lld readings: %lld new, %lld duplicate, %lld conflicting\n",
              static_cast<long long>(report.probes), static_cast<long long>(report.readings),
              static_cast<long long>(r.added), static_cast<long long>(r.duplicates),
              static_cast<long long>(r.conflicts));
  if (report.coupons > 0) {
    std::printf("%lld coupons added\n", static_cast<long long>(report.coupons));
  }
  return 0;
}

constexpr OptionDecl kCopyOptions[] = {
    {.name = "--from",
     .value = "LOCATION",
     .repeatable = true,  // the last one counts, as it always has
     .help = "the history copied from: a file or a postgresql:// URI"},
    {.name = "--to",
     .value = "LOCATION",
     .repeatable = true,
     .help = "the history copied to, made when missing"},
};

}  // namespace

const CommandDecl kHistoryCopyCommand = {
    .path = "history copy",
    .synopsis = "--from LOCATION --to LOCATION",
    .about =
        "every probe with its readings and limits, copied from one history to another. A\n"
        "LOCATION is a history file or a PostgreSQL connection URI (postgresql://...). Copying\n"
        "again adds nothing; readings the destination holds with another value are kept as\n"
        "conflicts. The copy is checked by counting the readings on both sides.\n",
    .options = kCopyOptions,
    .messages = {.unknown_option = "unexpected argument '{}'",
                 .missing_value = "unexpected argument '{}'",
                 .too_many_words = "unexpected argument '{}'"},
    .style = RefusalStyle::kTryHelp,
    .run = RunHistoryCopy,
};

}  // namespace tarn
