// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/print_pages.h"

namespace tarn {

std::vector<int> LinesPerPage(int lines, int height) {
  std::vector<int> pages;
  int on_page = 0;
  int y = 0;
  for (int i = 0; i < lines; ++i) {
    ++on_page;
    y += kPrintLineStep;
    if (y >= height && i + 1 < lines) {
      pages.push_back(on_page);
      on_page = 0;
      y = 0;
    }
  }
  pages.push_back(on_page);
  return pages;
}

}  // namespace tarn
