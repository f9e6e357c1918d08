// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/change_mark.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

std::string SqliteHistory::ChangeMark() {
  last_error_ = {};
  Statement q;
  if (!q.Prepare(db_, ChangeMarkSql("")) || q.Step() != SQLITE_ROW) {
    last_error_ = Error(path_);
    return {};
  }
  std::vector<std::string> figures;
  for (int c = 0; c < kChangeMarkFigures; ++c) figures.push_back(q.Text(c));
  return JoinChangeMark(figures);
}

}  // namespace tarn::sqlite_store
