// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user guide is: beside the installed program, or in the source tree of a build.
#pragma once

#include <QString>
#include <QTextBrowser>

namespace tarn {

// The guide's path, or an empty text when neither copy exists.
QString UserGuidePath();

// The guide's window: its pictures are scaled down to the width it has, never wider, so that no
// picture needs a scroll bar.
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  // The width the pictures are laid out at, in pixels.
  int ImageWidth(const QString& name) const;

 protected:
  void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitImages();
  int fitted_width_ = -1;
};

}  // namespace tarn
