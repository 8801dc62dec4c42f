#include "surface.h"

#include <climits>
#include <cstdlib>

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
