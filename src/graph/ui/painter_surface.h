// SPDX-License-Identifier: GPL-3.0-or-later
// The plot engine's drawing surface on any QPaintDevice through a QPainter the caller began:
// SVG and PDF pictures and report pages get vector lines and real text.
#pragma once

#include <QFont>
#include <QPainter>
#include <QRect>
#include <string>
#include <unordered_map>

#include "graph/draw_surface.h"

namespace tarn {

class PainterSurface : public DrawSurface {
 public:
  // Draws with `painter` (already begun, possibly translated and scaled by the caller) in a
  // coordinate space of w by h units, one unit standing for one pixel of the bitmap at 96 dots
  // per inch: point sizes are converted so that text keeps its bitmap size in those units.
  PainterSurface(QPainter* painter, int w, int h);
  ~PainterSurface() override;

  int Width() const override { return w_; }
  int Height() const override { return h_; }
  void FillRect(int x, int y, int w, int h, uint32_t argb) override;
  void DrawRect(int x, int y, int w, int h, uint32_t argb, float width) override;
  void DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) override;
  void DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) override;
  int TextWidth(std::string_view text, const FontInfo& font) override;
  void DrawText(int x, int y, std::string_view text, const FontInfo& font, uint32_t argb) override;
  void RotateAbout(double degrees, int cx, int cy) override;
  void RestoreTransform() override;
  void SetClip(int x, int y, int w, int h) override;
  void ResetClip() override;
  // A vector device has no pixels to read or invert.
  uint32_t Pixel(int, int) const override { return 0; }
  void SetPixel(int, int, uint32_t) override {}

 private:
  const QFont& Font(const FontInfo& info);
  void SetPen(uint32_t argb, float width);

  QPainter* painter_;
  int w_;
  int h_;
  double point_scale_;
  std::unordered_map<std::string, QFont> fonts_;
  bool clipped_ = false;
  QRectF clip_;
  int saved_transforms_ = 0;
};

}  // namespace tarn
