// Image decoding on Linux, with stb_image as the decoder.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stream.h"
#include "surface.h"

// The decoder is third-party code compiled here once; its own warnings are
// not ours to fix, ours stay errors.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
// The pixels stb_image returns are taken over by the surface, which frees
// them with free().
#define STBI_MALLOC(size) malloc(size)
#define STBI_REALLOC(p, size) realloc(p, size)
#define STBI_FREE(p) free(p)
// The formats Windows' own decoder knows as well; GIF gives its first frame.
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

// stb_image 2.27 takes a JPEG Huffman table's code counts as they come: a
// table of more than 256 codes writes past its arrays. The decoder reads a
// table wherever it meets the marker FF C4, and coded data never holds
// those two bytes (an FF there is followed by 00), so every FF C4 of the
// file is checked, read as the decoder would read it: table after table
// while the segment's length lasts, zeros past the end of the file.
static bool jpeg_tables_fit(const u8* b, reg n) {
  auto at = [b, n](reg i) -> reg { return i < n ? b[i] : 0; };
  for (reg p = 0; p + 1 < n; ++p) {
    if (b[p] != 0xFF || b[p + 1] != 0xC4) continue;
    long long left = (long long)(at(p + 2) << 8 | at(p + 3)) - 2;
    reg t = p + 4;
    while (left > 0) {
      reg codes = 0;
      for (reg k = 0; k < 16; ++k) codes += at(t + 1 + k);
      if (codes > 256) return false;
      t += 17 + codes;
      left -= (long long)(17 + codes);
    }
  }
  return true;
}

OM_Surface* OM_DecodePlatformImage(const u8* bytes, reg length, int maxSide, char* why,
                                   reg whySize) {
  auto refuse = [&](const char* text) -> OM_Surface* {
    if (why && whySize) snprintf(why, whySize, "%s", text);
    return nullptr;
  };
  if (length > INT_MAX) return refuse("the file is too large");
  if (length >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && !jpeg_tables_fit(bytes, length))
    return refuse("damaged: a JPEG Huffman table has more than 256 codes");
  int w = 0, h = 0, channels = 0;
  // The header alone first: a size out of bounds is refused before any
  // pixel is allocated.
  if (!stbi_info_from_memory(bytes, int(length), &w, &h, &channels))
    return refuse("not an image this program can read, or damaged (PNG, BMP, TGA, JPEG)");
  if (h < 0) h = -h;  // a bitmap stored top down
  if (w < 1 || h < 1 || w > maxSide || h > maxSide) {
    if (why && whySize)
      snprintf(why, whySize, "%d x %d pixels: an image has 1 to %d on each side", w, h, maxSide);
    return nullptr;
  }
  stbi_uc* rgba = stbi_load_from_memory(bytes, int(length), &w, &h, &channels, 4);
  if (!rgba) return refuse("damaged: the pixels do not decode");
  // R, G, B, A bytes become 0xAARRGGBB (B, G, R, A in memory) in place, and
  // the decoder's block becomes the surface's: each image is held once.
  u32* pixels = reinterpret_cast<u32*>(rgba);
  for (reg i = 0; i < reg(w) * reg(h); ++i) {
    const stbi_uc* p = rgba + 4 * i;
    pixels[i] = u32(p[3]) << 24 | u32(p[0]) << 16 | u32(p[1]) << 8 | u32(p[2]);
  }
  OM_Surface* surface = OM_AdoptSurface(pixels, w, h);
  return surface ? surface : refuse("out of memory");
}
