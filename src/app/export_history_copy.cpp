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

const char kCopyHelp[] =
    "usage:\n"
    "  tarn-export history copy --from LOCATION --to LOCATION\n"
    "\n"
    "Copies every probe with its readings and limits from one history to another. A LOCATION\n"
    "is a history file or a PostgreSQL connection URI (postgresql://...). Copying again adds\n"
    "nothing; readings the destination holds with another value are kept as conflicts. The\n"
    "copy is checked by counting the readings on both sides.\n";

int UsageError(const char* what) {
  std::fprintf(stderr, "tarn-export history copy: %s (try 'tarn-export history copy --help')\n",
               what);
  return 2;
}

}  // namespace

int RunHistoryCopyCommand(int argc, char** argv) {
  std::string from, to;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg != "--help" && arg != "-h") continue;
    std::fputs(kCopyHelp, stdout);
    return 0;
  }
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--from" || arg == "--to") && i + 1 < argc) {
      (arg == "--from" ? from : to) = argv[++i];
    } else {
      return UsageError(("unexpected argument '" + arg + "'").c_str());
    }
  }
  if (from.empty() || to.empty()) return UsageError("both --from and --to are needed");

  // Opening creates a missing history: a mistyped source must not become an empty one.
  std::error_code ec;
  if (!IsServerLocation(from) && !std::filesystem::exists(from, ec)) {
    std::fprintf(stderr, "tarn-export: there is no history at %s\n", from.c_str());
    return 1;
  }
  std::string error;
  std::unique_ptr<HistoryStore> source = OpenHistory(from, &error);
  if (!source) {
    std::fprintf(stderr, "tarn-export: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<HistoryStore> target = OpenHistory(to, &error);
  if (!target) {
    std::fprintf(stderr, "tarn-export: %s\n", error.c_str());
    return 1;
  }
  HistoryCopyReport report;
  if (HistoryStatus st = CopyHistory(*source, *target, &report); !st) {
    std::fprintf(stderr, "tarn-export: %s\n", st.message.c_str());
    return 1;
  }
  const ImportResult& r = report.result;
  std::printf("%lld probes, %lld readings: %lld new, %lld duplicate, %lld conflicting\n",
              static_cast<long long>(report.probes), static_cast<long long>(report.readings),
              static_cast<long long>(r.added), static_cast<long long>(r.duplicates),
              static_cast<long long>(r.conflicts));
  return 0;
}

}  // namespace tarn
