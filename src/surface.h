// 32-bit pixel buffers: the frame buffer, textures, the preview, and clipped
// windows into another surface's pixels.
#pragma once

#include "types.h"

struct OM_Stream;

struct OM_Surface {
  u32* data;  // pixel (x, y) is data[x + step * y], 0xAARRGGBB
  int step;   // pixels from one row to the next
  int size;   // bytes of storage (the parent's, for a window)
  int w;
  int h;
  int bits;  // bytes per pixel: always 4
};

// Null on a negative size, a size whose bytes do not fit an int, or when
// memory runs out. The pixels are not cleared.
OM_Surface* OM_CreateSurface(int w, int h);
// Only for surfaces that own their pixels; null is ignored.
void OM_DestroySurface(OM_Surface* s);

// Decodes the image the stream delivers into a new surface (B, G, R, A in
// memory, rows top to bottom). The stream is read to its end and stays the
// caller's. Null on any failure.
OM_Surface* OM_LoadSurface(OM_Stream* stream);
