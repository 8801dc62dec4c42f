// Surfaces: the frame buffer's geometry, refused sizes, and decoding every texture.
#include "surface.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "memory_stream.h"

namespace {

TEST(Surface, FrameBufferGeometryAndRefusedSizes) {
  OM_Surface* s = OM_CreateSurface(640, 480);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ((std::vector<int>{s->step, s->size, s->bits, s->w, s->h}),
            (std::vector<int>{640, 1228800, 4, 640, 480}));
  s->data[639 + 640 * 479] = 0xFF123456;  // the last pixel is ours to write
  OM_DestroySurface(s);
  s = OM_CreateSurface(0, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->size, 0);
  OM_DestroySurface(s);
  // Negative sides, and w * h * 4 beyond the int size field.
  EXPECT_EQ(OM_CreateSurface(-1, 10), nullptr);
  EXPECT_EQ(OM_CreateSurface(10, -1), nullptr);
  EXPECT_EQ(OM_CreateSurface(INT_MAX, 2), nullptr);
  EXPECT_EQ(OM_CreateSurface(65536, 65536), nullptr);
  OM_DestroySurface(nullptr);
}

// Pixel (x, y) from the top, worked out from the file's own bytes: 32-bit
// bit fields R, G, B, A from the high byte down, or an index into the
// colour table; rows are stored bottom-up.
u32 ExpectedPixel(const std::vector<u8>& file, int x, int y) {
  int at = x + 64 * (63 - y);
  const u8* p = file.size() == 16522 ? &file[138 + 4 * at] : &file[54 + 4 * file[1078 + at]];
  if (file.size() == 16522) return u32(p[0]) << 24 | u32(p[3]) << 16 | u32(p[2]) << 8 | p[1];
  return 0xFF000000u | u32(p[2]) << 16 | u32(p[1]) << 8 | p[0];
}

// Decodes `bytes` from a stream that hands out little at a time and counts
// the pixels that differ from `file`'s; -1 when nothing decodes.
int WrongPixels(const std::vector<u8>& bytes, const std::vector<u8>& file) {
  MemoryStream m(bytes, 100);
  OM_Surface* s = OM_LoadSurface(m.get());
  EXPECT_EQ(m.position, bytes.size());
  EXPECT_GE(m.reads_at_end, 1);  // read until the stream had no more
  EXPECT_EQ(m.closes, 0);        // and left to the caller to release
  if (!s) return -1;
  EXPECT_EQ((std::vector<int>{s->w, s->h, s->step}), (std::vector<int>{64, 64, 64}));
  int wrong = 0;
  for (int i = 0; i < 64 * 64; ++i) wrong += s->data[i] != ExpectedPixel(file, i % 64, i / 64);
  OM_DestroySurface(s);
  return wrong;
}

TEST(LoadSurface, EveryTextureDecodesPixelForPixelWithTheFilesAlphaInAnyRowOrder) {
  for (const char* path : {"res://TEX_CWHITEWASH", "res://TEX_FCONCRETE", "res://TEX_WBRICKS",
                           "res://TEX_WDUMMY", "res://TEX_WWHITEWASH"}) {
    std::vector<u8> file = ReadResource(path);
    EXPECT_EQ(WrongPixels(file, file), 0) << path;
    // Paletted images get 0xFF; our 32-bit files carry opaque alpha.
    for (int i = 0; i < 64 * 64; ++i) ASSERT_EQ(ExpectedPixel(file, i % 64, i / 64) >> 24, 0xFFu);
  }
  // Other alpha values are kept, and rows may be stored top-down.
  std::vector<u8> file = ReadResource("res://TEX_WBRICKS");
  for (int i = 0; i < 64 * 64; i += 3) file[138 + 4 * i] = u8(i);
  EXPECT_EQ(WrongPixels(file, file), 0);
  std::vector<u8> top_down = file;
  top_down[22] = u8(-64), top_down[23] = top_down[24] = top_down[25] = 0xFF;  // height -64
  for (int y = 0; y < 64; ++y) memcpy(&top_down[138 + 256 * y], &file[138 + 256 * (63 - y)], 256);
  EXPECT_EQ(WrongPixels(top_down, file), 0);
}

TEST(LoadSurface, WhatIsNoImageGivesNull) {
  std::vector<u8> noise(3000), bricks = ReadResource("res://TEX_WBRICKS"),
                               concrete = ReadResource("res://TEX_FCONCRETE");
  for (reg i = 0; i < noise.size(); ++i) noise[i] = u8(i * 7 + 3);
  std::vector<u8> header(bricks.begin(), bricks.begin() + 30);
  bricks.resize(bricks.size() - 300);  // pixels cut short: Windows refuses them
  concrete.resize(concrete.size() - 300);
  for (const auto& bytes :
       {noise, {}, ReadResource("res://OWD_DEVELOPMENT"), header, bricks, concrete})
    EXPECT_EQ(WrongPixels(bytes, bytes), -1) << bytes.size() << " bytes";
  // A stream that did not open, or cannot read, is a failed decode.
  EXPECT_EQ(OM_LoadSurface(nullptr), nullptr);
  MemoryStream unreadable(ReadResource("res://TEX_WDUMMY"));
  unreadable.table.Read = nullptr;
  EXPECT_EQ(OM_LoadSurface(unreadable.get()), nullptr);
}

}  // namespace
