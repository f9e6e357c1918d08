// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/qimage_surface.h"

#include <QBuffer>
#include <QPen>
#include <QPointF>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/ui/qt_text.h"
#include "graph/clip_segment.h"

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

}  // namespace

QImageSurface::QImageSurface(int w, int h)
    : QtDrawSurface(w, h, 1.0, false), image_(w, h, QImage::Format_ARGB32) {
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
  Segment s{double(x1), double(y1), double(x2), double(y2)};
  if (!ClipSegment(&s, {-kClipMargin, -kClipMargin, image_.width() + kClipMargin,
                        image_.height() + kClipMargin})) {
    return;
  }
  Painter().drawLine(QPointF(std::round(s.x1), std::round(s.y1)),
                     QPointF(std::round(s.x2), std::round(s.y2)));
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
    Segment s{double(x1), double(y1), double(x2), double(y2)};
    if (!ClipSegment(&s, {lox, loy, hix, hiy})) return;
    x = static_cast<int>(std::lround(s.x1));
    y = static_cast<int>(std::lround(s.y1));
    xe = static_cast<int>(std::lround(s.x2));
    ye = static_cast<int>(std::lround(s.y2));
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

void QImageSurface::ClipChanged() {
  if (clipped_) {
    Painter().setClipRect(clip_);
  } else if (painter_) {
    painter_->setClipping(false);
  }
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
