// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/background_cache.h"

#include <bit>
#include <cstring>

namespace tarn {

BackgroundKey& BackgroundKey::Add(int64_t v) {
  bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
  return *this;
}

BackgroundKey& BackgroundKey::Add(double v) {
  return Add(std::bit_cast<int64_t>(v));
}

BackgroundKey& BackgroundKey::Add(std::string_view text) {
  Add(static_cast<int64_t>(text.size()));
  bytes_.append(text);
  return *this;
}

BackgroundKey& BackgroundKey::Add(const FontInfo& font) {
  return Add(font.family).Add(font.points).Add(int64_t{font.bold});
}

bool BackgroundCache::Restore(DrawSurface* surface, const BackgroundKey& key) const {
  if (surface == nullptr || pixels_.empty() || key.bytes() != kept_key_ ||
      surface->Width() != width_ || surface->Height() != height_) {
    return false;
  }
  int stride = 0;
  uint32_t* rows = surface->PixelData(&stride);
  if (rows == nullptr) return false;
  const size_t row_bytes = static_cast<size_t>(width_) * sizeof(uint32_t);
  if (stride == width_) {
    std::memcpy(rows, pixels_.data(), row_bytes * height_);
    return true;
  }
  for (int y = 0; y < height_; ++y) {
    std::memcpy(rows + static_cast<ptrdiff_t>(y) * stride,
                &pixels_[static_cast<size_t>(y) * width_], row_bytes);
  }
  return true;
}

void BackgroundCache::Drawn(DrawSurface* surface, const BackgroundKey& key) {
  const bool repeated = key.bytes() == last_key_;
  last_key_ = key.bytes();
  if (!repeated || surface == nullptr) return;
  int stride = 0;
  const uint32_t* rows = surface->PixelData(&stride);
  if (rows == nullptr) return;
  width_ = surface->Width();
  height_ = surface->Height();
  pixels_.resize(static_cast<size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y) {
    std::memcpy(&pixels_[static_cast<size_t>(y) * width_],
                rows + static_cast<ptrdiff_t>(y) * stride,
                static_cast<size_t>(width_) * sizeof(uint32_t));
  }
  kept_key_ = last_key_;
}

void BackgroundCache::Clear() {
  last_key_.clear();
  kept_key_.clear();
  pixels_.clear();
  pixels_.shrink_to_fit();
  width_ = height_ = 0;
}

}  // namespace tarn
