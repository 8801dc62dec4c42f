// 2D drawing into surfaces (lines, rectangles, block copies) and the 8 x 8
// bitmap font. Everything clips to the surface's w and h, never its step.
#pragma once

#include "types.h"

struct OM_Surface;
struct OM_Stream;

// A position in pixels truncated toward zero, as the drawing calls take it.
// Positions far off the surface (a vertex thousands of views away) are held
// to +-1e9, which an int takes and the clipping still cuts; NaN gives 0.
int OM_TruncPixel(f32 v);

// Pixels from (x0, y0) toward (x1, y1), end point excluded.
void OM_DrawLine(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color);
// Outline of the closed rectangle x0..x1, y0..y1.
void OM_DrawRect(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color);
// The half-open rectangle x0 <= x < x1, y0 <= y < y1.
void OM_FillRect(OM_Surface* surface, int x0, int y0, int x1, int y1, u32 color);
// Copies a (x1 - x0) x (y1 - y0) block of buffer (row length step) to (x0, y0).
void OM_DrawSurface(OM_Surface* surface, int x0, int y0, int x1, int y1, u32* buffer, int step);

struct OM_Font {
  int w;     // glyph width, bytes per glyph, advance and line height
  int h;     // rows per glyph
  u8* data;  // glyph n at data + n * w, one byte per row, bit 0 leftmost
};

OM_Font* OM_LoadFont(OM_Stream* stream);
void OM_DestroyFont(OM_Font* font);
void OM_DrawChar(OM_Surface* surface, char ch, int x, int y, OM_Font* font, u32 color);
void OM_DrawText(OM_Surface* surface, const char* str, int x, int y, OM_Font* font, u32 color);
