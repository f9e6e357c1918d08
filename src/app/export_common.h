// SPDX-License-Identifier: GPL-3.0-or-later
// What every tarn-export command shares: its options declared in a table and read by one parser
// (help included), number values with ranges, the reader's first message, off-screen Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/notifier.h"

class QGuiApplication;
class QTemporaryDir;

namespace tarn {

enum class ValueKind { kText, kWhole, kDecimal };

// One option of a command. Texts may hold "{}", which stands for the value given.
struct OptionDecl {
  const char* name;             // "--tag"
  const char* value = nullptr;  // its value as the help names it ("N"); none for a flag
  bool repeatable = false;      // given again: kept (All) or the last counts; else refused
  ValueKind kind = ValueKind::kText;
  double low = -1e300;  // the range of a number, both ends included
  double high = 1e300;
  const char* word = nullptr;          // a word taken instead of a number ("all")
  const char* refusal = nullptr;       // a value that is no such number; made up when none
  const char* out_of_range = nullptr;  // a number outside the range; the refusal when none
  const char* help = "";               // one line
};

// How a command answers a wrong command line: always "tarn-export: TEXT" on standard error
// (kAlone), followed by its help (kWithHelp), or "tarn-export PATH: TEXT (try ...)" (kTryHelp).
enum class RefusalStyle { kAlone, kWithHelp, kTryHelp };

// The command's own sentences for what the parser refuses; "{}" stands for the argument.
struct CommandMessages {
  const char* unknown_option = "unknown option {}";
  const char* missing_value = "{} needs a value";
  const char* repeated = "repeated {}";
  const char* too_few_words = nullptr;  // none: the command checks its words itself
  const char* too_many_words = "unexpected argument {}";
  const char* unknown_command = "unknown command '{}'";  // of a command with subcommands
};

class ParsedArgs;
struct CommandLine;

struct CommandDecl {
  const char* path;      // the words after tarn-export: "history probes"; "" for tarn-export
  const char* synopsis;  // its usage lines after "tarn-export PATH ", one per '\n'
  const char* about;     // what it does: lines ended by '\n'
  std::span<const OptionDecl> options = {};
  int min_words = 0;  // the arguments that are not options (files)
  int max_words = 0;
  CommandMessages messages = {};
  RefusalStyle style = RefusalStyle::kAlone;
  int (*run)(const ParsedArgs& args) = nullptr;
  // A group of commands when not empty; with `run` as well, the command runs itself unless
  // its first word names one of them.
  std::span<const CommandDecl* const> subcommands = {};
  bool describe_subcommands = false;  // the group's help repeats each one's "about"
};

// One option as given.
struct GivenOption {
  const OptionDecl* decl;
  std::string text;  // the value as typed; empty for a flag
  int64_t whole = 0;
  double decimal = 0.0;
  bool is_number = false;  // false for a text value and for the decl's word
};

// A command line read against its command's table.
class ParsedArgs {
 public:
  const CommandDecl& decl() const { return *decl_; }
  const std::vector<std::string>& words() const { return words_; }
  const std::vector<GivenOption>& options() const { return options_; }

  bool Has(std::string_view name) const { return Last(name) != nullptr; }
  int Count(std::string_view name) const;
  // The last time the option was given, or null.
  const GivenOption* Last(std::string_view name) const;
  const std::string* Text(std::string_view name) const;
  // The number given; nothing when absent or given as the option's word.
  std::optional<int64_t> Whole(std::string_view name) const;
  std::optional<double> Decimal(std::string_view name) const;

  // Prints a wrong command line's one sentence the command's way; returns 2.
  int Refuse(std::string_view text) const;

 private:
  friend CommandLine ReadCommandLine(const CommandDecl&, int, const char* const*);
  const CommandDecl* decl_ = nullptr;
  std::vector<std::string> words_;
  std::vector<GivenOption> options_;
};

// The outcome of reading a command line: run the command with `args`, or print `help` (exit 0)
// or `refusal` (exit 2, standard error).
struct CommandLine {
  bool ok = false;
  int exit_code = 0;
  std::string help;
  std::string refusal;
  ParsedArgs args;
};

CommandLine ReadCommandLine(const CommandDecl& decl, int argc, const char* const* argv);
// The help of a command or of a group of commands, generated from their tables.
std::string HelpText(const CommandDecl& decl);
// A refusal as the command prints it, help included.
std::string RefusalText(const CommandDecl& decl, std::string_view text);
// "tarn-export" and the command's path.
std::string CommandName(const CommandDecl& decl);

// Reads the command line and runs the command, or the subcommand its first word names; the
// exit code.
int RunCommand(const CommandDecl& decl, int argc, char** argv);

// Whole numbers are plain digits (a minus sign where the range allows one); decimals take a
// full stop and blanks around. True and *out set when the number is one within [low, high].
bool ParseWhole(std::string_view text, double low, double high, int64_t* out);
bool ParseDecimal(std::string_view text, double low, double high, double* out);
// The one sentence refusing a value of `name`: "--size needs a whole number from 1 to 16384".
std::string NumberRefusal(std::string_view name, ValueKind kind, double low, double high);

// Prints "tarn-export: TEXT" on standard error; returns 1, the exit code of failed work.
int Fail(std::string_view text);

// Keeps the first message a reader reports, for one line on standard error.
class FirstMessage : public Notifier {
 public:
  void Error(std::string_view text) override {
    if (text_.empty()) text_.assign(text);
  }
  bool empty() const { return text_.empty(); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// A Qt GUI application for drawing fonts and pictures with no display: the off-screen platform
// when there is no display, and a private runtime folder when none is set.
class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  std::unique_ptr<QTemporaryDir> runtime_;
  int argc_ = 1;
  char name_[12] = "tarn-export";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace tarn
