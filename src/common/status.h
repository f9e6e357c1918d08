// SPDX-License-Identifier: GPL-3.0-or-later
// The result of an operation that can fail: ok, or not with a sentence for the user saying why.
#pragma once

#include <string>
#include <utility>

namespace tarn {

struct Status {
  bool ok = true;
  std::string message;
  static Status Fail(std::string text) { return {false, std::move(text)}; }
  explicit operator bool() const { return ok; }
};

}  // namespace tarn
