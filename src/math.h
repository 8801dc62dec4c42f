// Scalar clamps and 2D segment, rectangle and foot-point tests.
#pragma once

#include "types.h"

struct OM_Vector {
  f32 x, y, z, w;
};

// The second argument wins ties and every comparison with a NaN.
int OM_MinI32(int a, int b);
int OM_MaxI32(int a, int b);
f32 OM_MinF32(f32 a, f32 b);
f32 OM_MaxF32(f32 a, f32 b);

// Segment (x0,y0)-(x1,y1) against (x2,y2)-(x3,y3); outputs may be null and
// are written only on a hit.
int CheckLineIntersection(f32 x0, f32 y0, f32 x1, f32 y1, f32 x2, f32 y2, f32 x3, f32 y3, f32* ix,
                          f32* iy);
int OM_RectIntersect(f32 x0, f32 y0, f32 x1, f32 y1, f32 x2, f32 y2, f32 x3, f32 y3);
int OM_PointInRect(f32 x, f32 y, f32 x0, f32 y0, f32 x1, f32 y1);
// Both ends included; parallel and zero-length segments never intersect.
// On a miss both outputs become NaN.
int OM_LineIntersect(f32 a0x, f32 a0y, f32 a1x, f32 a1y, f32 b0x, f32 b0y, f32 b1x, f32 b1y,
                     f32* ix, f32* iy);
f32 OM_LineLength(f32 x0, f32 y0, f32 x1, f32 y1);
f32 sqr(f32 x);
f32 dist2(f32 x0, f32 y0, f32 x1, f32 y1);
// Writes the foot point of (px,py) on the segment and returns 1.0; a point
// projecting before the start gets the start point. One projecting on or
// beyond the end, or a zero-length segment, gives 0.0 and NaN outputs.
f32 OM_DistanceFromPointToLine(f32 px, f32 py, f32 x0, f32 y0, f32 x1, f32 y1, f32* ix, f32* iy);
// OM_DistanceFromPointToLine read for what it reports: whether a foot point
// was written.
inline bool OM_HasFootPoint(f32 px, f32 py, f32 x0, f32 y0, f32 x1, f32 y1, f32* ix, f32* iy) {
  return OM_DistanceFromPointToLine(px, py, x0, y0, x1, y1, ix, iy) == 1.0f;
}
