// The world: vertices shared by index, sectors with heights and textures,
// and edges that are colour walls, textured walls or portals.
#pragma once

#include "collection.h"
#include "types.h"

struct OM_Surface;

enum OM_WorldEdgeType : u32 {
  OM_EDGE_COLOR = 0,
  OM_EDGE_TEXTURE = 1,
  OM_EDGE_PORTAL = 2,
};

struct OM_WorldVertex {
  f32 x;
  f32 y;
};

struct OM_WorldEdge {
  u16 v1;
  u16 v2;
  u32 type;  // OM_WorldEdgeType; selects the union member
  union {
    u32 color;
    OM_Surface* texture;  // not owned; null means the fallback texture
    struct {
      u16 portal_sector;
      u16 portal_edge;
    };
  };
};

struct OM_WorldSector {
  OM_Collection* edges;  // of OM_WorldEdge, owned
  f32 floorHeight;
  OM_Surface* floorTexture;
  f32 ceilingHeight;
  OM_Surface* ceilingTexture;
};

struct OM_World {
  OM_Collection* vertices;  // of OM_WorldVertex
  OM_Collection* sectors;   // of OM_WorldSector
  // The two textures load_world decoded for this world alone; released with
  // it. Either may be null when its resource could not be decoded.
  OM_Surface* wallTexture;
  OM_Surface* flatTexture;
};

typedef OM_World RV_Map;
typedef OM_WorldVertex RV_MapVertex;
typedef OM_WorldEdge RV_MapEdge;
typedef OM_WorldSector RV_MapSector;

// ---- Checked access ------------------------------------------------------
// Every reader of world data goes through these: an index out of range, a
// null world or sector, or a missing collection gives 0 or null, never a
// read past the end. They are inline, so the renderer's set-up and the
// editor's loops pay nothing for the checks they would make anyway.

inline reg world_vertex_count(const OM_World* w) {
  return w && w->vertices ? w->vertices->length : 0;
}
inline reg world_sector_count(const OM_World* w) {
  return w && w->sectors ? w->sectors->length : 0;
}
inline reg sector_edge_count(const OM_WorldSector* s) {
  return s && s->edges ? s->edges->length : 0;
}
inline OM_WorldVertex* world_vertex(const OM_World* w, reg index) {
  if (index >= world_vertex_count(w)) return nullptr;
  return static_cast<OM_WorldVertex*>(w->vertices->data) + index;
}
inline OM_WorldSector* world_sector(const OM_World* w, reg index) {
  if (index >= world_sector_count(w)) return nullptr;
  return static_cast<OM_WorldSector*>(w->sectors->data) + index;
}
inline OM_WorldEdge* sector_edge(const OM_WorldSector* s, reg index) {
  if (index >= sector_edge_count(s)) return nullptr;
  return static_cast<OM_WorldEdge*>(s->edges->data) + index;
}
// Edge `edge` of sector `sector`.
inline OM_WorldEdge* world_edge(const OM_World* w, reg sector, reg edge) {
  return sector_edge(world_sector(w, sector), edge);
}
// The index of a sector of this world, or world_sector_count(w) when the
// pointer is not one of its sectors (null, or another world's).
reg world_sector_index(const OM_World* w, const OM_WorldSector* s);
// The edge a portal leads to; null when `edge` is not a portal or its
// sector and edge indices name nothing.
inline OM_WorldEdge* portal_target(const OM_World* w, const OM_WorldEdge* edge) {
  if (!edge || edge->type != OM_EDGE_PORTAL) return nullptr;
  return world_edge(w, edge->portal_sector, edge->portal_edge);
}

// How far a traveller moves crossing from edge a-b to edge c-d of a portal
// pair: the midpoint of c-d minus the midpoint of a-b. The player and the
// renderer both move by exactly this, so it is formed in one place.
inline void portal_shift(OM_WorldVertex a, OM_WorldVertex b, OM_WorldVertex c, OM_WorldVertex d,
                         f32* dx, f32* dy) {
  f32 m0x = (a.x + b.x) / 2.0f, m0y = (a.y + b.y) / 2.0f;
  f32 m1x = (c.x + d.x) / 2.0f, m1y = (c.y + d.y) / 2.0f;
  *dx = m1x - m0x;
  *dy = m1y - m0y;
}
// The shift through `portal` in this world; false, with nothing written,
// when it is not a portal or a vertex of either edge or its target is
// missing.
bool world_portal_shift(const OM_World* w, const OM_WorldEdge* portal, f32* dx, f32* dy);

// ---- The world as a whole ----------------------------------------------

// Builds the built-in world whatever the name; prints "world loaded". Null
// when memory runs out (nothing is left allocated then).
OM_World* load_world(const char* filename);
// Frees the world, its collections and the textures it loaded; null is
// ignored. The caller makes sure nothing points into it any more.
void release_world(OM_World* world);
// Writes nothing; reports on the console that the file cannot be written.
void save_world(const char* filename, OM_World* world);
// The first sector, in index order, whose outline winds around (x, y).
OM_WorldSector* get_sector_at(OM_World* world, float x, float y);
void add_world_vertex(OM_World* world, float x, float y);
