// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any text as a history location. Whatever libpq would take from it, a
// location said to hold no password gives libpq no password, and the shown form and any message
// built from the location never hold one.
#include <libpq-fe.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "history/history_store.h"
#include "history/pg/pg_location.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string location(reinterpret_cast<const char*>(data), size);
  if (location.find('\0') != std::string::npos) return 0;  // no C string holds one
  const tarn::PgLocation parsed = tarn::ParsePgLocation(location);
  if (parsed.server != tarn::IsServerLocation(location)) std::abort();
  if (!parsed.server) return 0;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(parsed.conninfo.c_str(), &error);
  PQfreemem(error);
  if (options == nullptr) return 0;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (std::string(o->keyword) != "password" || o->val == nullptr || *o->val == '\0') continue;
    // libpq found a password: the parser must have too, and must hide it.
    if (!parsed.has_password) std::abort();
    const std::string secret = o->val;
    if (std::string("***").find(secret) != std::string::npos) continue;  // the mask itself
    if (tarn::WithoutPassword(location, "x " + location + " y").find(secret) != std::string::npos) {
      std::abort();
    }
    // libpq, reading the shown form, finds no password but the mask.
    PQconninfoOption* shown =
        PQconninfoParse(tarn::ParsePgLocation(parsed.shown).conninfo.c_str(), nullptr);
    for (PQconninfoOption* s = shown; s && s->keyword != nullptr; ++s) {
      if (std::string(s->keyword) == "password" && s->val && *s->val != '\0' &&
          std::string(s->val) != "***") {
        std::abort();
      }
    }
    PQconninfoFree(shown);
  }
  PQconninfoFree(options);
  return 0;
}
