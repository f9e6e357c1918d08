// SPDX-License-Identifier: GPL-3.0-or-later
// A menu of recently opened files hung on a screen's Open button. A small arrow inside the
// button's right edge, a right click on the button, or the Down key while it has the focus
// opens the menu; the button's own click and its place stay as they were.
#pragma once

#include <QObject>
#include <QStringList>

class QMenu;
class QPushButton;
class QToolButton;

namespace tarn {

class RecentMenu : public QObject {
  Q_OBJECT

 public:
  explicit RecentMenu(QPushButton* button);

  // The files, newest first. Files that no longer exist are shown greyed out.
  void SetFiles(const QStringList& files);
  QMenu* menu() const { return menu_; }
  QToolButton* arrow() const { return arrow_; }

 signals:
  void Chosen(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fill();
  void PlaceArrow();
  void Popup();

  QPushButton* button_;
  QToolButton* arrow_;
  QMenu* menu_;
  QStringList files_;
};

}  // namespace tarn
