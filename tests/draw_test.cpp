// The drawing primitives: lines, outlines, fills and block copies, clipped to the pixel,
// and the truncation of positions to pixels.
#include "draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "surface.h"

namespace {

const u32 kBack = 0xFF000000, kInk = 0xFFFFFFFF;
typedef std::set<std::pair<int, int>> Pixels;

// An 8 x 8 window into a block 12 pixels wide, so that writes into the
// columns between w and step are caught as well.
struct Canvas {
  std::vector<u32> block = std::vector<u32>(12 * 8, kBack);
  OM_Surface s = {block.data(), 12, 12 * 8 * 4, 8, 8, 4};
  u32 at(int x, int y) const { return block[x + 12 * y]; }
  Pixels inked() const {
    Pixels out;
    for (int i = 0; i < 12 * 8; ++i)
      if (block[i] != kBack) out.insert({i % 12, i / 12});
    return out;
  }
};

// The half-open area x0 <= x < x1, y0 <= y < y1, added to `to`.
Pixels Area(int x0, int y0, int x1, int y1, Pixels to = {}) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) to.insert({x, y});
  return to;
}
Pixels Outline(int x0, int y0, int x1, int y1) {
  Pixels p = Area(x0, y0, x1 + 1, y0 + 1, Area(x0, y1, x1 + 1, y1 + 1));
  return Area(x0, y0, x0 + 1, y1 + 1, Area(x1, y0, x1 + 1, y1 + 1, p));
}

TEST(Draw, LinesRectanglesAndFillsCoverExactlyTheirPixels) {
  typedef void (*Op)(OM_Surface*, int, int, int, int, u32);
  const Op line = OM_DrawLine, rect = OM_DrawRect, fill = OM_FillRect;
  const struct {
    Op op;
    int x0, y0, x1, y1;
    Pixels want;
  } cases[] = {{line, 0, 0, 3, 0, Area(0, 0, 3, 1)},  // the end point is left out
               {line, 3, 0, 0, 0, Area(1, 0, 4, 1)},
               {line, 0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},  // increments 1 and 0.5
               // x runs 0, -0.5, -1, -1.5: -0.5 truncates to column 0, -1 leaves.
               {line, 0, 0, -2, 4, {{0, 0}, {0, 1}}},
               // Thirds step as the f32 sums do: 0, 0.333, 0.667, 1.0000001 ...
               {line, 0, 0, 6, 2, Area(0, 0, 3, 1, Area(3, 1, 6, 2))},
               {line, -10, 5, 10, 5, Area(0, 5, 8, 6)},
               {line, -2000000, 3, 2000000, 3, Area(0, 3, 8, 4)},
               {line, 1, -2000000, 1, 2000000, Area(1, 0, 2, 8)},
               {rect, 2, 3, 5, 6, Outline(2, 3, 5, 6)},
               {rect, 0, 0, 5, 4, Outline(0, 0, 5, 4)},  // the frame of FillRect(0, 0, 6, 5)
               // Clamped: the far sides land on w and h, where nothing is drawn.
               {rect, -5, -5, 100, 100, Area(0, 0, 8, 1, Area(0, 0, 1, 8))},
               {fill, 2, 3, 5, 6, Area(2, 3, 5, 6)},
               {fill, -5, -5, 1000, 1000, Area(0, 0, 8, 8)}};
  for (const auto& c : cases) {
    Canvas canvas;
    c.op(&canvas.s, c.x0, c.y0, c.x1, c.y1, kInk);
    EXPECT_EQ(canvas.inked(), c.want) << "case " << &c - cases;
  }
}

TEST(Draw, NothingForADotEmptyFillsOrShapesWhollyOutside) {
  // Left of and above the surface too: no far side pulled onto row or
  // column 0. Operations: 0 line, 1 outline, 2 fill.
  void (*const ops[])(OM_Surface*, int, int, int, int, u32) = {OM_DrawLine, OM_DrawRect,
                                                               OM_FillRect};
  const int nothing[][5] = {{0, 5, 5, 5, 5},   {0, 20, -5, 40, 30}, {1, 20, 20, 30, 30},
                            {1, 10, 2, 20, 4}, {1, 2, 10, 4, 20},   {1, -30, -30, -20, -20},
                            {1, -9, 2, -4, 4}, {1, 2, -9, 4, -1},   {1, -9, -9, -1, 20},
                            {2, 5, 5, 2, 2},   {2, 3, 3, 3, 7},     {2, 9, 0, 20, 8}};
  for (const auto& c : nothing) {
    Canvas canvas;
    ops[c[0]](&canvas.s, c[1], c[2], c[3], c[4], kInk);
    EXPECT_TRUE(canvas.inked().empty()) << c[0] << ": " << c[1] << "," << c[2];
  }
}

TEST(DrawSurface, CopiesTheVisiblePartOfTheBlockExactly) {
  // A 5 x 3 block in a buffer whose rows are 7 pixels long.
  std::vector<u32> buffer(7 * 3);
  for (int i = 0; i < 21; ++i) buffer[i] = 0x12000000u | u32(i / 7 << 8 | i % 7);
  Canvas c;
  OM_DrawSurface(&c.s, -2, 1, 3, 4, buffer.data(), 7);
  // Source columns 2..4 land on target columns 0..2, alpha and all.
  EXPECT_EQ(c.inked(), Area(0, 1, 3, 4));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(c.at(x, 1 + y), buffer[x + 2 + 7 * y]);
  Canvas corner;
  OM_DrawSurface(&corner.s, 6, 6, 11, 9, buffer.data(), 7);  // only 2 x 2 inside
  EXPECT_EQ(corner.inked(), Area(6, 6, 8, 8));
  EXPECT_EQ(corner.at(7, 7), buffer[1 + 7]);
  Canvas outside;
  OM_DrawSurface(&outside.s, 0, -3, 5, 0, buffer.data(), 7);
  OM_DrawSurface(&outside.s, 8, 0, 13, 3, buffer.data(), 7);
  EXPECT_TRUE(outside.inked().empty());
}

TEST(Draw, PixelPositionsTruncateTowardZeroWithinWhatAnIntHolds) {
  const f32 inf = std::numeric_limits<f32>::infinity(), nan = std::nanf("");
  const std::pair<f32, int> cases[] = {{2.9f, 2},
                                       {-2.9f, -2},
                                       {-0.5f, 0},
                                       {1e9f, 1000000000},
                                       {3e9f, 1000000000},
                                       {inf, 1000000000},
                                       {-1e9f, -1000000000},
                                       {-inf, -1000000000},
                                       {nan, 0}};
  for (const auto& [v, want] : cases) EXPECT_EQ(OM_TruncPixel(v), want) << v;
}

}  // namespace
