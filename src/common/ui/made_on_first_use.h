// SPDX-License-Identifier: GPL-3.0-or-later
// A window made the first time anything asks for it, so the screen that owns it starts without
// paying for it. What make returns belongs to its Qt parent, which deletes it.
#pragma once

#include <functional>
#include <utility>

namespace tarn {

template <class W>
class MadeOnFirstUse {
 public:
  explicit MadeOnFirstUse(std::function<W*()> make) : make_(std::move(make)) {}
  MadeOnFirstUse(const MadeOnFirstUse&) = delete;
  MadeOnFirstUse& operator=(const MadeOnFirstUse&) = delete;

  W* get() {
    if (w_ == nullptr) w_ = make_();
    return w_;
  }
  W* operator->() { return get(); }
  operator W*() { return get(); }
  // The window if it has been made, without making it.
  W* made() const { return w_; }

 private:
  std::function<W*()> make_;
  W* w_ = nullptr;
};

}  // namespace tarn
