// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/change_mark.h"
#include "history/pg/pg_store.h"

namespace tarn {

std::string PgHistory::ChangeMark() {
  if (last_error_ = Ready(); !last_error_) return {};
  PgResult r = db_.Exec(ChangeMarkSql("tarn."), {});
  if (!r.ok() || r.rows() != 1) {
    last_error_ = Failure(r);
    return {};
  }
  std::vector<std::string> figures;
  for (int c = 0; c < kChangeMarkFigures; ++c) figures.push_back(r.Text(0, c));
  return JoinChangeMark(figures);
}

}  // namespace tarn
