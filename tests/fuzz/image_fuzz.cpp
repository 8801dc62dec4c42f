// libFuzzer target for the image readers: stb_image behind our own checks,
// and our TGA reader. Whatever the bytes, decoding refuses them with a
// reason or gives a surface of 1 to OM_IMAGE_MAX_SIDE pixels a side whose
// every pixel can be read. Build and run with tests/fuzz/run.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char why[160];
  OM_Surface* s = OM_DecodeImage(data, size, OM_IMAGE_MAX_SIDE, why, sizeof why);
  if (!s) {
    if (!why[0]) abort();  // a refusal always says why
    return 0;
  }
  if (s->w < 1 || s->h < 1 || s->w > OM_IMAGE_MAX_SIDE || s->h > OM_IMAGE_MAX_SIDE ||
      s->step != s->w || s->size != s->w * s->h * 4)
    abort();
  u32 sum = 0;
  for (int i = 0; i < s->w * s->h; ++i) sum += s->data[i];  // every pixel is there
  if (sum == 0x12345678u && s->w == 7) return 1;            // keeps the reads
  OM_DestroySurface(s);
  return 0;
}
