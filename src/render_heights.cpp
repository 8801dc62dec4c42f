// Heights mode's columns: every room a ray passes through is drawn at its own
// floor and ceiling heights and with its own textures, with the steps where
// the next room's ceiling is lower or its floor higher.
//
// A column keeps the rows still open, top .. bottom. At each portal the near
// room's ceiling and floor close in from both ends to the portal's opening,
// the steps close them further, and the wall that ends the walk fills what is
// left. A walk that meets no wall still ends on something: a background
// wall at the view distance, or at the portal where the hop bound ran out,
// so every row is written. Rows, textures and the per-row floor constants are
// the classic look's, each room's height measured from the eye: in a world
// of convex rooms of one height and one look both draw the same pixels.
//
// Sections (grep for "// ==== "):
//   Rows      Column, row_line, flat, face
//   Column    draw_column_heights
#include <cmath>

#include "math.h"
#include "render_kernels.h"
#include "world.h"

namespace render {
namespace {

// ==== Rows =================================================================

// One column being drawn into one band: rows are given in target rows and
// clipped to the band here.
struct Column {
  const View& v;
  Band* band;
  u32* out;
  f32 xc;
  int r0, r1;
};

// The target row at which a screen height y (in pixels from the top) lies,
// held to the target: the classic look's truncation, NaN included.
inline int row_line(const View& v, f32 y) {
  return static_cast<int>(OM_MaxF32(OM_MinF32(y, static_cast<f32>(v.H)), 0.0f));
}

inline int clamp_rows(int y, int top, int bottom) {
  return y < top ? top : (y > bottom ? bottom : y);
}

// Target rows a .. b of a floor or ceiling at `height`.
void flat(const Column& c, FlatCaches* caches, f32 height, const OM_Surface* texture, int a,
          int b) {
  a = OM_MaxI32(a, c.r0) - c.r0;
  b = OM_MinI32(b, c.r1) - c.r0;
  if (a >= b) return;
  const FlatRows& rows = flat_rows(c.v, c.band, caches, height, a, b);
  flat_run(c.v, c.out, a, b, rows, c.xc, texture_of(texture));
}

// Target rows a .. b of a step's face on the portal crossed at k, its
// texture rows counted from screen row h2 - anchor.
void face(const Column& c, const Crossing& k, const OM_Surface* texture, f32 anchor, f32 wallHeight,
          int a, int b) {
  a = OM_MaxI32(a, c.r0) - c.r0;
  b = OM_MinI32(b, c.r1) - c.r0;
  if (a >= b) return;
  Texture tex = texture_of(texture);
  if (!tex.data) {
    fill_run(c.out, a, b, kUnknownWallColor);
    return;
  }
  int u = wall_u(c.v, k.edge, k.ix, k.iy, tex);
  textured_run(c.v, c.out, a, b, c.r0, tex, u, anchor, wallHeight);
}

}  // namespace

// ==== Column ===============================================================

bool draw_column_heights(const View& v, Band* band, int x, u32* out) {
  f32 rayAngle = static_cast<f32>(x - v.w2) * v.subsequentRayAngle;
  Crossing crossings[kMaxPortalHops + 1];
  int n = 0;
  Hit hit;
  WalkEnd end = walk_ray(v, rayAngle, &hit, [&](const Crossing& k) { crossings[n++] = k; });
  f32 cosA = cosf(rayAngle);
  f32 z = hit.z * cosA;
  // A portal's distance, corrected as the wall's is, never beyond what lies
  // behind it: the walk's rounding slack must not let a near room's rows
  // reach past the wall's.
  f32 behind = z;
  for (int i = n - 1; i >= 0; --i) {
    f32 d = crossings[i].z * cosA;
    behind = d > behind ? behind : d;
    crossings[i].z = behind;
  }

  const Column c = {v,        band,    out, static_cast<f32>(x - v.w2) / static_cast<f32>(v.H),
                    band->r0, band->r1};
  const f32 h2 = static_cast<f32>(v.h2);
  int top = 0, bottom = v.H;
  for (int i = 0; i < n; ++i) {
    const Crossing& k = crossings[i];
    const OM_WorldSector* near = k.from;
    const OM_WorldSector* next = k.to;
    f32 wallHeight = v.projectionDistance / k.z;
    // The near room up to the opening; its floor wins where the two meet.
    int ceilLine = row_line(v, h2 - wallHeight * (near->ceilingHeight - v.camz));
    int floorLine = row_line(v, h2 + wallHeight * (v.camz - near->floorHeight));
    int ceilEnd = clamp_rows(OM_MinI32(ceilLine, floorLine), top, bottom);
    int floorBegin = clamp_rows(floorLine, top, bottom);
    flat(c, &band->ceilings, near->ceilingHeight, near->ceilingTexture, top, ceilEnd);
    flat(c, &band->floors, near->floorHeight, near->floorTexture, floorBegin, bottom);
    top = ceilEnd;
    bottom = floorBegin;
    const OM_Surface* own = world_step_texture(v.world, k.edge);
    if (next->ceilingHeight < near->ceilingHeight) {
      int line =
          clamp_rows(row_line(v, h2 - wallHeight * (next->ceilingHeight - v.camz)), top, bottom);
      face(c, k, own ? own : next->ceilingTexture, wallHeight * (near->ceilingHeight - v.camz),
           wallHeight, top, line);
      top = line;
    }
    if (next->floorHeight > near->floorHeight) {
      int line =
          clamp_rows(row_line(v, h2 + wallHeight * (v.camz - next->floorHeight)), top, bottom);
      face(c, k, own ? own : next->floorTexture, wallHeight * (next->floorHeight - v.camz),
           wallHeight, line, bottom);
      bottom = line;
    }
    if (top >= bottom) return true;
  }

  // The last room and the wall that ends the walk, as the classic look
  // draws them, within the rows still open.
  const OM_WorldSector* sector = hit.sector;
  f32 wallHeight = v.projectionDistance / z;
  f32 ceil = wallHeight * (sector->ceilingHeight - v.camz);
  f32 floor = wallHeight * (v.camz - sector->floorHeight);
  int y0 = row_line(v, h2 - ceil), y1 = row_line(v, h2 + floor);
  int ceilEnd = clamp_rows(OM_MinI32(y0, y1), top, bottom);
  int wallBegin = clamp_rows(y0, top, bottom), wallEnd = clamp_rows(y1, top, bottom);
  flat(c, &band->ceilings, sector->ceilingHeight, sector->ceilingTexture, top, ceilEnd);
  int a = OM_MaxI32(wallBegin, c.r0) - c.r0, b = OM_MinI32(wallEnd, c.r1) - c.r0;
  if (end == kWalkWall) {
    wall_run(v, out, a, b, c.r0, hit, ceil, wallHeight);
  } else {
    fill_run(out, a, b, kBackgroundColor);
  }
  flat(c, &band->floors, sector->floorHeight, sector->floorTexture, wallEnd, bottom);
  return true;
}

}  // namespace render
