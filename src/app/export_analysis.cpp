// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export's instrument data file commands: "tags" lists a file's tags, "analysis" writes
// the analysis screen's export of one tag. Core only: they run without a display.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

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

const char kTagsUsage[] =
    "usage: tarn-export tags FILE\n"
    "  Lists the tags of an instrument data file (Nembra .nid or Metal Samples), one line\n"
    "  per tag: its index from 0, a tab, its name, a tab, its data type name.\n";

const char kAnalysisUsage[] =
    "usage: tarn-export analysis FILE --tag N (--csv OUT | --xls OUT | --xlsx OUT)\n"
    "  Writes tag N (from 0, as 'tarn-export tags' lists them) of an instrument data file as\n"
    "  the Analysis tab's Export does: comma-separated text (--csv), a spreadsheet (--xls) or\n"
    "  an Excel workbook (--xlsx).\n"
    "  The settings file of the program is read (never written), so the tubular probe\n"
    "  diameter is the one set in the program.\n";

// Keeps the reader's message for one error line on standard error.
class MessageKeeper : public Notifier {
 public:
  void Error(std::string_view text) override {
    if (message.empty()) message = text;
  }
  std::string message;
};

bool IsHelp(const char* arg) {
  return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "tarn-export: %s\n", text.c_str());
  return 1;
}

int UsageError(const char* text, const char* usage) {
  std::fprintf(stderr, "tarn-export: %s\n%s", text, usage);
  return 2;
}

// A whole non-negative decimal number within int32; false otherwise.
bool ParseTagIndex(const char* text, int32_t* out) {
  if (*text == '\0') return false;
  int64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
    if (v > INT32_MAX) return false;
  }
  *out = static_cast<int32_t>(v);
  return true;
}

// The reader with the user's settings, as the program would have them.
struct Session {
  Session() : grp(std::make_unique<_grp_values_>()), reader(*grp, setup, &keeper) {
    vaLoadCfg(UserCfgFile(), setup, unit);
  }
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  std::unique_ptr<_grp_values_> grp;
  MessageKeeper keeper;
  NembraReader reader;
};

// Opens and indexes the file; false (the error already printed) when it cannot be read.
bool OpenFile(Session& s, const std::string& path) {
  s.reader.Open(path);
  s.reader.FileName = path;
  if (!s.keeper.message.empty()) {
    Fail(path + ": " + s.keeper.message);
    return false;
  }
  return true;
}

}  // namespace

int RunTagsCommand(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (!IsHelp(argv[i])) continue;
    std::fputs(kTagsUsage, stdout);
    return 0;
  }
  if (argc != 1) return UsageError("tags takes one FILE", kTagsUsage);
  auto s = std::make_unique<Session>();
  if (!OpenFile(*s, argv[0])) return 1;
  const NembraReader& r = s->reader;
  for (int32_t i = 0; i < r.tag_count; ++i) {
    std::printf("%d\t%s\t%s\n", i, NarrowToUtf8(r.tag_name[i]).c_str(), GrpYTitle(r.data_type[i]));
  }
  return 0;  // whether the listing reached standard output is checked on the way out
}

int RunAnalysisCommand(int argc, char** argv) {
  const char* file = nullptr;
  const char* tag = nullptr;
  const char* out = nullptr;
  const char* kind = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (IsHelp(a)) {
      std::fputs(kAnalysisUsage, stdout);
      return 0;
    }
    const bool takes_value = std::strcmp(a, "--tag") == 0 || std::strcmp(a, "--csv") == 0 ||
                             std::strcmp(a, "--xls") == 0 || std::strcmp(a, "--xlsx") == 0;
    if (takes_value) {
      if (i + 1 >= argc) return UsageError("an option lacks its value", kAnalysisUsage);
      const char* v = argv[++i];
      if (std::strcmp(a, "--tag") == 0) {
        tag = v;
      } else {
        if (out) return UsageError("give one of --csv, --xls and --xlsx", kAnalysisUsage);
        out = v;
        kind = a;
      }
    } else if (a[0] == '-' && a[1] != '\0') {
      return UsageError((std::string("unknown option ") + a).c_str(), kAnalysisUsage);
    } else if (!file) {
      file = a;
    } else {
      return UsageError("analysis takes one FILE", kAnalysisUsage);
    }
  }
  if (!file || !tag || !out) {
    return UsageError("analysis needs FILE, --tag N and --csv, --xls or --xlsx OUT",
                      kAnalysisUsage);
  }
  int32_t t = 0;
  if (!ParseTagIndex(tag, &t)) {
    return UsageError((std::string("tag index '") + tag + "' is not a number from 0").c_str(),
                      kAnalysisUsage);
  }

  auto s = std::make_unique<Session>();
  if (!OpenFile(*s, file)) return 1;
  NembraReader& r = s->reader;
  if (t >= r.tag_count) {
    return Fail(std::string(file) + ": tag index " + std::to_string(t) + " is out of range (" +
                std::to_string(r.tag_count) + (r.tag_count == 1 ? " tag)" : " tags)"));
  }
  r.cur_tag = t;
  r.GetData(t);
  if (!s->keeper.message.empty()) return Fail(std::string(file) + ": " + s->keeper.message);

  const Status saved = std::strcmp(kind, "--xlsx") == 0  ? SaveXlsx(r, out)
                       : std::strcmp(kind, "--xls") == 0 ? SaveXls(r, out)
                                                         : SaveCsv(r, out);
  if (!saved) return Fail(std::string(out) + ": " + saved.message);
  return 0;
}

}  // namespace tarn
