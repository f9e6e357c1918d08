// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's coupons: rows of coupons at their points.
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::ReadCoupons(std::vector<HistoryCoupon>* coupons) {
  Statement q;
  if (!q.Prepare(db_, sql::kReadCoupons)) return Error(path_);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    HistoryCoupon c;
    c.id = q.Int(0);
    c.point_id = q.Int(1);
    c.point_path = q.Text(2);
    _coupon_values_& v = c.values;
    PutField(v.tag, q.Text(3));
    c.install = q.Int(4);
    c.removal = q.Int(5);
    v.coupon_type = static_cast<int32_t>(q.Int(6));
    v.alloy = static_cast<int32_t>(q.Int(7));
    v.density = q.Real(8);
    v.shape = static_cast<int32_t>(q.Int(9));
    v.holes = static_cast<int32_t>(q.Int(10));
    v.hole_dia = q.Real(11);
    v.length = q.Real(12);
    v.width = q.Real(13);
    v.thickness = q.Real(14);
    v.weight_init = q.Real(15);
    v.weight_final = q.Real(16);
    v.area = q.Real(17);
    v.exposure = q.Real(18);
    v.metal_loss = q.Real(19);
    v.corr_rate = q.Real(20);
    PutField(v.comment, q.Text(21));
    c.mils = q.Int(22) != 0;
    if (!q.IsNull(23)) c.pit_depth_mm = q.Real(23);
    PutCouponTimes(&c);
    coupons->push_back(c);
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::AddCoupon(const HistoryCoupon& c, int64_t* coupon_id) {
  Statement q;
  if (!q.Prepare(db_, sql::kAddCoupon)) return Error(path_);
  const _coupon_values_& v = c.values;
  q.Bind(1, c.point_id)
      .Bind(2, std::string(v.tag, strnlen(v.tag, sizeof v.tag)))
      .Bind(3, c.install)
      .Bind(4, c.removal)
      .Bind(5, int64_t{v.coupon_type})
      .Bind(6, int64_t{v.alloy})
      .Bind(7, v.density)
      .Bind(8, int64_t{v.shape})
      .Bind(9, int64_t{v.holes})
      .Bind(10, v.hole_dia)
      .Bind(11, v.length)
      .Bind(12, v.width)
      .Bind(13, v.thickness)
      .Bind(14, v.weight_init)
      .Bind(15, v.weight_final)
      .Bind(16, v.area)
      .Bind(17, v.exposure)
      .Bind(18, v.metal_loss)
      .Bind(19, v.corr_rate)
      .Bind(20, std::string(v.comment, strnlen(v.comment, sizeof v.comment)))
      .Bind(21, int64_t{c.mils ? 1 : 0});
  if (c.pit_depth_mm) q.Bind(22, *c.pit_depth_mm);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  *coupon_id = sqlite3_last_insert_rowid(db_);
  return {};
}

Status SqliteHistory::WriteCouponPoint(int64_t coupon_id, int64_t point_id) {
  Statement q;
  if (!q.Prepare(db_, sql::kWriteCouponPoint)) return Error(path_);
  q.Bind(1, coupon_id).Bind(2, point_id);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::WritePitDepth(int64_t coupon_id, double depth_mm) {
  Statement q;
  if (!q.Prepare(db_, sql::kWritePitDepth)) return Error(path_);
  q.Bind(1, coupon_id).Bind(2, depth_mm);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

}  // namespace tarn::sqlite_store
