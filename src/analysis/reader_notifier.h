// SPDX-License-Identifier: GPL-3.0-or-later
// How the instrument data file reader reports its one failure message; the analysis screen
// shows it in a message box, tarn-export on standard error.
#pragma once

#include <string_view>

namespace tarn {

class ReaderNotifier {
 public:
  virtual ~ReaderNotifier() = default;
  // UTF-8 text such as "Unknown file type.".
  virtual void Error(std::string_view text) = 0;
};

}  // namespace tarn
