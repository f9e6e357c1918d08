// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/app_icon.h"

#include <QImage>
#include <QImageReader>

namespace tarn {

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addPixmap(OwnPicture(QStringLiteral(":/tarn/tarn_%1.png").arg(size)));
  return icon;
}

QPixmap OwnPicture(const QString& path) {
  QImageReader reader(path, "png");
  reader.setAutoDetectImageFormat(false);
  return QPixmap::fromImage(reader.read());
}

}  // namespace tarn
