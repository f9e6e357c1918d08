// SPDX-License-Identifier: GPL-3.0-or-later
// The plot engine's drawing surface on a QImage (ARGB32) with QPainter; lines are drawn
// without antialiasing so that pixels land where the engine's mapping says.
#pragma once

#include <QImage>
#include <QPainter>
#include <memory>

#include "graph/ui/qt_draw_surface.h"

namespace tarn {

class QImageSurface : public QtDrawSurface {
 public:
  QImageSurface(int w, int h);
  ~QImageSurface() override;

  // The factory the graph window and tarn-export hand to the engine.
  static SurfaceFactory Factory();

  // The bitmap; painting is finished before it is returned.
  const QImage& image();
  bool SaveBmp(const QString& path);

  void FillRect(int x, int y, int w, int h, uint32_t argb) override;
  void DrawRect(int x, int y, int w, int h, uint32_t argb, float width) override;
  void DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) override;
  void DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) override;
  uint32_t Pixel(int x, int y) const override;
  void SetPixel(int x, int y, uint32_t argb) override;
  uint32_t* PixelData(int* words_per_row) override;

 protected:
  QPainter& Painter() override;
  QPaintDevice* Device() override { return &image_; }
  void ClipChanged() override;

 private:
  void EndPainting();
  static int PenPixels(float width);
  bool Direct(uint32_t argb) const;
  // Where direct lines go: the pixels and the part of the bitmap they may touch.
  struct RasterTarget {
    uint32_t* pixels = nullptr;
    ptrdiff_t stride = 0;
    QRect bounds;
  };
  RasterTarget Target();
  void RasterSegment(const RasterTarget& t, int x1, int y1, int x2, int y2, uint32_t argb, int w);

  QImage image_;
  std::unique_ptr<QPainter> painter_;
};

}  // namespace tarn
