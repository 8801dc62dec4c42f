#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "draw.h"
#include "memory_stream.h"
#include "stream.h"
#include "surface.h"

namespace {

const u32 kBack = 0xFF102030, kInk = 0xFFFFFFFF;

OM_Font* LoadShipped() {
  OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  OM_Font* f = OM_LoadFont(s);
  OM_ReleaseStream(s);
  return f;
}

std::vector<u8> FontFile(u32 w, u32 h, reg glyph_bytes) {
  std::vector<u8> b(8 + glyph_bytes);
  memcpy(&b[0], &w, 4);  // both builds are little-endian, as the file is
  memcpy(&b[4], &h, 4);
  for (reg i = 0; i < glyph_bytes; ++i) b[8 + i] = u8(0x80 | i);
  return b;
}

struct Screen {
  OM_Surface* s;
  Screen(int w, int h) : s(OM_CreateSurface(w, h)) { OM_FillRect(s, 0, 0, w, h, kBack); }
  ~Screen() { OM_DestroySurface(s); }
  u32 at(int x, int y) const { return s->data[x + s->step * y]; }
  int inked() const {
    int n = 0;
    for (int i = 0; i < s->w * s->h; ++i) n += s->data[i] != kBack;
    return n;
  }
  bool same(const Screen& o) const { return memcmp(s->data, o.s->data, reg(s->size)) == 0; }
};

TEST(LoadFont, TheShippedFont) {
  OM_Font* f = LoadShipped();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->w, 8);
  EXPECT_EQ(f->h, 8);
  const u8 a[8] = {0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00};
  EXPECT_EQ(memcmp(f->data + 8 * 'A', a, 8), 0);
  for (int code = 0; code < 255; ++code) {
    bool blank = true;
    for (int row = 0; row < 8; ++row) blank = blank && f->data[8 * code + row] == 0;
    EXPECT_EQ(blank, code < 33 || code > 126) << "glyph " << code;
  }
  OM_DestroyFont(f);
  OM_DestroyFont(nullptr);
}

TEST(LoadFont, ShortHeadersAndNoStreamGiveNull) {
  EXPECT_EQ(OM_LoadFont(nullptr), nullptr);
  for (reg n : {0, 3, 4, 6, 7}) {
    std::vector<u8> b = FontFile(8, 8, 0);
    b.resize(n);
    MemoryStream m(b);
    EXPECT_EQ(OM_LoadFont(m.get()), nullptr) << n << " bytes";
    EXPECT_EQ(m.closes, 0);
  }
}

TEST(LoadFont, HeadersThatCannotBeDrawnGiveNull) {
  // Unequal sides, zero width, or rows wider than the 8-bit mask.
  for (auto wh :
       {std::pair<u32, u32>{8, 7}, {7, 8}, {0, 0}, {9, 9}, {16, 16}, {0xFFFFFFFF, 0xFFFFFFFF}}) {
    MemoryStream m(FontFile(wh.first, wh.second, 2048));
    EXPECT_EQ(OM_LoadFont(m.get()), nullptr) << wh.first << " x " << wh.second;
  }
}

TEST(LoadFont, ReadsGlyphs0To254AndBlanksWhatTheFileLacks) {
  MemoryStream whole(FontFile(8, 8, 2048));
  OM_Font* f = OM_LoadFont(whole.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->data[2039], u8(0x80 | 2039));
  EXPECT_EQ(whole.position, 8u + 2040u);  // the 256th glyph stays unread
  OM_DestroyFont(f);

  // Delivered a few bytes at a time, cut short after 100 glyph bytes.
  MemoryStream cut(FontFile(8, 8, 100), 3);
  f = OM_LoadFont(cut.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->data[99], u8(0x80 | 99));
  for (int i = 100; i < 2040; ++i) ASSERT_EQ(f->data[i], 0) << i;
  OM_DestroyFont(f);

  MemoryStream small(FontFile(4, 4, 4 * 255));
  f = OM_LoadFont(small.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->w, 4);
  EXPECT_EQ(f->data[4 * 254 + 3], u8(0x80 | (4 * 254 + 3)));
  OM_DestroyFont(f);
}

class Text : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(font = LoadShipped(), nullptr); }
  void TearDown() override { OM_DestroyFont(font); }
  OM_Font* font = nullptr;
};

TEST_F(Text, CharSetsOnlyTheGlyphsBitsLeftmostBitFirst) {
  Screen sc(16, 16);
  OM_DrawChar(sc.s, 'A', 0, 0, font, kInk);
  EXPECT_EQ(sc.at(2, 0), kInk);
  EXPECT_EQ(sc.at(3, 0), kInk);
  EXPECT_EQ(sc.at(0, 0), kBack);  // clear bits are transparent
  EXPECT_EQ(sc.at(4, 0), kBack);
  int set = 0;
  for (int row = 0; row < 8; ++row)
    for (int bit = 0; bit < 8; ++bit) {
      bool on = font->data[8 * 'A' + row] >> bit & 1;
      set += on;
      EXPECT_EQ(sc.at(bit, row), on ? kInk : kBack) << bit << "," << row;
    }
  EXPECT_EQ(sc.inked(), set);
}

TEST_F(Text, GlyphsAreClippedAtEveryEdge) {
  Screen left(16, 16), ref(16, 16);
  OM_DrawChar(left.s, 'A', -3, 0, font, kInk);
  OM_DrawChar(ref.s, 'A', 0, 0, font, kInk);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(left.at(x, y), ref.at(x + 3, y));
    for (int x = 5; x < 16; ++x) EXPECT_EQ(left.at(x, y), kBack);
  }
  Screen edges(10, 10);
  OM_DrawChar(edges.s, 'W', 6, 6, font, kInk);
  OM_DrawChar(edges.s, 'W', -6, -6, font, kInk);
  OM_DrawChar(edges.s, 'W', 100, 0, font, kInk);
  OM_DrawChar(edges.s, 'W', 0, -100, font, kInk);
  EXPECT_GT(edges.inked(), 0);  // the sanitizer build checks the rest
}

TEST_F(Text, LineFeedsStartANewLineEightPixelsDown) {
  Screen text(64, 48), chars(64, 48);
  OM_DrawText(text.s, "AB\nD", 10, 20, font, kInk);
  OM_DrawChar(chars.s, 'A', 10, 20, font, kInk);
  OM_DrawChar(chars.s, 'B', 18, 20, font, kInk);
  OM_DrawChar(chars.s, 'D', 10, 28, font, kInk);
  EXPECT_TRUE(text.same(chars));
}

TEST_F(Text, BlankAndUndrawableCodesStillAdvance) {
  // Space, tab, carriage return and codes 128..255 (negative as chars,
  // with no glyph in the table) each take one cell and draw nothing.
  const char* lines[] = {" A",
                         "\tA",
                         "\rA",
                         "\x80"
                         "A",
                         "\xC8"
                         "A",
                         "\xFF"
                         "A",
                         "\x7F"
                         "A"};
  Screen ref(32, 8);
  OM_DrawChar(ref.s, 'A', 8, 0, font, kInk);
  for (const char* line : lines) {
    Screen sc(32, 8);
    OM_DrawText(sc.s, line, 0, 0, font, kInk);
    EXPECT_TRUE(sc.same(ref)) << int(u8(line[0]));
  }
  Screen sc(32, 8);
  OM_DrawChar(sc.s, char(-1), 0, 0, font, kInk);
  OM_DrawChar(sc.s, char(-128), 0, 0, font, kInk);
  EXPECT_EQ(sc.inked(), 0);
}

TEST_F(Text, NothingToDrawWith) {
  Screen sc(16, 16);
  OM_DrawText(sc.s, nullptr, 0, 0, font, kInk);
  OM_DrawText(sc.s, "A", 0, 0, nullptr, kInk);
  OM_DrawChar(sc.s, 'A', 0, 0, nullptr, kInk);
  OM_DrawText(sc.s, "", 0, 0, font, kInk);
  EXPECT_EQ(sc.inked(), 0);
}

}  // namespace
