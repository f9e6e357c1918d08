// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export's instrument data file commands: "tags" lists a file's tags, "analysis" writes
// the analysis screen's export of one tag. Core only: they run without a display.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "analysis/analysis_export.h"
#include "analysis/nembra_reader.h"
#include "app/export_commands.h"
#include "common/code_page.h"
#include "common/notifier.h"
#include "common/user_paths.h"
#include "graph/grp_values.h"
#include "settings/settings.h"

namespace tarn {

namespace {

// The reader with the user's settings, as the program would have them.
struct Session {
  Session() : grp(std::make_unique<_grp_values_>()), reader(*grp, setup, &message) {
    vaLoadCfg(UserCfgFile(), setup, unit);
  }
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  std::unique_ptr<_grp_values_> grp;
  FirstMessage message;
  NembraReader reader;
};

// Opens and indexes the file; false (the error already printed) when it cannot be read.
bool OpenFile(Session& s, const std::string& path) {
  s.reader.Open(path);
  s.reader.FileName = path;
  if (s.message.empty()) return true;
  Fail(path + ": " + s.message.text());
  return false;
}

int RunTags(const ParsedArgs& args) {
  auto s = std::make_unique<Session>();
  if (!OpenFile(*s, args.words()[0])) return 1;
  const NembraReader& r = s->reader;
  for (int32_t i = 0; i < r.tag_count; ++i) {
    std::printf("%d\t%s\t%s\n", i, NarrowToUtf8(r.tag_name[i]).c_str(), GrpYTitle(r.data_type[i]));
  }
  return 0;  // whether the listing reached standard output is checked on the way out
}

constexpr char kOneOutput[] = "give one of --csv, --xls and --xlsx";

int RunAnalysis(const ParsedArgs& args) {
  const int outputs = args.Count("--csv") + args.Count("--xls") + args.Count("--xlsx");
  if (outputs > 1) return args.Refuse(kOneOutput);
  if (args.words().empty() || !args.Has("--tag") || outputs == 0) {
    return args.Refuse("analysis needs FILE, --tag N and --csv, --xls or --xlsx OUT");
  }
  const std::string& file = args.words()[0];
  const auto t = static_cast<int32_t>(*args.Whole("--tag"));

  auto s = std::make_unique<Session>();
  if (!OpenFile(*s, file)) return 1;
  NembraReader& r = s->reader;
  if (t >= r.tag_count) {
    return Fail(file + ": tag index " + std::to_string(t) + " is out of range (" +
                std::to_string(r.tag_count) + (r.tag_count == 1 ? " tag)" : " tags)"));
  }
  r.cur_tag = t;
  r.GetData(t);
  if (!s->message.empty()) return Fail(file + ": " + s->message.text());

  Status saved;
  const std::string* out = nullptr;
  if ((out = args.Text("--xlsx"))) {
    saved = SaveXlsx(r, *out);
  } else if ((out = args.Text("--xls"))) {
    saved = SaveXls(r, *out);
  } else {
    out = args.Text("--csv");
    saved = SaveCsv(r, *out);
  }
  if (!saved) return Fail(*out + ": " + saved.message);
  return 0;
}

constexpr OptionDecl kAnalysisOptions[] = {
    {.name = "--tag",
     .value = "N",
     .repeatable = true,  // the last one counts, as it always has
     .kind = ValueKind::kWhole,
     .low = 0,
     .high = INT32_MAX,
     .refusal = "tag index '{}' is not a number from 0",
     .help = "the tag, counted from 0 as 'tarn-export tags' lists them"},
    {.name = "--csv", .value = "OUT", .help = "writes comma-separated text to OUT"},
    {.name = "--xls", .value = "OUT", .help = "writes a spreadsheet (BIFF2) to OUT"},
    {.name = "--xlsx", .value = "OUT", .help = "writes an Excel workbook to OUT"},
};

}  // namespace

const CommandDecl kTagsCommand = {
    .path = "tags",
    .synopsis = "FILE",
    .about =
        "Lists the tags of an instrument data file (Nembra .nid or Metal Samples), one line\n"
        "per tag: its index from 0, a tab, its name, a tab, its data type name.\n",
    .min_words = 1,
    .max_words = 1,
    .messages = {.too_few_words = "tags takes one FILE", .too_many_words = "tags takes one FILE"},
    .style = RefusalStyle::kWithHelp,
    .run = RunTags,
};

const CommandDecl kAnalysisCommand = {
    .path = "analysis",
    .synopsis = "FILE --tag N (--csv OUT | --xls OUT | --xlsx OUT)",
    .about =
        "Writes tag N of an instrument data file as the Analysis tab's Export does:\n"
        "comma-separated text (--csv), a spreadsheet (--xls) or an Excel workbook (--xlsx).\n"
        "The settings file of the program is read (never written), so the tubular probe\n"
        "diameter is the one set in the program.\n",
    .options = kAnalysisOptions,
    .max_words = 1,
    .messages = {.missing_value = "an option lacks its value",
                 .repeated = kOneOutput,  // only the outputs may not be repeated
                 .too_many_words = "analysis takes one FILE"},
    .style = RefusalStyle::kWithHelp,
    .run = RunAnalysis,
};

}  // namespace tarn
