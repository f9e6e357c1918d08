// SPDX-License-Identifier: GPL-3.0-or-later
// How core code reports a failure to the user: a screen implements it with a message box
// (caption "Error", an OK button), tarn-export with a line on standard error.
#pragma once

#include <string_view>

namespace tarn {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // One UTF-8 message, such as "Unknown file type.".
  virtual void Error(std::string_view text) = 0;
};

}  // namespace tarn
