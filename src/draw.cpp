#include "draw.h"

#include <climits>
#include <cstdlib>

#include "math.h"
#include "stream.h"
#include "surface.h"

typedef long long i64;

static inline void put(OM_Surface* s, int x, int y, u32 color) {
  if (x >= 0 && x < s->w && y >= 0 && y < s->h) s->data[x + s->step * y] = color;
}

int OM_TruncPixel(f32 v) {
  if (!(v > -1.0e9f)) return v != v ? 0 : -1000000000;
  if (v > 1.0e9f) return 1000000000;
  return (int)v;
}

void OM_DrawLine(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color) {
  // Differences in 64 bits: far-away end points must not overflow.
  i64 dx = i64(x1) - x0, dy = i64(y1) - y0;
  i64 length = llabs(dx) > llabs(dy) ? llabs(dx) : llabs(dy);
  if (length <= 0) return;
  f32 ix = f32(dx) / f32(length);
  f32 iy = f32(dy) / f32(length);
  f32 px = f32(x0), py = f32(y0);
  const f32 w = f32(surface->w), h = f32(surface->h);
  for (i64 i = 0; i < length; ++i) {
    // Truncation toward zero lands inside exactly when -1 < p < size; the
    // test comes first so that no far-off position is ever converted.
    if (px > -1.0f && px < w && py > -1.0f && py < h) {
      surface->data[int(px) + surface->step * int(py)] = color;
    }
    px += ix;
    py += iy;
  }
}

void OM_DrawRect(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color) {
  // Wholly left of or above the surface: raising x0 or y0 to 0 would turn
  // its far side into a stray line along the surface's edge.
  if (x1 < 0 || y1 < 0) return;
  x0 = OM_MaxI32(x0, 0);
  y0 = OM_MaxI32(y0, 0);
  x1 = OM_MinI32(x1, surface->w);
  y1 = OM_MinI32(y1, surface->h);
  // A side clamped onto w or h, or one that starts beyond them, lies outside
  // the surface: every pixel is tested before it is written.
  for (int x = x0; x < x1; ++x) {
    put(surface, x, y0, color);
    put(surface, x, y1, color);
  }
  for (int y = y0; y < y1; ++y) {
    put(surface, x0, y, color);
    put(surface, x1, y, color);
  }
  put(surface, x1, y1, color);
}

void OM_FillRect(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color) {
  x0 = OM_MaxI32(x0, 0);
  y0 = OM_MaxI32(y0, 0);
  x1 = OM_MinI32(x1, surface->w);
  y1 = OM_MinI32(y1, surface->h);
  for (int y = y0; y < y1; ++y) {
    u32* row = surface->data + surface->step * y;
    for (int x = x0; x < x1; ++x) row[x] = color;
  }
}

void OM_DrawSurface(OM_Surface* surface, int x0, int y0, int x1, int y1, u32* buffer, int step) {
  // Only the source pixels whose target is inside the surface are visited.
  i64 bw = i64(x1) - x0, bh = i64(y1) - y0;
  i64 first_x = x0 < 0 ? -i64(x0) : 0, last_x = i64(surface->w) - x0;
  i64 first_y = y0 < 0 ? -i64(y0) : 0, last_y = i64(surface->h) - y0;
  if (bw < last_x) last_x = bw;
  if (bh < last_y) last_y = bh;
  for (i64 y = first_y; y < last_y; ++y) {
    u32* target = surface->data + surface->step * (y0 + y);
    const u32* source = buffer + step * y;
    for (i64 x = first_x; x < last_x; ++x) target[x0 + x] = source[x];
  }
}

// Reads until `size` bytes arrived or the stream ends; a stream may hand
// over less than asked before its end.
static reg read_full(OM_Stream* stream, void* buffer, reg size) {
  reg done = 0;
  while (done < size) {
    reg n = stream->vTable->Read(stream, static_cast<u8*>(buffer) + done, size - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

static u32 le32(const u8* b) {
  return u32(b[0]) | u32(b[1]) << 8 | u32(b[2]) << 16 | u32(b[3]) << 24;
}

OM_Font* OM_LoadFont(OM_Stream* stream) {
  if (!stream || !stream->vTable || !stream->vTable->Read) return nullptr;
  u8 header[8];
  if (read_full(stream, header, 4) < 4 || read_full(stream, header + 4, 4) < 4) return nullptr;
  u32 w = le32(header), h = le32(header + 4);
  // A row is one byte tested through an 8-entry mask, and the width also
  // serves as the glyph's height in the table: anything else is not a font
  // we can draw without reading past a glyph.
  if (w != h || w == 0 || w > 8) return nullptr;
  OM_Font* font = static_cast<OM_Font*>(malloc(sizeof(OM_Font)));
  if (!font) return nullptr;
  font->w = int(w);
  font->h = int(h);
  // Glyphs 0..254; a short file leaves the missing ones blank.
  font->data = static_cast<u8*>(calloc(w * 255, 1));
  if (!font->data) {
    free(font);
    return nullptr;
  }
  read_full(stream, font->data, w * 255);
  return font;
}

void OM_DestroyFont(OM_Font* font) {
  if (!font) return;
  free(font->data);
  free(font);
}

static const u8 mask[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

void OM_DrawChar(OM_Surface* surface, char ch, int x, int y, OM_Font* font, u32 color) {
  if (!surface || !font || !font->data) return;
  // Characters are signed: codes 128..255 come out negative, and the table
  // holds glyphs 0..254 only. Those codes have no glyph to draw.
  int code = static_cast<signed char>(ch);
  if (code < 0 || code > 254) return;
  const u8* glyph = font->data + font->w * code;
  int rows = font->h < font->w ? font->h : font->w;
  int cols = font->w < 8 ? font->w : 8;
  for (int cy = 0; cy < rows; ++cy) {
    i64 ty = i64(y) + cy;
    if (ty < 0 || ty >= surface->h) continue;
    u32* row = surface->data + surface->step * ty;
    for (int cx = 0; cx < cols; ++cx) {
      i64 tx = i64(x) + cx;
      if (tx < 0 || tx >= surface->w) continue;
      if (glyph[cy] & mask[cx]) row[tx] = color;
    }
  }
}

void OM_DrawText(OM_Surface* surface, const char* str, int x, int y, OM_Font* font, u32 color) {
  if (!str || !font) return;
  i64 xx = 0, yy = 0;
  for (const char* p = str; *p; ++p) {
    if (*p == '\n') {
      ++yy;
      xx = 0;
      continue;
    }
    i64 cx = x + font->w * xx, cy = y + font->w * yy;
    // A cell beyond the int range is far outside any surface.
    if (cx >= INT_MIN && cx <= INT_MAX && cy >= INT_MIN && cy <= INT_MAX) {
      OM_DrawChar(surface, *p, int(cx), int(cy), font, color);
    }
    ++xx;
  }
}
