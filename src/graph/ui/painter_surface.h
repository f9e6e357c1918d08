// SPDX-License-Identifier: GPL-3.0-or-later
// The plot engine's drawing surface on any QPaintDevice through a QPainter the caller began:
// SVG and PDF pictures and report pages get vector lines and real text.
#pragma once

#include <QPainter>

#include "graph/ui/qt_draw_surface.h"

namespace tarn {

class PainterSurface : public QtDrawSurface {
 public:
  // Draws with `painter` (already begun, possibly translated and scaled by the caller) in a
  // coordinate space of w by h units, one unit standing for one pixel of the bitmap at 96 dots
  // per inch: point sizes are converted so that text keeps its bitmap size in those units.
  PainterSurface(QPainter* painter, int w, int h);
  ~PainterSurface() override;

  void FillRect(int x, int y, int w, int h, uint32_t argb) override;
  void DrawRect(int x, int y, int w, int h, uint32_t argb, float width) override;
  void DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) override;
  void DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) override;
  // A vector device has no pixels to read or invert.
  uint32_t Pixel(int, int) const override { return 0; }
  void SetPixel(int, int, uint32_t) override {}

 protected:
  QPainter& Painter() override { return *painter_; }
  QPaintDevice* Device() override { return painter_->device(); }

 private:
  QPainter* painter_;
};

}  // namespace tarn
