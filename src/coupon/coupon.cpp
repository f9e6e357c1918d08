#include "coupon/coupon.h"

namespace tarn {

Coupon::Coupon(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Coupon"));
}

void Coupon::PutFileName() {}

}  // namespace tarn
