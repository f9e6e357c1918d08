// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/qt_draw_surface.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

namespace tarn {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtDrawSurface::QtDrawSurface(int w, int h, double point_scale, bool fractional_text)
    : w_(w), h_(h), point_scale_(point_scale), fractional_text_(fractional_text) {}

const QFont& QtDrawSurface::Font(const FontInfo& info) {
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

void QtDrawSurface::SetPen(uint32_t argb, float width) {
  QPen pen(QColor::fromRgba(argb));
  pen.setWidthF(width);
  // Thin lines include both end pixels; wide ones end flat at their end points.
  pen.setCapStyle(width <= 1.0f ? Qt::SquareCap : Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  QPainter& p = Painter();
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
}

int QtDrawSurface::TextWidth(std::string_view text, const FontInfo& font) {
  if (fractional_text_) {
    const QFontMetricsF fm(Font(font), Device());
    return static_cast<int>(fm.horizontalAdvance(Text(text)) + 0.5);
  }
  const QFontMetrics fm(Font(font), Device());
  return fm.horizontalAdvance(Text(text));
}

void QtDrawSurface::DrawText(int x, int y, std::string_view text, const FontInfo& font,
                             uint32_t argb) {
  QPainter& p = Painter();
  p.setFont(Font(font));
  p.setPen(QColor::fromRgba(argb));
  if (fractional_text_) {
    const QFontMetricsF fm(p.font(), Device());
    p.drawText(QPointF(x, y + fm.ascent()), Text(text));
    return;
  }
  const QFontMetrics fm(p.font(), Device());
  p.drawText(QPoint(x, y + fm.ascent()), Text(text));
}

void QtDrawSurface::RotateAbout(double degrees, int cx, int cy) {
  QPainter& p = Painter();
  p.save();
  ++saved_transforms_;
  p.translate(cx, cy);
  p.rotate(degrees);
  p.translate(-cx, -cy);
}

void QtDrawSurface::RestoreTransform() {
  if (saved_transforms_ == 0) return;
  Painter().restore();
  --saved_transforms_;
}

void QtDrawSurface::SetClip(int x, int y, int w, int h) {
  clipped_ = true;
  clip_ = QRect(x, y, w, h);
  ClipChanged();
}

void QtDrawSurface::ResetClip() {
  clipped_ = false;
  ClipChanged();
}

}  // namespace tarn
