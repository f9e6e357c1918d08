// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export's one option parser and help writer, number values, and off-screen Qt start-up.
#include "app/export_common.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/number_text.h"

namespace tarn {

namespace {

constexpr double kUnbounded = 1e300;

bool IsHelp(std::string_view arg) {
  return arg == "--help" || arg == "-h";
}

// "-" alone is a word (standard input, a file named so), as is anything not led by '-'.
bool IsOption(std::string_view arg) {
  return arg.size() > 1 && arg[0] == '-';
}

std::string Fill(std::string_view text, std::string_view arg) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "{}") == 0) {
      out += arg;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string LastWord(std::string_view path) {
  const std::size_t space = path.rfind(' ');
  return std::string(space == std::string_view::npos ? path : path.substr(space + 1));
}

// Each line of `text` with `indent` before it.
std::string Indented(std::string_view text, std::string_view indent) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!line.empty()) out.append(indent).append(line);
    out += '\n';
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

// The usage lines of a command as a list of commands shows it.
std::string UsageLines(const CommandDecl& decl) {
  return Indented(decl.synopsis, "  " + CommandName(decl) + " ");
}

std::string OptionLabel(const OptionDecl& o) {
  return o.value == nullptr ? o.name : std::string(o.name) + " " + o.value;
}

std::string FormatBound(ValueKind kind, double v) {
  char buf[64];
  if (kind == ValueKind::kWhole) {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  } else {
    std::snprintf(buf, sizeof buf, "%g", v);
  }
  return buf;
}

bool InRange(double v, double low, double high) {
  return v >= low && v <= high;
}

// Digits with an optional minus sign, at most 18 of them so that no value overflows.
bool ParseWholeText(std::string_view text, int64_t* out) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 18) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = negative ? -v : v;
  return true;
}

bool ParseDecimalText(std::string_view text, double* out) {
  return ParseWholeNumber(text, out) && std::isfinite(*out);
}

}  // namespace

int ParsedArgs::Count(std::string_view name) const {
  return static_cast<int>(
      std::count_if(options_.begin(), options_.end(),
                    [&](const GivenOption& g) { return g.decl->name == name; }));
}

const GivenOption* ParsedArgs::Last(std::string_view name) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
    if (it->decl->name == name) return &*it;
  }
  return nullptr;
}

const std::string* ParsedArgs::Text(std::string_view name) const {
  const GivenOption* g = Last(name);
  return g ? &g->text : nullptr;
}

std::optional<int64_t> ParsedArgs::Whole(std::string_view name) const {
  const GivenOption* g = Last(name);
  if (!g || !g->is_number) return std::nullopt;
  return g->whole;
}

std::optional<double> ParsedArgs::Decimal(std::string_view name) const {
  const GivenOption* g = Last(name);
  if (!g || !g->is_number) return std::nullopt;
  return g->decimal;
}

int ParsedArgs::Refuse(std::string_view text) const {
  std::fputs(RefusalText(*decl_, text).c_str(), stderr);
  return 2;
}

std::string CommandName(const CommandDecl& decl) {
  return *decl.path == '\0' ? "tarn-export" : std::string("tarn-export ") + decl.path;
}

std::string HelpText(const CommandDecl& decl) {
  std::string out = "usage:\n";
  // A group that runs itself as well (history points) shows its own usage first.
  if (decl.subcommands.empty() || decl.run != nullptr) out += UsageLines(decl);
  for (const CommandDecl* sub : decl.subcommands) out += UsageLines(*sub);
  out += Indented(decl.about, "  ");
  if (decl.describe_subcommands) {
    for (const CommandDecl* sub : decl.subcommands) {
      // "NAME: first line", the rest under it.
      const std::string about = Indented(sub->about, "    ");
      out +=
          "  " + LastWord(sub->path) + ": " + about.substr(std::min<std::size_t>(4, about.size()));
    }
  }
  if (!decl.subcommands.empty() && decl.run == nullptr) return out;

  const OptionDecl help{.name = "-h, --help", .help = "prints this help"};
  std::size_t width = OptionLabel(help).size();
  for (const OptionDecl& o : decl.options) width = std::max(width, OptionLabel(o).size());
  out += "\noptions:\n";
  auto line = [&](const OptionDecl& o) {
    std::string label = OptionLabel(o);
    label.resize(width + 2, ' ');
    out += "  " + label + o.help + "\n";
  };
  for (const OptionDecl& o : decl.options) line(o);
  line(help);
  return out;
}

std::string RefusalText(const CommandDecl& decl, std::string_view text) {
  switch (decl.style) {
    case RefusalStyle::kTryHelp:
      return CommandName(decl) + ": " + std::string(text) + " (try '" + CommandName(decl) +
             " --help')\n";
    case RefusalStyle::kWithHelp:
      return "tarn-export: " + std::string(text) + "\n" + HelpText(decl);
    case RefusalStyle::kAlone:
      break;
  }
  return "tarn-export: " + std::string(text) + "\n";
}

CommandLine ReadCommandLine(const CommandDecl& decl, int argc, const char* const* argv) {
  CommandLine r;
  r.args.decl_ = &decl;
  auto find = [&](std::string_view name) -> const OptionDecl* {
    for (const OptionDecl& o : decl.options) {
      if (name == o.name) return &o;
    }
    return nullptr;
  };
  // Help wins wherever it stands, except as another option's value.
  for (int i = 0; i < argc; ++i) {
    if (!IsOption(argv[i])) continue;
    if (IsHelp(argv[i])) {
      r.help = HelpText(decl);
      return r;
    }
    if (const OptionDecl* o = find(argv[i]); o && o->value) ++i;
  }
  auto refuse = [&](std::string_view text, std::string_view arg) {
    r.refusal = RefusalText(decl, Fill(text, arg));
    r.exit_code = 2;
    return r;
  };
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (!IsOption(a)) {
      r.args.words_.emplace_back(a);
      continue;
    }
    const OptionDecl* o = find(a);
    if (o == nullptr) return refuse(decl.messages.unknown_option, a);
    GivenOption g{o, "", 0, 0.0, false};
    if (o->value != nullptr) {
      if (i + 1 >= argc) return refuse(decl.messages.missing_value, a);
      g.text = argv[++i];
    }
    if (!o->repeatable && r.args.Has(a)) return refuse(decl.messages.repeated, a);
    if (o->kind != ValueKind::kText && !(o->word && g.text == o->word)) {
      const std::string made_up = NumberRefusal(o->name, o->kind, o->low, o->high);
      const char* refusal = o->refusal ? o->refusal : made_up.c_str();
      double v = 0.0;
      if (o->kind == ValueKind::kWhole) {
        if (!ParseWholeText(g.text, &g.whole)) return refuse(refusal, g.text);
        v = static_cast<double>(g.whole);
      } else {
        if (!ParseDecimalText(g.text, &g.decimal)) return refuse(refusal, g.text);
        v = g.decimal;
      }
      if (!InRange(v, o->low, o->high)) {
        return refuse(o->out_of_range ? o->out_of_range : refusal, g.text);
      }
      g.is_number = true;
    }
    r.args.options_.push_back(std::move(g));
  }
  const auto words = static_cast<int>(r.args.words_.size());
  if (words < decl.min_words) {
    return refuse(decl.messages.too_few_words ? decl.messages.too_few_words : "too few arguments",
                  "");
  }
  if (words > decl.max_words) {
    return refuse(decl.messages.too_many_words, r.args.words_[decl.max_words]);
  }
  r.ok = true;
  return r;
}

int RunCommand(const CommandDecl& decl, int argc, char** argv) {
  if (!decl.subcommands.empty() && decl.run != nullptr && argc >= 1) {
    for (const CommandDecl* sub : decl.subcommands) {
      if (LastWord(sub->path) == argv[0]) return RunCommand(*sub, argc - 1, argv + 1);
    }
  }
  if (!decl.subcommands.empty() && decl.run == nullptr) {
    if (argc < 1) {
      std::fputs(HelpText(decl).c_str(), stderr);
      return 2;
    }
    if (IsHelp(argv[0])) {
      std::fputs(HelpText(decl).c_str(), stdout);
      return 0;
    }
    for (const CommandDecl* sub : decl.subcommands) {
      if (LastWord(sub->path) == argv[0]) return RunCommand(*sub, argc - 1, argv + 1);
    }
    std::fputs(RefusalText(decl, Fill(decl.messages.unknown_command, argv[0])).c_str(), stderr);
    return 2;
  }
  CommandLine line = ReadCommandLine(decl, argc, argv);
  if (line.ok) return decl.run(line.args);
  std::fputs(line.exit_code == 0 ? line.help.c_str() : line.refusal.c_str(),
             line.exit_code == 0 ? stdout : stderr);
  return line.exit_code;
}

bool ParseWhole(std::string_view text, double low, double high, int64_t* out) {
  int64_t v = 0;
  if (!ParseWholeText(text, &v) || !InRange(static_cast<double>(v), low, high)) return false;
  *out = v;
  return true;
}

bool ParseDecimal(std::string_view text, double low, double high, double* out) {
  double v = 0.0;
  if (!ParseDecimalText(text, &v) || !InRange(v, low, high)) return false;
  *out = v;
  return true;
}

std::string NumberRefusal(std::string_view name, ValueKind kind, double low, double high) {
  std::string out =
      std::string(name) + (kind == ValueKind::kWhole ? " needs a whole number" : " needs a number");
  const bool has_low = low > -kUnbounded, has_high = high < kUnbounded;
  if (has_low && has_high) {
    out += " from " + FormatBound(kind, low) + " to " + FormatBound(kind, high);
  } else if (has_low) {
    out += ", at least " + FormatBound(kind, low);
  } else if (has_high) {
    out += ", at most " + FormatBound(kind, high);
  }
  return out;
}

int Fail(std::string_view text) {
  std::fprintf(stderr, "tarn-export: %.*s\n", static_cast<int>(text.size()), text.data());
  return 1;
}

OffscreenGui::OffscreenGui() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // Without one Qt warns on standard error, which the commands keep for their own messages.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    runtime_ = std::make_unique<QTemporaryDir>();
    if (runtime_->isValid()) {
      QFile::setPermissions(runtime_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
      qputenv("XDG_RUNTIME_DIR", runtime_->path().toUtf8());
    }
  }
  app_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

OffscreenGui::~OffscreenGui() = default;

}  // namespace tarn
