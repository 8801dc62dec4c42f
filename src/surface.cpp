// Surfaces and the portable half of image decoding: reading a stream whole,
// telling formats apart and adopting decoded pixels.
//
// ==== Surfaces ====
// ==== Images ====
#include "surface.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stream.h"

// ==== Surfaces ====

OM_Surface* OM_CreateSurface(int w, int h) {
  if (w < 0 || h < 0) return nullptr;
  if (w != 0 && h > INT_MAX / 4 / w) return nullptr;
  OM_Surface* s = static_cast<OM_Surface*>(malloc(sizeof(OM_Surface)));
  if (!s) return nullptr;
  s->size = w * h * 4;
  s->data = static_cast<u32*>(malloc(s->size ? s->size : 1));
  if (!s->data) {
    free(s);
    return nullptr;
  }
  s->step = w;
  s->bits = 4;
  s->w = w;
  s->h = h;
  return s;
}

void OM_DestroySurface(OM_Surface* s) {
  if (!s) return;
  free(s->data);
  free(s);
}

OM_Surface* OM_AdoptSurface(u32* pixels, int w, int h) {
  OM_Surface* s = static_cast<OM_Surface*>(malloc(sizeof(OM_Surface)));
  if (!s || !pixels || w < 0 || h < 0 || (w != 0 && h > INT_MAX / 4 / w)) {
    free(s);
    free(pixels);
    return nullptr;
  }
  *s = {pixels, w, w * h * 4, w, h, 4};
  return s;
}

// ==== Images ====

static bool refuse(char* why, reg whySize, const char* text) {
  if (why && whySize) snprintf(why, whySize, "%s", text);
  return false;
}

static u32 le32(const u8* p, int bytes) {
  u32 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// stb_image fills pixels missing from a cut-off bitmap with zeros and the
// Windows Imaging Component fails on it late: such a file is refused here,
// the same on both. Only uncompressed layouts have a size to check.
static bool bitmap_cut_short(const u8* b, reg length) {
  if (length < 30 || b[0] != 'B' || b[1] != 'M') return false;
  u32 header = le32(b + 14, 4), compression = length >= 34 ? le32(b + 30, 4) : 0;
  if (header < 40 || !(compression == 0 || compression == 3 || compression == 6)) return false;
  long long w = i32(le32(b + 18, 4)), h = i32(le32(b + 22, 4)), bits = le32(b + 28, 2);
  if (h < 0) h = -h;
  long long row = (w * bits + 31) / 32 * 4;
  return le32(b + 10, 4) + row * h > (long long)length;
}

// The formats known by their first bytes go to the platform's decoder; TGA
// has no signature, so whatever is left is tried as one, and its reader is
// strict about the header.
OM_Surface* OM_DecodeImage(const u8* b, reg n, int maxSide, char* why, reg whySize) {
  if (why && whySize) why[0] = '\0';
  if (!b || n == 0) return refuse(why, whySize, "the file is empty"), nullptr;
  if (n > OM_IMAGE_MAX_BYTES)
    return refuse(why, whySize, "the file is larger than 32 MiB"), nullptr;
  bool png = n >= 8 && memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0;
  bool bmp = n >= 2 && b[0] == 'B' && b[1] == 'M';
  bool jpeg = n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
  bool gif = n >= 6 && (memcmp(b, "GIF87a", 6) == 0 || memcmp(b, "GIF89a", 6) == 0);
  // The size where the header keeps it at a fixed place, so that the same
  // words refuse it on every platform, before any decoder is asked.
  long long w = 0, h = 0;
  auto be = [b](int at) {
    return (long long)(u32(b[at]) << 24 | u32(b[at + 1]) << 16 | u32(b[at + 2]) << 8 | b[at + 3]);
  };
  auto le = [b](int at, int bytes) {
    long long v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = v << 8 | b[at + k];
    return v;
  };
  if (png && n >= 24) w = be(16), h = be(20);
  if (bmp && n >= 26) w = i32(le(18, 4)), h = i32(le(22, 4));
  if (gif && n >= 10) w = le(6, 2), h = le(8, 2);
  if (h < 0) h = -h;  // a bitmap stored top down
  if (w > maxSide || h > maxSide) {
    if (why && whySize)
      snprintf(why, whySize, "%lld x %lld pixels: an image has 1 to %d on each side", w, h,
               maxSide);
    return nullptr;
  }
  if (bmp && bitmap_cut_short(b, n))
    return refuse(why, whySize, "damaged: the bitmap is cut short"), nullptr;
  if (png || bmp || jpeg || gif) return OM_DecodePlatformImage(b, n, maxSide, why, whySize);
  return OM_DecodeTga(b, n, maxSide, why, whySize);
}

// The whole input in one growing block, read to the stream's end even when
// it is too large (the caller's stream is left spent either way). Null when
// empty, too large or out of memory, `*length` telling which.
static u8* read_all(OM_Stream* stream, reg* length) {
  u8 chunk[8192];
  u8* all = nullptr;
  reg used = 0, room = 0, seen = 0;
  bool failed = false;
  for (;;) {
    reg n = stream->vTable->Read(stream, chunk, sizeof chunk);
    if (n == 0) break;
    if (n > sizeof chunk) n = sizeof chunk;
    seen += n;
    if (failed || seen > OM_IMAGE_MAX_BYTES) continue;
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
  *length = seen;
  if (failed || seen > OM_IMAGE_MAX_BYTES || seen == 0) {
    free(all);
    return nullptr;
  }
  return all;
}

OM_Surface* OM_LoadImage(OM_Stream* stream, int maxSide, char* why, reg whySize) {
  if (!stream || !stream->vTable || !stream->vTable->Read)
    return refuse(why, whySize, "can't be read"), nullptr;
  reg length = 0;
  u8* bytes = read_all(stream, &length);
  if (!bytes) {
    refuse(why, whySize,
           length == 0                   ? "the file is empty"
           : length > OM_IMAGE_MAX_BYTES ? "the file is larger than 32 MiB"
                                         : "out of memory");
    return nullptr;
  }
  OM_Surface* s = OM_DecodeImage(bytes, length, maxSide, why, whySize);
  free(bytes);
  return s;
}

// The program's own textures, and anything else read whole: the side limit
// only keeps a size from overflowing.
OM_Surface* OM_LoadSurface(OM_Stream* stream) { return OM_LoadImage(stream, 16384, nullptr, 0); }
