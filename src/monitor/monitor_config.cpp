// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/monitor_config.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

#include "common/code_page.h"
#include "common/number_text.h"

namespace tarn {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// A comment starts with ';' or '#' at the start of a line, or with ';' after a blank, so that a
// value may hold ';' or '#' inside a word.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool first = Trim(line.substr(0, i)).empty();
    if ((line[i] == ';' && (first || std::isspace(static_cast<unsigned char>(line[i - 1])))) ||
        (line[i] == '#' && first)) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool ParseWhole(std::string_view text, int64_t lo, int64_t hi, int32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool ParseTcp(std::string_view rest, TransmitterLink* link, std::string* why) {
  std::string_view host = rest, port;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return *why = "an IPv6 address needs its closing ]", false;
    host = rest.substr(1, close - 1);
    std::string_view after = rest.substr(close + 1);
    if (!after.empty() && after.front() != ':') return *why = "text after the address", false;
    if (!after.empty()) port = after.substr(1);
    if (after.empty()) port = {};
    if (!after.empty() && port.empty()) return *why = "an empty port", false;
  } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (port.empty()) return *why = "an empty port", false;
  }
  if (host.empty()) return *why = "no host", false;
  if (!port.empty() && !ParseWhole(port, 1, 65535, &link->port)) {
    return *why = "the port is not a whole number from 1 to 65535", false;
  }
  link->host = std::string(host);
  return true;
}

bool ParseRtu(std::string_view rest, TransmitterLink* link, std::string* why) {
  const std::size_t q = rest.find('?');
  link->device = std::string(rest.substr(0, q));
  if (link->device.empty()) return *why = "no serial device", false;
  if (q == std::string_view::npos) return true;
  std::string_view params = rest.substr(q + 1);
  while (!params.empty()) {
    const std::size_t amp = params.find('&');
    const std::string_view item = params.substr(0, amp);
    params = amp == std::string_view::npos ? std::string_view{} : params.substr(amp + 1);
    const std::size_t eq = item.find('=');
    const std::string name =
        eq == std::string_view::npos ? std::string(item) : std::string(item.substr(0, eq));
    const std::string_view value = eq == std::string_view::npos ? "" : item.substr(eq + 1);
    if (name == "baud") {
      if (!ParseWhole(value, 50, 4000000, &link->baud)) {
        return *why = "baud is not a whole number from 50 to 4000000", false;
      }
    } else if (name == "parity") {
      const std::string p = Upper(value);
      if (p != "N" && p != "E" && p != "O") return *why = "parity must be N, E or O", false;
      link->parity = p[0];
    } else if (name == "stop") {
      if (value != "1" && value != "2") return *why = "stop must be 1 or 2", false;
      link->stop = value[0] - '0';
    } else {
      return *why = "unknown setting '" + name + "' (baud, parity or stop)", false;
    }
  }
  return true;
}

bool ParseLink(std::string_view text, TransmitterLink* link, std::string* why) {
  link->text = std::string(text);
  if (text.rfind("tcp://", 0) == 0) {
    link->kind = LinkKind::kTcp;
    return ParseTcp(text.substr(6), link, why);
  }
  if (text.rfind("rtu:", 0) == 0) {
    link->kind = LinkKind::kRtu;
    return ParseRtu(text.substr(4), link, why);
  }
  *why = "an address starts with tcp:// or rtu:";
  return false;
}

bool ParsePoint(std::string_view text, std::vector<std::string>* out, std::string* why) {
  out->clear();
  while (true) {
    const std::size_t slash = text.find('/');
    const std::string_view name = Trim(text.substr(0, slash));
    if (name.empty()) return *why = "a point name between slashes is empty", false;
    out->emplace_back(name);
    if (slash == std::string_view::npos) break;
    text = text.substr(slash + 1);
  }
  if (out->size() > 6) return *why = "a point path has at most six names", false;
  return true;
}

// Tags and serial numbers are kept as the instrument files give them, in Windows-1252, and
// listed tab-separated: a name the history would keep as '?' or that breaks a line is refused.
bool ParseHistoryName(std::string_view text, std::string* why) {
  const std::string narrow = Utf8ToNarrow(text);
  if (NarrowToUtf8(narrow) != text) {
    *why = "'" + std::string(text) +
           "' holds a character the history cannot keep (it keeps "
           "Windows-1252 text; the file is read as UTF-8)";
    return false;
  }
  for (const char c : narrow) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
      *why = "holds a control character (a tab, say)";
      return false;
    }
  }
  return true;
}

enum class Section { kNone, kHistory, kServer, kTransmitter };

struct Parser {
  Parser(const std::string& f, MonitorConfig* o, std::string* e) : file(f), out(o), error(e) {}

  const std::string& file;
  MonitorConfig* out;
  std::string* error;
  Section section = Section::kNone;
  std::vector<std::string> seen_keys;  // of the current section
  std::vector<std::string> seen_sections;
  int32_t section_line = 0;
  bool have_history = false;

  bool Fail(int32_t line, const std::string& why) {
    *error = file + ":" + std::to_string(line) + ": " + why;
    return false;
  }
  bool Has(const char* key) const {
    return std::find(seen_keys.begin(), seen_keys.end(), key) != seen_keys.end();
  }

  // Checks that the section just ended has what it needs.
  bool EndSection() {
    if (section != Section::kTransmitter) return true;
    const TransmitterConfig& t = out->transmitters.back();
    for (const char* key : {"ADDRESS", "KIND", "INTERVAL"}) {
      if (!Has(key)) return Fail(section_line, std::string("transmitter has no ") + key);
    }
    if (t.kind == TransmitterKind::kEr && !Has("SPAN")) {
      return Fail(section_line, "ER transmitter has no SPAN");
    }
    if (t.kind == TransmitterKind::kLpr && (Has("SPAN") || Has("UNIT LOSS"))) {
      return Fail(section_line, "SPAN and UNIT LOSS are for ER transmitters only");
    }
    return true;
  }

  bool Header(int32_t line, std::string_view name) {
    const std::string upper = Upper(name);
    Section next = Section::kNone;
    std::string tag;
    if (upper == "HISTORY") {
      next = Section::kHistory;
    } else if (upper == "SERVER") {
      next = Section::kServer;
    } else if (upper.rfind("TRANSMITTER", 0) == 0 && upper.size() > 11 &&
               std::isspace(static_cast<unsigned char>(upper[11]))) {
      next = Section::kTransmitter;
      tag = std::string(Trim(name.substr(11)));
    } else if (upper == "TRANSMITTER") {
      return Fail(line, "a transmitter section needs the probe's tag after TRANSMITTER");
    } else {
      return Fail(
          line, "unknown section [" + std::string(name) + "] (HISTORY, SERVER or TRANSMITTER tag)");
    }
    if (std::string why; next == Section::kTransmitter && !ParseHistoryName(tag, &why)) {
      return Fail(line, "the tag " + why);
    }
    const std::string id = next == Section::kTransmitter ? "TRANSMITTER " + tag : upper;
    if (std::find(seen_sections.begin(), seen_sections.end(), id) != seen_sections.end()) {
      return Fail(line, "section [" + std::string(name) + "] appears twice");
    }
    if (!EndSection()) return false;
    seen_sections.push_back(id);
    seen_keys.clear();
    section_line = line;
    section = next;
    if (next == Section::kTransmitter) {
      TransmitterConfig t;
      t.tag = tag;
      t.line = line;
      out->transmitters.push_back(t);
    }
    return true;
  }

  bool Key(int32_t line, const std::string& key, std::string_view value) {
    if (section == Section::kNone) return Fail(line, "a key before the first section");
    if (Has(key.c_str())) return Fail(line, key + " appears twice in this section");
    seen_keys.push_back(key);
    std::string why;
    auto bad = [&](const std::string& reason) { return Fail(line, key + ": " + reason); };
    switch (section) {
      case Section::kHistory:
        if (key != "LOCATION") return Fail(line, "unknown key " + key + " (LOCATION)");
        if (value.empty()) return bad("empty; give a file path or a postgresql:// URI");
        out->history = std::string(value);
        have_history = true;
        return true;
      case Section::kServer:
        if (key == "LISTEN") {
          if (value.empty()) return true;  // no server
          TransmitterLink l;
          if (!ParseTcp(value, &l, &why) || value.back() == ']' ||
              value.find(':') == std::string_view::npos) {
            return bad(why.empty() ? "give host:port" : why);
          }
          out->listen_host = l.host;
          out->listen_port = l.port;
          return true;
        }
        if (key == "REFRESH") {
          if (!ParseWhole(value, 1, 86400, &out->refresh)) {
            return bad("not a whole number of seconds from 1 to 86400");
          }
          return true;
        }
        return Fail(line, "unknown key " + key + " (LISTEN or REFRESH)");
      case Section::kTransmitter:
        return TransmitterKey(line, key, value, &out->transmitters.back());
      case Section::kNone:
        break;
    }
    return false;
  }

  bool TransmitterKey(int32_t line, const std::string& key, std::string_view value,
                      TransmitterConfig* t) {
    std::string why;
    auto bad = [&](const std::string& reason) { return Fail(line, key + ": " + reason); };
    if (key == "ADDRESS") {
      if (!ParseLink(value, &t->link, &why)) return bad(why);
    } else if (key == "UNIT") {
      if (!ParseWhole(value, 0, 247, &t->unit)) return bad("not a whole number from 0 to 247");
    } else if (key == "REGISTER") {
      if (!ParseWhole(value, 0, 65535, &t->reg)) return bad("not a whole number from 0 to 65535");
    } else if (key == "KIND") {
      const std::string k = Upper(value);
      if (k == "ER") {
        t->kind = TransmitterKind::kEr;
      } else if (k == "LPR") {
        t->kind = TransmitterKind::kLpr;
      } else {
        return bad("must be ER or LPR");
      }
    } else if (key == "SPAN") {
      double span = 0.0;
      if (!ParseWholeNumber(value, &span) || !(span > 0.0) || !std::isfinite(span)) {
        return bad("not a number above 0");
      }
      t->span = span;
    } else if (key == "UNIT LOSS") {
      const std::string u = Upper(value);
      if (u != "MILS" && u != "MM") return bad("must be MILS or MM");
      t->millimetre = u == "MM";
    } else if (key == "SERIAL") {
      if (!ParseHistoryName(value, &why)) return bad(why);
      t->serial = std::string(value);
    } else if (key == "POINT") {
      if (!ParsePoint(value, &t->point, &why)) return bad(why);
    } else if (key == "INTERVAL") {
      if (!ParseWhole(value, 1, 31'622'400, &t->interval)) {
        return bad("not a whole number of seconds, at least 1");
      }
    } else {
      return Fail(line, "unknown key " + key +
                            " (ADDRESS, UNIT, REGISTER, KIND, SPAN, UNIT LOSS, SERIAL, POINT or "
                            "INTERVAL)");
    }
    return true;
  }
};

bool ParseText(std::string_view text, const std::string& file, MonitorConfig* out,
               std::string* error) {
  *out = MonitorConfig{};
  Parser p(file, out, error);
  int32_t line_no = 0;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ++line_no;
    if (line_no == 1 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    const std::string_view line = Trim(StripComment(raw));
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') return p.Fail(line_no, "a section header ends with ]");
      if (!p.Header(line_no, Trim(line.substr(1, line.size() - 2)))) return false;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return p.Fail(line_no, "not KEY=VALUE nor [SECTION]");
    const std::string key = Upper(Trim(line.substr(0, eq)));
    if (key.empty()) return p.Fail(line_no, "a value without a key");
    if (!p.Key(line_no, key, Trim(line.substr(eq + 1)))) return false;
  }
  if (!p.EndSection()) return false;
  if (!p.have_history) return p.Fail(std::max(line_no, 1), "no [HISTORY] LOCATION");
  return true;
}

}  // namespace

Status ParseMonitorConfig(std::string_view text, const std::string& file, MonitorConfig* out) {
  std::string error;
  if (!ParseText(text, file, out, &error)) return Status::Fail(std::move(error));
  return {};
}

}  // namespace tarn
