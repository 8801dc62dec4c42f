#include "draw.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "surface.h"

namespace {

const u32 kBack = 0xFF000000, kInk = 0xFFFFFFFF;
typedef std::set<std::pair<int, int>> Pixels;

// A w x h window into a wider block, so that writes into the columns
// between w and step are caught as well.
struct Canvas {
  std::vector<u32> block;
  OM_Surface s;
  Canvas(int w, int h, int step = 0) {
    if (step == 0) step = w;
    block.assign(reg(step) * h, kBack);
    s = OM_Surface{block.data(), step, step * h * 4, w, h, 4};
  }
  u32 at(int x, int y) const { return block[x + s.step * y]; }
  Pixels inked() const {
    Pixels out;
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.step; ++x)
        if (at(x, y) != kBack) out.insert({x, y});
    return out;
  }
};

TEST(DrawLine, DrawsLengthPixelsAndLeavesOutTheEndPoint) {
  Canvas c(8, 8);
  OM_DrawLine(&c.s, 0, 0, 3, 0, kInk);
  EXPECT_EQ(c.inked(), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
  Canvas backwards(8, 8);
  OM_DrawLine(&backwards.s, 3, 0, 0, 0, kInk);
  EXPECT_EQ(backwards.inked(), (Pixels{{3, 0}, {2, 0}, {1, 0}}));
  Canvas dot(8, 8);
  OM_DrawLine(&dot.s, 5, 5, 5, 5, kInk);
  EXPECT_TRUE(dot.inked().empty());
}

TEST(DrawLine, StepsInSinglePrecisionAndTruncatesTowardZero) {
  Canvas c(8, 8);
  OM_DrawLine(&c.s, 0, 0, 4, 2, kInk);  // increments 1 and 0.5
  EXPECT_EQ(c.inked(), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
  // x runs 0, -0.5, -1, -1.5: -0.5 truncates to column 0, -1 leaves.
  Canvas left(8, 8);
  OM_DrawLine(&left.s, 0, 0, -2, 4, kInk);
  EXPECT_EQ(left.inked(), (Pixels{{0, 0}, {0, 1}}));
  // A third steps as the float sums do: 0, 0.333, 0.667, 1.0000001 ...
  Canvas third(8, 8);
  OM_DrawLine(&third.s, 0, 0, 6, 2, kInk);
  EXPECT_EQ(third.inked(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}}));
}

TEST(DrawLine, ClipsEachPixelAndNeverWritesPastTheWidth) {
  Canvas c(8, 8, 12);
  OM_DrawLine(&c.s, -10, 5, 10, 5, kInk);
  Pixels row5;
  for (int x = 0; x < 8; ++x) row5.insert({x, 5});
  EXPECT_EQ(c.inked(), row5);
  Canvas far(8, 8, 12);
  OM_DrawLine(&far.s, -2000000, 3, 2000000, 3, kInk);
  OM_DrawLine(&far.s, 1, -2000000, 1, 2000000, kInk);
  EXPECT_EQ(far.inked().size(), 15u);  // row 3 and column 1, sharing (1, 3)
  Canvas off(8, 8, 12);
  OM_DrawLine(&off.s, 20, -5, 40, 30, kInk);
  EXPECT_TRUE(off.inked().empty());
}

TEST(DrawRect, OutlinesTheClosedRectangle) {
  Canvas c(8, 8);
  OM_DrawRect(&c.s, 2, 3, 5, 6, kInk);
  Pixels want;
  for (int x = 2; x <= 5; ++x) want.insert({x, 3}), want.insert({x, 6});
  for (int y = 3; y <= 6; ++y) want.insert({2, y}), want.insert({5, y});
  EXPECT_EQ(c.inked(), want);
  EXPECT_EQ(want.size(), 12u);
}

TEST(DrawRect, FrameOfAFilledAreaAndClampedSides) {
  // FillRect(0, 0, w, h) is outlined by DrawRect(0, 0, w - 1, h - 1).
  Canvas frame(6, 5);
  OM_DrawRect(&frame.s, 0, 0, 5, 4, kInk);
  EXPECT_EQ(frame.inked().size(), 2u * 6 + 2u * 3);
  // Sides beyond the surface are clamped: the top and left onto row and
  // column 0, the right and bottom onto w and h, where nothing is drawn.
  Canvas c(8, 8, 12);
  OM_DrawRect(&c.s, -5, -5, 100, 100, kInk);
  Pixels want;
  for (int i = 0; i < 8; ++i) want.insert({i, 0}), want.insert({0, i});
  EXPECT_EQ(c.inked(), want);
}

TEST(DrawRect, ARectangleBeyondTheSurfaceWritesNothing) {
  // Left of or above it, too: clamping must not pull its far side onto
  // column or row 0.
  for (auto r : {std::vector<int>{20, 20, 30, 30},
                 {-30, -30, -20, -20},
                 {10, 2, 20, 4},
                 {2, 10, 4, 20},
                 {-9, 2, -4, 4},
                 {2, -9, 4, -1},
                 {-9, -9, -1, 20}}) {
    Canvas c(8, 8, 12);
    OM_DrawRect(&c.s, r[0], r[1], r[2], r[3], kInk);
    EXPECT_TRUE(c.inked().empty()) << r[0] << "," << r[1];
  }
}

TEST(FillRect, HalfOpenClampedAndNothingWhenEmpty) {
  Canvas c(8, 8);
  OM_FillRect(&c.s, 2, 3, 5, 6, kInk);
  Pixels want;
  for (int y = 3; y < 6; ++y)
    for (int x = 2; x < 5; ++x) want.insert({x, y});
  EXPECT_EQ(c.inked(), want);
  Canvas all(8, 8, 12);
  OM_FillRect(&all.s, -5, -5, 1000, 1000, kInk);
  EXPECT_EQ(all.inked().size(), 64u);
  Canvas none(8, 8);
  OM_FillRect(&none.s, 5, 5, 2, 2, kInk);
  OM_FillRect(&none.s, 3, 3, 3, 7, kInk);
  OM_FillRect(&none.s, 9, 0, 20, 8, kInk);
  EXPECT_TRUE(none.inked().empty());
}

TEST(DrawSurface, CopiesTheVisiblePartOfTheBlockExactly) {
  // A 5 x 3 block in a buffer whose rows are 7 pixels long.
  std::vector<u32> buffer(7 * 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) buffer[x + 7 * y] = 0x12000000u | u32(y << 8 | x);
  Canvas c(8, 8, 12);
  OM_DrawSurface(&c.s, -2, 1, 3, 4, buffer.data(), 7);
  // Source columns 2..4 land on target columns 0..2, alpha and all.
  Pixels want;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      want.insert({x, 1 + y});
      EXPECT_EQ(c.at(x, 1 + y), buffer[x + 2 + 7 * y]);
    }
  }
  EXPECT_EQ(c.inked(), want);

  Canvas corner(8, 8, 12);
  OM_DrawSurface(&corner.s, 6, 6, 11, 9, buffer.data(), 7);  // only 2 x 2 inside
  EXPECT_EQ(corner.inked(), (Pixels{{6, 6}, {7, 6}, {6, 7}, {7, 7}}));
  EXPECT_EQ(corner.at(7, 7), buffer[1 + 7]);

  Canvas above(8, 8, 12);
  OM_DrawSurface(&above.s, 0, -3, 5, 0, buffer.data(), 7);  // entirely above
  OM_DrawSurface(&above.s, 8, 0, 13, 3, buffer.data(), 7);  // entirely right
  EXPECT_TRUE(above.inked().empty());
}

}  // namespace
