// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing surface for the plot tests: records every call and keeps a pixel buffer so that
// the cursor lines and simple lines can be checked without a window system.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graph/draw_surface.h"

namespace tarn::testing {

class FakeSurface : public DrawSurface {
 public:
  struct Line {
    int x1, y1, x2, y2;
    uint32_t argb;
    float width;
    bool clipped;
  };
  struct Text {
    int x, y;
    std::string text;
    FontInfo font;
    uint32_t argb;
    double rotation;  // degrees in force when drawn
    int cx, cy;       // rotation centre
  };
  struct Polyline {
    std::vector<DrawPoint> points;
    uint32_t argb;
    float width;
    bool clipped;
  };

  FakeSurface(int w, int h) : w_(w), h_(h), pixels_(static_cast<size_t>(w) * h, 0xFFFFFFFFu) {}

  static SurfaceFactory Factory(FakeSurface** last = nullptr) {
    return [last](int w, int h) -> std::unique_ptr<DrawSurface> {
      auto s = std::make_unique<FakeSurface>(w, h);
      if (last != nullptr) *last = s.get();
      return s;
    };
  }

  // Every character is 7 pixels wide.
  static constexpr int kCharWidth = 7;

  int Width() const override { return w_; }
  int Height() const override { return h_; }
  // A fill of the whole bitmap starts a new drawing: the calls recorded so far are forgotten.
  void FillRect(int x, int y, int w, int h, uint32_t argb) override {
    ++fills;
    if (x == 0 && y == 0 && w >= w_ && h >= h_) Clear();
    for (int yy = y; yy < y + h; ++yy)
      for (int xx = x; xx < x + w; ++xx) SetPixel(xx, yy, argb);
  }
  void DrawRect(int x, int y, int w, int h, uint32_t argb, float width) override {
    rects.push_back({x, y, x + w, y + h, argb, width, clip_});
  }
  void DrawLine(int x1, int y1, int x2, int y2, uint32_t argb, float width) override {
    lines.push_back({x1, y1, x2, y2, argb, width, clip_});
    Raster(x1, y1, x2, y2, argb);
  }
  void DrawPolyline(const DrawPoint* points, int n, uint32_t argb, float width) override {
    polylines.push_back({std::vector<DrawPoint>(points, points + n), argb, width, clip_});
    for (int i = 1; i < n; ++i)
      Raster(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, argb);
  }
  int TextWidth(std::string_view text, const FontInfo&) override {
    return kCharWidth * static_cast<int>(text.size());
  }
  void DrawText(int x, int y, std::string_view text, const FontInfo& font, uint32_t argb) override {
    texts.push_back({x, y, std::string(text), font, argb, rotation_, cx_, cy_});
  }
  void RotateAbout(double degrees, int cx, int cy) override {
    rotation_ = degrees;
    cx_ = cx;
    cy_ = cy;
  }
  void RestoreTransform() override { rotation_ = 0; }
  void SetClip(int x, int y, int w, int h) override {
    clip_ = true;
    clip_rect = {x, y, w, h};
  }
  void ResetClip() override { clip_ = false; }
  uint32_t Pixel(int x, int y) const override {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
    return pixels_[static_cast<size_t>(y) * w_ + x];
  }
  void SetPixel(int x, int y, uint32_t argb) override {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    pixels_[static_cast<size_t>(y) * w_ + x] = argb;
  }

  // Forgets the recorded calls (the pixels stay).
  void Clear() {
    lines.clear();
    rects.clear();
    texts.clear();
    polylines.clear();
  }
  const Text* FindText(const std::string& t) const {
    for (const Text& x : texts)
      if (x.text == t) return &x;
    return nullptr;
  }
  bool HasTextStartingWith(const std::string& prefix) const {
    for (const Text& x : texts)
      if (x.text.rfind(prefix, 0) == 0) return true;
    return false;
  }

  std::vector<Line> lines, rects;
  std::vector<Text> texts;
  std::vector<Polyline> polylines;
  int fills = 0;
  struct {
    int x, y, w, h;
  } clip_rect{};

 private:
  void Raster(int from_x, int from_y, int x2, int y2, uint32_t argb) {
    // Bresenham, both ends included; 64-bit so that ends mapped far off the surface (an infinite
    // value) cannot overflow.
    int64_t x1 = from_x, y1 = from_y;
    const int64_t dx = std::abs(int64_t{x2} - x1), sx = x1 < x2 ? 1 : -1;
    const int64_t dy = -std::abs(int64_t{y2} - y1), sy = y1 < y2 ? 1 : -1;
    int64_t err = dx + dy;
    for (int guard = 0; guard < 100000; ++guard) {
      SetPixel(static_cast<int>(x1), static_cast<int>(y1), argb);
      if (x1 == x2 && y1 == y2) break;
      const int64_t e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x1 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y1 += sy;
      }
    }
  }

  int w_, h_;
  std::vector<uint32_t> pixels_;
  bool clip_ = false;
  double rotation_ = 0;
  int cx_ = 0, cy_ = 0;
};

}  // namespace tarn::testing
