// The plain per-pixel reference the fast first-person renderer must match exactly.
#include "render_reference.h"

#include <cmath>

#include "collection.h"
#include "editor.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "surface.h"
#include "world.h"

namespace {

const int kMaxHops = 64;
const u32 kRed = 0xFFFF0000;
const u32 kMagenta = 0xFFFF00FF;

bool vertices_valid(OM_WorldEdge* e) {
  return world_vertex(world, e->v1) && world_vertex(world, e->v2);
}

// trunc(value) rem n, with the sign of value; a value whose truncation is no
// int (NaN, infinite, too large) counts as 0.
int trunc_rem(f32 value, int n) {
  if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
  return static_cast<int>(value) % n;
}

OM_Surface* usable(OM_Surface* t) {
  if (!t) t = dummyTexture;
  if (!t || !t->data || t->w <= 0 || t->h <= 0) return nullptr;
  return t;
}

u32 texel(OM_Surface* t, int u, int v) { return t->data[u + t->step * v]; }

bool same_point(const OM_WorldVertex* a, const OM_WorldVertex* b) {
  return a->x == b->x && a->y == b->y;
}

// Edges a and b join the same two points.
bool coincide(OM_WorldEdge* a, OM_WorldEdge* b) {
  OM_WorldVertex* p = world_vertex(world, a->v1);
  OM_WorldVertex* q = world_vertex(world, a->v2);
  OM_WorldVertex* r = world_vertex(world, b->v1);
  OM_WorldVertex* t = world_vertex(world, b->v2);
  return (same_point(p, r) && same_point(q, t)) || (same_point(p, t) && same_point(q, r));
}

// One pixel of floor (ceilingHeight unused) or ceiling.
u32 flat_pixel(OM_Surface* tex, bool ceiling, f32 ceilingHeight, int x, int y, int W2, int H2,
               int H) {
  if (!tex) return kMagenta;
  Camera* cam = OM_camera;
  f32 c = cosf(cam->object.angle);
  f32 s = sinf(cam->object.angle);
  f32 yd = static_cast<f32>(y - H2) / static_cast<f32>(H);
  f32 zd = ceiling ? (cam->object.z - ceilingHeight) / yd : cam->object.z / yd;
  f32 xd = (static_cast<f32>(x - W2) / static_cast<f32>(H)) * zd;
  f32 wy = cam->object.y + xd * c + zd * s;
  f32 wx = cam->object.x + zd * c - xd * s;
  int u = trunc_rem(fabsf(static_cast<f32>(tex->w) * wy), tex->w);
  int v = trunc_rem(fabsf(static_cast<f32>(tex->h) * wx), tex->h);
  return texel(tex, u, v);
}

}  // namespace

void reference_draw_game_viewport(OM_Surface* projection, int firstColumn, int columnStep) {
  if (!projection || !player || !player->sector || !world || !OM_camera) return;
  Camera* cam = OM_camera;
  int W = projection->w;
  int H = projection->h;
  u16 w2 = static_cast<u16>(W / 2);
  u16 h2 = static_cast<u16>(H / 2);
  f32 projectionDistance = w2 / tanf(cam->fov / 2.0f);
  f32 subsequentRayAngle = cam->fov / static_cast<f32>(W);

  for (int x = firstColumn; x < W && x <= 0xFFFF; x += columnStep) {
    f32 rayAngle = static_cast<f32>(x - w2) * subsequentRayAngle;
    f32 ox = cam->object.x;
    f32 oy = cam->object.y;
    OM_WorldSector* sector = player->sector;
    OM_WorldEdge* curEdge = nullptr;
    OM_WorldEdge* hitEdge = nullptr;
    // After a hop: how near an edge may be (the entry distance less a
    // rounding slack), and the entry edge's ends, which no edge taken may share.
    f32 nearest = -INFINITY;
    f32 z = 0, ix = 0, iy = 0;
    bool drawn = true;
    bool brokenPortal = false;
    for (int hops = 0;; ++hops) {
      f32 ex = ox + cam->view_distance * cosf(cam->object.angle + rayAngle);
      f32 ey = oy + cam->view_distance * sinf(cam->object.angle + rayAngle);
      z = cam->view_distance;
      hitEdge = nullptr;
      for (reg i = 0; i < sector_edge_count(sector); ++i) {
        OM_WorldEdge* e = sector_edge(sector, i);
        if (e == curEdge || !vertices_valid(e)) continue;
        OM_WorldVertex* p = world_vertex(world, e->v1);
        OM_WorldVertex* q = world_vertex(world, e->v2);
        f32 hx, hy;
        if (!OM_LineIntersect(ox, oy, ex, ey, p->x, p->y, q->x, q->y, &hx, &hy)) continue;
        f32 d = OM_LineLength(ox, oy, hx, hy);
        if (curEdge && coincide(e, curEdge)) continue;
        if (d < z && d >= nearest) {
          z = d;
          hitEdge = e;
          ix = hx;
          iy = hy;
        }
      }
      if (!hitEdge) {
        drawn = false;
        break;
      }
      if (hitEdge->type != OM_EDGE_PORTAL || draw_portals == 0) break;
      OM_WorldEdge* target = world_edge(world, hitEdge->portal_sector, hitEdge->portal_edge);
      if (!target || !vertices_valid(target)) {
        brokenPortal = true;
        break;
      }
      if (hops == kMaxHops) {
        drawn = false;
        break;
      }
      sector = world_sector(world, hitEdge->portal_sector);
      curEdge = target;
      nearest = z - (1.0f / 1024.0f + z * (1.0f / 65536.0f));
      // The midpoint shift spelled out here rather than shared with the
      // renderer, so that a fault in one shows against the other.
      OM_WorldVertex* a = world_vertex(world, hitEdge->v1);
      OM_WorldVertex* b = world_vertex(world, hitEdge->v2);
      OM_WorldVertex* c = world_vertex(world, curEdge->v1);
      OM_WorldVertex* d = world_vertex(world, curEdge->v2);
      f32 m0x = (a->x + b->x) / 2.0f;
      f32 m0y = (a->y + b->y) / 2.0f;
      f32 m1x = (c->x + d->x) / 2.0f;
      f32 m1y = (c->y + d->y) / 2.0f;
      ox = ox + (m1x - m0x);
      oy = oy + (m1y - m0y);
    }
    if (!drawn) continue;

    z = z * cosf(rayAngle);
    f32 wallHeight = projectionDistance / z;
    f32 ceil = wallHeight * (sector->ceilingHeight - cam->object.z);
    f32 floor = wallHeight * (cam->object.z + sector->floorHeight);
    int y0 = static_cast<int>(OM_MaxF32(OM_MinF32(h2 - ceil, static_cast<f32>(H)), 0.0f));
    int y1 = static_cast<int>(OM_MaxF32(OM_MinF32(h2 + floor, static_cast<f32>(H)), 0.0f));

    OM_Surface* wallTexture = nullptr;
    int u = 0;
    if (hitEdge->type == OM_EDGE_TEXTURE && !brokenPortal) {
      wallTexture = usable(hitEdge->texture);
      if (wallTexture) {
        OM_WorldVertex* p = world_vertex(world, hitEdge->v1);
        OM_WorldVertex* q = world_vertex(world, hitEdge->v2);
        f32 dx = q->x - p->x;
        f32 dy = q->y - p->y;
        f32 tw = static_cast<f32>(wallTexture->w);
        // A zero extent along the chosen axis would divide by zero: take the
        // other axis then.
        if (truncf(fabsf(dx)) > truncf(fabsf(dy)) || dy == 0.0f) {
          u = trunc_rem(tw * (ix - p->x) / dx, wallTexture->w);
        } else {
          u = trunc_rem(tw * (iy - p->y) / dy, wallTexture->w);
        }
        if (u < 0) u += wallTexture->w;
      }
    }

    u32* column = projection->data + x;
    for (int y = 0; y < y0; ++y) {
      column[projection->step * y] =
          flat_pixel(usable(sector->ceilingTexture), true, sector->ceilingHeight, x, y, w2, h2, H);
    }
    for (int y = y0; y < y1; ++y) {
      u32 pixel = kMagenta;
      if (brokenPortal) {
        pixel = kMagenta;
      } else if (hitEdge->type == OM_EDGE_COLOR) {
        pixel = hitEdge->color;
      } else if (hitEdge->type == OM_EDGE_PORTAL) {
        pixel = kRed;
      } else if (hitEdge->type == OM_EDGE_TEXTURE && wallTexture) {
        f32 row = floorf(static_cast<f32>(y - h2) + ceil);
        int v = trunc_rem(row * static_cast<f32>(wallTexture->h) / wallHeight, wallTexture->h);
        pixel = texel(wallTexture, u, v < 0 ? -v : v);
      }
      column[projection->step * y] = pixel;
    }
    for (int y = OM_MaxI32(y1, 0); y < H; ++y) {
      column[projection->step * y] =
          flat_pixel(usable(sector->floorTexture), false, 0.0f, x, y, w2, h2, H);
    }
  }
}
