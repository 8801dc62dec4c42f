#include <gtest/gtest.h>

// The C library's header first, then ours: each must resolve to its own file.
#include <math.h>

#include <cmath>

#include "math.h"

namespace {

const f32 kNaN = std::nanf("");

TEST(IncludePaths, SystemMathIsNotOurs) {
  // If <math.h> had resolved to the engine's header, sqrtf and HUGE_VALF
  // would not be declared and this would not compile.
  EXPECT_EQ(::sqrtf(16.0f), 4.0f);
  EXPECT_TRUE(std::isinf(HUGE_VALF));
  EXPECT_EQ(OM_LineLength(0, 0, 3, 4), 5.0f);
}

TEST(MinMax, SecondArgumentWinsTiesAndNaN) {
  EXPECT_EQ(OM_MinI32(3, 3), 3);
  EXPECT_EQ(OM_MinI32(2, 5), 2);
  EXPECT_EQ(OM_MaxI32(2, 5), 5);
  EXPECT_TRUE(std::isnan(OM_MinF32(1.0f, kNaN)));
  EXPECT_TRUE(std::isnan(OM_MaxF32(0.0f, kNaN)));
  EXPECT_EQ(OM_MinF32(kNaN, 1.0f), 1.0f);
  EXPECT_EQ(OM_MaxF32(kNaN, 1.0f), 1.0f);
  EXPECT_EQ(OM_MinF32(1.0f, 2.0f), 1.0f);
  EXPECT_EQ(OM_MaxF32(1.0f, 2.0f), 2.0f);
  // -0.0 and 0.0 compare equal: the second one comes back.
  EXPECT_TRUE(std::signbit(OM_MinF32(0.0f, -0.0f)));
  EXPECT_TRUE(std::signbit(OM_MaxF32(0.0f, -0.0f)));
}

TEST(LineIntersect, CrossingSegments) {
  f32 ix, iy;
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 2, 0, 2, 2, 0, &ix, &iy), 1);
  EXPECT_EQ(ix, 1.0f);
  EXPECT_EQ(iy, 1.0f);
}

TEST(LineIntersect, MissWritesQuietNaN) {
  f32 ix = 5, iy = 5;
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 2, 3, 3, 4, 2, &ix, &iy), 0);
  u32 bits;
  memcpy(&bits, &ix, 4);
  EXPECT_EQ(bits, 0x7FC00000u);
  EXPECT_TRUE(std::isnan(iy));
}

TEST(LineIntersect, EndPointsCount) {
  f32 ix, iy;
  EXPECT_EQ(OM_LineIntersect(0, 0, 1, 0, 1, 0, 1, 1, &ix, &iy), 1);
  EXPECT_EQ(ix, 1.0f);
  EXPECT_EQ(iy, 0.0f);
  // Touching at the far end of the ray segment.
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 0, 2, -1, 2, 1, &ix, &iy), 1);
  EXPECT_EQ(ix, 2.0f);
}

TEST(LineIntersect, ParallelCollinearAndDegenerateNeverHit) {
  f32 ix, iy;
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 0, 1, 0, 3, 0, &ix, &iy), 0);   // collinear overlap
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 0, 0, 1, 2, 1, &ix, &iy), 0);   // parallel
  EXPECT_EQ(OM_LineIntersect(1, 0, 1, 0, 0, -1, 2, 1, &ix, &iy), 0);  // zero-length A
  EXPECT_EQ(OM_LineIntersect(0, 0, 2, 0, 1, 0, 1, 0, &ix, &iy), 0);   // zero-length B
  EXPECT_TRUE(std::isnan(ix));
}

TEST(LineIntersect, NaNInputNeverHits) {
  f32 ix, iy;
  EXPECT_EQ(OM_LineIntersect(0, 0, kNaN, 2, 0, 2, 2, 0, &ix, &iy), 0);
}

TEST(CheckLineIntersection, SameAnswerButWritesOnlyOnHit) {
  EXPECT_EQ(CheckLineIntersection(0, 0, 2, 2, 0, 2, 2, 0, nullptr, nullptr), 1);
  EXPECT_EQ(CheckLineIntersection(0, 0, 2, 2, 3, 3, 4, 2, nullptr, nullptr), 0);
  f32 ix = 42, iy = 43;
  EXPECT_EQ(CheckLineIntersection(0, 0, 2, 0, 1, 0, 3, 0, &ix, &iy), 0);
  EXPECT_EQ(ix, 42.0f);
  EXPECT_EQ(iy, 43.0f);
  EXPECT_EQ(CheckLineIntersection(0, 0, 2, 2, 0, 2, 2, 0, &ix, nullptr), 1);
  EXPECT_EQ(ix, 1.0f);
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

TEST(Distances, LengthsAndSquares) {
  EXPECT_EQ(OM_LineLength(0, 0, 3, 4), 5.0f);
  EXPECT_EQ(sqr(-3), 9.0f);
  EXPECT_EQ(dist2(1, 1, 4, 5), 25.0f);
}

TEST(FootPoint, InsideBeforeAndBeyondTheSegment) {
  f32 ix, iy;
  EXPECT_EQ(OM_DistanceFromPointToLine(1, 1, 0, 0, 2, 0, &ix, &iy), 1.0f);
  EXPECT_EQ(ix, 1.0f);
  EXPECT_EQ(iy, 0.0f);
  // Before the start the foot point clamps to the start.
  EXPECT_EQ(OM_DistanceFromPointToLine(-1, 1, 0, 0, 2, 0, &ix, &iy), 1.0f);
  EXPECT_EQ(ix, 0.0f);
  EXPECT_EQ(iy, 0.0f);
  // On or beyond the end there is none, not the end point.
  EXPECT_EQ(OM_DistanceFromPointToLine(3, 1, 0, 0, 2, 0, &ix, &iy), 0.0f);
  EXPECT_TRUE(std::isnan(ix) && std::isnan(iy));
  EXPECT_EQ(OM_DistanceFromPointToLine(2, 1, 0, 0, 2, 0, &ix, &iy), 0.0f);
  EXPECT_TRUE(std::isnan(ix) && std::isnan(iy));
  EXPECT_EQ(OM_DistanceFromPointToLine(1, 1, 0, 0, 0, 0, &ix, &iy), 0.0f);
  EXPECT_TRUE(std::isnan(ix));
}

}  // namespace
