// SPDX-License-Identifier: GPL-3.0-or-later
// The few drawing operations the plot engine needs from a 2-D library: a bitmap with pens,
// brushes, fonts, rotation, clipping and per-pixel access. Texts are UTF-8; colours are ARGB.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarn {

struct FontInfo {
  std::string family;  // requested face; the library substitutes a near one
  double points = 10;  // size in points at 96 dots per inch
  bool bold = false;
};

struct DrawPoint {
  int x = 0;
  int y = 0;
};

class DrawSurface {
 public:
  virtual ~DrawSurface() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void FillRect(int x, int y, int w, int h, uint32_t argb) = 0;
  // The outline covers the columns x to x + w and the rows y to y + h.
  virtual void DrawRect(int x, int y, int w, int h, uint32_t argb, float width) = 0;
  virtual void DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) = 0;
  // Lines between consecutive points, as DrawLine would draw them one by one.
  virtual void DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) = 0;

  virtual int TextWidth(std::string_view text, const FontInfo& font) = 0;
  // (x, y) is the top-left corner of the text's layout box.
  virtual void DrawText(int x, int y, std::string_view text, const FontInfo& font,
                        uint32_t argb) = 0;

  // Saves the transformation, then rotates the drawing by `degrees` (clockwise on screen, y
  // pointing down) about (cx, cy); RestoreTransform brings back the saved one.
  virtual void RotateAbout(double degrees, int cx, int cy) = 0;
  virtual void RestoreTransform() = 0;

  virtual void SetClip(int x, int y, int w, int h) = 0;
  virtual void ResetClip() = 0;

  // Direct pixel access, outside any clip or transformation; no-op / 0 outside the bitmap.
  virtual uint32_t Pixel(int x, int y) const = 0;
  virtual void SetPixel(int x, int y, uint32_t argb) = 0;
  // The pixels themselves, row after row, *words_per_row apart, for loops that touch many of
  // them; null when the surface has no such memory (then use Pixel and SetPixel).
  virtual uint32_t* PixelData(int* words_per_row) {
    *words_per_row = 0;
    return nullptr;
  }
};

// Makes a bitmap surface of w by h pixels.
using SurfaceFactory = std::function<std::unique_ptr<DrawSurface>(int w, int h)>;

}  // namespace tarn
