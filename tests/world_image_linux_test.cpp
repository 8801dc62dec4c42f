// What a world's images cost in memory: each image's pixels once, and
// nothing more that stays (glibc's own count of the bytes in use); and what
// the Linux decoder's own blocks hold before a damaged file fills them.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "stream.h"
#include "surface.h"
#include "world.h"
#include "world_file.h"

namespace {

namespace fs = std::filesystem;

reg in_use() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

reg peak = 0;
// Asked before every file is opened: between two images, what is held.
int sample(OM_FileStep, const char*) {
  if (in_use() > peak) peak = in_use();
  return 0;
}

TEST(ImageMemory, SixtyFourImagesOf1024SquareCostTheirPixelsAndASmallConstant) {
  fs::path dir = fs::absolute("om_image_memory");
  fs::create_directories(dir);
  // A 1024 x 1024 TGA in runs of 128 pixels: 40 KiB on disk, 4 MiB decoded.
  std::string tga(18, '\0');
  tga[2] = 10, tga[13] = 4, tga[15] = 4, tga[16] = 32, tga[17] = 8;
  for (int i = 0; i < 1024 * 1024 / 128; ++i) tga += std::string("\xFF\x20\x40\x60\xFF", 5);
  std::ofstream(dir / "big.tga", std::ios::binary) << tga;
  std::string text = "OMBRIX-WORLD 2\n";
  for (int k = 0; k < 64; ++k) text += "image i" + std::to_string(k) + " big.tga\n";
  text += "start 0 0 0 0\nend\n";
  std::ofstream(dir / "x.world", std::ios::binary) << text;

  const reg pixels = 64 * reg(1024 * 1024 * 4);
  const reg before = in_use();
  peak = before;
  OM_fileFault = sample;
  char why[200];
  OM_World* w = world_read_file((dir / "x.world").string().c_str(), why, sizeof why);
  OM_fileFault = nullptr;
  ASSERT_NE(w, nullptr) << why;
  const reg held = in_use() - before;
  ASSERT_EQ(world_image_count(w), 64u);
  for (reg k = 0; k < 64; ++k) ASSERT_FALSE(world_image(w, k)->failed);
  printf(
      "64 images of 1024 x 1024: %.2f MiB held for %.2f MiB of pixels (%.1f KiB more); "
      "%.2f MiB at most between two images\n",
      held / 1048576.0, pixels / 1048576.0, (double(held) - double(pixels)) / 1024.0,
      (peak - before) / 1048576.0);
  EXPECT_LE(held, pixels + (reg(1) << 20));
  EXPECT_LE(peak - before, pixels + (reg(1) << 20));
  release_world(w);
  EXPECT_LE(in_use(), before + (reg(64) << 10));  // released with the world
  fs::remove_all(dir);
}

// A JPEG scan may name Huffman tables its file never defined. The decoder
// then reads tables from its own fresh block: zeroed, they are empty tables
// (every block flat, mid grey), never what the heap held before, here made
// visible by glibc filling fresh blocks with 0xBE.
TEST(ImageDecoder, AJpegScanWithTablesNeverDefinedReadsEmptyTablesNotTheHeap) {
  std::ifstream in(fs::path(OM_SOURCE_DIR) / "examples" / "textures" / "sand.jpg",
                   std::ios::binary);
  std::string jpeg(std::istreambuf_iterator<char>(in), {});
  // Its segments up to the scan's header without the tables, then the end.
  for (reg at = 2; at + 4 < jpeg.size();) {
    reg length = 2 + (u8(jpeg[at + 2]) << 8 | u8(jpeg[at + 3]));
    if (u8(jpeg[at + 1]) == 0xDA) {
      jpeg.resize(at + length);
      break;
    }
    if (u8(jpeg[at + 1]) == 0xC4)
      jpeg.erase(at, length);
    else
      at += length;
  }
  jpeg += "\xFF\xD9";
  ASSERT_EQ(jpeg.find("\xFF\xC4"), std::string::npos);
  mallopt(M_PERTURB, 0x41);
  char why[160] = "";
  OM_Surface* s = OM_DecodeImage(reinterpret_cast<const u8*>(jpeg.data()), jpeg.size(),
                                 OM_IMAGE_MAX_SIDE, why, sizeof why);
  mallopt(M_PERTURB, 0);
  ASSERT_NE(s, nullptr) << why;
  EXPECT_EQ(std::count(s->data, s->data + s->w * s->h, 0xFF808080u), s->w * s->h);
  OM_DestroySurface(s);
}

}  // namespace
