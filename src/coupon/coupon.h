// The coupon screen of the Coupon tab.
#pragma once

#include <QWidget>

namespace tarn {

class Coupon : public QWidget {
  Q_OBJECT

 public:
  explicit Coupon(QWidget* parent = nullptr);

  // Shows the current coupon file name, or "noname", in the status line.
  void PutFileName();
};

}  // namespace tarn
