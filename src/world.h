// The world: vertices shared by index, sectors with heights and textures,
// and edges that are colour walls, textured walls or portals.
#pragma once

#include "types.h"

struct OM_Collection;
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
