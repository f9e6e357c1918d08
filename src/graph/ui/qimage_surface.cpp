// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/qimage_surface.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPen>
#include <QPointF>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/ui/qt_text.h"

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
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  return image().save(&buffer, "BMP") &&
         WriteFileAtomically(ToUtf8(path), std::string_view(bytes.constData(), bytes.size()));
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
  if ((argb >> 24) != 0xFF || saved_transforms_ > 0) {
    Painter().fillRect(x, y, w, h, QColor::fromRgba(argb));
    return;
  }
  // An opaque fill is plain stores: written directly it costs a fraction of the painter's
  // span filler, which hands a whole-bitmap fill to a thread pool and waits for it.
  QRect r = QRect(x, y, w, h) & image_.rect();
  if (clipped_) r &= clip_;
  if (r.isEmpty()) return;
  int stride = 0;
  uint32_t* pixels = PixelData(&stride);
  for (int row = r.top(); row <= r.bottom(); ++row) {
    uint32_t* line = pixels + static_cast<ptrdiff_t>(row) * stride;
    std::fill(line + r.left(), line + r.left() + r.width(), argb);
  }
}

void QImageSurface::DrawRect(int x, int y, int w, int h, uint32_t argb, float width) {
  if (Direct(argb)) {
    const int pw = PenPixels(width);
    const RasterTarget t = Target();
    RasterSegment(t, x, y, x + w, y, argb, pw);
    RasterSegment(t, x + w, y, x + w, y + h, argb, pw);
    RasterSegment(t, x + w, y + h, x, y + h, argb, pw);
    RasterSegment(t, x, y + h, x, y, argb, pw);
    return;
  }
  SetPen(argb, width);
  Painter().setBrush(Qt::NoBrush);
  Painter().drawRect(x, y, w, h);
}

void QImageSurface::DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) {
  if (Direct(argb)) {
    RasterSegment(Target(), x1, y1, x2, y2, argb, PenPixels(width));
    return;
  }
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
  if (Direct(argb)) {
    const int pw = PenPixels(width);
    const RasterTarget t = Target();
    for (int i = 1; i < n; ++i) {
      RasterSegment(t, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, argb, pw);
    }
    return;
  }
  const bool safe =
      std::all_of(points, points + n, [](const DrawPoint& p) { return InSafeRange(p.x, p.y); });
  if (!safe) {
    for (int i = 1; i < n; ++i) {
      DrawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, argb, width);
    }
    return;
  }
  SetPen(argb, width);
  std::vector<QPoint> pts(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) pts[i] = QPoint(points[i].x, points[i].y);
  Painter().drawPolyline(pts.data(), n);
}

int QImageSurface::PenPixels(float width) {
  return std::max(1, static_cast<int>(std::lround(width)));
}

bool QImageSurface::Direct(uint32_t argb) const {
  return (argb >> 24) == 0xFF && saved_transforms_ == 0;
}

// Opaque, untransformed lines are set pixel by pixel: Bresenham along the major axis, both end
// pixels included, with a span of the pen's width across it at every step. The painter would
// stroke a polygon per line and hand every long span list to a thread pool, which for a series
// of thousands of segments takes several frames.
QImageSurface::RasterTarget QImageSurface::Target() {
  RasterTarget t;
  t.bounds = image_.rect();
  if (clipped_) t.bounds &= clip_;
  int stride = 0;
  t.pixels = PixelData(&stride);
  t.stride = stride;
  return t;
}

void QImageSurface::RasterSegment(const RasterTarget& t, int x1, int y1, int x2, int y2,
                                  uint32_t argb, int w) {
  const int before = w / 2, after = (w - 1) / 2;
  const QRect& bounds = t.bounds;
  if (bounds.isEmpty()) return;
  const double margin = w + 2.0;
  const double lox = bounds.left() - margin, loy = bounds.top() - margin;
  const double hix = bounds.right() + margin, hiy = bounds.bottom() + margin;
  int x = x1, y = y1, xe = x2, ye = y2;
  // A segment inside the margin comes out of the clip unchanged; most of a series is.
  const auto inside = [&](int px, int py) {
    return px >= lox && px <= hix && py >= loy && py <= hiy;
  };
  if (!inside(x1, y1) || !inside(x2, y2)) {
    double ax = x1, ay = y1, bx = x2, by = y2;
    if (!ClipSegment(ax, ay, bx, by, lox, loy, hix, hiy)) return;
    x = static_cast<int>(std::lround(ax));
    y = static_cast<int>(std::lround(ay));
    xe = static_cast<int>(std::lround(bx));
    ye = static_cast<int>(std::lround(by));
  }
  uint32_t* const pixels = t.pixels;
  const ptrdiff_t stride = t.stride;
  const int dx = std::abs(xe - x), sx = x < xe ? 1 : -1;
  const int dy = -std::abs(ye - y), sy = y < ye ? 1 : -1;
  const bool x_major = dx >= -dy;
  int err = dx + dy;
  while (true) {
    if (x_major) {
      if (x >= bounds.left() && x <= bounds.right()) {
        const int y0 = std::max(y - before, bounds.top());
        const int y1e = std::min(y + after, bounds.bottom());
        for (int r = y0; r <= y1e; ++r) pixels[r * stride + x] = argb;
      }
    } else if (y >= bounds.top() && y <= bounds.bottom()) {
      const int x0 = std::max(x - before, bounds.left());
      const int x1e = std::min(x + after, bounds.right());
      if (x0 <= x1e) {
        uint32_t* line = pixels + y * stride;
        std::fill(line + x0, line + x1e + 1, argb);
      }
    }
    if (x == xe && y == ye) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

const QFont& QImageSurface::Font(const FontInfo& info) {
  const std::string key =
      info.family + '/' + std::to_string(info.points) + (info.bold ? "/b" : "/n");
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    QFont f(QString::fromStdString(info.family));
    f.setPointSizeF(info.points);
    f.setBold(info.bold);
    it = fonts_.emplace(key, f).first;
  }
  return it->second;
}

int QImageSurface::TextWidth(std::string_view text, const FontInfo& font) {
  const QFontMetrics fm(Font(font), &image_);
  return fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void QImageSurface::DrawText(int x, int y, std::string_view text, const FontInfo& font,
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

uint32_t* QImageSurface::PixelData(int* words_per_row) {
  *words_per_row = static_cast<int>(image_.bytesPerLine() / 4);
  return reinterpret_cast<uint32_t*>(image_.bits());
}

}  // namespace tarn
