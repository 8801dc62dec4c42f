// Image decoding on Windows, through the Windows Imaging Component. The
// component-object runtime must already be initialised on this thread.
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>

#include "stream.h"
#include "surface.h"

typedef long long i64;
typedef unsigned long long u64;

namespace {

template <typename T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

u32 le(const u8* p, int bytes) {
  u32 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// One channel of a bit-field pixel, scaled to 8 bits; `none` when the file
// has no mask for it.
u32 channel(u32 pixel, u32 mask, u32 none) {
  if (!mask) return none;
  int shift = 0, width = 0;
  while (!(mask >> shift & 1)) ++shift;
  while (shift + width < 32 && (mask >> (shift + width) & 1)) ++width;
  u32 v = (pixel & mask) >> shift, top = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  return width == 8 ? v : u32(u64(v) * 255 / top);
}

// 32-bit bitmaps with bit-field masks. The decoder of some Windows versions
// (and of wine) turns down masks other than the common B, G, R, A order,
// which our own textures use (R, G, B, A from the high byte down); those
// pixels are unpacked here from the file's own masks instead.
OM_Surface* decode_bitfields(IStream* memory, int maxSide) {
  STATSTG stat;
  HGLOBAL block = nullptr;
  if (FAILED(memory->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(memory, &block)))
    return nullptr;
  reg size = reg(stat.cbSize.QuadPart);
  const u8* b = static_cast<const u8*>(GlobalLock(block));
  if (!b) return nullptr;
  OM_Surface* surface = nullptr;
  if (size >= 70 && b[0] == 'B' && b[1] == 'M') {
    u32 offset = le(b + 10, 4), header = le(b + 14, 4), compression = le(b + 30, 4);
    i32 w = i32(le(b + 18, 4)), h = i32(le(b + 22, 4));
    bool top_down = h < 0;
    i64 rows = top_down ? -i64(h) : h;
    u32 masks[4] = {le(b + 54, 4), le(b + 58, 4), le(b + 62, 4), header >= 56 ? le(b + 66, 4) : 0};
    bool fits = w > 0 && rows > 0 && w <= maxSide && rows <= maxSide && offset <= size &&
                i64(w) * rows * 4 <= i64(size - offset);
    if (le(b + 28, 2) == 32 && (compression == 3 || compression == 6) && header >= 40 && fits &&
        i64(w) * rows <= 0x1FFFFFFF && masks[0] && masks[1] && masks[2]) {
      surface = OM_CreateSurface(w, int(rows));
    }
    for (int y = 0; surface && y < surface->h; ++y) {
      const u8* row = b + offset + reg(top_down ? y : surface->h - 1 - y) * reg(w) * 4;
      for (int x = 0; x < w; ++x) {
        u32 p = le(row + 4 * x, 4);
        surface->data[x + surface->step * y] =
            channel(p, masks[3], 0xFF) << 24 | channel(p, masks[0], 0) << 16 |
            channel(p, masks[1], 0) << 8 | channel(p, masks[2], 0);
      }
    }
  }
  GlobalUnlock(block);
  return surface;
}

struct Decoding {
  IStream* memory = nullptr;
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  ~Decoding() {
    release(converter);
    release(frame);
    release(decoder);
    release(factory);
    release(memory);
  }
};

}  // namespace

OM_Surface* OM_DecodePlatformImage(const u8* bytes, reg length, int maxSide, char* why,
                                   reg whySize) {
  auto refuse = [&](const char* text) -> OM_Surface* {
    if (why && whySize) snprintf(why, whySize, "%s", text);
    return nullptr;
  };
  if (length > 0x7FFFFFFF) return refuse("the file is too large");
  Decoding d;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &d.memory))) return refuse("out of memory");
  ULONG written = 0;
  if (FAILED(d.memory->Write(bytes, ULONG(length), &written)) || written != length)
    return refuse("out of memory");
  // The decoder reads the memory stream from its current position.
  LARGE_INTEGER start = {};
  if (FAILED(d.memory->Seek(start, STREAM_SEEK_SET, nullptr))) return refuse("out of memory");
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&d.factory))))
    return refuse("the Windows Imaging Component is not available");
  const char* unknown = "not an image this program can read, or damaged (PNG, BMP, TGA, JPEG)";
  if (FAILED(d.factory->CreateDecoderFromStream(d.memory, nullptr, WICDecodeMetadataCacheOnLoad,
                                                &d.decoder)))
    return refuse(unknown);
  if (FAILED(d.decoder->GetFrame(0, &d.frame))) return refuse(unknown);
  // The header's size first: one out of bounds is refused before any pixel
  // is allocated.
  UINT w = 0, h = 0;
  if (FAILED(d.frame->GetSize(&w, &h))) return refuse(unknown);
  if (w < 1 || h < 1 || w > UINT(maxSide) || h > UINT(maxSide)) {
    if (why && whySize)
      snprintf(why, whySize, "%u x %u pixels: an image has 1 to %d on each side", w, h, maxSide);
    return nullptr;
  }
  if (FAILED(d.factory->CreateFormatConverter(&d.converter))) return refuse("out of memory");
  if (FAILED(d.converter->Initialize(d.frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
    OM_Surface* s = decode_bitfields(d.memory, maxSide);
    return s ? s : refuse(unknown);
  }
  if (FAILED(d.converter->GetSize(&w, &h)) || w > UINT(maxSide) || h > UINT(maxSide))
    return refuse(unknown);
  OM_Surface* surface = OM_CreateSurface(int(w), int(h));
  if (!surface) return refuse("out of memory");
  if (FAILED(d.converter->CopyPixels(nullptr, w * 4, h * w * 4,
                                     reinterpret_cast<BYTE*>(surface->data)))) {
    OM_DestroySurface(surface);
    return refuse("damaged: the pixels do not decode");
  }
  return surface;
}
