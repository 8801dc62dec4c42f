// A TGA reader of our own: the Windows Imaging Component has no TGA decoder,
// and one reader on both platforms gives the same pixels everywhere. True
// colour and grey images, plain or run-length encoded; no colour maps.
//
// Every count comes from the file, so each is checked against the bytes
// that are there before it is used, and the size before anything is
// allocated.
#include <cstdio>
#include <cstdlib>

#include "surface.h"

namespace {

bool refuse(char* why, reg whySize, const char* text) {
  if (why && whySize) snprintf(why, whySize, "%s", text);
  return false;
}

// One pixel of `bytes` bytes (1 grey, 2 as 5-5-5 with a 1-bit alpha, 3 or 4
// as B, G, R(, A)) to 0xAARRGGBB.
u32 pixel(const u8* p, int bytes, bool alpha) {
  switch (bytes) {
    case 1: return 0xFF000000u | u32(p[0]) * 0x010101u;
    case 2: {
      u32 v = u32(p[0]) | u32(p[1]) << 8;
      u32 r = (v >> 10 & 31) * 255 / 31, g = (v >> 5 & 31) * 255 / 31, b = (v & 31) * 255 / 31;
      u32 a = alpha && !(v & 0x8000) ? 0u : 0xFFu;
      return a << 24 | r << 16 | g << 8 | b;
    }
    case 3: return 0xFF000000u | u32(p[2]) << 16 | u32(p[1]) << 8 | p[0];
    default: return u32(alpha ? p[3] : 0xFF) << 24 | u32(p[2]) << 16 | u32(p[1]) << 8 | p[0];
  }
}

}  // namespace

OM_Surface* OM_DecodeTga(const u8* b, reg n, int maxSide, char* why, reg whySize) {
  const char* unknown = "not an image this program can read (PNG, BMP, TGA, JPEG)";
  if (!b || n < 18) return refuse(why, whySize, unknown), nullptr;
  const int idLength = b[0], mapType = b[1], type = b[2];
  const int mapLength = b[5] | b[6] << 8, mapBits = b[7];
  const int w = b[12] | b[13] << 8, h = b[14] | b[15] << 8, bits = b[16], descriptor = b[17];
  const bool grey = type == 3 || type == 11, rle = type == 10 || type == 11;
  // What a TGA header must look like; anything else is not one.
  if (mapType > 1 || !(type == 2 || type == 3 || type == 10 || type == 11) ||
      (grey ? bits != 8 : !(bits == 15 || bits == 16 || bits == 24 || bits == 32)) ||
      (descriptor & 0xC0) != 0)
    return refuse(why, whySize, unknown), nullptr;
  if (w < 1 || h < 1 || w > maxSide || h > maxSide) {
    if (why && whySize)
      snprintf(why, whySize, "%d x %d pixels: an image has 1 to %d on each side", w, h, maxSide);
    return nullptr;
  }
  const int bytes = (bits + 7) / 8;
  // A colour map may be there without being used: skip it.
  const reg skip = 18 + reg(idLength) + (mapType ? reg(mapLength) * ((mapBits + 7) / 8) : 0);
  if (skip > n) return refuse(why, whySize, "damaged: the TGA file is cut short"), nullptr;
  const reg count = reg(w) * reg(h);
  if (!rle && (n - skip) / reg(bytes) < count)
    return refuse(why, whySize, "damaged: the TGA file is cut short"), nullptr;
  // Alpha only where the header says the pixel has alpha bits.
  const bool alpha = (descriptor & 15) != 0 && (bits == 32 || bits == 16);

  OM_Surface* s = OM_CreateSurface(w, h);
  if (!s) return refuse(why, whySize, "out of memory"), nullptr;
  const u8* at = b + skip;
  const u8* end = b + n;
  // Pixels in file order; rows go bottom up unless the descriptor's bit 5
  // says top down, and right to left when bit 4 says so.
  auto put = [&](reg i, u32 value) {
    reg x = i % reg(w), y = i / reg(w);
    if (descriptor & 0x10) x = reg(w) - 1 - x;
    if (!(descriptor & 0x20)) y = reg(h) - 1 - y;
    s->data[x + reg(s->step) * y] = value;
  };
  bool ok = true;
  for (reg i = 0; i < count && ok;) {
    if (!rle) {
      put(i++, pixel(at, bytes, alpha));
      at += bytes;
      continue;
    }
    if (at >= end) {
      ok = false;
      break;
    }
    const u8 head = *at++;
    reg run = reg(head & 0x7F) + 1;
    if (run > count - i) run = count - i;  // a packet may not cross the end
    if (head & 0x80) {
      if (reg(end - at) < reg(bytes)) {
        ok = false;
        break;
      }
      const u32 value = pixel(at, bytes, alpha);
      at += bytes;
      while (run--) put(i++, value);
    } else {
      if (reg(end - at) / reg(bytes) < run) {
        ok = false;
        break;
      }
      while (run--) {
        put(i++, pixel(at, bytes, alpha));
        at += bytes;
      }
    }
  }
  if (!ok) {
    OM_DestroySurface(s);
    return refuse(why, whySize, "damaged: the TGA file is cut short"), nullptr;
  }
  return s;
}
