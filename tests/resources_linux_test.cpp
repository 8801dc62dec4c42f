// The resource set as the Linux build embeds it, and the window icon decoded from it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "memory_stream.h"
#include "stream_linux.h"
#include "surface.h"
#include "system.h"

namespace {

TEST(EmbeddedResources, LookupByTypeAndName) {
  const OM_EmbeddedResource* font = OM_FindEmbeddedResource("RCDATA", "FNT_IBM");
  ASSERT_NE(font, nullptr);
  std::vector<u8> streamed = ReadResource("res://FNT_IBM");
  ASSERT_EQ(streamed.size(), font->size);
  EXPECT_EQ(memcmp(streamed.data(), font->data, font->size), 0);
  EXPECT_EQ(OM_FindEmbeddedResource("ICON", "FNT_IBM"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource("RCDATA", "32512"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource(nullptr, "FNT_IBM"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource("RCDATA", nullptr), nullptr);
  EXPECT_EQ(OM_OpenStream("res://32512", OM_STREAM_READ), nullptr);  // not data
}

typedef std::vector<u8> Bytes;

// The program's own icon file: a 22-byte directory, then the one entry's
// 40-byte header, 42 colour rows of 128 bytes, and the AND mask.
Bytes IconFile() {
  const OM_EmbeddedResource* icon = OM_FindEmbeddedResource("ICON", "32512");
  return icon ? Bytes(icon->data, icon->data + icon->size) : Bytes();
}

// The pixels, 42 to a row; empty when refused.
std::vector<u32> Decode(const Bytes& file) {
  OM_Surface* s = OM_Host_DecodeIcon(file.data(), file.size());
  std::vector<u32> out(s ? s->data : nullptr, s ? s->data + s->w * s->h : nullptr);
  EXPECT_TRUE(!s || s->w == 42);
  OM_DestroySurface(s);
  return out;
}

TEST(HostIcon, TheProgramsIconDecodesWithAlphaFromItsMask) {
  Bytes file = IconFile();
  ASSERT_EQ(file.size(), 22u + 40u + 42u * 128u + 42u * 8u);
  // An icon, one image, 42 x 42, 24 bits, at byte 22; 24 bits in its header.
  EXPECT_EQ((std::vector<int>{file[2], file[4], file[6], file[7], file[12], file[18], file[36]}),
            (std::vector<int>{1, 1, 42, 42, 24, 22, 24}));
  std::vector<u32> s = Decode(file);
  ASSERT_EQ(s.size(), 42u * 42u);
  // Nested squares: a dark blue rim, a light yellow centre, all opaque.
  EXPECT_EQ(s[0], 0xFF121428u);
  EXPECT_EQ(s[21 + 21 * 42], 0xFFFADC78u);
  file[22 + 40 + 42 * 128] |= 0x80;  // the mask's first row is the bottom one
  s = Decode(file);
  EXPECT_EQ(s[41 * 42], 0x00121428u);
  EXPECT_EQ(s[41 * 42 + 1], 0xFF121428u);
}

TEST(HostIcon, DamagedFilesAreRefusedWithoutReadingPastThem) {
  Bytes good = IconFile();
  // Cut anywhere, the entry is longer than the file; the sanitizer build
  // would see a read past the cut.
  for (size_t n = 0; n < good.size(); n++)
    EXPECT_TRUE(Decode(Bytes(good.begin(), good.begin() + n)).empty()) << n;
  EXPECT_EQ(OM_Host_DecodeIcon(nullptr, 100), nullptr);
  // One byte changed: a cursor, no entries, more entries than the file
  // holds, size or offset near 4 GiB, an entry shorter than its rows, width
  // 298, negative height, bit fields, 8 bits per pixel, a 4096-colour palette.
  const int damage[][2] = {{2, 2},  {4, 0},     {5, 0xFF}, {17, 0xFF}, {21, 0xFF}, {15, 0},
                           {27, 1}, {33, 0xFF}, {38, 3},   {36, 8},    {55, 0x10}};
  for (const auto& d : damage) {
    Bytes bad = good;
    bad[d[0]] = u8(d[1]);
    EXPECT_TRUE(Decode(bad).empty()) << "byte " << d[0];
  }
}

}  // namespace
