// The first-person renderer: draw_game_viewport casts one ray per column
// from OM_camera through the world's portals and fills the column with the
// ceiling, the wall it met and the floor.
//
// Every pixel is computed with the same f32 operations
// in the same order as the plain per-pixel formulas; the speed comes from
// hoisting what is constant per frame, per column and per row, from SSE2 and
// AVX2 kernels that mask instead of dividing for power-of-two textures, and
// from drawing 16 columns at a time into a staging area that reaches the
// target row by row, a cache line at a time. An interlaced call does not pay
// for the half it skips: per-row constants are set up only for the rows that
// a drawn column reaches, and a chunk of every other column still reaches the
// target in whole vectors, merged with the other half read back from it.
// The runs that fill a column, the ray walk and their kernels are
// render_kernels.h; heights mode's columns are render_heights.cpp.
//
// Sections (grep for "// ==== "):
//   Frame      draw_column, draw_band, fill_columns, draw_game_viewport
#include "render.h"

#include <cmath>

#include "editor.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render_kernels.h"
#include "surface.h"
#include "world.h"

int interlace = 1;
int renderer_simd = -1;

namespace render {
namespace {

// ==== Frame ================================================================

// Casts the ray of column x and draws the band's rows of it into out. False
// when the column keeps its pixels.
bool draw_column(const View& v, Band* band, int x, u32* out) {
  f32 rayAngle = static_cast<f32>(x - v.w2) * v.subsequentRayAngle;
  Hit hit;
  if (walk_ray(v, rayAngle, &hit, [](const Crossing&) {}) != kWalkWall) return false;
  f32 z = hit.z * cosf(rayAngle);
  const OM_WorldSector* sector = hit.sector;
  f32 wallHeight = v.projectionDistance / z;
  f32 ceil = wallHeight * (sector->ceilingHeight - v.camz);
  // The floor height joins the eye height here and takes no part in the
  // floor rows: this look draws a raised floor lower, on purpose. Heights
  // mode is where floors stand at their heights.
  f32 floor = wallHeight * (v.camz + sector->floorHeight);
  f32 fH = static_cast<f32>(v.H);
  f32 top = static_cast<f32>(v.h2) - ceil, bottom = static_cast<f32>(v.h2) + floor;
  int y0 = static_cast<int>(OM_MaxF32(OM_MinF32(top, fH), 0.0f));
  int y1 = static_cast<int>(OM_MaxF32(OM_MinF32(bottom, fH), 0.0f));
  f32 xc = static_cast<f32>(x - v.w2) / fH;
  int r0 = band->r0, r1 = band->r1;

  // Band-relative row ranges. The floor is drawn last and wins where it
  // overlaps the ceiling, so the ceiling stops at the floor.
  int ceilEnd = OM_MinI32(OM_MinI32(y0, y1), r1) - r0;
  int wallBegin = OM_MaxI32(y0, r0) - r0, wallEnd = OM_MinI32(y1, r1) - r0;
  int floorBegin = OM_MaxI32(y1, r0) - r0, floorEnd = r1 - r0;
  if (ceilEnd > 0) {
    const FlatRows& rows = ceiling_rows(v, band, sector->ceilingHeight, ceilEnd);
    flat_run(v, out, 0, ceilEnd, rows, xc, texture_of(sector->ceilingTexture));
  }
  wall_run(v, out, wallBegin, wallEnd, r0, hit, ceil, wallHeight);
  if (floorBegin < floorEnd) {
    const FlatRows& rows = floor_rows(v, band, 0.0f, floorBegin);
    flat_run(v, out, floorBegin, floorEnd, rows, xc, texture_of(sector->floorTexture));
  }
  return true;
}

void draw_band(const View& v, u32* pixels, int first, int columnStep, Band* band) {
  // Floor and ceiling rows are set up on demand, only as far as some column
  // of this call reaches: the floor from the bottom up, the ceiling from the top down.
  reset_flat_caches(band);

  int end = OM_MinI32(v.W, 0x10000);  // columns are numbered in 16 bits
  for (int x0 = first; x0 < end; x0 += kChunk * columnStep) {
    int xs[kChunk];
    int count = 0, tried = 0;
    for (int x = x0; x < end && tried < kChunk; x += columnStep, ++tried) {
      u32* out = band->stage + count * kBandRows;
      bool drawn = v.heights ? draw_column_heights(v, band, x, out) : draw_column(v, band, x, out);
      if (drawn) xs[count++] = x;
    }
    if (count == 0) continue;
    int stride = count == kChunk ? columnStep : 0;  // then xs[j] == x0 + columnStep * j
    copy_out(v, pixels, *band, xs, count, stride);
  }
}

void fill_columns(OM_Surface* s, int first, int columnStep, u32 color) {
  for (int y = 0; y < s->h; ++y) {
    u32* row = s->data + static_cast<reg>(s->step) * y;
    for (int x = first; x < s->w; x += columnStep) row[x] = color;
  }
}

}  // namespace
}  // namespace render

using namespace render;

void draw_game_viewport(OM_Surface* projection) {
  static int interlaceItterator = 0;
  int first = 0, columnStep = 1;
  if (interlace) {
    first = interlaceItterator & 1;
    columnStep = 2;
    // Wraps instead of overflowing; the parity keeps alternating.
    interlaceItterator = static_cast<int>(static_cast<u32>(interlaceItterator) + 1u);
  }
  if (!projection || !projection->data || projection->w <= 0 || projection->h <= 0) return;
  if (!player || !player->sector || !world || !OM_camera) {
    // Heights mode leaves no old pixels, even where there is no room to see.
    if (heights_mode) fill_columns(projection, first, columnStep, kBackgroundColor);
    return;
  }

  const Camera* cam = OM_camera;
  View v;
  v.world = world;
  v.vertices = world_vertex(world, 0);
  v.vertexCount = world_vertex_count(world);
  v.camx = cam->object.x;
  v.camy = cam->object.y;
  v.camz = cam->object.z;
  v.angle = cam->object.angle;
  v.viewDistance = cam->view_distance;
  v.c = cosf(v.angle);
  v.s = sinf(v.angle);
  v.W = projection->w;
  v.H = projection->h;
  v.step = projection->step;
  u16 w2 = static_cast<u16>(v.W / 2), h2 = static_cast<u16>(v.H / 2);
  v.w2 = w2;
  v.h2 = h2;
  v.projectionDistance = w2 / tanf(cam->fov / 2.0f);
  v.subsequentRayAngle = cam->fov / static_cast<f32>(v.W);
  v.simd = renderer_simd < 0 ? best_simd() : OM_MinI32(renderer_simd, best_simd());
  v.heights = heights_mode != 0;

  // Targets taller than one band cast their rays again for every band; the
  // results are the same each time.
  Band band;
  for (int r0 = 0; r0 < v.H; r0 += kBandRows) {
    band.r0 = r0;
    band.r1 = OM_MinI32(r0 + kBandRows, v.H);
    draw_band(v, projection->data, first, columnStep, &band);
  }
}
