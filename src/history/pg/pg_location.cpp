// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_location.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>
#include <vector>

namespace tarn {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == prefix;
}

bool Space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Every keyword libpq knows, in lower case.
const std::set<std::string>& Keywords() {
  static const std::set<std::string> keywords = [] {
    std::set<std::string> k;
    if (PQconninfoOption* d = PQconndefaults()) {
      for (PQconninfoOption* o = d; o->keyword != nullptr; ++o) k.insert(o->keyword);
      PQconninfoFree(d);
    }
    k.insert("password");
    return k;
  }();
  return keywords;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

struct Pair {
  std::string key;                          // lower case
  std::string value;                        // unquoted
  std::size_t value_at = 0, value_end = 0;  // where the value's text lies in the location
};

// Splits a keyword string as libpq does: key = value, the value in single quotes or up to the
// next blank, a backslash taking the next character. False when it is not one.
bool SplitKeywords(const std::string& s, std::vector<Pair>* pairs) {
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && Space(s[i])) ++i;
    if (i == s.size()) return !pairs->empty();
    const std::size_t key_at = i;
    while (i < s.size() && s[i] != '=' && !Space(s[i])) ++i;
    Pair p;
    p.key = Lower(std::string_view(s).substr(key_at, i - key_at));
    while (i < s.size() && Space(s[i])) ++i;
    if (p.key.empty() || i == s.size() || s[i] != '=') return false;
    ++i;
    while (i < s.size() && Space(s[i])) ++i;
    p.value_at = i;
    const bool quoted = i < s.size() && s[i] == '\'';
    if (quoted) ++i;
    bool closed = !quoted;
    while (i < s.size()) {
      if (s[i] == '\\' && i + 1 < s.size()) {
        p.value += s[i + 1];
        i += 2;
        continue;
      }
      if (quoted && s[i] == '\'') {
        ++i;
        closed = true;
        break;
      }
      if (!quoted && Space(s[i])) break;
      p.value += s[i++];
    }
    if (!closed) return false;
    p.value_end = i;
    pairs->push_back(std::move(p));
  }
}

std::string Quote(const std::string& v) {
  std::string out = "'";
  for (char c : v) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// The password texts a location holds, as written and decoded, with where each lies.
struct Secret {
  std::size_t at = 0, end = 0;
  std::string decoded;
  // A quoted value may be followed at once by the next keyword; its mask may not.
  bool needs_blank = false;
};

// As libpq reads a URI: a user part runs to the first "@" unless a "/" comes first (a "?"
// does not end it), its password after its first ":"; the query follows the user part.
void UriSecrets(const std::string& s, std::size_t scheme_end, std::vector<Secret>* out) {
  const std::size_t at = s.find_first_of("@/", scheme_end);
  std::size_t host = scheme_end;
  if (at != std::string::npos && s[at] == '@') {
    host = at + 1;
    const std::size_t colon = s.find(':', scheme_end);
    if (colon != std::string::npos && colon < at) {
      out->push_back({colon + 1, at, PercentDecoded(s.substr(colon + 1, at - colon - 1))});
    }
  }
  const std::size_t query = s.find('?', host);
  if (query == std::string::npos) return;
  std::size_t i = query + 1;
  while (i <= s.size()) {
    std::size_t amp = s.find('&', i);
    if (amp == std::string::npos) amp = s.size();
    const std::size_t eq = s.find('=', i);
    if (eq != std::string::npos && eq < amp &&
        Lower(PercentDecoded(s.substr(i, eq - i))) == "password") {
      out->push_back({eq + 1, amp, PercentDecoded(s.substr(eq + 1, amp - eq - 1))});
    }
    i = amp + 1;
  }
}

std::vector<Secret> Secrets(const std::string& location, PgLocation* parsed) {
  std::vector<Secret> secrets;
  parsed->server = false;
  std::size_t scheme_end = 0;
  if (StartsWithNoCase(location, "postgresql://")) scheme_end = 13;
  if (StartsWithNoCase(location, "postgres://")) scheme_end = 11;
  if (scheme_end > 0) {
    parsed->server = true;
    parsed->conninfo = Lower(location.substr(0, scheme_end)) + location.substr(scheme_end);
    UriSecrets(location, scheme_end, &secrets);
    return secrets;
  }
  std::vector<Pair> pairs;
  if (!SplitKeywords(location, &pairs) || Keywords().count(pairs.front().key) == 0) return secrets;
  parsed->server = true;
  for (const Pair& p : pairs) {
    if (!parsed->conninfo.empty()) parsed->conninfo += ' ';
    parsed->conninfo += p.key + "=" + Quote(p.value);
    if (p.key == "password") {
      const bool blank = p.value_end == location.size() || Space(location[p.value_end]);
      secrets.push_back({p.value_at, p.value_end, p.value, !blank});
    }
  }
  return secrets;
}

}  // namespace

PgLocation ParsePgLocation(const std::string& location) {
  PgLocation parsed;
  const std::vector<Secret> secrets = Secrets(location, &parsed);
  parsed.shown = location;
  for (auto it = secrets.rbegin(); it != secrets.rend(); ++it) {
    if (it->end > it->at || !it->decoded.empty()) parsed.has_password = true;
    parsed.shown.replace(it->at, it->end - it->at, it->needs_blank ? "*** " : "***");
  }
  if (!parsed.server) parsed.conninfo = location;
  return parsed;
}

std::string WithoutPassword(const std::string& location, std::string text) {
  PgLocation parsed;
  for (const Secret& s : Secrets(location, &parsed)) {
    for (const std::string& secret : {location.substr(s.at, s.end - s.at), s.decoded}) {
      // A secret that is part of the mask shows nothing the mask does not; masking it would
      // only multiply the stars, three times over for each such password.
      if (secret.empty() || std::string_view("***").find(secret) != std::string_view::npos) {
        continue;
      }
      // Otherwise it can form again where the mask meets the text before it (a password "u:***"
      // in "u:u:***"): the search goes back over what could reach the mask. Each mask shortens
      // the text or takes out a character other than '*', so the search ends.
      for (std::size_t at = text.find(secret); at != std::string::npos;) {
        text.replace(at, secret.size(), "***");
        at = text.find(secret, at - std::min(at, secret.size() - 1));
      }
    }
  }
  return text;
}

}  // namespace tarn
