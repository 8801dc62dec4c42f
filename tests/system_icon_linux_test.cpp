#include <gtest/gtest.h>

#include <vector>

#include "stream_linux.h"
#include "surface.h"
#include "system.h"

namespace {

typedef std::vector<u8> Bytes;

void put16(Bytes& b, u32 v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, u32 v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// One bitmap entry: colour rows bottom-up, then the AND mask. pixel(x, y)
// gives 0xAARRGGBB for the top-down position; transparent(x, y) the mask.
template <typename Pixel, typename Mask>
Bytes bitmap(int w, int h, int bpp, Pixel pixel, Mask transparent, bool with_mask = true) {
  Bytes b;
  put32(b, 40);
  put32(b, w);
  put32(b, h * 2);
  put16(b, 1);
  put16(b, bpp);
  for (int i = 0; i < 6; i++) put32(b, 0);
  int stride = (w * bpp + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; y--) {
    size_t start = b.size();
    for (int x = 0; x < w; x++) {
      u32 p = pixel(x, y);
      b.push_back(p & 0xFF);
      b.push_back((p >> 8) & 0xFF);
      b.push_back((p >> 16) & 0xFF);
      if (bpp == 32) b.push_back(p >> 24);
    }
    while (b.size() - start < (size_t)stride) b.push_back(0xAB);
  }
  if (!with_mask) return b;
  int mask_stride = (w + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; y--) {
    Bytes row(mask_stride, 0);
    for (int x = 0; x < w; x++)
      if (transparent(x, y)) row[x / 8] |= 0x80 >> (x % 8);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes icon_file(const std::vector<Bytes>& images) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);
  put16(b, images.size());
  u32 offset = 6 + 16 * images.size();
  for (const Bytes& im : images) {
    for (int i = 0; i < 8; i++) b.push_back(0);  // size, colours, planes, bpp: unread
    put32(b, im.size());
    put32(b, offset);
    offset += im.size();
  }
  for (const Bytes& im : images) b.insert(b.end(), im.begin(), im.end());
  return b;
}

u32 colour(int x, int y) { return 0xFF000000 | (x * 40) << 16 | (y * 50) << 8 | (x + y); }

TEST(HostIcon, TwentyFourBitEntryTakesAlphaFromTheMask) {
  auto corner = [](int x, int y) { return x == 0 && y == 0; };
  Bytes file = icon_file({bitmap(3, 2, 24, colour, corner)});
  OM_Surface* s = OM_Host_DecodeIcon(file.data(), file.size());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 3);
  EXPECT_EQ(s->h, 2);  // the stored height counts the mask rows too
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) {
      u32 alpha = corner(x, y) ? 0 : 0xFF000000u;
      EXPECT_EQ(s->data[x + s->step * y], (colour(x, y) & 0xFFFFFF) | alpha) << x << "," << y;
    }
  OM_DestroySurface(s);
}

TEST(HostIcon, ThirtyTwoBitEntryKeepsItsAlphaUnlessAllZero) {
  auto none = [](int, int) { return false; };
  auto half = [](int x, int y) { return (u32)(x * 0x40) << 24 | (colour(x, y) & 0xFFFFFF); };
  Bytes file = icon_file({bitmap(4, 1, 32, half, none)});
  OM_Surface* s = OM_Host_DecodeIcon(file.data(), file.size());
  ASSERT_NE(s, nullptr);
  for (int x = 0; x < 4; x++) EXPECT_EQ(s->data[x], half(x, 0));
  OM_DestroySurface(s);

  // Old 32-bit icons leave alpha at zero and rely on the mask.
  auto clear = [](int x, int y) { return colour(x, y) & 0xFFFFFF; };
  auto first = [](int x, int) { return x == 0; };
  file = icon_file({bitmap(4, 1, 32, clear, first)});
  s = OM_Host_DecodeIcon(file.data(), file.size());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->data[0] >> 24, 0u);
  EXPECT_EQ(s->data[1] >> 24, 0xFFu);
  OM_DestroySurface(s);
}

TEST(HostIcon, LargestReadableEntryWins) {
  auto none = [](int, int) { return false; };
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  png.resize(64, 0);
  Bytes file = icon_file({bitmap(2, 2, 24, colour, none), png, bitmap(5, 3, 24, colour, none),
                          bitmap(4, 4, 8, colour, none)});
  OM_Surface* s = OM_Host_DecodeIcon(file.data(), file.size());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 5);
  EXPECT_EQ(s->h, 3);
  OM_DestroySurface(s);
  // Without a mask the entry is opaque.
  file = icon_file({bitmap(2, 2, 24, colour, none, false)});
  s = OM_Host_DecodeIcon(file.data(), file.size());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->data[3] >> 24, 0xFFu);
  OM_DestroySurface(s);
}

TEST(HostIcon, DamagedFilesAreRefusedWithoutReadingPastThem) {
  auto none = [](int, int) { return false; };
  Bytes good = icon_file({bitmap(42, 42, 24, colour, none)});
  // A cut anywhere leaves the entry longer than the file: refused. Under
  // the sanitizers a read past the cut would show.
  for (size_t n = 0; n < good.size(); n++) {
    Bytes cut(good.begin(), good.begin() + n);
    EXPECT_EQ(OM_Host_DecodeIcon(cut.data(), cut.size()), nullptr) << n;
  }
  OM_Surface* whole = OM_Host_DecodeIcon(good.data(), good.size());
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->w, 42);
  OM_DestroySurface(whole);
  // An entry that claims less than its rows need is refused as well.
  Bytes short_entry = good;
  short_entry[14] = 100;  // bytes in the entry: 100 + 256 * byte 15
  short_entry[15] = 0;
  EXPECT_EQ(OM_Host_DecodeIcon(short_entry.data(), short_entry.size()), nullptr);
  EXPECT_EQ(OM_Host_DecodeIcon(nullptr, 100), nullptr);

  Bytes bad = good;
  bad[2] = 2;  // a cursor file, not an icon
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[4] = 0;  // no entries
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[4] = bad[5] = 0xFF;  // more entries than the file holds
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  for (int i = 14; i < 22; i++) bad[i] = 0xFF;  // size and offset near 4 GiB
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[22 + 4] = 0x01, bad[22 + 5] = 0x01;  // width 257: too wide for an icon
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[22 + 8] = 0xFF, bad[22 + 11] = 0xFF;  // negative height
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[22 + 16] = 3;  // bit fields
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[22 + 32] = 0x00, bad[22 + 33] = 0x10;  // a 4096-colour palette
  EXPECT_EQ(OM_Host_DecodeIcon(bad.data(), bad.size()), nullptr);
}

TEST(HostIcon, TheProgramsOwnIconDecodes) {
  const OM_EmbeddedResource* icon = OM_FindEmbeddedResource("ICON", "32512");
  ASSERT_NE(icon, nullptr);
  OM_Surface* s = OM_Host_DecodeIcon(icon->data, icon->size);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 42);
  EXPECT_EQ(s->h, 42);
  // Nested squares: a dark blue rim, a light yellow centre, all opaque.
  EXPECT_EQ(s->data[0], 0xFF121428u);
  EXPECT_EQ(s->data[21 + 21 * s->step], 0xFFFADC78u);
  OM_DestroySurface(s);
}

}  // namespace
