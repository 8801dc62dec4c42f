// The world model: the built-in world, the texture table, the invariant
// check and small lookups. The text format is world_file.cpp; the index by
// place and get_sector_at are world_index.cpp.
//
// ==== Textures ====
// ==== Images ====
// ==== The built-in world ====
// ==== Creation and release ====
// ==== The invariant ====
// ==== Small lookups ====
#include "world.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "collection.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "world_index.h"

// ==== Textures ====

const char* const OM_worldTextureNames[OM_WORLD_TEXTURE_COUNT] = {
    "TEX_CWHITEWASH", "TEX_FCONCRETE", "TEX_WBRICKS", "TEX_WDUMMY", "TEX_WWHITEWASH",
};

reg world_texture_index(const char* name) {
  if (!name) return OM_WORLD_TEXTURE_COUNT;
  for (reg i = 0; i < OM_WORLD_TEXTURE_COUNT; i++)
    if (strcmp(name, OM_worldTextureNames[i]) == 0) return i;
  return OM_WORLD_TEXTURE_COUNT;
}

OM_Surface* world_slot_texture(OM_World* w, reg i) {
  if (!w) return nullptr;
  if (i >= OM_WORLD_TEXTURE_COUNT) {
    const OM_WorldImage* image = world_image(w, i - OM_WORLD_TEXTURE_COUNT);
    return image && image->active ? image->surface : nullptr;
  }
  if (!w->textures[i]) {
    char path[64];
    snprintf(path, sizeof path, "res://%s", OM_worldTextureNames[i]);
    OM_Stream* stream = OM_OpenStream(path, OM_STREAM_READ);
    if (stream) {
      w->textures[i] = OM_LoadSurface(stream);
      OM_ReleaseStream(stream);
    }
  }
  return w->textures[i];
}

const char* world_slot_name(const OM_World* w, reg slot) {
  if (slot < OM_WORLD_TEXTURE_COUNT) return OM_worldTextureNames[slot];
  const OM_WorldImage* image = world_image(w, slot - OM_WORLD_TEXTURE_COUNT);
  return image && image->active ? image->name : nullptr;
}

reg world_texture_slot(const OM_World* w, const char* name) {
  if (!name) return world_texture_slots(w);
  reg i = world_texture_index(name);
  if (i < OM_WORLD_TEXTURE_COUNT) return i;
  for (reg k = 0; k < world_image_count(w); k++) {
    const OM_WorldImage* image = world_image(w, k);
    if (image->active && strcmp(image->name, name) == 0) return OM_WORLD_TEXTURE_COUNT + k;
  }
  return world_texture_slots(w);
}

OM_Surface* world_texture(OM_World* w, const char* name) {
  return world_slot_texture(w, world_texture_slot(w, name));
}

const char* world_texture_name(const OM_World* w, const OM_Surface* texture) {
  if (!texture) return "none";
  if (!w) return nullptr;
  for (reg i = 0; i < OM_WORLD_TEXTURE_COUNT; i++)
    if (w->textures[i] == texture) return OM_worldTextureNames[i];
  for (reg k = 0; k < world_image_count(w); k++) {
    const OM_WorldImage* image = world_image(w, k);
    if (image->active && image->surface == texture) return image->name;
  }
  return nullptr;
}

OM_Surface* world_step_texture(const OM_World* w, const OM_WorldEdge* portal) {
  if (!w || !portal || portal->type != OM_EDGE_PORTAL || portal->portal_step == 0) return nullptr;
  reg slot = portal->portal_step - 1u;
  if (slot < OM_WORLD_TEXTURE_COUNT) return w->textures[slot];
  const OM_WorldImage* image = world_image(w, slot - OM_WORLD_TEXTURE_COUNT);
  return image ? image->surface : nullptr;
}

// ==== Images ====

bool world_image_name_ok(const char* name, reg n, char* why, reg whySize) {
  if (n == 0 || n > OM_WORLD_IMAGE_NAME_MAX)
    return world_refuse(why, whySize, "an image's name has 1 to %zu characters",
                        OM_WORLD_IMAGE_NAME_MAX);
  for (reg i = 0; i < n; i++) {
    char c = name[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-' || c == '.';
    if (!ok)
      return world_refuse(why, whySize,
                          "an image's name has only letters, digits, '_', '-' and '.'");
  }
  if ((n == 4 && memcmp(name, "none", 4) == 0) || (n >= 4 && memcmp(name, "TEX_", 4) == 0))
    return world_refuse(why, whySize,
                        "an image can't be called 'none' or start with 'TEX_' (the program's own)");
  return true;
}

bool world_image_path_ok(const char* path, reg n, char* why, reg whySize) {
  if (n == 0 || n > OM_WORLD_IMAGE_PATH_MAX)
    return world_refuse(why, whySize, "an image's path has 1 to %zu characters",
                        OM_WORLD_IMAGE_PATH_MAX);
  for (reg i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\')
      return world_refuse(why, whySize, "an image's path separates folders with '/', not '\\'");
    if (c == ':') return world_refuse(why, whySize, "an image's path can't name a drive (':')");
    if (c <= 0x20 || c >= 0x7F)
      return world_refuse(why, whySize,
                          "an image's path has only printable ASCII characters, no spaces");
  }
  if (path[0] == '/')
    return world_refuse(why, whySize,
                        "an image's path is relative to the world's folder, not absolute");
  for (reg at = 0; at <= n;) {
    reg end = at;
    while (end < n && path[end] != '/') end++;
    if (end == at)
      return world_refuse(why, whySize, "an image's path has an empty part ('//' or a final '/')");
    if (end - at == 2 && path[at] == '.' && path[at + 1] == '.')
      return world_refuse(why, whySize, "an image's path can't leave the world's folder ('..')");
    at = end + 1;
  }
  return true;
}

OM_Surface* world_fallback_copy(OM_World* w) {
  const OM_Surface* dummy = world_texture(w, "TEX_WDUMMY");
  OM_Surface* copy = OM_CreateSurface(dummy ? dummy->w : 1, dummy ? dummy->h : 1);
  if (!copy) return nullptr;
  if (dummy)
    memcpy(copy->data, dummy->data, reg(copy->size));
  else
    copy->data[0] = 0xFF808080u;
  return copy;
}

bool world_add_image(OM_World* w, const char* name, const char* path, OM_Surface* surface, u32 line,
                     const char* why, reg* slot, char* error, reg errorSize) {
  bool ok = w && name && path;
  if (ok)
    ok = world_image_name_ok(name, strlen(name), error, errorSize) &&
         world_image_path_ok(path, strlen(path), error, errorSize);
  if (ok && world_texture_slot(w, name) != world_texture_slots(w))
    ok = world_refuse(error, errorSize, "the world has an image called %s already", name);
  if (ok && world_image_count(w) >= OM_WORLD_MAX_IMAGES)
    ok = world_refuse(error, errorSize, "a world has at most %zu images", OM_WORLD_MAX_IMAGES);
  if (ok && !w->images) {
    w->images = OM_CreateCollection(8, sizeof(OM_WorldImage));
    if (!w->images) ok = world_refuse(error, errorSize, "out of memory");
  }
  OM_WorldImage image = {};
  if (ok) {
    image.surface = surface ? surface : world_fallback_copy(w);
    if (!image.surface) ok = world_refuse(error, errorSize, "out of memory");
  }
  if (!ok) {
    OM_DestroySurface(surface);
    return false;
  }
  snprintf(image.name, sizeof image.name, "%s", name);
  snprintf(image.path, sizeof image.path, "%s", path);
  image.line = line;
  image.active = 1;
  image.failed = surface ? 0 : 1;
  if (!surface) snprintf(image.why, sizeof image.why, "%s", why ? why : "not loaded");
  reg before = w->images->length;
  OM_Collection_Push(w->images, &image);
  if (w->images->length == before) {
    OM_DestroySurface(image.surface);
    return world_refuse(error, errorSize, "out of memory");
  }
  if (slot) *slot = OM_WORLD_TEXTURE_COUNT + before;
  return true;
}

bool world_set_folder(OM_World* w, const char* file) {
  if (!w) return false;
  reg n = 0;
  for (reg i = 0; file && file[i]; i++)
    if (file[i] == '/' || file[i] == '\\') n = i + 1;
  char* folder = static_cast<char*>(malloc(n + 1));
  if (!folder) return false;
  if (n) memcpy(folder, file, n);
  folder[n] = '\0';
  free(w->folder);
  w->folder = folder;
  return true;
}

// ==== The built-in world ====

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
  // of pi, so the arc overshoots the quarter circle slightly. The angle is
  // rounded to f32 before cosf and sinf; each coordinate is then formed in
  // double and rounded once, which is what fixes the stored values (forming
  // 1.25 * cos in f32 first would put vertex 8's x one ulp high).
  const f32 step_divisor = 3.14f;
  for (int i = 0; i <= 5; i++) {
    f32 a = static_cast<f32>(i) / step_divisor;
    f32 x = static_cast<f32>(3.75 + 1.25 * static_cast<double>(cosf(a)));
    f32 y = static_cast<f32>(3.75 + 1.25 * static_cast<double>(sinf(a)));
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

static OM_World* create_world(reg vertices, reg sectors) {
  OM_World* w = static_cast<OM_World*>(calloc(1, sizeof(OM_World)));
  if (!w) return nullptr;
  w->vertices = OM_CreateCollection(vertices, sizeof(OM_WorldVertex));
  w->sectors = OM_CreateCollection(sectors, sizeof(OM_WorldSector));
  if (!w->vertices || !w->sectors) {
    release_world(w);
    return nullptr;
  }
  return w;
}

OM_World* world_builtin() {
  OM_World* w = create_world(18, 3);
  if (!w) return nullptr;
  // A texture that cannot be had stays null and is drawn with the fallback.
  OM_Surface* wall = world_texture(w, "TEX_WWHITEWASH");
  OM_Surface* flat = world_texture(w, "TEX_FCONCRETE");
  w->start = {4.0f, 4.0f, 0.0f, 0.0f};  // the player's start-up position
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
    sector.floorTexture = flat;
    sector.ceilingHeight = plan.ceilingHeight;
    sector.ceilingTexture = flat;
    for (reg e = 0; e < plan.count; e++) {
      OM_WorldEdge edge = {};
      edge.v1 = plan.edges[e][0];
      edge.v2 = plan.edges[e][1];
      edge.type = OM_EDGE_TEXTURE;
      edge.texture = s == 0 ? nullptr : wall;
      OM_Collection_Push(sector.edges, &edge);  // within the initial capacity
    }
    OM_Collection_Push(w->sectors, &sector);  // likewise
  }
  if (world_vertex_count(w) != 16) {  // pushes past the initial capacity failed
    release_world(w);
    return nullptr;
  }

  for (const u16* p : kPortals) {
    OM_WorldEdge* edge = world_edge(w, p[0], p[1]);
    edge->type = OM_EDGE_PORTAL;
    edge->texture = nullptr;
    edge->portal_sector = p[2];
    edge->portal_edge = p[3];
    edge->portal_step = 0;
  }

  OM_Print("world loaded\n");
  return w;
}

// ==== Creation and release ====

OM_World* world_create() { return create_world(16, 4); }

void release_world(OM_World* w) {
  if (!w) return;
  if (w->sectors) {
    for (reg i = 0; i < w->sectors->length; i++) OM_DestroyCollection(world_sector(w, i)->edges);
    OM_DestroyCollection(w->sectors);
  }
  OM_DestroyCollection(w->vertices);
  for (OM_Surface* texture : w->textures) OM_DestroySurface(texture);
  for (reg k = 0; k < world_image_count(w); k++) OM_DestroySurface(world_image(w, k)->surface);
  OM_DestroyCollection(w->images);
  free(w->folder);
  world_release_index(w);
  free(w);
}

// ==== The invariant ====

static const u32 kNoEdge = 0xFFFFFFFFu;
static const u32 kVisited = 0x80000000u;  // edge indices stay below 2^16

// Records the fault's place and text; always false, so a check can end with
// `return fault(...)`.
static bool fault(char* why, reg whySize, OM_WorldFault* where, reg sector, reg edge, reg vertex,
                  const char* format, ...) OM_FORMAT(7, 8);

static void vreason(char* why, reg whySize, const char* format, va_list args) {
  if (why && whySize) vsnprintf(why, whySize, format, args);
}

static bool fault(char* why, reg whySize, OM_WorldFault* where, reg sector, reg edge, reg vertex,
                  const char* format, ...) {
  if (where) *where = {sector, edge, vertex};
  va_list args;
  va_start(args, format);
  vreason(why, whySize, format, args);
  va_end(args);
  return false;
}

bool world_refuse(char* why, reg whySize, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vreason(why, whySize, format, args);
  va_end(args);
  return false;
}

// One edge on its own, and the portal it may be: everything but the outline.
static bool check_edge(const OM_World* w, reg s, reg e, char* why, reg whySize,
                       OM_WorldFault* where) {
  const OM_WorldEdge* edge = world_edge(w, s, e);
  const reg vertices = world_vertex_count(w);
  for (u16 v : {edge->v1, edge->v2}) {
    if (v >= vertices)
      return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                   "sector %zu edge %zu names vertex %u, the world has %zu vertices", s, e,
                   unsigned(v), vertices);
  }
  if (edge->v1 == edge->v2)
    return fault(why, whySize, where, s, e, edge->v1,
                 "sector %zu edge %zu starts and ends at vertex %u", s, e, unsigned(edge->v1));
  if (edge->type > OM_EDGE_PORTAL)
    return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                 "sector %zu edge %zu has the unknown type %u", s, e, unsigned(edge->type));
  if (edge->type != OM_EDGE_PORTAL) return true;

  const reg ts = edge->portal_sector, te = edge->portal_edge;
  if (ts >= world_sector_count(w))
    return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                 "sector %zu edge %zu leads to sector %zu, the world has %zu sectors", s, e, ts,
                 world_sector_count(w));
  const OM_WorldEdge* target = world_edge(w, ts, te);
  if (!target)
    return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                 "sector %zu edge %zu leads to edge %zu of sector %zu, which has %zu edges", s, e,
                 te, ts, sector_edge_count(world_sector(w, ts)));
  if (ts == s && te == e)
    return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                 "sector %zu edge %zu is a portal to itself", s, e);
  if (target->type != OM_EDGE_PORTAL || target->portal_sector != s || target->portal_edge != e)
    return fault(
        why, whySize, where, s, e, OM_WORLD_NOWHERE,
        "sector %zu edge %zu leads to sector %zu edge %zu, which is not a portal back to it", s, e,
        ts, te);
  if (edge->portal_step && !world_slot_name(w, edge->portal_step - 1u))
    return fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
                 "sector %zu edge %zu has step texture %u, the world knows %zu textures", s, e,
                 unsigned(edge->portal_step), world_texture_slots(w));
  return true;
}

// `next` maps each vertex to the edge of this sector that starts there; it
// comes in all kNoEdge and is left so, touching only this sector's vertices.
static bool check_outline(const OM_World* w, reg s, u32* next, char* why, reg whySize,
                          OM_WorldFault* where) {
  const OM_WorldSector* sector = world_sector(w, s);
  const reg n = sector_edge_count(sector);
  const OM_WorldEdge* edges = sector_edge(sector, 0);
  bool ok = true;
  reg e = 0;
  for (; e < n && ok; e++) {
    if (next[edges[e].v1] != kNoEdge)
      ok = fault(why, whySize, where, s, e, edges[e].v1,
                 "sector %zu edge %zu starts at vertex %u, where edge %u of the sector starts too",
                 s, e, unsigned(edges[e].v1), unsigned(next[edges[e].v1]));
    else
      next[edges[e].v1] = static_cast<u32>(e);
  }
  const reg placed = ok ? n : e - 1;  // the failing edge set nothing

  // Follow the outline from edge 0; it must come back to edge 0 having
  // passed every edge once.
  reg steps = 0;
  for (reg cur = 0; ok;) {
    next[edges[cur].v1] |= kVisited;
    steps++;
    const u16 end = edges[cur].v2;
    const u32 to = next[end];
    if (to == kNoEdge) {
      ok = fault(why, whySize, where, s, cur, end,
                 "sector %zu edge %zu ends at vertex %u, where no edge of the sector starts", s,
                 cur, unsigned(end));
    } else if (to & kVisited) {
      if ((to & ~kVisited) != 0)
        ok = fault(why, whySize, where, s, cur, end,
                   "sector %zu edge %zu ends at vertex %u, where another edge of the sector ends",
                   s, cur, unsigned(end));
      break;
    } else {
      cur = to;
    }
  }
  if (ok && steps < n) {
    for (e = 0; e < n; e++) {
      if (!(next[edges[e].v1] & kVisited)) break;
    }
    ok = fault(why, whySize, where, s, e, OM_WORLD_NOWHERE,
               "sector %zu edge %zu is not on the outline through edge 0: the edges do not form "
               "one closed outline",
               s, e);
  }
  for (e = 0; e < placed; e++) next[edges[e].v1] = kNoEdge;
  return ok;
}

bool world_check(const OM_World* w, char* why, reg whySize, OM_WorldFault* where) {
  const reg none = OM_WORLD_NOWHERE;
  if (!w || !w->vertices || !w->sectors)
    return fault(why, whySize, where, none, none, none, "there is no world");
  const reg vertices = world_vertex_count(w), sectors = world_sector_count(w);
  if (vertices > OM_WORLD_MAX_VERTICES)
    return fault(why, whySize, where, none, none, OM_WORLD_MAX_VERTICES,
                 "the world has %zu vertices, at most %zu fit", vertices, OM_WORLD_MAX_VERTICES);
  if (sectors > OM_WORLD_MAX_SECTORS)
    return fault(why, whySize, where, OM_WORLD_MAX_SECTORS, none, none,
                 "the world has %zu sectors, at most %zu fit", sectors, OM_WORLD_MAX_SECTORS);
  const GameObject& start = w->start;
  if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(start.z) ||
      !std::isfinite(start.angle))
    return fault(why, whySize, where, none, none, none, "the start is not a finite position");
  for (reg v = 0; v < vertices; v++) {
    const OM_WorldVertex* p = world_vertex(w, v);
    if (!std::isfinite(p->x) || !std::isfinite(p->y))
      return fault(why, whySize, where, none, none, v, "vertex %zu is not a finite point", v);
  }
  for (reg s = 0; s < sectors; s++) {
    const OM_WorldSector* sector = world_sector(w, s);
    const reg n = sector_edge_count(sector);
    if (n < 3 || n > OM_WORLD_MAX_EDGES)
      return fault(why, whySize, where, s, none, none,
                   "sector %zu has %zu edges, it needs 3 to %zu", s, n, OM_WORLD_MAX_EDGES);
    if (!std::isfinite(sector->floorHeight) || !std::isfinite(sector->ceilingHeight))
      return fault(why, whySize, where, s, none, none, "sector %zu has a height that is not finite",
                   s);
    for (reg e = 0; e < n; e++)
      if (!check_edge(w, s, e, why, whySize, where)) return false;
  }
  if (sectors == 0) return true;

  u32* next = static_cast<u32*>(malloc((vertices ? vertices : 1) * sizeof(u32)));
  if (!next) return fault(why, whySize, where, none, none, none, "out of memory");
  for (reg v = 0; v < vertices; v++) next[v] = kNoEdge;
  bool ok = true;
  for (reg s = 0; s < sectors && ok; s++) ok = check_outline(w, s, next, why, whySize, where);
  free(next);
  return ok;
}

// ==== Small lookups ====

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
