#include "app/user_guide.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tarn {

QString UserGuidePath() {
  const QString candidates[] = {
      QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/tarn/user-guide.md"),
      QString::fromUtf8(TARN_GUIDE_IN_TREE),
  };
  for (const QString& path : candidates)
    if (QFileInfo::exists(path)) return QFileInfo(path).canonicalFilePath();
  return {};
}

}  // namespace tarn
