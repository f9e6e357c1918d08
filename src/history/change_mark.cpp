// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/change_mark.h"

namespace tarn {

std::string ChangeMarkSql(const std::string& s) {
  // Limits are weighted by probe and level, so that moving a value between them shows too;
  // every rename of a point or change of its limits counts up its `edits`, as every edit
  // of an event does.
  const std::string weighted =
      "(rate_warn + 2 * rate_alarm + 3 * consumed_warn + 5 * consumed_alarm)";
  return "SELECT (SELECT count(*) FROM " + s + "probe), (SELECT coalesce(sum(count), 0) FROM " + s +
         "probe), (SELECT coalesce(max(last_time), 0) FROM " + s +
         "probe), (SELECT coalesce(sum(sy), 0) FROM " + s +
         "probe), (SELECT coalesce(max(id), 0) FROM " + s +
         "probe), (SELECT coalesce(max(id), 0) FROM " + s +
         "source_file), (SELECT coalesce(max(id), 0) FROM " + s +
         "conflict), (SELECT count(*) FROM " + s + "limits), (SELECT coalesce(sum(probe_id * " +
         weighted + "), 0) FROM " + s + "limits), (SELECT coalesce(sum(" + weighted +
         "), 0) FROM " + s + "default_limits), (SELECT count(*) FROM " + s +
         "point), (SELECT coalesce(sum(edits), 0) FROM " + s +
         "point), (SELECT coalesce(sum(probe_id * point_id), 0) FROM " + s +
         "probe_point), (SELECT coalesce(sum(coalesce(from_time, 0) % 1000003), 0) FROM " + s +
         "probe_point), (SELECT count(*) FROM " + s + "event), (SELECT coalesce(max(id), 0) FROM " +
         s + "event), (SELECT coalesce(sum(edits), 0) FROM " + s +
         "event), (SELECT count(*) FROM " + s + "set_aside), (SELECT coalesce(max(id), 0) FROM " +
         s + "set_aside)";
}

std::string JoinChangeMark(const std::vector<std::string>& figures) {
  std::string mark;
  for (const std::string& f : figures) {
    if (!mark.empty()) mark += ':';
    mark += f;
  }
  return mark;
}

}  // namespace tarn
