#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "draw.h"
#include "memory_stream.h"
#include "stream.h"
#include "surface.h"

namespace {

u32 le32(const std::vector<u8>& b, reg at) {
  return u32(b[at]) | u32(b[at + 1]) << 8 | u32(b[at + 2]) << 16 | u32(b[at + 3]) << 24;
}

OM_Surface* Load(const char* path) {
  OM_Stream* s = OM_OpenStream(path, OM_STREAM_READ);
  OM_Surface* surface = OM_LoadSurface(s);
  OM_ReleaseStream(s);
  return surface;
}

// What pixel (x, y), counted from the top, must be after decoding, worked
// out from the file's own bytes: 32-bit bit fields R, G, B, A from the high
// byte down, or an index into the colour table; rows are stored bottom-up.
u32 ExpectedPixel(const std::vector<u8>& file, int x, int y) {
  if (file.size() == 16522) {
    u32 v = le32(file, 138 + 4 * (x + 64 * (63 - y)));
    return (v & 0xFF) << 24 | v >> 8;
  }
  u8 index = file[1078 + x + 64 * (63 - y)];
  reg entry = 54 + 4 * reg(index);
  return 0xFF000000u | u32(file[entry + 2]) << 16 | u32(file[entry + 1]) << 8 | file[entry];
}

TEST(LoadSurface, EveryTextureDecodesPixelForPixel) {
  for (const char* path : {"res://TEX_CWHITEWASH", "res://TEX_FCONCRETE", "res://TEX_WBRICKS",
                           "res://TEX_WDUMMY", "res://TEX_WWHITEWASH"}) {
    SCOPED_TRACE(path);
    std::vector<u8> file = ReadResource(path);
    OM_Surface* s = Load(path);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 64);
    EXPECT_EQ(s->h, 64);
    EXPECT_EQ(s->step, 64);
    EXPECT_EQ(s->bits, 4);
    int wrong = 0, translucent = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        u32 got = s->data[x + s->step * y];
        if (got != ExpectedPixel(file, x, y)) ++wrong;
        if (got >> 24 != 0xFF) ++translucent;
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(translucent, 0);  // paletted gets 0xFF; ours carry opaque alpha
    OM_DestroySurface(s);
  }
}

TEST(LoadSurface, TheFallbackLooksLikeOne) {
  OM_Surface* s = Load("res://TEX_WDUMMY");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->data[0], 0xFFFF00FFu);       // magenta top-left cell
  EXPECT_EQ(s->data[8], 0xFF000000u);       // black beside it
  EXPECT_EQ(s->data[8 * 64], 0xFF000000u);  // and below it
  EXPECT_EQ(s->data[63 + 63 * 64], 0xFFFF00FFu);
  OM_DestroySurface(s);
}

TEST(LoadSurface, ReadsTheWholeStreamInAnyChunksAndLeavesItOpen) {
  MemoryStream m(ReadResource("res://TEX_WBRICKS"), 100);
  ASSERT_EQ(m.bytes.size(), 16522u);
  OM_Surface* s = OM_LoadSurface(m.get());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->data[5 + 64 * 9], ExpectedPixel(m.bytes, 5, 9));
  EXPECT_TRUE(m.at_end());
  EXPECT_GE(m.reads_after_end, 1);  // read until the stream said it had no more
  EXPECT_EQ(m.closes, 0);           // the caller's to release
  OM_DestroySurface(s);
}

TEST(LoadSurface, WhatIsNoImageGivesNull) {
  std::vector<u8> garbage(3000);
  for (reg i = 0; i < garbage.size(); ++i) garbage[i] = u8(i * 7 + 3);
  MemoryStream noise(garbage);
  EXPECT_EQ(OM_LoadSurface(noise.get()), nullptr);
  EXPECT_TRUE(noise.at_end());
  EXPECT_EQ(noise.closes, 0);

  MemoryStream empty({});
  EXPECT_EQ(OM_LoadSurface(empty.get()), nullptr);
  EXPECT_GE(empty.reads, 1);

  std::vector<u8> world = ReadResource("res://OWD_DEVELOPMENT");
  MemoryStream not_a_picture(world);
  EXPECT_EQ(OM_LoadSurface(not_a_picture.get()), nullptr);

  // A bitmap header cut off before its information header ends.
  std::vector<u8> head = ReadResource("res://TEX_WDUMMY");
  head.resize(30);
  MemoryStream cut(head);
  EXPECT_EQ(OM_LoadSurface(cut.get()), nullptr);
}

// Pixels cut short: the platform decoders fail on them, and so must every
// build.
TEST(LoadSurface, ABitmapCutShortGivesNull) {
  for (const char* path : {"res://TEX_WBRICKS", "res://TEX_FCONCRETE"}) {
    std::vector<u8> file = ReadResource(path);
    file.resize(file.size() - 300);
    MemoryStream m(file);
    EXPECT_EQ(OM_LoadSurface(m.get()), nullptr) << path;
  }
}

void put32(std::vector<u8>& b, reg at, u32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = u8(v >> (8 * i));
}

// The same 32-bit picture stored top-down, and with the short 40-byte
// header whose three masks follow it and which has no alpha mask.
TEST(LoadSurface, OtherBitFieldLayouts) {
  std::vector<u8> file = ReadResource("res://TEX_WBRICKS");
  ASSERT_EQ(file.size(), 16522u);
  std::vector<u8> top_down = file;
  put32(top_down, 22, u32(-64));
  for (int y = 0; y < 64; ++y) memcpy(&top_down[138 + 256 * y], &file[138 + 256 * (63 - y)], 256);

  std::vector<u8> short_header(66 + 16384);
  memcpy(&short_header[0], &file[0], 54);
  put32(short_header, 2, u32(short_header.size()));
  put32(short_header, 10, 66);
  put32(short_header, 14, 40);
  memcpy(&short_header[54], &file[54], 12);  // the red, green and blue masks
  for (reg i = 0; i < 16384; i += 4) {
    memcpy(&short_header[66 + i], &file[138 + i], 4);
    short_header[66 + i] = 0x00;  // the alpha byte, now unused
  }

  for (const std::vector<u8>* variant : {&top_down, &short_header}) {
    MemoryStream m(*variant);
    OM_Surface* s = OM_LoadSurface(m.get());
    ASSERT_NE(s, nullptr);
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) wrong += s->data[x + 64 * y] != ExpectedPixel(file, x, y);
    EXPECT_EQ(wrong, 0);
    OM_DestroySurface(s);
  }
}

TEST(LoadSurface, AStreamThatDidNotOpenIsAFailedDecode) {
  EXPECT_EQ(OM_LoadSurface(nullptr), nullptr);
  EXPECT_EQ(Load("res://TEX_MISSING"), nullptr);
  MemoryStream unreadable(ReadResource("res://TEX_WDUMMY"));
  unreadable.table.Read = nullptr;  // a stream kind that cannot read
  EXPECT_EQ(OM_LoadSurface(unreadable.get()), nullptr);
}

// Writes the surface as a binary PPM for a person to look at.
void WritePpm(const char* name, const OM_Surface* s) {
  FILE* f = std::fopen(name, "wb");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "P6\n%d %d\n255\n", s->w, s->h);
  for (int y = 0; y < s->h; ++y) {
    for (int x = 0; x < s->w; ++x) {
      u32 p = s->data[x + s->step * y];
      u8 rgb[3] = {u8(p >> 16), u8(p >> 8), u8(p)};
      std::fwrite(rgb, 1, 3, f);
    }
  }
  std::fclose(f);
}

// The four textures side by side with their names and a line of text
// underneath, written to texture_sheet.ppm in the working directory.
TEST(LoadSurface, TextureSheet) {
  OM_Stream* fs = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  OM_Font* font = OM_LoadFont(fs);
  OM_ReleaseStream(fs);
  ASSERT_NE(font, nullptr);
  OM_Surface* sheet = OM_CreateSurface(4 * 80 + 16, 140);
  ASSERT_NE(sheet, nullptr);
  OM_FillRect(sheet, 0, 0, sheet->w, sheet->h, 0xFF202830);
  const char* names[] = {"TEX_WWHITEWASH", "TEX_WBRICKS", "TEX_FCONCRETE", "TEX_WDUMMY"};
  const char* labels[] = {"WWHITE", "WBRICKS", "FCONCR", "WDUMMY"};
  for (int i = 0; i < 4; ++i) {
    std::string path = std::string("res://") + names[i];
    OM_Surface* t = Load(path.c_str());
    ASSERT_NE(t, nullptr);
    int x = 16 + 80 * i;
    OM_DrawSurface(sheet, x, 16, x + 64, 80, t->data, t->step);
    EXPECT_EQ(sheet->data[x + 10 + sheet->step * (16 + 20)], t->data[10 + t->step * 20]);
    OM_DrawText(sheet, labels[i], x, 88, font, 0xFFFFFFFF);
    OM_DestroySurface(t);
  }
  OM_DrawText(sheet, "The quick brown fox jumps\nover the lazy dog! 0123456789", 16, 108, font,
              0xFFFFD060);
  WritePpm("texture_sheet.ppm", sheet);
  OM_DestroySurface(sheet);
  OM_DestroyFont(font);
}

}  // namespace
