// The geometry helpers: min/max with NaN, line intersection, rectangles, foot points,
// segment distance and the exact segment tests.
#include <gtest/gtest.h>

// The C library's header first, then ours: each must resolve to its own file.
#include <math.h>

#include <array>
#include <bit>
#include <cmath>

#include "math.h"

namespace {

const f32 kNaN = std::bit_cast<f32>(0x7FC00000u);  // the quiet NaN misses write
u32 Bits(f32 f) { return std::bit_cast<u32>(f); }

TEST(IncludePaths, SystemMathIsNotOurs) {
  // Had <math.h> resolved to the engine's header, sqrtf and HUGE_VALF would
  // not be declared and this would not compile.
  EXPECT_EQ(::sqrtf(16.0f), 4.0f);
  EXPECT_TRUE(std::isinf(HUGE_VALF));
  EXPECT_EQ(OM_LineLength(0, 0, 3, 4), 5.0f);
}

TEST(MinMax, SecondArgumentWinsTiesAndNaN) {
  EXPECT_EQ(OM_MinI32(3, 3), 3);
  EXPECT_EQ(OM_MinI32(2, 5), 2);
  EXPECT_EQ(OM_MaxI32(2, 5), 5);
  EXPECT_EQ(Bits(OM_MinF32(1.0f, kNaN)), Bits(kNaN));
  EXPECT_EQ(Bits(OM_MaxF32(0.0f, kNaN)), Bits(kNaN));
  EXPECT_EQ(OM_MinF32(kNaN, 1.0f), 1.0f);
  EXPECT_EQ(OM_MaxF32(kNaN, 1.0f), 1.0f);
  EXPECT_EQ(OM_MinF32(1.0f, 2.0f), 1.0f);
  EXPECT_EQ(OM_MaxF32(1.0f, 2.0f), 2.0f);
  EXPECT_TRUE(std::signbit(OM_MinF32(0.0f, -0.0f)));  // equal: the second comes back
  EXPECT_TRUE(std::signbit(OM_MaxF32(0.0f, -0.0f)));
}

TEST(LineIntersect, EndPointsTouchParallelAndDegenerateNeverHitMissesAreNaN) {
  // Segment A, segment B, whether they meet and where.
  const f32 cases[][11] = {
      {0, 0, 2, 2, 0, 2, 2, 0, 1, 1, 1},         {0, 0, 2, 2, 3, 3, 4, 2, 0, kNaN, kNaN},
      {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0},         {0, 0, 2, 0, 2, -1, 2, 1, 1, 2, 0},
      {0, 0, 2, 0, 1, 0, 3, 0, 0, kNaN, kNaN},   {0, 0, 2, 0, 0, 1, 2, 1, 0, kNaN, kNaN},
      {1, 0, 1, 0, 0, -1, 2, 1, 0, kNaN, kNaN},  {0, 0, 2, 0, 1, 0, 1, 0, 0, kNaN, kNaN},
      {0, 0, kNaN, 2, 0, 2, 2, 0, 0, kNaN, kNaN}};
  for (const auto& c : cases) {
    auto call = [&c](int (*f)(f32, f32, f32, f32, f32, f32, f32, f32, f32*, f32*), f32* x, f32* y) {
      return f(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], x, y);
    };
    f32 ix = 5, iy = 5, kx = 42, ky = 43;
    EXPECT_EQ(call(OM_LineIntersect, &ix, &iy), int(c[8])) << &c - cases;
    EXPECT_EQ(Bits(ix), Bits(c[9])) << &c - cases;
    EXPECT_EQ(Bits(iy), Bits(c[10])) << &c - cases;
    // The same answer; the outputs are optional and written only on a hit.
    EXPECT_EQ(call(CheckLineIntersection, nullptr, nullptr), int(c[8]));
    EXPECT_EQ(call(CheckLineIntersection, &kx, &ky), int(c[8]));
    EXPECT_EQ(kx, c[8] ? c[9] : 42.0f);
    EXPECT_EQ(ky, c[8] ? c[10] : 43.0f);
  }
}

TEST(Rectangles, OverlapAndPointTests) {
  EXPECT_EQ(OM_RectIntersect(0, 0, 1, 1, 1, 1, 2, 2), 1);
  EXPECT_EQ(OM_RectIntersect(0, 0, 1, 1, 1.5f, 0, 2, 1), 0);
  EXPECT_EQ(OM_RectIntersect(0, 0, 1, 1, kNaN, 0, 2, 1), 1);  // NaN does not reject
  EXPECT_EQ(OM_PointInRect(0, 0, 0, 0, 1, 1), 1);
  EXPECT_EQ(OM_PointInRect(1, 0.5f, 0, 0, 1, 1), 0);
  EXPECT_EQ(OM_PointInRect(0.5f, 1, 0, 0, 1, 1), 0);
  EXPECT_EQ(OM_PointInRect(kNaN, 0.5f, 0, 0, 1, 1), 0);
}

TEST(FootPoint, ClampsBeforeTheStartButNoneOnOrBeyondTheEnd) {
  // Point, end of the segment from (0, 0) along x, result and foot point.
  const f32 cases[][6] = {{1, 1, 2, 1, 1, 0},
                          {-1, 1, 2, 1, 0, 0},
                          {3, 1, 2, 0, kNaN, kNaN},
                          {2, 1, 2, 0, kNaN, kNaN},
                          {1, 1, 0, 0, kNaN, kNaN}};
  for (const auto& c : cases) {
    f32 ix = 5, iy = 5;
    EXPECT_EQ(OM_DistanceFromPointToLine(c[0], c[1], 0, 0, c[2], 0, &ix, &iy), c[3]) << c[0];
    EXPECT_EQ(Bits(ix), Bits(c[4])) << c[0];
    EXPECT_EQ(Bits(iy), Bits(c[5])) << c[0];
  }
}

TEST(SegmentDistance, ClampsToTheEndsAndTakesAPointSegmentAsItsPoint) {
  // Point, segment, squared distance and where along the segment.
  const f32 cases[][8] = {{2, 3, 0, 0, 4, 0, 9, 0.5f},
                          {-1, 1, 0, 0, 4, 0, 2, 0},
                          {6, 0, 0, 0, 4, 0, 4, 1},
                          {4, 5, 1, 1, 1, 1, 25, 0}};
  for (const auto& c : cases) {
    f32 t = -1;
    EXPECT_EQ(OM_SegmentDistance2(c[0], c[1], c[2], c[3], c[4], c[5], &t), c[6]) << c[0];
    EXPECT_EQ(t, c[7]) << c[0];
  }
}

struct Point {
  f32 x, y;
};

TEST(SegmentsMeet, EndsAndOverlapsCountAndAHairOffTheLineDoesNot) {
  // p = (0, 0) to q = (25713, 22846) passes through (12856.5, 11423); one
  // ulp left of that the f32 cross products still come out equal, so only
  // the exact test keeps the two apart.
  const Point end = {25713, 22846}, mid = {12856.5f, 11423};
  const Point hair = {std::nextafter(12856.5f, 0.0f), 11423}, far = {0, 20000};
  const struct {
    Point p, q, a, b;
    bool meet;
  } cases[] = {{{0, 0}, {2, 2}, {0, 2}, {2, 0}, true},   // crossing
               {{0, 0}, {2, 0}, {2, 0}, {3, 5}, true},   // a shared end
               {{0, 0}, {2, 0}, {1, 0}, {1, 3}, true},   // an end on the other
               {{0, 0}, {2, 0}, {1, 0}, {3, 0}, true},   // in line, overlapping
               {{0, 0}, {1, 0}, {2, 0}, {3, 0}, false},  // in line, apart
               {{0, 0}, {2, 0}, {0, 1}, {2, 1}, false},  // parallel
               {{0, 0}, end, mid, far, true},           {{0, 0}, end, hair, far, false}};
  for (const auto& c : cases) {
    // Either segment first, either way round: the same answer.
    for (const auto& [p, q, a, b] : {std::array{c.p, c.q, c.a, c.b},
                                     {c.q, c.p, c.b, c.a},
                                     {c.a, c.b, c.p, c.q},
                                     {c.b, c.a, c.q, c.p}})
      EXPECT_EQ(OM_SegmentsMeet(p, q, a, b), c.meet) << "case " << &c - cases;
  }
  EXPECT_EQ(OM_Orient(Point{0, 0}, end, mid), 0.0);
  EXPECT_GT(OM_Orient(Point{0, 0}, end, hair), 0.0);
}

}  // namespace
