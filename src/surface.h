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

// ==== Images ====
// The largest image a world may use, on each side; and the most bytes an
// image file may have (a 1024 x 1024 image takes 4 MiB uncompressed).
constexpr int OM_IMAGE_MAX_SIDE = 1024;
constexpr reg OM_IMAGE_MAX_BYTES = reg(32) << 20;

// Decodes PNG, BMP, JPEG (and GIF's first frame) through the platform's
// decoder and TGA through surface_tga.cpp, into a new surface. Null, with
// one line of reason in `why` ("not an image ...", "2048 x 512 pixels: at
// most 1024 on a side", "damaged ..."), on any failure. The size in the
// header is checked before any pixel is allocated.
OM_Surface* OM_DecodeImage(const u8* bytes, reg length, int maxSide, char* why, reg whySize);
// The same from a stream read to its end (at most OM_IMAGE_MAX_BYTES).
OM_Surface* OM_LoadImage(OM_Stream* stream, int maxSide, char* why, reg whySize);

// The platform's decoder (surface_linux.cpp, surface_win32.cpp), for the
// formats with a signature; same contract as OM_DecodeImage.
OM_Surface* OM_DecodePlatformImage(const u8* bytes, reg length, int maxSide, char* why,
                                   reg whySize);
// The TGA reader of surface_tga.cpp: types 2, 3, 10 and 11 (true colour and
// grey, plain or run-length), 8, 15, 16, 24 or 32 bits.
OM_Surface* OM_DecodeTga(const u8* bytes, reg length, int maxSide, char* why, reg whySize);
// A surface over pixels already allocated with malloc, which it takes over
// (also on failure); null when the record cannot be had.
OM_Surface* OM_AdoptSurface(u32* pixels, int w, int h);

// Decodes the image the stream delivers into a new surface (B, G, R, A in
// memory, rows top to bottom). The stream is read to its end and stays the
// caller's. Null on any failure.
OM_Surface* OM_LoadSurface(OM_Stream* stream);
