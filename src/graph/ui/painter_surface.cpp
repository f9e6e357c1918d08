// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/painter_surface.h"

#include <QPaintDevice>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>

namespace tarn {

namespace {

// The engine's coordinates name pixels; a thin line through pixel x covers x to x + 1.
constexpr double kPixelCentre = 0.5;

QPointF Centre(int x, int y) {
  return QPointF(x + kPixelCentre, y + kPixelCentre);
}

// Liang-Barsky: cuts the segment a-b to the rectangle; false when nothing of it is inside.
bool ClipToRect(QPointF& a, QPointF& b, const QRectF& r) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const QPointF start = a;
  a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
  b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
  return true;
}

}  // namespace

PainterSurface::PainterSurface(QPainter* painter, int w, int h) : painter_(painter), w_(w), h_(h) {
  const int dpi = painter_->device() ? painter_->device()->logicalDpiY() : 96;
  point_scale_ = dpi > 0 ? 96.0 / dpi : 1.0;
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, true);
  painter_->setRenderHint(QPainter::TextAntialiasing, true);
}

PainterSurface::~PainterSurface() {
  while (saved_transforms_ > 0) RestoreTransform();
  painter_->restore();
}

void PainterSurface::SetPen(uint32_t argb, float width) {
  QPen pen(QColor::fromRgba(argb));
  pen.setWidthF(width);
  pen.setCapStyle(width <= 1.0f ? Qt::SquareCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  painter_->setPen(pen);
  painter_->setBrush(Qt::NoBrush);
}

void PainterSurface::FillRect(int x, int y, int w, int h, uint32_t argb) {
  QRectF r(x, y, w, h);
  if (clipped_) r &= clip_;
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
  const QRectF box = clipped_ ? clip_ : QRectF(-w_, -h_, 3.0 * w_, 3.0 * h_);
  QPolygonF run;
  auto flush = [&] {
    if (run.size() >= 2) painter_->drawPolyline(run);
    run.clear();
  };
  for (int i = 1; i < n; ++i) {
    QPointF a = Centre(points[i - 1].x, points[i - 1].y);
    QPointF b = Centre(points[i].x, points[i].y);
    const QPointF b_whole = b;
    if (!ClipToRect(a, b, box)) {
      flush();
      continue;
    }
    if (run.isEmpty() || run.back() != a) {
      flush();
      run << a;
    }
    run << b;
    if (b != b_whole) flush();
  }
  flush();
}

const QFont& PainterSurface::Font(const FontInfo& info) {
  const std::string key =
      info.family + '/' + std::to_string(info.points) + (info.bold ? "/b" : "/n");
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    QFont f(QString::fromStdString(info.family));
    f.setPointSizeF(info.points * point_scale_);
    f.setBold(info.bold);
    it = fonts_.emplace(key, f).first;
  }
  return it->second;
}

int PainterSurface::TextWidth(std::string_view text, const FontInfo& font) {
  const QFontMetricsF fm(Font(font), painter_->device());
  const double w =
      fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  return static_cast<int>(w + 0.5);
}

void PainterSurface::DrawText(int x, int y, std::string_view text, const FontInfo& font,
                              uint32_t argb) {
  painter_->setFont(Font(font));
  painter_->setPen(QColor::fromRgba(argb));
  const QFontMetricsF fm(painter_->font(), painter_->device());
  painter_->drawText(QPointF(x, y + fm.ascent()),
                     QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void PainterSurface::RotateAbout(double degrees, int cx, int cy) {
  painter_->save();
  ++saved_transforms_;
  painter_->translate(cx, cy);
  painter_->rotate(degrees);
  painter_->translate(-cx, -cy);
}

void PainterSurface::RestoreTransform() {
  if (saved_transforms_ == 0) return;
  painter_->restore();
  --saved_transforms_;
}

void PainterSurface::SetClip(int x, int y, int w, int h) {
  clipped_ = true;
  clip_ = QRectF(x, y, w, h);
}

void PainterSurface::ResetClip() {
  clipped_ = false;
}

}  // namespace tarn
