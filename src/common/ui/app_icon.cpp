#include "common/ui/app_icon.h"

namespace tarn {

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/tarn/tarn_%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace tarn
