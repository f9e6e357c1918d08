// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history exclude and restore: setting a stretch of a probe's readings aside with a
// reason, and taking it back, each printing how many readings changed.
#include <cstdio>
#include <optional>
#include <string>

#include "app/export_commands.h"
#include "app/export_history_common.h"
#include "history/history_store.h"

namespace tarn {

namespace {

// The probe and stretch of --probe, --from and --to; false once refused (*code the exit).
bool ReadStretch(const ParsedArgs& args, const char* command, int64_t* probe, HistoryTime* from,
                 HistoryTime* to, int* code) {
  const std::optional<int64_t> id = args.Whole("--probe");
  const std::string* f = args.Text("--from");
  const std::string* t = args.Text("--to");
  if (!id || !f || !t) {
    *code = args.Refuse(std::string(command) + " needs --probe ID, --from DATE and --to DATE");
    return false;
  }
  if (!ParseWhen(*f, false, from)) {
    *code = Fail("--from is not a date (dd/MM/yyyy HH:mm[:ss]): " + *f);
    return false;
  }
  if (!ParseWhen(*t, true, to)) {
    *code = Fail("--to is not a date (dd/MM/yyyy HH:mm[:ss]): " + *t);
    return false;
  }
  *probe = *id;
  return true;
}

int Changed(int64_t n) {
  std::printf("%lld\n", static_cast<long long>(n));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunExclude(const ParsedArgs& args) {
  int64_t probe = 0;
  HistoryTime from = 0, to = 0;
  if (int code = 0; !ReadStretch(args, "exclude", &probe, &from, &to, &code)) return code;
  const std::string* reason = args.Text("--reason");
  if (!reason) return args.Refuse("exclude needs --reason TEXT");
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  int64_t changed = 0;
  if (Status st = store->SetAside(probe, from, to, *reason, &changed); !st) {
    return Fail(st.message);
  }
  return Changed(changed);
}

int RunRestore(const ParsedArgs& args) {
  int64_t probe = 0;
  HistoryTime from = 0, to = 0;
  if (int code = 0; !ReadStretch(args, "restore", &probe, &from, &to, &code)) return code;
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  int64_t changed = 0;
  if (Status st = store->Restore(probe, from, to, &changed); !st) return Fail(st.message);
  return Changed(changed);
}

constexpr OptionDecl kFromOption = {
    .name = "--from",
    .value = "DATE",
    .repeatable = true,
    .help = "the stretch's first second, dd/MM/yyyy HH:mm[:ss] (a date alone: from 00:00:00)"};
constexpr OptionDecl kToOption = {
    .name = "--to",
    .value = "DATE",
    .repeatable = true,
    .help = "the stretch's last second, dd/MM/yyyy HH:mm[:ss] (a date alone: to 23:59:59)"};
constexpr OptionDecl kExcludeOptions[] = {
    kHistoryOption,
    kProbeIdOption,
    kFromOption,
    kToOption,
    {.name = "--reason",
     .value = "TEXT",
     .repeatable = true,
     .help = "why the readings are set aside, kept with them and in the trail"},
};
constexpr OptionDecl kRestoreOptions[] = {kHistoryOption, kProbeIdOption, kFromOption, kToOption};

}  // namespace

const CommandDecl kExcludeCommand = {
    .path = "history exclude",
    .synopsis = "--probe ID --from DATE --to DATE --reason TEXT",
    .about =
        "sets the probe's readings from DATE to DATE aside with a reason: they stay in the\n"
        "history and its exports (marked in the last column, excluded), and no rate, status\n"
        "or other figure counts them. Prints how many readings were set aside.\n",
    .options = kExcludeOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunExclude,
};

const CommandDecl kRestoreCommand = {
    .path = "history restore",
    .synopsis = "--probe ID --from DATE --to DATE",
    .about =
        "takes the probe's readings from DATE to DATE back into every figure (part of a\n"
        "stretch set aside splits it). Prints how many readings were restored.\n",
    .options = kRestoreOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunRestore,
};

}  // namespace tarn
