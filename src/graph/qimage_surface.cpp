#include "graph/qimage_surface.h"

#include <QFontMetrics>
#include <QPen>
#include <QPointF>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tarn {

namespace {

// 96 dots per inch, so that a point size gives the same pixels as on a usual Windows screen.
constexpr int kDotsPerMeter96 = 3780;

// Beyond this the raster engine's fixed-point coordinates overflow; longer lines are cut to a
// margin around the bitmap first (same pixels inside it).
constexpr int kSafeCoordinate = 1 << 20;
constexpr double kClipMargin = 64.0;

bool InSafeRange(int x, int y) {
  return x > -kSafeCoordinate && x < kSafeCoordinate && y > -kSafeCoordinate && y < kSafeCoordinate;
}

// Liang-Barsky clip of the segment to [lo, hi] in both axes; false when nothing is left.
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double lox, double loy, double hix,
                 double hiy) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - lox, hix - x1, y1 - loy, hiy - y1};
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
  const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
  x2 = x1 + t1 * dx;
  y2 = y1 + t1 * dy;
  x1 = nx1;
  y1 = ny1;
  return true;
}

}  // namespace

QImageSurface::QImageSurface(int w, int h) : image_(w, h, QImage::Format_ARGB32) {
  image_.setDotsPerMeterX(kDotsPerMeter96);
  image_.setDotsPerMeterY(kDotsPerMeter96);
  image_.fill(Qt::white);
}

QImageSurface::~QImageSurface() {
  EndPainting();
}

SurfaceFactory QImageSurface::Factory() {
  return [](int w, int h) -> std::unique_ptr<DrawSurface> {
    return std::make_unique<QImageSurface>(w, h);
  };
}

QPainter& QImageSurface::Painter() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    if (clipped_) painter_->setClipRect(clip_);
  }
  return *painter_;
}

void QImageSurface::EndPainting() {
  if (!painter_) return;
  while (saved_transforms_ > 0) {
    painter_->restore();
    --saved_transforms_;
  }
  painter_->end();
  painter_.reset();
}

const QImage& QImageSurface::image() {
  EndPainting();
  return image_;
}

bool QImageSurface::SaveBmp(const QString& path) {
  return image().save(path, "BMP");
}

int QImageSurface::Width() const {
  return image_.width();
}

int QImageSurface::Height() const {
  return image_.height();
}

void QImageSurface::SetPen(uint32_t argb, float width) {
  QPen pen(QColor::fromRgba(argb));
  pen.setWidthF(width);
  // Thin lines include both end pixels; wide ones end flat at their end points.
  pen.setCapStyle(width <= 1.0f ? Qt::SquareCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  Painter().setPen(pen);
}

void QImageSurface::FillRect(int x, int y, int w, int h, uint32_t argb) {
  Painter().fillRect(x, y, w, h, QColor::fromRgba(argb));
}

void QImageSurface::DrawRect(int x, int y, int w, int h, uint32_t argb, float width) {
  SetPen(argb, width);
  Painter().setBrush(Qt::NoBrush);
  Painter().drawRect(x, y, w, h);
}

void QImageSurface::DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) {
  SetPen(argb, width);
  if (InSafeRange(x1, y1) && InSafeRange(x2, y2)) {
    Painter().drawLine(x1, y1, x2, y2);
    return;
  }
  double ax = x1, ay = y1, bx = x2, by = y2;
  if (!ClipSegment(ax, ay, bx, by, -kClipMargin, -kClipMargin, image_.width() + kClipMargin,
                   image_.height() + kClipMargin)) {
    return;
  }
  Painter().drawLine(QPointF(std::round(ax), std::round(ay)),
                     QPointF(std::round(bx), std::round(by)));
}

void QImageSurface::DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) {
  if (n < 2) return;
  const bool safe =
      std::all_of(points, points + n, [](const DrawPoint& p) { return InSafeRange(p.x, p.y); });
  if (!safe) {
    for (int i = 1; i < n; ++i) {
      DrawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, argb, width);
    }
    return;
  }
  SetPen(argb, width);
  static_assert(sizeof(DrawPoint) == sizeof(QPoint));
  std::vector<QPoint> pts(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) pts[i] = QPoint(points[i].x, points[i].y);
  Painter().drawPolyline(pts.data(), n);
}

const QFont& QImageSurface::Font(const FontSpec& spec) {
  const std::string key =
      spec.family + '/' + std::to_string(spec.points) + (spec.bold ? "/b" : "/n");
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    QFont f(QString::fromStdString(spec.family));
    f.setPointSizeF(spec.points);
    f.setBold(spec.bold);
    it = fonts_.emplace(key, f).first;
  }
  return it->second;
}

int QImageSurface::TextWidth(std::string_view text, const FontSpec& font) {
  const QFontMetrics fm(Font(font), &image_);
  return fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QImageSurface::DrawText(int x, int y, std::string_view text, const FontSpec& font,
                             uint32_t argb) {
  QPainter& p = Painter();
  p.setFont(Font(font));
  p.setPen(QColor::fromRgba(argb));
  const QFontMetrics fm(p.font(), &image_);
  p.drawText(QPoint(x, y + fm.ascent()),
             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QImageSurface::RotateAbout(double degrees, int cx, int cy) {
  QPainter& p = Painter();
  p.save();
  ++saved_transforms_;
  p.translate(cx, cy);
  p.rotate(degrees);
  p.translate(-cx, -cy);
}

void QImageSurface::RestoreTransform() {
  if (!painter_ || saved_transforms_ == 0) return;
  painter_->restore();
  --saved_transforms_;
}

void QImageSurface::SetClip(int x, int y, int w, int h) {
  clipped_ = true;
  clip_ = QRect(x, y, w, h);
  Painter().setClipRect(clip_);
}

void QImageSurface::ResetClip() {
  clipped_ = false;
  if (painter_) painter_->setClipping(false);
}

uint32_t QImageSurface::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return 0;
  return reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
}

void QImageSurface::SetPixel(int x, int y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = argb;
}

}  // namespace tarn
