// SPDX-License-Identifier: GPL-3.0-or-later
// How a history location that names a PostgreSQL server reads, before libpq sees it: a URI
// ("postgresql://" or "postgres://", in any letter case) or a keyword string
// ("host=db dbname=plant"), with any password found wherever it may hide.
#pragma once

#include <string>

namespace tarn {

struct PgLocation {
  bool server = false;        // a URI or a keyword string, not a file path
  bool has_password = false;  // in the user part, a query parameter or a keyword
  std::string conninfo;       // the text for libpq: scheme and keywords in lower case
  std::string shown;          // the location with every password replaced by "***"
};

PgLocation ParsePgLocation(const std::string& location);

// `text` with every occurrence of the location's password texts replaced by "***".
std::string WithoutPassword(const std::string& location, std::string text);

}  // namespace tarn
