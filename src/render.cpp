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
// The runs that fill a column and their kernels are render_kernels.h.
//
// Sections (grep for "// ==== "):
//   Ray walk   cast_ray
//   Frame      draw_column, draw_band, draw_game_viewport
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

// ==== Ray walk =============================================================

const int kMaxPortalHops = 64;  // no real world nests portals this deep

bool edge_usable(const View& v, const OM_WorldEdge* e) {
  return e->v1 < v.vertexCount && e->v2 < v.vertexCount;
}

// Follows one ray from the camera through portals. False when the column
// must keep its pixels: nothing hit, or the hop bound ran out.
bool cast_ray(const View& v, f32 rayAngle, Hit* out) {
  f32 dirx = cosf(v.angle + rayAngle);
  f32 diry = sinf(v.angle + rayAngle);
  f32 ox = v.camx, oy = v.camy;
  const OM_WorldSector* sector = player->sector;
  const OM_WorldEdge* skip = nullptr;
  for (int hops = 0;; ++hops) {
    f32 ex = ox + v.viewDistance * dirx;
    f32 ey = oy + v.viewDistance * diry;
    f32 sAx = ex - ox, sAy = ey - oy;
    f32 z = v.viewDistance;
    const OM_WorldEdge* hit = nullptr;
    f32 hx = 0, hy = 0;
    const OM_WorldEdge* edges = sector_edge(sector, 0);
    reg count = sector_edge_count(sector);
    for (reg i = 0; i < count; ++i) {
      const OM_WorldEdge* e = edges + i;
      if (e == skip || !edge_usable(v, e)) continue;
      const OM_WorldVertex p = v.vertices[e->v1];
      const OM_WorldVertex q = v.vertices[e->v2];
      // OM_LineIntersect and OM_LineLength, term for term.
      f32 sBx = q.x - p.x, sBy = q.y - p.y;
      f32 dx = ox - p.x, dy = oy - p.y;
      f32 D = -sBx * sAy + sAx * sBy;
      f32 sb = (-sAy * dx + sAx * dy) / D;
      f32 ta = (sBx * dy - sBy * dx) / D;
      if (!(sb >= 0 && sb <= 1 && ta >= 0 && ta <= 1)) continue;
      f32 ix = ox + ta * sAx, iy = oy + ta * sAy;
      f32 lx = ox - ix, ly = oy - iy;
      f32 d = sqrtf(lx * lx + ly * ly);
      if (d < z) {
        z = d;
        hit = e;
        hx = ix;
        hy = iy;
      }
    }
    if (!hit) return false;
    *out = {sector, hit, z, hx, hy, false};
    if (hit->type != OM_EDGE_PORTAL || draw_portals == 0) return true;
    const OM_WorldSector* next = world_sector(v.world, hit->portal_sector);
    const OM_WorldEdge* entry = sector_edge(next, hit->portal_edge);
    if (!entry || !edge_usable(v, entry)) {
      out->brokenLink = true;
      return true;
    }
    if (hops == kMaxPortalHops) return false;
    f32 shiftx, shifty;
    portal_shift(v.vertices[hit->v1], v.vertices[hit->v2], v.vertices[entry->v1],
                 v.vertices[entry->v2], &shiftx, &shifty);
    ox = ox + shiftx;
    oy = oy + shifty;
    sector = next;
    skip = entry;
  }
}

// ==== Frame ================================================================

// Casts the ray of column x and draws the band's rows of it into out. False
// when the column keeps its pixels.
bool draw_column(const View& v, Band* band, int x, u32* out) {
  f32 rayAngle = static_cast<f32>(x - v.w2) * v.subsequentRayAngle;
  Hit hit;
  if (!cast_ray(v, rayAngle, &hit)) return false;
  f32 z = hit.z * cosf(rayAngle);
  const OM_WorldSector* sector = hit.sector;
  f32 wallHeight = v.projectionDistance / z;
  f32 ceil = wallHeight * (sector->ceilingHeight - v.camz);
  f32 floor = wallHeight * (v.camz - sector->floorHeight);
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
    const FlatRows& rows = floor_rows(v, band, sector->floorHeight, floorBegin);
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
      if (draw_column(v, band, x, band->stage + count * kBandRows)) xs[count++] = x;
    }
    if (count == 0) continue;
    int stride = count == kChunk ? columnStep : 0;  // then xs[j] == x0 + columnStep * j
    copy_out(v, pixels, *band, xs, count, stride);
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
  if (!projection || !projection->data || !player || !player->sector || !world || !OM_camera)
    return;
  if (projection->w <= 0 || projection->h <= 0) return;

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

  // Targets taller than one band cast their rays again for every band; the
  // results are the same each time.
  Band band;
  for (int r0 = 0; r0 < v.H; r0 += kBandRows) {
    band.r0 = r0;
    band.r1 = OM_MinI32(r0 + kBandRows, v.H);
    draw_band(v, projection->data, first, columnStep, &band);
  }
}
