// Reads the program's .ico resource for the Linux window's icon. The file
// comes from the build, but it is still read as untrusted bytes: every size
// and offset is checked before use.
#include "surface.h"
#include "system.h"

namespace {

u32 read16(const u8* p) { return p[0] | (u32)p[1] << 8; }
u32 read32(const u8* p) { return p[0] | (u32)p[1] << 8 | (u32)p[2] << 16 | (u32)p[3] << 24; }

// One entry's device-independent bitmap: colour rows, then the 1-bit AND
// mask, both bottom-up, with rows padded to 4 bytes.
struct IconImage {
  const u8* pixels;
  const u8* mask;  // null when the entry has none
  int w, h, bpp;
  reg stride, mask_stride;
};

bool parse_image(const u8* p, reg n, IconImage* im) {
  if (n < 40) return false;
  reg header = read32(p);
  if (header < 40 || header > n) return false;
  i32 w = (i32)read32(p + 4);
  i32 h2 = (i32)read32(p + 8);  // colour rows and mask rows together
  u32 bpp = read16(p + 14);
  u32 compression = read32(p + 16);
  u32 palette = read32(p + 32);
  if (w <= 0 || w > 256 || h2 <= 0 || h2 > 512 || h2 % 2 != 0) return false;
  if (compression != 0 || (bpp != 24 && bpp != 32) || palette > 256) return false;
  im->w = w;
  im->h = h2 / 2;
  im->bpp = (int)bpp;
  im->stride = ((reg)w * bpp + 31) / 32 * 4;
  im->mask_stride = ((reg)w + 31) / 32 * 4;
  reg start = header + (reg)palette * 4;
  reg colour = im->stride * im->h;
  if (start > n || colour > n - start) return false;
  im->pixels = p + start;
  reg rest = n - start - colour;
  im->mask = rest >= im->mask_stride * im->h ? im->pixels + colour : nullptr;
  return true;
}

bool masked(const IconImage& im, int x, int y) {
  if (!im.mask) return false;
  const u8* row = im.mask + (reg)(im.h - 1 - y) * im.mask_stride;
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

}  // namespace

OM_Surface* OM_Host_DecodeIcon(const u8* data, reg size) {
  if (!data || size < 6 || read16(data) != 0 || read16(data + 2) != 1) return nullptr;
  reg count = read16(data + 4);
  if (6 + count * 16 > size) return nullptr;
  IconImage best = {};
  for (reg i = 0; i < count; i++) {
    const u8* entry = data + 6 + i * 16;
    reg bytes = read32(entry + 8);
    reg offset = read32(entry + 12);
    if (offset > size || bytes > size - offset) continue;
    IconImage im;
    if (parse_image(data + offset, bytes, &im) && im.w * im.h > best.w * best.h) best = im;
  }
  if (!best.pixels) return nullptr;
  OM_Surface* s = OM_CreateSurface(best.w, best.h);
  if (!s) return nullptr;
  int step = best.bpp / 8;
  // A 32-bit entry whose alpha is all zero was made for the mask alone.
  bool use_alpha = false;
  for (int y = 0; y < best.h && best.bpp == 32; y++)
    for (int x = 0; x < best.w; x++)
      if (best.pixels[(reg)y * best.stride + (reg)x * 4 + 3] != 0) use_alpha = true;
  for (int y = 0; y < best.h; y++) {
    const u8* row = best.pixels + (reg)(best.h - 1 - y) * best.stride;
    for (int x = 0; x < best.w; x++) {
      const u8* px = row + (reg)x * step;
      u32 alpha = use_alpha ? px[3] : masked(best, x, y) ? 0 : 0xFF;
      s->data[x + s->step * y] = alpha << 24 | (u32)px[2] << 16 | (u32)px[1] << 8 | px[0];
    }
  }
  return s;
}
