// The common head of every object placed in the world.
#pragma once

#include "types.h"

struct GameObject {
  f32 x;
  f32 y;
  f32 z;      // eye height
  f32 angle;  // heading in radians, facing (cos, sin); never wrapped
};
