#include "surface.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(Surface, FrameBufferGeometry) {
  OM_Surface* s = OM_CreateSurface(640, 480);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->step, 640);
  EXPECT_EQ(s->size, 1228800);
  EXPECT_EQ(s->bits, 4);
  EXPECT_EQ(s->w, 640);
  EXPECT_EQ(s->h, 480);
  s->data[639 + 640 * 479] = 0xFF123456;  // last pixel is ours to write
  OM_DestroySurface(s);
}

TEST(Surface, EmptyAndInvalidSizes) {
  OM_Surface* s = OM_CreateSurface(0, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->size, 0);
  OM_DestroySurface(s);
  EXPECT_EQ(OM_CreateSurface(-1, 10), nullptr);
  EXPECT_EQ(OM_CreateSurface(10, -1), nullptr);
  // w * h * 4 must fit the int size field.
  EXPECT_EQ(OM_CreateSurface(INT_MAX, 2), nullptr);
  EXPECT_EQ(OM_CreateSurface(65536, 65536), nullptr);
  OM_DestroySurface(nullptr);
}

}  // namespace
