// SPDX-License-Identifier: GPL-3.0-or-later
// Paths of monitoring points ("Site/Unit/Point"): one to six names, written and compared the
// same way by every back end, the import's placement and tarn-export.
#pragma once

#include <string>
#include <vector>

#include "common/status.h"

namespace tarn {

inline constexpr int kMaxPointNames = 6;
// Where the import puts a probe whose tag no point has yet.
inline constexpr const char* kUnassigned = "Unassigned";

// The path as stored: each name trimmed, joined by "/"; a failure whose message is one sentence
// for a path that is not one to six names, none of them empty.
Status ParsePointPath(const std::string& text, std::string* path);
// The names of a stored path, first to last.
std::vector<std::string> PointPathNames(const std::string& path);
// What paths are compared by: equal for paths that differ only in letter case (Windows-1252
// letters included, as narrow texts are).
std::string PointPathKey(const std::string& path);
// True when `path` is `prefix` or lies under it, compared as keys.
bool PointPathUnder(const std::string& path_key, const std::string& prefix_key);
// "Unassigned/TAG": a valid path for any tag ("/" in it becomes "-", an empty one "(no tag)").
std::string UnassignedPath(const std::string& tag);

}  // namespace tarn
