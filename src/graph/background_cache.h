// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of a bitmap surface's static parts (fill, grid, titles, labels) kept with a description
// of what they show, so that a redraw of the same view can copy them back instead of drawing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/draw_surface.h"

namespace tarn {

// What a background shows, as bytes: numbers by their bits (so -0.0 differs from 0.0), texts
// with their length.
class BackgroundKey {
 public:
  BackgroundKey& Add(int64_t v);
  BackgroundKey& Add(double v);
  BackgroundKey& Add(std::string_view text);
  BackgroundKey& Add(const FontInfo& font);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class BackgroundCache {
 public:
  // Copies the kept pixels onto `surface` when they were drawn for `key` on a surface of its
  // size; false (nothing touched) otherwise, and for surfaces without pixel memory.
  bool Restore(DrawSurface* surface, const BackgroundKey& key) const;
  // Called after the background for `key` was drawn. The pixels are kept only when the same key
  // was drawn last time too: a run of zooms, each with a range of its own, copies nothing.
  void Drawn(DrawSurface* surface, const BackgroundKey& key);
  void Clear();

 private:
  std::string last_key_;
  std::string kept_key_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

}  // namespace tarn
