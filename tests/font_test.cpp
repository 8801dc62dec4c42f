// The bitmap font: loading it, refusing bad files, and drawing clipped text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "draw.h"
#include "memory_stream.h"
#include "surface.h"

namespace {

const u32 kBack = 0xFF102030, kInk = 0xFFFFFFFF;

OM_Font* Load(OM_Stream* s) {
  OM_Font* f = OM_LoadFont(s);
  OM_ReleaseStream(s);
  return f;
}
// Loaded once and kept, as the game keeps it.
OM_Font* const kFont = Load(OM_OpenStream("res://FNT_IBM", OM_STREAM_READ));

// A font file with the given header, cut to `length` bytes; glyph byte i
// is 0x80 | i.
MemoryStream FontFile(u32 w, u32 h, reg length, reg per_read = ~reg(0)) {
  std::vector<u8> b(8 + 2048);
  memcpy(&b[0], &w, 4);  // both builds are little-endian, as the file is
  memcpy(&b[4], &h, 4);
  for (reg i = 0; i < 2048; ++i) b[8 + i] = u8(0x80 | i);
  b.resize(length);
  return MemoryStream(b, per_read);
}

TEST(LoadFont, TheShippedFont) {
  ASSERT_NE(kFont, nullptr);
  EXPECT_EQ(kFont->w, 8);
  EXPECT_EQ(kFont->h, 8);
  const u8 a[8] = {0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00};
  EXPECT_EQ(memcmp(kFont->data + 8 * 'A', a, 8), 0);
  for (int c = 0; c < 255; ++c) {
    bool blank = std::count(kFont->data + 8 * c, kFont->data + 8 * c + 8, 0) == 8;
    EXPECT_EQ(blank, c < 33 || c > 126) << "glyph " << c;
  }
}

TEST(LoadFont, BadHeadersGiveNullAndMissingGlyphsAreBlank) {
  EXPECT_EQ(OM_LoadFont(nullptr), nullptr);
  // Cut inside the header; unequal sides, zero width, or rows wider than
  // the 8-entry bit mask.
  const u32 bad[][3] = {{8, 8, 0},    {8, 8, 3},      {8, 8, 4},       {8, 8, 6},
                        {8, 8, 7},    {8, 7, 2056},   {7, 8, 2056},    {0, 0, 2056},
                        {9, 9, 2056}, {16, 16, 2056}, {~0u, ~0u, 2056}};
  for (const auto& c : bad) {
    MemoryStream m = FontFile(c[0], c[1], c[2]);
    EXPECT_EQ(OM_LoadFont(m.get()), nullptr) << c[0] << " x " << c[1] << ", " << c[2] << " bytes";
  }
  MemoryStream whole = FontFile(8, 8, 2056), cut = FontFile(8, 8, 108, 3);
  OM_Font* f = OM_LoadFont(whole.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->data[2039], u8(0x80 | 2039));
  EXPECT_EQ(whole.position, 8u + 2040u);  // the 256th glyph stays unread
  EXPECT_EQ(whole.closes, 0);
  OM_DestroyFont(f);
  f = OM_LoadFont(cut.get());  // a few bytes per read, then the end
  EXPECT_EQ(f->data[99], u8(0x80 | 99));
  EXPECT_EQ(std::count(f->data + 100, f->data + 2040, 0), 1940);
  OM_DestroyFont(f);
  OM_DestroyFont(nullptr);
}

// A w x h window into a block 4 pixels wider, so that writes between w and
// step show too.
struct Screen {
  std::vector<u32> block;
  OM_Surface s_;
  OM_Surface* s = &s_;
  Screen(int w, int h) : block((w + 4) * h, kBack), s_{block.data(), w + 4, 0, w, h, 4} {}
  u32 at(int x, int y) const { return block[x + s->step * y]; }
  long inked() const { return long(block.size()) - std::count(block.begin(), block.end(), kBack); }
};

TEST(Text, GlyphBitsLeftmostFirstClippedAtEveryEdge) {
  Screen sc(16, 16), left(16, 16), edges(10, 10);
  OM_DrawChar(sc.s, 'A', 0, 0, kFont, kInk);
  EXPECT_EQ(sc.at(2, 0), kInk);
  EXPECT_EQ(sc.at(3, 0), kInk);
  EXPECT_EQ(sc.at(0, 0), kBack);  // clear bits are transparent
  EXPECT_EQ(sc.at(4, 4), kInk);   // 0x3F: columns 0..5
  EXPECT_EQ(sc.at(6, 4), kBack);
  EXPECT_EQ(sc.inked(), 28);  // and nothing outside the cell
  // At x = -3 only columns 3..7 show, on columns 0..4.
  OM_DrawChar(left.s, 'A', -3, 0, kFont, kInk);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(left.at(x, y), x < 5 ? sc.at(x + 3, y) : kBack);
  for (int xy : {6, -6}) OM_DrawChar(edges.s, 'W', xy, xy, kFont, kInk);
  OM_DrawChar(edges.s, 'W', 100, 0, kFont, kInk);
  OM_DrawChar(edges.s, 'W', 0, -100, kFont, kInk);
  EXPECT_GT(edges.inked(), 0);  // the sanitizer build checks every write
  for (int y = 0; y < 10; ++y)
    for (int x = 10; x < 14; ++x) EXPECT_EQ(edges.at(x, y), kBack);
}

TEST(Text, LineFeedsOnlyMoveThePenOtherBlankCodesTakeACell) {
  Screen text(64, 48), chars(64, 48), ref(32, 8), none(32, 8);
  OM_DrawText(text.s, "AB\nD", 10, 20, kFont, kInk);
  OM_DrawChar(chars.s, 'A', 10, 20, kFont, kInk);
  OM_DrawChar(chars.s, 'B', 18, 20, kFont, kInk);
  OM_DrawChar(chars.s, 'D', 10, 28, kFont, kInk);
  EXPECT_EQ(text.block, chars.block);
  // Space, tab, carriage return, 127 and 128..255 (negative as chars, with
  // no glyph in the table) draw nothing but take one cell.
  OM_DrawChar(ref.s, 'A', 8, 0, kFont, kInk);
  for (const char* line : {" A", "\tA", "\rA", "\177A", "\200A", "\310A", "\377A"}) {
    Screen sc(32, 8);
    OM_DrawText(sc.s, line, 0, 0, kFont, kInk);
    EXPECT_EQ(sc.block, ref.block) << int(u8(line[0]));
  }
  OM_DrawText(none.s, nullptr, 0, 0, kFont, kInk);
  OM_DrawText(none.s, "A", 0, 0, nullptr, kInk);
  OM_DrawChar(none.s, 'A', 0, 0, nullptr, kInk);
  EXPECT_EQ(none.inked(), 0);
}

}  // namespace
