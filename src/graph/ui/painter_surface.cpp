// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/painter_surface.h"

#include <QPaintDevice>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>

#include "graph/clip_segment.h"

namespace tarn {

namespace {

// The engine's coordinates name pixels; a thin line through pixel x covers x to x + 1.
constexpr double kPixelCentre = 0.5;

QPointF Centre(int x, int y) {
  return QPointF(x + kPixelCentre, y + kPixelCentre);
}

// The share of a point the device's dots make of a bitmap pixel at 96 dots per inch.
double PointScale(QPainter* painter) {
  const int dpi = painter->device() ? painter->device()->logicalDpiY() : 96;
  return dpi > 0 ? 96.0 / dpi : 1.0;
}

}  // namespace

PainterSurface::PainterSurface(QPainter* painter, int w, int h)
    : QtDrawSurface(w, h, PointScale(painter), true), painter_(painter) {
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, true);
  painter_->setRenderHint(QPainter::TextAntialiasing, true);
}

PainterSurface::~PainterSurface() {
  while (saved_transforms_ > 0) RestoreTransform();
  painter_->restore();
}

void PainterSurface::FillRect(int x, int y, int w, int h, uint32_t argb) {
  QRectF r(x, y, w, h);
  if (clipped_) r &= QRectF(clip_);
  if (!r.isEmpty()) painter_->fillRect(r, QColor::fromRgba(argb));
}

void PainterSurface::DrawRect(int x, int y, int w, int h, uint32_t argb, float width) {
  SetPen(argb, width);
  painter_->drawRect(QRectF(Centre(x, y), QSizeF(w, h)));
}

void PainterSurface::DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) {
  const DrawPoint points[2] = {{x1, y1}, {x2, y2}};
  DrawPolyline(points, 2, argb, width);
}

// The clip is applied to the geometry itself: vector outputs do not all honour a painter
// clip, and a series far outside the view would otherwise still be written out whole.
void PainterSurface::DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) {
  if (n < 2) return;
  SetPen(argb, width);
  const QRectF r =
      clipped_ ? QRectF(clip_) : QRectF(-Width(), -Height(), 3.0 * Width(), 3.0 * Height());
  const ClipBox box{r.left(), r.top(), r.right(), r.bottom()};
  QPolygonF run;
  auto flush = [&] {
    if (run.size() >= 2) painter_->drawPolyline(run);
    run.clear();
  };
  for (int i = 1; i < n; ++i) {
    const QPointF from = Centre(points[i - 1].x, points[i - 1].y);
    const QPointF to = Centre(points[i].x, points[i].y);
    Segment seg{from.x(), from.y(), to.x(), to.y()};
    if (!ClipSegment(&seg, box)) {
      flush();
      continue;
    }
    const QPointF a(seg.x1, seg.y1), b(seg.x2, seg.y2);
    if (run.isEmpty() || run.back() != a) {
      flush();
      run << a;
    }
    run << b;
    if (b != to) flush();
  }
  flush();
}

}  // namespace tarn
