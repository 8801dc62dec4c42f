#include "math.h"

#include <cmath>
#include <limits>

int OM_MinI32(int a, int b) { return b <= a ? b : a; }
int OM_MaxI32(int a, int b) { return b >= a ? b : a; }
f32 OM_MinF32(f32 a, f32 b) { return b > a ? a : b; }
f32 OM_MaxF32(f32 a, f32 b) { return a > b ? a : b; }

static const f32 kNaN = std::numeric_limits<f32>::quiet_NaN();

// Shared by both intersection tests: parameters s (along B) and t (along A),
// each rounded to f32 before the range tests.
static int intersect(f32 a0x, f32 a0y, f32 a1x, f32 a1y, f32 b0x, f32 b0y, f32 b1x, f32 b1y,
                     f32* ix, f32* iy) {
  f32 sAx = a1x - a0x, sAy = a1y - a0y;
  f32 sBx = b1x - b0x, sBy = b1y - b0y;
  f32 dx = a0x - b0x, dy = a0y - b0y;
  f32 D = -sBx * sAy + sAx * sBy;
  f32 s = (-sAy * dx + sAx * dy) / D;
  f32 t = (sBx * dy - sBy * dx) / D;
  if (s >= 0 && s <= 1 && t >= 0 && t <= 1) {
    *ix = a0x + t * sAx;
    *iy = a0y + t * sAy;
    return 1;
  }
  return 0;
}

int OM_LineIntersect(f32 a0x, f32 a0y, f32 a1x, f32 a1y, f32 b0x, f32 b0y, f32 b1x, f32 b1y,
                     f32* ix, f32* iy) {
  if (intersect(a0x, a0y, a1x, a1y, b0x, b0y, b1x, b1y, ix, iy)) return 1;
  *ix = kNaN;
  *iy = kNaN;
  return 0;
}

int CheckLineIntersection(f32 x0, f32 y0, f32 x1, f32 y1, f32 x2, f32 y2, f32 x3, f32 y3, f32* ix,
                          f32* iy) {
  f32 hx, hy;
  if (!intersect(x0, y0, x1, y1, x2, y2, x3, y3, &hx, &hy)) return 0;
  if (ix) *ix = hx;
  if (iy) *iy = hy;
  return 1;
}

int OM_RectIntersect(f32 x0, f32 y0, f32 x1, f32 y1, f32 x2, f32 y2, f32 x3, f32 y3) {
  if (x2 > x1) return 0;
  if (x0 > x3) return 0;
  if (y2 > y1) return 0;
  if (y0 > y3) return 0;
  return 1;
}

int OM_PointInRect(f32 x, f32 y, f32 x0, f32 y0, f32 x1, f32 y1) {
  return x0 <= x && x < x1 && y0 <= y && y < y1;
}

f32 OM_LineLength(f32 x0, f32 y0, f32 x1, f32 y1) {
  f32 dx = x0 - x1, dy = y0 - y1;
  return sqrtf(dx * dx + dy * dy);
}

f32 sqr(f32 x) { return x * x; }

f32 dist2(f32 x0, f32 y0, f32 x1, f32 y1) { return sqr(x0 - x1) + sqr(y0 - y1); }

f32 OM_DistanceFromPointToLine(f32 px, f32 py, f32 x0, f32 y0, f32 x1, f32 y1, f32* ix, f32* iy) {
  f32 length2 = dist2(x0, y0, x1, y1);
  f32 w = x1 - x0, h = y1 - y0;
  f32 t = ((px - x0) * w + (py - y0) * h) / length2;
  t = OM_MinF32(1.0f, OM_MaxF32(0.0f, t));
  if (t >= 0 && t < 1) {
    *ix = x0 + t * w;
    *iy = y0 + t * h;
    return 1.0f;
  }
  *ix = kNaN;
  *iy = kNaN;
  return 0.0f;
}

f32 OM_SegmentDistance2(f32 px, f32 py, f32 ax, f32 ay, f32 bx, f32 by, f32* t) {
  f32 dx = bx - ax, dy = by - ay;
  f32 length2 = dx * dx + dy * dy;
  f32 s = length2 > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0f;
  s = s < 0.0f ? 0.0f : (s > 1.0f ? 1.0f : s);
  *t = s;
  f32 qx = ax + s * dx - px, qy = ay + s * dy - py;
  return qx * qx + qy * qy;
}
