// Built once per broken resource set (cmake/resources.cmake): start-up must
// report failure and hand back no frame buffer. OM_BROKEN_NOFONT selects the
// set without the font; otherwise the fallback texture is undecodable.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#endif

#include "ombrix.h"
#include "stream.h"
#include "surface.h"

namespace {

bool Decodes(const char* path) {
  OM_Stream* s = OM_OpenStream(path, OM_STREAM_READ);
  OM_Surface* surface = OM_LoadSurface(s);
  OM_ReleaseStream(s);
  OM_DestroySurface(surface);
  return surface != nullptr;
}

TEST(BrokenResourceSet, StartUpFailsWithoutHandingBackTheFrameBuffer) {
#ifdef _WIN32
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));  // as the host does first
#endif
  // This program carries the broken set, not the regular one...
#ifdef OM_BROKEN_NOFONT
  EXPECT_EQ(OM_OpenStream("res://FNT_IBM", OM_STREAM_READ), nullptr);
#else
  OM_Stream* s = OM_OpenStream("res://TEX_WDUMMY", OM_STREAM_READ);
  EXPECT_NE(s, nullptr);
  OM_ReleaseStream(s);
  EXPECT_FALSE(Decodes("res://TEX_WDUMMY"));
#endif
  // ... while the decoder itself works.
  EXPECT_TRUE(Decodes("res://TEX_WWHITEWASH"));

  OM_Surface* untouched = reinterpret_cast<OM_Surface*>(0x1234);
  OM_Event e{};
  e.type = OM_EVENT_INIT;
  e.surface = untouched;
  EXPECT_EQ(OM_Game_Handle(&e), 1);
  EXPECT_EQ(e.surface, untouched);
  EXPECT_EQ(dummyTexture, nullptr);
#ifdef OM_BROKEN_NOFONT
  EXPECT_EQ(OM_font, nullptr);
#else
  EXPECT_NE(OM_font, nullptr);
#endif
}

}  // namespace
