// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/user_guide.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <algorithm>

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

void GuideBrowser::doSetSource(const QUrl& url, QTextDocument::ResourceType type) {
  QTextBrowser::doSetSource(url, type);
  fitted_width_ = -1;
  FitImages();
}

void GuideBrowser::resizeEvent(QResizeEvent* event) {
  QTextBrowser::resizeEvent(event);
  FitImages();
}

int GuideBrowser::ImageWidth(const QString& name) const {
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (f.isImageFormat() && f.toImageFormat().name().endsWith(name))
        return static_cast<int>(f.toImageFormat().width());
    }
  }
  return -1;
}

void GuideBrowser::FitImages() {
  QTextDocument* doc = document();
  // The text's width less its margins, and room for a vertical scroll bar that may come.
  const int width = viewport()->width() - 2 * static_cast<int>(doc->documentMargin()) -
                    verticalScrollBar()->sizeHint().width();
  if (width <= 0 || width == fitted_width_) return;
  fitted_width_ = width;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat f = fragment.charFormat().toImageFormat();
      const QVariant data = doc->resource(QTextDocument::ImageResource, QUrl(f.name()));
      // The document keeps a picture as a pixmap once laid out, before that as the file's bytes.
      QSize size;
      if (data.typeId() == QMetaType::QPixmap)
        size = data.value<QPixmap>().size();
      else if (data.typeId() == QMetaType::QImage)
        size = data.value<QImage>().size();
      else
        size = QImage::fromData(data.toByteArray()).size();
      if (size.isEmpty()) continue;
      const int w = std::min(size.width(), width);
      f.setWidth(w);
      f.setHeight(static_cast<double>(size.height()) * w / size.width());
      QTextCursor cursor(doc);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(f);
    }
  }
}

}  // namespace tarn
