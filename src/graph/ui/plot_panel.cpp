// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/plot_panel.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include "graph/zoom_machine.h"

namespace tarn {

namespace {

int ToMouseButton(Qt::MouseButtons buttons) {
  int b = kMouseNone;
  if (buttons & Qt::LeftButton) b |= kMouseLeft;
  if (buttons & Qt::RightButton) b |= kMouseRight;
  if (buttons & Qt::MiddleButton) b |= kMouseMiddle;
  return b;
}

}  // namespace

PlotPanel::PlotPanel(PlotPanelEvents* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setObjectName(QStringLiteral("pnGrp"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotPanel::paintEvent(QPaintEvent*) {
  owner_->pnGrp_Paint();
}

void PlotPanel::resizeEvent(QResizeEvent*) {
  owner_->pnGrp_Resize();
}

void PlotPanel::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  owner_->pnGrp_MouseDown(ToMouseButton(e->button()), p.x(), p.y());
}

void PlotPanel::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  owner_->pnGrp_MouseMove(ToMouseButton(e->buttons()), p.x(), p.y());
}

void PlotPanel::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  owner_->pnGrp_MouseUp(ToMouseButton(e->button()), p.x(), p.y());
}

void PlotPanel::wheelEvent(QWheelEvent* e) {
  // A sideways tilt is no zoom.
  const QPoint p = e->position().toPoint();
  if (e->angleDelta().y() != 0) owner_->pnGrp_MouseWheel(e->angleDelta().y(), p.x(), p.y());
  e->accept();
}

}  // namespace tarn
