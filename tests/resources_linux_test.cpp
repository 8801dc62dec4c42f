// The resource set as the Linux build embeds it, including the icon the
// window takes from it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "memory_stream.h"
#include "stream_linux.h"

namespace {

u32 le(const u8* p, int bytes) {
  u32 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

TEST(EmbeddedResources, LookupByTypeAndName) {
  const OM_EmbeddedResource* font = OM_FindEmbeddedResource("RCDATA", "FNT_IBM");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->size, 2056u);
  std::vector<u8> streamed = ReadResource("res://FNT_IBM");
  ASSERT_EQ(streamed.size(), font->size);
  EXPECT_EQ(memcmp(streamed.data(), font->data, font->size), 0);
  EXPECT_EQ(OM_FindEmbeddedResource("ICON", "FNT_IBM"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource("RCDATA", "32512"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource(nullptr, "FNT_IBM"), nullptr);
  EXPECT_EQ(OM_FindEmbeddedResource("RCDATA", nullptr), nullptr);
  EXPECT_EQ(OM_OpenStream("res://32512", OM_STREAM_READ), nullptr);  // not data
}

TEST(EmbeddedResources, TheIconIsOne42By42ImageWith24Bits) {
  const OM_EmbeddedResource* ico = OM_FindEmbeddedResource("ICON", "32512");
  ASSERT_NE(ico, nullptr);
  const u8* p = ico->data;
  ASSERT_GE(ico->size, 22u + 40u);
  EXPECT_EQ(le(p + 0, 2), 0u);  // reserved
  EXPECT_EQ(le(p + 2, 2), 1u);  // an icon
  EXPECT_EQ(le(p + 4, 2), 1u);  // one image
  EXPECT_EQ(p[6], 42);
  EXPECT_EQ(p[7], 42);
  EXPECT_EQ(le(p + 12, 2), 24u);
  u32 bytes = le(p + 14, 4), offset = le(p + 18, 4);
  EXPECT_EQ(offset + bytes, ico->size);
  const u8* dib = p + offset;
  EXPECT_EQ(le(dib, 4), 40u);
  EXPECT_EQ(le(dib + 4, 4), 42u);
  EXPECT_EQ(le(dib + 8, 4), 84u);  // colour rows, then the mask's rows
  EXPECT_EQ(le(dib + 14, 2), 24u);
  // 42 rows of 128 bytes of colour (126 padded) and 42 rows of 8 bytes of mask.
  EXPECT_EQ(bytes, 40u + 42u * 128u + 42u * 8u);
}

}  // namespace
