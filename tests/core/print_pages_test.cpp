// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/print_pages.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PrintPages, NineInchesHoldSixtyLines) {
  EXPECT_EQ(LinesPerPage(61, 900), (std::vector<int>{60, 1}));
  EXPECT_EQ(LinesPerPage(60, 900), (std::vector<int>{60}));
  EXPECT_EQ(LinesPerPage(121, 900), (std::vector<int>{60, 60, 1}));
  // An empty listing still prints one (blank) page; a page shorter than a line holds one.
  EXPECT_EQ(LinesPerPage(0, 900), (std::vector<int>{0}));
  EXPECT_EQ(LinesPerPage(3, 10), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(LinesPerPage(5, 901), (std::vector<int>{5}));
}

}  // namespace
}  // namespace tarn
