// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history events: the events on the plant with the rate of each point they apply
// to before and after them, adding an event and removing one.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/export_commands.h"
#include "app/export_history_common.h"
#include "common/atomic_file.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "history/event_figures.h"
#include "history/history_store.h"
#include "history/point_path.h"

namespace tarn {

namespace {

std::string Figure(const std::optional<double>& v) {
  return v ? FormatPattern(*v, 4) : "";
}

std::vector<std::string> EventFields(const EventFigure& f) {
  return {
      std::to_string(f.event.id),
      f.point_path,
      TimeText(f.event.time),
      EventKindWord(f.event.kind),
      f.event.note,
      Figure(f.before),
      Figure(f.after),
      Figure(f.change),
      Figure(f.low),
      Figure(f.high),
      f.change ? (f.significant ? "yes" : "no") : "",
  };
}

int RunEvents(const ParsedArgs& args) {
  const int32_t days = static_cast<int32_t>(args.Whole("--days").value_or(kDefaultEventDays));
  std::string path;
  if (const std::string* p = args.Text("--point")) {
    if (Status st = ParsePointPath(*p, &path); !st) return Fail(st.message);
  }
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const std::vector<EventFigure> rows = store->EventFigures(days, path);
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (const std::string* out = args.Text("--csv")) {
    std::string text =
        CsvLine({"Id", "Point Path", "Date", "Kind", "Note", "Rate Before", "Rate After", "Change",
                 "Change Low", "Change High", "Significant"});
    for (const EventFigure& f : rows) text += CsvLine(EventFields(f));
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  for (const EventFigure& f : rows) std::printf("%s\n", TabLine(EventFields(f)).c_str());
  return 0;
}

int RunAdd(const ParsedArgs& args) {
  const std::string* path = args.Text("--point");
  const std::string* at = args.Text("--at");
  const std::string* kind = args.Text("--kind");
  if (!path || !at || !kind)
    return args.Refuse("add needs --point PATH, --at DATE and --kind KIND");
  HistoryEvent event;
  // A date and a time: an event has its moment.
  int32_t chk = 0;
  const DateTime when = Str2DateTime(*at, &chk);
  if (chk == 0) return Fail("--at is not a date and time (dd/MM/yyyy HH:mm[:ss]): " + *at + ".");
  event.time = when.ticks / kTicksPerSecond;
  if (!ParseEventKind(*kind, &event.kind)) {
    return Fail("--kind is not one of inhibitor, process, cleaning, probe, other: " + *kind + ".");
  }
  if (const std::string* note = args.Text("--note")) event.note = *note;
  // A malformed path is refused before the history is opened (and perhaps created).
  if (Status st = ParsePointPath(*path, &event.path); !st) return Fail(st.message);
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  int64_t id = 0;
  if (Status st = store->AddEvent(event, &id); !st) return Fail(st.message);
  std::printf("%lld\n", static_cast<long long>(id));
  return 0;
}

int RunRemove(const ParsedArgs& args) {
  int64_t id = 0;
  const std::string& word = args.words().front();
  if (!ParseWhole(word, 1, kMaxId, &id)) return Fail("No event with id " + word + ".");
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  if (Status st = store->RemoveEvent(id); !st) return Fail(st.message);
  return 0;
}

constexpr OptionDecl kNodeOption = {
    .name = "--point",
    .value = "PATH",
    .repeatable = true,
    .help = "a point, unit or site path, Site/Unit/Point (1 to 6 names)"};
constexpr OptionDecl kEventsOptions[] = {
    kHistoryOption,
    kCsvOption,
    kNodeOption,
    {.name = "--days",
     .value = "N",
     .repeatable = true,
     .kind = ValueKind::kWhole,
     .low = 1,
     .high = kMaxEventDays,
     .help = "the days compared before and after each event, 1 to 365 (30 without it)"},
};
constexpr OptionDecl kAddOptions[] = {
    kHistoryOption,
    kNodeOption,
    {.name = "--at",
     .value = "DATE",
     .repeatable = true,
     .help = "when it happened, dd/MM/yyyy HH:mm[:ss]"},
    {.name = "--kind",
     .value = "KIND",
     .repeatable = true,
     .help = "inhibitor, process, cleaning, probe or other"},
    {.name = "--note", .value = "TEXT", .repeatable = true, .help = "what happened"},
};
constexpr OptionDecl kRemoveOptions[] = {kHistoryOption};

const CommandDecl kAdd = {
    .path = "history events add",
    .synopsis = "--point PATH --at DATE --kind KIND [--note TEXT]",
    .about =
        "adds an event at a point, or on a unit or site (then it applies to every point under\n"
        "it), and prints its id.\n",
    .options = kAddOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunAdd,
};
const CommandDecl kRemove = {
    .path = "history events remove",
    .synopsis = "ID",
    .about = "removes the event with that id.\n",
    .options = kRemoveOptions,
    .min_words = 1,
    .max_words = 1,
    .messages = {.too_few_words = "remove needs the event's id"},
    .style = RefusalStyle::kWithHelp,
    .run = RunRemove,
};
const CommandDecl* const kEventsSubcommands[] = {&kAdd, &kRemove};

}  // namespace

const CommandDecl kEventsCommand = {
    .path = "history events",
    .synopsis = "[--point PATH] [--days N] [--csv OUT]",
    .about =
        "one line per event and point it applies to, in time order (tab-separated; --csv\n"
        "writes a file with a header line): id, point path, date, kind, note, rate before,\n"
        "rate after, change, change low, change high, significant. The rates are the trend of\n"
        "the point's series (the mean for corrosion-rate points) over the days before and\n"
        "after the event, in the point's rate unit; low and high bound the change's 95 %\n"
        "interval, and it is significant when that leaves out 0. Fields are empty where a\n"
        "side has fewer than 3 readings. --point keeps the points at or under PATH.\n",
    .options = kEventsOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunEvents,
    .subcommands = kEventsSubcommands,
};

}  // namespace tarn
