// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/clip_segment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarn {
namespace {

TEST(ClipSegment, CutsToTheBoxAndKeepsTheDirection) {
  const ClipBox box{0.0, 0.0, 100.0, 50.0};
  const struct {
    const char* name;
    Segment in;
    bool kept;
    Segment want;  // the input when nothing is kept
  } cases[] = {
      {"inside", {10, 10, 90, 40}, true, {10, 10, 90, 40}},
      {"on the edges", {0, 0, 100, 50}, true, {0, 0, 100, 50}},
      {"a point inside", {5, 5, 5, 5}, true, {5, 5, 5, 5}},
      {"a point outside", {105, 5, 105, 5}, false, {105, 5, 105, 5}},
      {"across the left edge", {-50, 10, 50, 30}, true, {0, 20, 50, 30}},
      {"across the right edge", {50, 10, 150, 30}, true, {50, 10, 100, 20}},
      {"across the top edge", {20, -10, 40, 10}, true, {30, 0, 40, 10}},
      {"across the bottom edge", {20, 40, 40, 60}, true, {20, 40, 30, 50}},
      {"through both sides, right to left", {200, 25, -100, 25}, true, {100, 25, 0, 25}},
      {"through a corner region", {-10, 60, 60, -10}, true, {0, 50, 50, 0}},
      {"vertical inside", {30, -20, 30, 80}, true, {30, 0, 30, 50}},
      {"vertical left of the box", {-1, 10, -1, 20}, false, {-1, 10, -1, 20}},
      {"horizontal inside", {-5, 50, 105, 50}, true, {0, 50, 100, 50}},
      {"horizontal below", {10, 51, 20, 51}, false, {10, 51, 20, 51}},
      {"outside, beside a corner", {90, -20, 120, 10}, false, {90, -20, 120, 10}},
      {"far out, as a zoom makes them", {-2e9, -2e9, 2e9, 2e9}, true, {0, 0, 50, 50}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Segment s = c.in;
    EXPECT_EQ(ClipSegment(&s, box), c.kept);
    for (double v : {s.x1, s.y1, s.x2, s.y2}) EXPECT_TRUE(std::isfinite(v)) << v;
    EXPECT_NEAR(s.x1, c.want.x1, 1e-6);
    EXPECT_NEAR(s.y1, c.want.y1, 1e-6);
    EXPECT_NEAR(s.x2, c.want.x2, 1e-6);
    EXPECT_NEAR(s.y2, c.want.y2, 1e-6);
  }
}

TEST(ClipSegment, EndsInsideStayExactlyAndCutEndsLieOnTheBox) {
  // Pixel centres as the vector surface passes them, against a box with fractional edges.
  const ClipBox box{-0.5, 0.25, 640.5, 400.75};
  const double steps[] = {0.1, 1.0 / 3.0, 7.77, 1e3, 1e7};
  for (double step : steps) {
    Segment s{10.5, 20.5, 10.5 + 97 * step, 20.5 + 13 * step};
    const Segment before = s;
    ASSERT_TRUE(ClipSegment(&s, box)) << step;
    EXPECT_EQ(s.x1, before.x1) << step;
    EXPECT_EQ(s.y1, before.y1) << step;
    if (before.x2 <= box.right && before.y2 <= box.bottom) {
      EXPECT_EQ(s.x2, before.x2) << step;
      EXPECT_EQ(s.y2, before.y2) << step;
    } else {
      EXPECT_TRUE(std::fabs(s.x2 - box.right) < 1e-9 || std::fabs(s.y2 - box.bottom) < 1e-9)
          << step << ": " << s.x2 << ", " << s.y2;
    }
  }
  // An empty box keeps only what touches its one point.
  const ClipBox point{5, 5, 5, 5};
  Segment through{0, 0, 10, 10};
  EXPECT_TRUE(ClipSegment(&through, point));
  EXPECT_NEAR(through.x1, 5, 1e-12);
  EXPECT_NEAR(through.x2, 5, 1e-12);
  Segment beside{0, 1, 10, 11};
  EXPECT_FALSE(ClipSegment(&beside, point));
  // The largest coordinates a 32-bit pixel mapping gives stay finite.
  const double big = std::numeric_limits<int>::max();
  Segment huge{-big, 100, big, 100};
  ASSERT_TRUE(ClipSegment(&huge, box));
  EXPECT_DOUBLE_EQ(huge.x1, box.left);
  EXPECT_DOUBLE_EQ(huge.x2, box.right);
}

}  // namespace
}  // namespace tarn
