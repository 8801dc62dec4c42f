// Start-up with a broken resource set: it must fail and hand back no frame buffer.
//
// Built once per set (cmake/tests.cmake, "Broken sets"). OM_BROKEN_NOFONT
// selects the set without the font; otherwise the fallback texture is
// undecodable. The one test of its own program, it leaves what the failed
// start-up set as the program would; no guard (scene_support.h) is needed.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#endif

#include "ombrix.h"
#include "stream.h"
#include "surface.h"

namespace {

#ifdef OM_BROKEN_NOFONT
const bool kNoFont = true;
#else
const bool kNoFont = false;
#endif

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
  // This program carries the broken set, while the decoder itself works.
  OM_Stream* s = OM_OpenStream(kNoFont ? "res://FNT_IBM" : "res://TEX_WDUMMY", OM_STREAM_READ);
  EXPECT_EQ(s == nullptr, kNoFont);
  OM_ReleaseStream(s);
  EXPECT_EQ(Decodes("res://TEX_WDUMMY"), kNoFont);
  EXPECT_TRUE(Decodes("res://TEX_WWHITEWASH"));

  OM_Event e{};
  e.type = OM_EVENT_INIT;
  e.surface = reinterpret_cast<OM_Surface*>(0x1234);
  EXPECT_EQ(OM_Game_Handle(&e), 1);
  EXPECT_EQ(e.surface, reinterpret_cast<OM_Surface*>(0x1234));
  EXPECT_EQ(dummyTexture, nullptr);
  EXPECT_EQ(OM_font == nullptr, kNoFont);
}

}  // namespace
