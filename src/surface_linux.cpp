// OM_LoadSurface on Linux, with stb_image as the decoder.
#include <climits>
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
// The formats Windows' own decoder knows as well; GIF gives its first frame.
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

// The whole input, in one growing block, before anything is decoded. The
// stream is read to its end even when memory runs out on the way.
static u8* read_all(OM_Stream* stream, reg* length) {
  u8 chunk[8192];
  u8* all = nullptr;
  reg used = 0, room = 0;
  bool failed = false;
  for (;;) {
    reg n = stream->vTable->Read(stream, chunk, sizeof chunk);
    if (n == 0) break;
    if (failed) continue;
    if (n > sizeof chunk) n = sizeof chunk;
    if (used + n > room) {
      reg grown = room ? room * 2 : sizeof chunk;
      while (grown < used + n) grown *= 2;
      u8* bigger = static_cast<u8*>(realloc(all, grown));
      if (!bigger) {
        failed = true;
        continue;
      }
      all = bigger;
      room = grown;
    }
    memcpy(all + used, chunk, n);
    used += n;
  }
  if (failed) {
    free(all);
    return nullptr;
  }
  *length = used;
  return all;
}

static u32 le(const u8* p, int bytes) {
  u32 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// stb_image fills pixels missing from a cut-off bitmap with zeros; Windows'
// decoder fails on such a file, and so do we. Only uncompressed layouts
// have a size to check.
static bool bitmap_cut_short(const u8* b, reg length) {
  if (length < 30 || b[0] != 'B' || b[1] != 'M') return false;
  u32 header = le(b + 14, 4), compression = length >= 34 ? le(b + 30, 4) : 0;
  if (header < 40 || !(compression == 0 || compression == 3 || compression == 6)) return false;
  long long w = i32(le(b + 18, 4)), h = i32(le(b + 22, 4)), bits = le(b + 28, 2);
  if (h < 0) h = -h;
  long long row = (w * bits + 31) / 32 * 4;
  return le(b + 10, 4) + row * h > (long long)length;
}

OM_Surface* OM_LoadSurface(OM_Stream* stream) {
  if (!stream || !stream->vTable || !stream->vTable->Read) return nullptr;
  reg length = 0;
  u8* bytes = read_all(stream, &length);
  if (!bytes) return nullptr;  // empty input or out of memory
  if (length > INT_MAX || bitmap_cut_short(bytes, length)) {
    free(bytes);
    return nullptr;
  }
  int w = 0, h = 0, channels = 0;
  stbi_uc* rgba = stbi_load_from_memory(bytes, int(length), &w, &h, &channels, 4);
  free(bytes);
  if (!rgba) return nullptr;
  OM_Surface* surface = OM_CreateSurface(w, h);
  if (!surface) {
    stbi_image_free(rgba);
    return nullptr;
  }
  // R, G, B, A bytes become 0xAARRGGBB: B, G, R, A in memory.
  const stbi_uc* p = rgba;
  for (int i = 0; i < w * h; ++i, p += 4) {
    surface->data[i] = u32(p[3]) << 24 | u32(p[0]) << 16 | u32(p[1]) << 8 | u32(p[2]);
  }
  stbi_image_free(rgba);
  return surface;
}
