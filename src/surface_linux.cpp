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
// them with free(). Its blocks start zeroed: stb_image 2.27 decodes a JPEG
// scan with Huffman tables the file never defined, and those must read as
// empty tables, not as whatever the heap held before (fuzzing found such a
// read indexing far past a table's symbols).
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(p, size) realloc(p, size)
#define STBI_FREE(p) free(p)
// The formats Windows' own decoder knows as well; GIF gives its first frame.
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
// When a JPEG's coded data ends early, stb_image 2.27 keeps asking for bits
// and shifts the zeros it feeds itself by 32 or more. Zero shifted is zero
// whatever the count, so the sanitizers' shift check is left out of the
// decoder's functions (clang builds the fuzz target); every other check,
// bounds and addresses included, stays on.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((no_sanitize("shift-exponent"))), apply_to = function)
#endif
#include <stb/stb_image.h>
#if defined(__clang__)
#pragma clang attribute pop
#endif
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

// stb_image 2.27 copies each PNG data chunk into a buffer it allocates when
// the first data arrives: a leading data chunk of length 0 is copied into a
// null pointer (undefined, though nothing is written). Such empty chunks add
// nothing to the image, so a file that starts its data with them is decoded
// from a copy without them. Gives the bytes to decode (null when the copy
// could not be made); `*copy` is set when they are a copy, for free().
static const u8* png_without_leading_empty_data(const u8* b, reg& n, u8** copy) {
  static const u8 signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 8 || memcmp(b, signature, 8) != 0) return b;
  auto be32 = [b](reg i) {
    return reg(b[i]) << 24 | reg(b[i + 1]) << 16 | reg(b[i + 2]) << 8 | b[i + 3];
  };
  // A chunk is its length, its type, its data and a CRC; the decoder acts
  // on a chunk once it has read the first two, so a file may end anywhere
  // after them.
  reg p = 8;
  while (p + 8 <= n) {
    reg length = be32(p);
    if (memcmp(b + p + 4, "IDAT", 4) == 0) {
      // Data first of all is refused before it is read; data that is not
      // empty starts the image: nothing to drop either way.
      if (p == 8 || length != 0) return b;
      reg head = p;
      while (p + 8 <= n && be32(p) == 0 && memcmp(b + p + 4, "IDAT", 4) == 0)
        p = p + 12 < n ? p + 12 : n;
      *copy = static_cast<u8*>(malloc(head + (n - p)));
      if (!*copy) return nullptr;
      memcpy(*copy, b, head);
      memcpy(*copy + head, b + p, n - p);
      n = head + (n - p);
      return *copy;
    }
    p += 12 + length;
  }
  return b;
}

static OM_Surface* refuse(char* why, reg whySize, const char* text) {
  if (why && whySize) snprintf(why, whySize, "%s", text);
  return nullptr;
}

static OM_Surface* decode(const u8* bytes, reg length, int maxSide, char* why, reg whySize) {
  int w = 0, h = 0, channels = 0;
  // The header alone first: a size out of bounds is refused before any
  // pixel is allocated.
  if (!stbi_info_from_memory(bytes, int(length), &w, &h, &channels))
    return refuse(why, whySize,
                  "not an image this program can read, or damaged (PNG, BMP, TGA, JPEG)");
  if (h < 0) h = -h;  // a bitmap stored top down
  if (w < 1 || h < 1 || w > maxSide || h > maxSide) {
    if (why && whySize)
      snprintf(why, whySize, "%d x %d pixels: an image has 1 to %d on each side", w, h, maxSide);
    return nullptr;
  }
  stbi_uc* rgba = stbi_load_from_memory(bytes, int(length), &w, &h, &channels, 4);
  if (!rgba) return refuse(why, whySize, "damaged: the pixels do not decode");
  // R, G, B, A bytes become 0xAARRGGBB (B, G, R, A in memory) in place, and
  // the decoder's block becomes the surface's: each image is held once.
  u32* pixels = reinterpret_cast<u32*>(rgba);
  for (reg i = 0; i < reg(w) * reg(h); ++i) {
    const stbi_uc* p = rgba + 4 * i;
    pixels[i] = u32(p[3]) << 24 | u32(p[0]) << 16 | u32(p[1]) << 8 | u32(p[2]);
  }
  OM_Surface* surface = OM_AdoptSurface(pixels, w, h);
  return surface ? surface : refuse(why, whySize, "out of memory");
}

OM_Surface* OM_DecodePlatformImage(const u8* bytes, reg length, int maxSide, char* why,
                                   reg whySize) {
  if (length > INT_MAX) return refuse(why, whySize, "the file is too large");
  if (length >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && !jpeg_tables_fit(bytes, length))
    return refuse(why, whySize, "damaged: a JPEG Huffman table has more than 256 codes");
  u8* copy = nullptr;
  bytes = png_without_leading_empty_data(bytes, length, &copy);
  if (!bytes) return refuse(why, whySize, "out of memory");
  OM_Surface* surface = decode(bytes, length, maxSide, why, whySize);
  free(copy);
  return surface;
}
