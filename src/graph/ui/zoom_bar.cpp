// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/zoom_bar.h"

#include <QCheckBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>

#include "common/ui/widget_builders.h"

namespace tarn {

ZoomBar MakeZoomBar(QWidget* bar) {
  ZoomBar z;
  z.chkData = MakeBoldCheck("chkData", "View Data", bar);
  z.chkTrend = MakeBoldCheck("chkTrend", "View Trend", bar);
  z.chkYaxis = MakeBoldCheck("chkYaxis", "Y-axis auto range", bar);
  z.btnViewAll = MakeButton("btnViewAll", QStringLiteral("&View All"), bar);
  z.btnViewAll->setFixedSize(83, 39);
  z.btnAreaXY = MakeButton("btnAreaXY", QString(), bar);
  z.btnAreaX = MakeButton("btnAreaX", QString(), bar);
  z.btnAreaY = MakeButton("btnAreaY", QString(), bar);
  const struct {
    QPushButton* button;
    const char* picture;
    const char* keys;  // the picture buttons' stand-in for a mnemonic
  } pictures[] = {{z.btnAreaXY, ":/graph/pictures/area_xy.png", "Alt+B"},
                  {z.btnAreaX, ":/graph/pictures/area_x.png", "Alt+X"},
                  {z.btnAreaY, ":/graph/pictures/area_y.png", "Alt+Y"}};
  for (const auto& p : pictures) {
    p.button->setFixedSize(36, 36);
    p.button->setIcon(QIcon(QString::fromLatin1(p.picture)));
    p.button->setIconSize(QSize(24, 24));
    p.button->setShortcut(QKeySequence(QString::fromLatin1(p.keys)));
  }
  for (QPushButton* b : {z.btnViewAll, z.btnAreaXY, z.btnAreaX, z.btnAreaY})
    b->setAutoDefault(false);
  z.lbValue = new QLabel(bar);
  z.lbValue->setObjectName(QStringLiteral("lbValue"));
  z.lbValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return z;
}

void PutDragOpt(const ZoomBar& bar, int opt) {
  const QString white = QStringLiteral("QPushButton { background-color: white; }");
  const QString blue = QStringLiteral("QPushButton { background-color: blue; }");
  bar.btnAreaXY->setStyleSheet(opt == 3 ? blue : white);
  bar.btnAreaX->setStyleSheet(opt == 1 ? blue : white);
  bar.btnAreaY->setStyleSheet(opt == 2 ? blue : white);
}

void SetZoomHints(const ZoomBar& bar, const char* view_all) {
  bar.btnViewAll->setToolTip(QString::fromLatin1(view_all));
  bar.btnAreaXY->setToolTip(QStringLiteral(
      "Zoom in time and value (Alt+B): drag a box over the plot, or turn the mouse wheel."));
  bar.btnAreaX->setToolTip(
      QStringLiteral("Zoom in time only (Alt+X): drag across the plot, or turn the mouse wheel."));
  bar.btnAreaY->setToolTip(
      QStringLiteral("Zoom in value only (Alt+Y): drag up or down the plot, or turn the mouse "
                     "wheel (with the automatic Y range off)."));
}

}  // namespace tarn
