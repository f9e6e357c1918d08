// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/recent_menu.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace tarn {

namespace {

constexpr int kArrowWidth = 16;

}  // namespace

RecentMenu::RecentMenu(QPushButton* button)
    : QObject(button), button_(button), arrow_(new QToolButton(button)), menu_(new QMenu(button)) {
  menu_->setObjectName(button->objectName() + QStringLiteral("Recent"));
  arrow_->setObjectName(button->objectName() + QStringLiteral("Arrow"));
  arrow_->setArrowType(Qt::DownArrow);
  arrow_->setAutoRaise(true);
  arrow_->setFocusPolicy(Qt::NoFocus);
  arrow_->setToolTip(QStringLiteral("Recent files"));
  arrow_->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
  connect(arrow_, &QToolButton::clicked, this, &RecentMenu::Popup);
  // Built when it opens, so that a file deleted meanwhile shows greyed.
  connect(menu_, &QMenu::aboutToShow, this, &RecentMenu::Fill);
  button_->installEventFilter(this);
  PlaceArrow();
  Fill();
}

void RecentMenu::SetFiles(const QStringList& files) {
  files_ = files;
  Fill();
}

void RecentMenu::Fill() {
  menu_->clear();
  if (files_.isEmpty()) {
    menu_->addAction(QStringLiteral("No recent files"))->setEnabled(false);
    return;
  }
  int n = 0;
  for (const QString& path : files_) {
    const QFileInfo info(path);
    QString name = info.fileName();
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QString folder = QDir::toNativeSeparators(info.path());
    folder.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu_->addAction(QStringLiteral("&%1  %2   (%3)").arg(++n).arg(name, folder));
    action->setData(path);
    action->setToolTip(path);
    if (!info.exists()) {
      action->setEnabled(false);
      action->setToolTip(path + QStringLiteral(" (not found)"));
    }
    connect(action, &QAction::triggered, this, [this, path] { emit Chosen(path); });
  }
}

void RecentMenu::PlaceArrow() {
  arrow_->setGeometry(button_->width() - kArrowWidth - 2, 2, kArrowWidth, button_->height() - 4);
}

void RecentMenu::Popup() {
  menu_->popup(button_->mapToGlobal(QPoint(0, button_->height())));
}

bool RecentMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched == button_) {
    switch (event->type()) {
      case QEvent::Resize:
        PlaceArrow();
        break;
      case QEvent::ContextMenu:
        if (button_->isEnabled()) Popup();
        return true;
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
          Popup();
          return true;
        }
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarn
