#include "world.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "collection.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"

static OM_Surface* load_texture(const char* path) {
  OM_Stream* stream = OM_OpenStream(path, OM_STREAM_READ);
  if (!stream) return nullptr;
  OM_Surface* texture = OM_LoadSurface(stream);
  OM_ReleaseStream(stream);
  return texture;
}

static void push_vertex(OM_Collection* vertices, f32 x, f32 y) {
  OM_WorldVertex v = {x, y};
  OM_Collection_Push(vertices, &v);
}

static void push_vertices(OM_Collection* vertices) {
  push_vertex(vertices, 0, 0);
  push_vertex(vertices, 2, 0);
  push_vertex(vertices, 2, 2);
  push_vertex(vertices, 1, 3);
  push_vertex(vertices, 0, 2);
  push_vertex(vertices, 3, 2);
  push_vertex(vertices, 5, 2);
  // The rounded corner of sector 1. The step is 1 / 3.14 radian, not a tenth
  // of pi, so the arc overshoots the quarter circle slightly; every value is
  // rounded to f32 as it is formed, which fixes the stored coordinates.
  const f32 step_divisor = 3.14f;
  for (int i = 0; i <= 5; i++) {
    f32 a = static_cast<f32>(i) / step_divisor;
    f32 x = 3.75f + 1.25f * cosf(a);
    f32 y = 3.75f + 1.25f * sinf(a);
    push_vertex(vertices, x, y);
  }
  push_vertex(vertices, 1, 5);
  push_vertex(vertices, 3, 0);
  push_vertex(vertices, 5, 0);
}

struct SectorPlan {
  const u16 (*edges)[2];
  reg count;
  f32 ceilingHeight;
};

static const u16 kSector0[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 0}};
static const u16 kSector1[][2] = {{2, 5},   {5, 6},   {6, 7},   {7, 8},  {8, 9}, {9, 10},
                                  {10, 11}, {11, 12}, {12, 13}, {13, 3}, {3, 2}};
static const u16 kSector2[][2] = {{14, 15}, {15, 6}, {6, 5}, {5, 14}};

static const SectorPlan kSectors[] = {
    {kSector0, sizeof kSector0 / sizeof kSector0[0], 1.0f},
    {kSector1, sizeof kSector1 / sizeof kSector1[0], 1.0f},
    {kSector2, sizeof kSector2 / sizeof kSector2[0], 2.0f},
};

// (sector, edge) -> (portal_sector, portal_edge), applied in this order.
static const u16 kPortals[][4] = {{2, 1, 0, 4},  {0, 4, 2, 1}, {0, 2, 1, 10},
                                  {1, 10, 0, 2}, {2, 2, 1, 1}, {1, 1, 2, 2}};

OM_World* load_world(const char*) {
  OM_World* w = static_cast<OM_World*>(calloc(1, sizeof(OM_World)));
  if (!w) return nullptr;
  // A texture that cannot be had stays null and is drawn with the fallback.
  w->wallTexture = load_texture("res://TEX_WWHITEWASH");
  w->flatTexture = load_texture("res://TEX_FCONCRETE");

  w->vertices = OM_CreateCollection(18, sizeof(OM_WorldVertex));
  w->sectors = OM_CreateCollection(3, sizeof(OM_WorldSector));
  if (!w->vertices || !w->sectors) {
    release_world(w);
    return nullptr;
  }
  push_vertices(w->vertices);

  for (reg s = 0; s < sizeof kSectors / sizeof kSectors[0]; s++) {
    const SectorPlan& plan = kSectors[s];
    OM_WorldSector sector;
    sector.edges = OM_CreateCollection(plan.count, sizeof(OM_WorldEdge));
    if (!sector.edges) {
      release_world(w);
      return nullptr;
    }
    sector.floorHeight = 0.0f;
    sector.floorTexture = w->flatTexture;
    sector.ceilingHeight = plan.ceilingHeight;
    sector.ceilingTexture = w->flatTexture;
    for (reg e = 0; e < plan.count; e++) {
      OM_WorldEdge edge = {};
      edge.v1 = plan.edges[e][0];
      edge.v2 = plan.edges[e][1];
      edge.type = OM_EDGE_TEXTURE;
      edge.texture = s == 0 ? nullptr : w->wallTexture;
      OM_Collection_Push(sector.edges, &edge);
    }
    OM_Collection_Push(w->sectors, &sector);  // within the initial capacity
  }

  for (const u16* p : kPortals) {
    OM_WorldEdge* edge = world_edge(w, p[0], p[1]);
    edge->type = OM_EDGE_PORTAL;
    edge->texture = nullptr;
    edge->portal_sector = p[2];
    edge->portal_edge = p[3];
  }

  OM_Print("world loaded\n");
  return w;
}

void release_world(OM_World* w) {
  if (!w) return;
  if (w->sectors) {
    for (reg i = 0; i < w->sectors->length; i++) OM_DestroyCollection(world_sector(w, i)->edges);
    OM_DestroyCollection(w->sectors);
  }
  OM_DestroyCollection(w->vertices);
  OM_DestroySurface(w->wallTexture);
  OM_DestroySurface(w->flatTexture);
  free(w);
}

void save_world(const char* filename, OM_World*) {
  char message[512];
  snprintf(message, sizeof message, "Can't open file '%s' for writing!", filename ? filename : "");
  OM_Print(message);
}

// The comparisons and the wrap run in double against pi; the angles, their
// difference and the sum stay f32. This is what decides points lying exactly
// on an edge, so the precision of each step is deliberate.
static const double kPi = 3.141592653589793;
static const double kTwoPi = 6.283185307179586;

OM_WorldSector* get_sector_at(OM_World* w, float x, float y) {
  // The vertex table is fetched once: this runs on every portal crossing.
  const OM_WorldVertex* vertices = world_vertex(w, 0);
  reg vertex_count = world_vertex_count(w);
  reg sectors = world_sector_count(w);
  for (reg i = 0; i < sectors; i++) {
    OM_WorldSector* sector = world_sector(w, i);
    reg edges = sector_edge_count(sector);
    if (edges == 0) continue;
    const OM_WorldEdge* edge = sector_edge(sector, 0);
    f32 sum = 0.0f;
    for (reg e = 0; e < edges; e++, edge++) {
      if (edge->v1 >= vertex_count || edge->v2 >= vertex_count) continue;
      const OM_WorldVertex& p = vertices[edge->v1];
      const OM_WorldVertex& q = vertices[edge->v2];
      f32 theta0 = atan2f(p.y - y, p.x - x);
      f32 theta1 = atan2f(q.y - y, q.x - x);
      f32 d = theta1 - theta0;
      while (d > kPi) d = static_cast<f32>(d - kTwoPi);
      while (d < -kPi) d = static_cast<f32>(d + kTwoPi);
      sum += d;
    }
    if (fabsf(sum) >= kPi) return sector;
  }
  return nullptr;
}

void add_world_vertex(OM_World*, float, float) {}

reg world_sector_index(const OM_World* w, const OM_WorldSector* s) {
  reg count = world_sector_count(w);
  if (!s || count == 0) return count;
  // Compared as addresses: a pointer into another world is simply not here.
  uintptr_t first = reinterpret_cast<uintptr_t>(world_sector(w, 0));
  uintptr_t at = reinterpret_cast<uintptr_t>(s);
  if (at < first || (at - first) % sizeof(OM_WorldSector) != 0) return count;
  reg index = (at - first) / sizeof(OM_WorldSector);
  return index < count ? index : count;
}

bool world_portal_shift(const OM_World* w, const OM_WorldEdge* portal, f32* dx, f32* dy) {
  const OM_WorldEdge* link = portal_target(w, portal);
  if (!link) return false;
  const OM_WorldVertex* a = world_vertex(w, portal->v1);
  const OM_WorldVertex* b = world_vertex(w, portal->v2);
  const OM_WorldVertex* c = world_vertex(w, link->v1);
  const OM_WorldVertex* d = world_vertex(w, link->v2);
  if (!a || !b || !c || !d) return false;
  portal_shift(*a, *b, *c, *d, dx, dy);
  return true;
}
