// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's coupons: rows of coupons at their points.
#include <cstring>

#include "history/pg/pg_point_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

Status PgHistory::ReadCoupons(std::vector<HistoryCoupon>* coupons) {
  PgResult q = db_.Exec(sql::kReadCoupons);
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    HistoryCoupon c;
    c.id = q.Int(i, 0);
    c.point_id = q.Int(i, 1);
    c.point_path = FromServer(q.Text(i, 2));
    _coupon_values_& v = c.values;
    PutField(v.tag, FromServer(q.Text(i, 3)));
    c.install = q.Int(i, 4);
    c.removal = q.Int(i, 5);
    v.coupon_type = static_cast<int32_t>(q.Int(i, 6));
    v.alloy = static_cast<int32_t>(q.Int(i, 7));
    v.density = q.Real(i, 8);
    v.shape = static_cast<int32_t>(q.Int(i, 9));
    v.holes = static_cast<int32_t>(q.Int(i, 10));
    v.hole_dia = q.Real(i, 11);
    v.length = q.Real(i, 12);
    v.width = q.Real(i, 13);
    v.thickness = q.Real(i, 14);
    v.weight_init = q.Real(i, 15);
    v.weight_final = q.Real(i, 16);
    v.area = q.Real(i, 17);
    v.exposure = q.Real(i, 18);
    v.metal_loss = q.Real(i, 19);
    v.corr_rate = q.Real(i, 20);
    PutField(v.comment, FromServer(q.Text(i, 21)));
    c.mils = q.Int(i, 22) != 0;
    if (!q.IsNull(i, 23)) c.pit_depth_mm = q.Real(i, 23);
    PutCouponTimes(&c);
    coupons->push_back(c);
  }
  return {};
}

Status PgHistory::AddCoupon(const HistoryCoupon& c, int64_t* coupon_id) {
  const _coupon_values_& v = c.values;
  const std::vector<PgParam> params = {
      c.point_id,
      ToServer(std::string(v.tag, strnlen(v.tag, sizeof v.tag))),
      c.install,
      c.removal,
      v.coupon_type,
      v.alloy,
      v.density,
      v.shape,
      v.holes,
      v.hole_dia,
      v.length,
      v.width,
      v.thickness,
      v.weight_init,
      v.weight_final,
      v.area,
      v.exposure,
      v.metal_loss,
      v.corr_rate,
      ToServer(std::string(v.comment, strnlen(v.comment, sizeof v.comment))),
      int32_t{c.mils ? 1 : 0},
      c.pit_depth_mm ? PgParam(*c.pit_depth_mm) : PgParam(""),
  };
  PgResult made = db_.Exec(sql::kAddCoupon, params);
  if (!made.ok() || made.rows() != 1) return Failure(made);
  *coupon_id = made.Int(0, 0);
  return {};
}

Status PgHistory::WriteCouponPoint(int64_t coupon_id, int64_t point_id) {
  return Run(sql::kWriteCouponPoint, {coupon_id, point_id});
}

Status PgHistory::WritePitDepth(int64_t coupon_id, double depth_mm) {
  return Run(sql::kWritePitDepth, {coupon_id, depth_mm});
}

}  // namespace tarn
