// The resource set as Windows sees it in this executable's own resource
// section, and the component-object runtime the image loader relies on.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "types.h"

namespace {

// The program's host initialises the runtime before anything else; the
// test program does the same before any test runs.
class ComRuntime : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const kComRuntime = ::testing::AddGlobalTestEnvironment(new ComRuntime);

const WORD kEnglishUS = 1033;

TEST(ResourceSection, DataResourcesAreStringNamedRcdataInUSEnglish) {
  struct {
    const char* name;
    DWORD size;
  } const expected[] = {
      {"FNT_IBM", 2056},         {"OWD_DEVELOPMENT", 76}, {"TEX_CWHITEWASH", 16522},
      {"TEX_FCONCRETE", 5174},   {"TEX_WBRICKS", 16522},  {"TEX_WDUMMY", 16522},
      {"TEX_WWHITEWASH", 16522},
  };
  for (const auto& r : expected) {
    SCOPED_TRACE(r.name);
    HRSRC info = FindResourceExA(nullptr, MAKEINTRESOURCEA(10), r.name, kEnglishUS);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), r.size);
    HGLOBAL loaded = LoadResource(nullptr, info);
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(LockResource(loaded), nullptr);
  }
  EXPECT_EQ(FindResourceA(nullptr, "TEX_MISSING", MAKEINTRESOURCEA(10)), nullptr);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bits;
  DWORD bytes;
  WORD id;
};
struct GroupIcon {
  WORD reserved, type, count;
  GroupIconEntry entries[1];
};
#pragma pack(pop)

TEST(ResourceSection, OneIconOf42By42With24Bits) {
  HRSRC group = FindResourceExA(nullptr, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(32512), kEnglishUS);
  ASSERT_NE(group, nullptr);
  const GroupIcon* dir = static_cast<const GroupIcon*>(LockResource(LoadResource(nullptr, group)));
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->type, 1);
  ASSERT_EQ(dir->count, 1);
  EXPECT_EQ(dir->entries[0].width, 42);
  EXPECT_EQ(dir->entries[0].height, 42);
  EXPECT_EQ(dir->entries[0].bits, 24);
  HRSRC image = FindResourceA(nullptr, MAKEINTRESOURCEA(dir->entries[0].id), MAKEINTRESOURCEA(3));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, image), dir->entries[0].bytes);

  // The window class loads it by this identifier.
  HICON icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(32512), IMAGE_ICON, 42, 42, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bm;
  ASSERT_NE(GetObjectA(info.hbmColor, sizeof bm, &bm), 0);
  EXPECT_EQ(bm.bmWidth, 42);
  EXPECT_EQ(bm.bmHeight, 42);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

}  // namespace
