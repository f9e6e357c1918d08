// SPDX-License-Identifier: GPL-3.0-or-later
// What the two QPainter drawing surfaces (the bitmap and any paint device) share: the size,
// fonts, pens, rotation, the clip rectangle and text.
#pragma once

#include <QFont>
#include <QRect>
#include <string>
#include <unordered_map>

#include "graph/draw_surface.h"

class QPaintDevice;
class QPainter;

namespace tarn {

class QtDrawSurface : public DrawSurface {
 public:
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  int TextWidth(std::string_view text, const FontInfo& font) override;
  void DrawText(int x, int y, std::string_view text, const FontInfo& font, uint32_t argb) override;
  void RotateAbout(double degrees, int cx, int cy) override;
  void RestoreTransform() override;
  void SetClip(int x, int y, int w, int h) override;
  void ResetClip() override;

 protected:
  // Font sizes are the points times `point_scale`; `fractional_text` measures and places text
  // in fractions of a unit (vector devices) rather than whole pixels.
  QtDrawSurface(int w, int h, double point_scale, bool fractional_text);

  // The painter, begun on first use where the surface begins it itself.
  virtual QPainter& Painter() = 0;
  virtual QPaintDevice* Device() = 0;
  // The clip rectangle was set or taken away.
  virtual void ClipChanged() {}

  const QFont& Font(const FontInfo& info);
  void SetPen(uint32_t argb, float width);

  bool clipped_ = false;
  QRect clip_;
  int saved_transforms_ = 0;

 private:
  int w_;
  int h_;
  double point_scale_;
  bool fractional_text_;
  std::unordered_map<std::string, QFont> fonts_;
};

}  // namespace tarn
