// Scalar clamps and 2D segment, rectangle and foot-point tests.
#pragma once

#include <cmath>

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
// The squared distance from (px, py) to the segment a-b and, in *t, where
// along it (0 at a, 1 at b) the nearest point lies. A zero-length segment
// is its point a.
f32 OM_SegmentDistance2(f32 px, f32 py, f32 ax, f32 ay, f32 bx, f32 by, f32* t);
// OM_DistanceFromPointToLine read for what it reports: whether a foot point
// was written.
inline bool OM_HasFootPoint(f32 px, f32 py, f32 x0, f32 y0, f32 x1, f32 y1, f32* ix, f32* iy) {
  return OM_DistanceFromPointToLine(px, py, x0, y0, x1, y1, ix, iy) == 1.0f;
}

// ---- Segment tests in double ----
// A difference of two f32 coordinates is exact in double, and their products
// near enough, so a point lying on a line is seen on it rather than a
// rounding error to either side. P is any record with f32 members x and y (a
// world vertex, a corner of a drawn outline).

// The same place, to the bit (0 and -0 alike).
template <class P>
bool OM_SamePoint(const P& a, const P& b) {
  return a.x == b.x && a.y == b.y;
}
// Twice the signed area of a, b, c: which side of a -> b the point c lies
// on, 0 when the three are in line.
template <class P>
f64 OM_Orient(const P& a, const P& b, const P& c) {
  return ((f64)b.x - a.x) * ((f64)c.y - a.y) - ((f64)b.y - a.y) * ((f64)c.x - a.x);
}
// For c in line with a and b: whether it lies between them, ends included.
template <class P>
bool OM_Between(const P& a, const P& b, const P& c) {
  return fminf(a.x, b.x) <= c.x && c.x <= fmaxf(a.x, b.x) && fminf(a.y, b.y) <= c.y &&
         c.y <= fmaxf(a.y, b.y);
}
// Whether segments p-q and a-b have any point in common, ends included.
template <class P>
bool OM_SegmentsMeet(const P& p, const P& q, const P& a, const P& b) {
  const f64 o1 = OM_Orient(p, q, a), o2 = OM_Orient(p, q, b);
  const f64 o3 = OM_Orient(a, b, p), o4 = OM_Orient(a, b, q);
  if (((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0)) && ((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0)))
    return true;
  return (o1 == 0 && OM_Between(p, q, a)) || (o2 == 0 && OM_Between(p, q, b)) ||
         (o3 == 0 && OM_Between(a, b, p)) || (o4 == 0 && OM_Between(a, b, q));
}
