// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export's option parser: what it refuses and how, on a table made here, and the help and
// refusals of every real command's table.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/export_commands.h"
#include "app/export_common.h"

namespace tarn {
namespace {

int RunNothing(const ParsedArgs&) {
  return 0;
}

constexpr OptionDecl kDemoOptions[] = {
    {.name = "--name", .value = "TEXT", .help = "a text"},
    {.name = "--count",
     .value = "N",
     .kind = ValueKind::kWhole,
     .low = 1,
     .high = 10,
     .word = "all",
     .help = "a whole number"},
    {.name = "--ratio",
     .value = "R",
     .kind = ValueKind::kDecimal,
     .low = 0,
     .high = 1,
     .help = "a decimal"},
    {.name = "--level",
     .value = "L",
     .kind = ValueKind::kDecimal,
     .high = 100,
     .refusal = "--level wants a number, not '{}'",
     .out_of_range = "--level is at most 100",
     .help = "a decimal with the command's own sentences"},
    {.name = "--flag", .help = "a flag"},
    {.name = "--many", .value = "M", .repeatable = true, .help = "given as often as wanted"},
};

const CommandDecl kDemo = {
    .path = "demo",
    .synopsis = "FILE [FILE] [--name TEXT]",
    .about = "A command made for the test.\n",
    .options = kDemoOptions,
    .min_words = 1,
    .max_words = 2,
    .messages = {.too_few_words = "demo needs a FILE"},
    .run = RunNothing,
};

CommandLine Read(const CommandDecl& decl, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ReadCommandLine(decl, static_cast<int>(argv.size()), argv.data());
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

TEST(ExportOptions, RefusesEachWrongCommandLineInOneSentence) {
  struct Case {
    std::vector<std::string> args;
    const char* said;  // the first line on standard error
  };
  const Case cases[] = {
      {{"f", "--nope"}, "tarn-export: unknown option --nope"},
      {{"f", "-x"}, "tarn-export: unknown option -x"},
      {{"f", "--name"}, "tarn-export: --name needs a value"},
      {{"f", "--name", "a", "--name", "b"}, "tarn-export: repeated --name"},
      {{"f", "--flag", "--flag"}, "tarn-export: repeated --flag"},
      {{"f", "--count", "11"}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", "0"}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", "x"}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", "2.5"}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", "+3"}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", ""}, "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--count", "1234567890123456789"},
       "tarn-export: --count needs a whole number from 1 to 10"},
      {{"f", "--ratio", "1.5"}, "tarn-export: --ratio needs a number from 0 to 1"},
      {{"f", "--ratio", "nan"}, "tarn-export: --ratio needs a number from 0 to 1"},
      {{"f", "--ratio", "0,5"}, "tarn-export: --ratio needs a number from 0 to 1"},
      {{"f", "--level", "lots"}, "tarn-export: --level wants a number, not 'lots'"},
      {{"f", "--level", "150"}, "tarn-export: --level is at most 100"},
      {{}, "tarn-export: demo needs a FILE"},
      {{"--flag"}, "tarn-export: demo needs a FILE"},
      {{"a", "b", "c"}, "tarn-export: unexpected argument c"},
  };
  for (const Case& c : cases) {
    const CommandLine line = Read(kDemo, c.args);
    const std::string shown = testing::PrintToString(c.args);
    EXPECT_FALSE(line.ok) << shown;
    EXPECT_EQ(line.exit_code, 2) << shown;
    EXPECT_EQ(line.refusal, std::string(c.said) + "\n") << shown;
    EXPECT_EQ(line.help, "") << shown;
  }
}

TEST(ExportOptions, ReadsWhatItAccepts) {
  const CommandLine line = Read(kDemo, {"-", "--many", "1", "--ratio", " 0.25 ", "--many", "-2",
                                        "--count", "10", "--flag", "b.nid", "--level", "-5"});
  ASSERT_TRUE(line.ok) << line.refusal;
  const ParsedArgs& a = line.args;
  EXPECT_EQ(a.words(), (std::vector<std::string>{"-", "b.nid"}));  // "-" alone is a word
  EXPECT_EQ(a.Count("--many"), 2);
  EXPECT_EQ(*a.Text("--many"), "-2");   // a value may begin with a minus sign
  EXPECT_EQ(a.options()[0].text, "1");  // given order kept
  EXPECT_EQ(a.Whole("--count"), 10);
  EXPECT_EQ(a.Decimal("--ratio"), 0.25);
  EXPECT_EQ(a.Decimal("--level"), -5.0);
  EXPECT_TRUE(a.Has("--flag"));
  EXPECT_FALSE(a.Has("--name"));
  EXPECT_EQ(a.Text("--name"), nullptr);

  // The option's word in place of a number: the text, and no number.
  const CommandLine all = Read(kDemo, {"f", "--count", "all"});
  ASSERT_TRUE(all.ok) << all.refusal;
  EXPECT_EQ(*all.args.Text("--count"), "all");
  EXPECT_FALSE(all.args.Whole("--count").has_value());
}

TEST(ExportOptions, HelpWinsWhereverItStandsButNotAsAValue) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"},
                                             {"-h"},
                                             {"a", "b", "c", "--help"},
                                             {"--nope", "-h"},
                                             {"--count", "x", "-h"}}) {
    const CommandLine line = Read(kDemo, args);
    EXPECT_FALSE(line.ok);
    EXPECT_EQ(line.exit_code, 0) << testing::PrintToString(args);
    EXPECT_EQ(line.help, HelpText(kDemo));
    EXPECT_EQ(line.refusal, "");
  }
  const CommandLine value = Read(kDemo, {"f", "--name", "--help"});
  ASSERT_TRUE(value.ok) << value.refusal;
  EXPECT_EQ(*value.args.Text("--name"), "--help");
}

TEST(ExportOptions, RefusalStylesAndMadeUpSentences) {
  CommandDecl decl = kDemo;
  decl.path = "history demo";
  decl.style = RefusalStyle::kTryHelp;
  EXPECT_EQ(RefusalText(decl, "no file"),
            "tarn-export history demo: no file (try 'tarn-export history demo --help')\n");
  decl.style = RefusalStyle::kWithHelp;
  EXPECT_EQ(RefusalText(decl, "no file"), "tarn-export: no file\n" + HelpText(decl));
  decl.style = RefusalStyle::kAlone;
  EXPECT_EQ(RefusalText(decl, "no file"), "tarn-export: no file\n");

  struct Case {
    ValueKind kind;
    double low, high;
    const char* said;
  };
  const Case cases[] = {
      {ValueKind::kWhole, 1, 16384, "--x needs a whole number from 1 to 16384"},
      {ValueKind::kWhole, 0, 1e300, "--x needs a whole number, at least 0"},
      {ValueKind::kDecimal, -1e300, 100, "--x needs a number, at most 100"},
      {ValueKind::kDecimal, -1e300, 1e300, "--x needs a number"},
      {ValueKind::kDecimal, 0.5, 2.25, "--x needs a number from 0.5 to 2.25"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberRefusal("--x", c.kind, c.low, c.high), c.said);

  int64_t whole = 7;
  double decimal = 7;
  EXPECT_TRUE(ParseWhole("-3", -5, 5, &whole));
  EXPECT_EQ(whole, -3);
  EXPECT_FALSE(ParseWhole("-6", -5, 5, &whole));
  EXPECT_FALSE(ParseWhole("3 ", -5, 5, &whole));
  EXPECT_FALSE(ParseWhole("", -5, 5, &whole));
  EXPECT_FALSE(ParseWhole("-", -5, 5, &whole));
  EXPECT_EQ(whole, -3);  // untouched by a refusal
  EXPECT_TRUE(ParseDecimal("1e2", 0, 100, &decimal));
  EXPECT_EQ(decimal, 100.0);
  EXPECT_FALSE(ParseDecimal("inf", -1e300, 1e300, &decimal));
  EXPECT_FALSE(ParseDecimal("1e400", -1e300, 1e300, &decimal));
}

// Every command of tarn-export, subcommands included.
std::vector<const CommandDecl*> RealCommands() {
  std::vector<const CommandDecl*> out = {&kTagsCommand, &kAnalysisCommand, &kCouponsCommand,
                                         &kGraphCommand};
  for (const CommandDecl* sub : kHistoryCommand.subcommands) {
    out.push_back(sub);
    for (const CommandDecl* nested : sub->subcommands) out.push_back(nested);
  }
  return out;
}

std::vector<std::string> OptionsIn(std::string_view text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; (i = text.find("--", i)) != std::string_view::npos;) {
    std::size_t end = i + 2;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-')) {
      ++end;
    }
    out.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

TEST(ExportOptions, EveryCommandsHelpNamesEachOptionItTakes) {
  ASSERT_EQ(kHistoryCommand.subcommands.size(), 15u);
  for (const CommandDecl* decl : RealCommands()) {
    SCOPED_TRACE(decl->path);
    const CommandLine line = Read(*decl, {"--help"});
    EXPECT_EQ(line.exit_code, 0);
    const std::string& help = line.help;
    EXPECT_EQ(help.rfind("usage:\n  tarn-export " + std::string(decl->path) + " ", 0), 0u) << help;
    EXPECT_NE(help.find("\n  -h, --help "), std::string::npos) << help;
    for (const OptionDecl& o : decl->options) {
      std::string label =
          "\n  " + std::string(o.name) + (o.value ? std::string(" ") + o.value : "");
      EXPECT_NE(help.find(label + " "), std::string::npos) << label << " in\n" << help;
      EXPECT_STRNE(o.help, "") << o.name;
    }
    // The usage lines name only options the table declares.
    for (const std::string& name : OptionsIn(decl->synopsis)) {
      bool declared = false;
      for (const OptionDecl& o : decl->options) declared = declared || name == o.name;
      EXPECT_TRUE(declared) << name;
    }
  }
}

TEST(ExportOptions, EveryCommandRefusesWhatItsTableRefuses) {
  for (const CommandDecl* decl : RealCommands()) {
    SCOPED_TRACE(decl->path);
    std::vector<std::string> words(decl->min_words, "f");
    auto refused = [&](std::vector<std::string> args) {
      args.insert(args.begin(), words.begin(), words.end());
      const CommandLine line = Read(*decl, args);
      EXPECT_FALSE(line.ok) << testing::PrintToString(args);
      EXPECT_EQ(line.exit_code, 2) << testing::PrintToString(args);
      const std::string first = FirstLine(line.refusal);
      EXPECT_EQ(first.rfind(decl->style == RefusalStyle::kTryHelp ? CommandName(*decl) + ": "
                                                                  : "tarn-export: ",
                            0),
                0u)
          << first;
      return first;
    };
    EXPECT_NE(refused({"--no-such-option"}).find("--no-such-option"), std::string::npos);
    for (const OptionDecl& o : decl->options) {
      SCOPED_TRACE(o.name);
      if (o.value) refused({o.name});
      const std::string value = o.kind == ValueKind::kText ? "v" : "1";
      std::vector<std::string> twice = {o.name};
      if (o.value) twice.push_back(value);
      twice.insert(twice.end(), twice.begin(), twice.end());
      if (!o.repeatable) refused(twice);
      if (o.kind != ValueKind::kText) {
        refused({o.name, "x1"});
        // Just outside the range, at whichever end it has.
        char outside[64] = "";
        if (o.low > -1e300) std::snprintf(outside, sizeof outside, "%.0f", o.low - 1);
        if (o.low <= -1e300 && o.high < 1e300) {
          std::snprintf(outside, sizeof outside, "%.0f", o.high + 1);
        }
        if (*outside != '\0') refused({o.name, outside});
      }
    }
  }
}

TEST(ExportOptions, GroupsAnswerHelpAndRefuseUnknownCommands) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* out;  // the start of standard output
    const char* err;  // the start of standard error
  };
  const Case cases[] = {
      {{"--help"}, 0, "usage:\n  tarn-export history import FILE...\n", ""},
      {{"-h"}, 0, "usage:\n", ""},
      {{}, 2, "", "usage:\n  tarn-export history import"},
      {{"bogus"}, 2, "", "tarn-export: unknown history command 'bogus'\nusage:\n"},
      {{"copy", "--help"}, 0, "usage:\n  tarn-export history copy --from", ""},
      {{"copy", "x"},
       2,
       "",
       "tarn-export history copy: unexpected argument 'x' (try 'tarn-export history copy "
       "--help')\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = RunCommand(kHistoryCommand, static_cast<int>(argv.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string shown = testing::PrintToString(c.args);
    EXPECT_EQ(code, c.code) << shown;
    EXPECT_EQ(out.rfind(c.out, 0), 0u) << shown << "\n" << out;
    EXPECT_EQ(err.rfind(c.err, 0), 0u) << shown << "\n" << err;
    if (*c.out == '\0') {
      EXPECT_EQ(out, "") << shown;
    }
    if (*c.err == '\0') {
      EXPECT_EQ(err, "") << shown;
    }
  }
}

}  // namespace
}  // namespace tarn
