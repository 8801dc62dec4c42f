// The resource set in this executable's own resource section, as Windows sees it.
//
// Also starts the component-object runtime the image loader relies on, as
// the host does, for the whole suite.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <vector>

namespace {

// The host initialises the runtime before anything else; so do the tests.
class ComRuntime : public ::testing::Environment {
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const kComRuntime = ::testing::AddGlobalTestEnvironment(new ComRuntime);

const void* Lock(HRSRC r) { return r ? LockResource(LoadResource(nullptr, r)) : nullptr; }

TEST(ResourceSection, StringNamedRcdataInUSEnglishAndOneIconOf42By42With24Bits) {
  const std::pair<const char*, DWORD> data[] = {{"FNT_IBM", 2056},         {"OWD_DEVELOPMENT", 76},
                                                {"TEX_CWHITEWASH", 16522}, {"TEX_FCONCRETE", 5174},
                                                {"TEX_WBRICKS", 16522},    {"TEX_WDUMMY", 16522},
                                                {"TEX_WWHITEWASH", 16522}};
  for (const auto& [name, size] : data) {
    HRSRC info = FindResourceExA(nullptr, MAKEINTRESOURCEA(10), name, 1033);
    EXPECT_EQ(SizeofResource(nullptr, info), size) << name;
    EXPECT_NE(Lock(info), nullptr) << name;
  }
  // The group: reserved, type 1, count 1, then width, height, colours,
  // reserved, planes, bits, bytes and the image's id.
  const BYTE* g = static_cast<const BYTE*>(
      Lock(FindResourceExA(nullptr, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(32512), 1033)));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ((std::vector<int>{g[2], g[4], g[6], g[7], g[12]}),
            (std::vector<int>{1, 1, 42, 42, 24}));
  HRSRC image = FindResourceA(nullptr, MAKEINTRESOURCEA(g[18] | g[19] << 8), MAKEINTRESOURCEA(3));
  EXPECT_EQ(SizeofResource(nullptr, image), DWORD(g[14] | g[15] << 8 | g[16] << 16));
  // The window class loads it by this identifier.
  HICON icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(32512), IMAGE_ICON, 0, 0, 0));
  EXPECT_NE(icon, nullptr);
  DestroyIcon(icon);
}

}  // namespace
