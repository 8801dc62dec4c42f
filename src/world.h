// The world: vertices shared by index, sectors with heights and textures,
// and edges that are colour walls, textured walls or portals; the player's
// stored start and the textures the world has loaded.
//
// ==== Records ====
// ==== Checked access ====
// ==== Textures ====
// ==== The invariant ====
// ==== The world as a whole ====
// ==== Lookup by place ====
#pragma once

#include "collection.h"
#include "object.h"
#include "types.h"

struct OM_Surface;
struct OM_WorldIndex;

// ==== Records ====

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
      // The faces of the steps seen through this portal in heights mode: 0
      // draws them with the floor or ceiling texture they continue, k > 0
      // with the world's texture slot k - 1 (see world_step_texture).
      u16 portal_step;
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

// The texture resources a world can name, in a fixed order; the editor
// cycles through them. A new TEX_ resource is usable once it is listed here.
enum { OM_WORLD_TEXTURE_COUNT = 5 };
extern const char* const OM_worldTextureNames[OM_WORLD_TEXTURE_COUNT];

// A world's texture table is the built-in textures above, slots 0 to
// OM_WORLD_TEXTURE_COUNT - 1, then the world's own images, in the order they
// were declared or added. Slots never move while the world lives: an image
// an undo takes back is only hidden, so that a redo (and a portal's step
// slot) finds it again.
constexpr reg OM_WORLD_MAX_IMAGES = 1024;    // hidden ones included
constexpr reg OM_WORLD_IMAGE_NAME_MAX = 48;  // bytes
constexpr reg OM_WORLD_IMAGE_PATH_MAX = 255;

struct OM_WorldImage {
  char name[OM_WORLD_IMAGE_NAME_MAX + 1];
  // Relative to the world's folder, with '/' (world_image_path_ok).
  char path[OM_WORLD_IMAGE_PATH_MAX + 1];
  // Owned. When the file could not be used it holds a copy of the fallback
  // texture: its own surface still, so that walls keep naming this image
  // and a save writes the record back.
  OM_Surface* surface;
  u32 line;       // of its record in the file it was read from; 0 if added since
  u8 active;      // 0: taken back by an undo, kept for a redo
  u8 failed;      // `surface` stands in for a file that could not be used
  char why[120];  // when failed: the reason, for the console
};

// Edges hold 16-bit vertex indices, portals 16-bit sector and edge indices:
// no world can hold more than this many of each.
constexpr reg OM_WORLD_MAX_VERTICES = 65536;
constexpr reg OM_WORLD_MAX_SECTORS = 65536;
constexpr reg OM_WORLD_MAX_EDGES = 65536;  // per sector

struct OM_World {
  OM_Collection* vertices;  // of OM_WorldVertex
  OM_Collection* sectors;   // of OM_WorldSector
  // Where the player stands when the world is opened: x, y, z and heading.
  GameObject start;
  // Non-zero: the world is meant to be seen in heights mode, and opens in
  // it. A save records the look in use, as it records the player's place.
  u8 heights;
  // Each texture this world uses, decoded once, indexed like
  // OM_worldTextureNames and released with the world; null until asked for
  // (or when it could not be decoded). Reach them with world_texture.
  OM_Surface* textures[OM_WORLD_TEXTURE_COUNT];
  // The world's own images (OM_WorldImage), after the built-in slots; null
  // until the first one. Released with the world, surfaces and all.
  OM_Collection* images;
  // The folder image paths are relative to, ending in '/' ("" for the
  // working folder); owned. Set by the reader and by the session.
  char* folder;
  // Changes made since the world was built or read: every editor edit, undo
  // and redo adds one. A save remembers the count it wrote, so "edits not
  // saved" is a comparison, and the autosave knows when it has work.
  u32 edits;
  // Bumped by world_changed: with the collections' blocks and lengths it
  // tells the index below whether it still describes the world.
  u32 revision;
  // Where the sectors and vertices lie (see "Lookup by place"): made when
  // first asked, remade after a change, released with the world.
  OM_WorldIndex* index;
};

typedef OM_World RV_Map;
typedef OM_WorldVertex RV_MapVertex;
typedef OM_WorldEdge RV_MapEdge;
typedef OM_WorldSector RV_MapSector;

// ==== Checked access ====
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

// ==== Textures ====

// Slots of the texture table, hidden images included.
inline reg world_image_count(const OM_World* w) { return w && w->images ? w->images->length : 0; }
inline OM_WorldImage* world_image(const OM_World* w, reg index) {
  if (index >= world_image_count(w)) return nullptr;
  return static_cast<OM_WorldImage*>(w->images->data) + index;
}
inline reg world_texture_slots(const OM_World* w) {
  return OM_WORLD_TEXTURE_COUNT + world_image_count(w);
}
// The name of slot `slot`: a built-in name or an image's; null past the end
// and for a hidden image.
const char* world_slot_name(const OM_World* w, reg slot);
// The surface of slot `slot`, a built-in one decoded on first use; null for
// a hidden image, past the end, or a built-in that cannot be decoded.
OM_Surface* world_slot_texture(OM_World* w, reg slot);
// The slot named `name` (built-in or a shown image), or world_texture_slots.
reg world_texture_slot(const OM_World* w, const char* name);

// The world's surface for the texture resource `name`, decoded from
// "res://NAME" the first time it is asked for and kept until the world is
// released. Null for a null name, "none" (the fallback texture), a name not
// in OM_worldTextureNames or the world's shown images, or a resource that
// cannot be decoded.
OM_Surface* world_texture(OM_World* w, const char* name);
// The name under which `texture` was loaded into this world; "none" for
// null. Null for a surface that is not one of this world's: a writer must
// treat that as an error rather than guess.
const char* world_texture_name(const OM_World* w, const OM_Surface* texture);
// The index of `name` in OM_worldTextureNames, or OM_WORLD_TEXTURE_COUNT.
reg world_texture_index(const char* name);
// The surface a portal's own step texture names (portal_step k > 0: slot
// k - 1 of the table, decoded when the world was read or the editor chose
// it). Null for
// a portal without one (the default faces), for anything not a portal, and
// for a slot that holds nothing.
OM_Surface* world_step_texture(const OM_World* w, const OM_WorldEdge* portal);

// What an image may be called: 1 to OM_WORLD_IMAGE_NAME_MAX letters,
// digits, '_', '-' or '.', not "none" and not a built-in name (nor anything
// starting "TEX_", kept for textures the program may carry later).
bool world_image_name_ok(const char* name, reg length, char* why, reg whySize);
// Where an image may be: 1 to OM_WORLD_IMAGE_PATH_MAX bytes of printable
// ASCII without spaces, relative to the world's folder and inside it, with
// '/' between folders: no leading '/', no drive (':'), no backslash, no
// empty part and no "..".
bool world_image_path_ok(const char* path, reg length, char* why, reg whySize);
// Appends an image to the table and gives its slot. `surface` (owned from
// here on, also on failure) may be null: a copy of the fallback texture
// stands in, and `why` is kept as the reason. Refused (false, reason in
// `error`) for a bad or taken name, a bad path, a full table or no memory.
bool world_add_image(OM_World* w, const char* name, const char* path, OM_Surface* surface, u32 line,
                     const char* why, reg* slot, char* error, reg errorSize);
// A surface of its own with the fallback texture's pixels (one grey pixel
// when even that cannot be had), to stand in for an image; null when memory
// runs out.
OM_Surface* world_fallback_copy(OM_World* w);
// The folder image paths are relative to: the part of `file` up to its last
// '/' (or '\\'), "" for a bare name. False when memory runs out.
bool world_set_folder(OM_World* w, const char* file);

// ==== The invariant ====
// What the renderer, the player and the editor trust, checked in one pass
// (linear in vertices and edges):
// - at most OM_WORLD_MAX_VERTICES vertices and OM_WORLD_MAX_SECTORS sectors,
//   finite coordinates, heights and start;
// - every sector has 3 to OM_WORLD_MAX_EDGES edges, each between two
//   different existing vertices, of a known type;
// - followed from each edge's v2 to the edge that starts there, a sector's
//   edges form one closed outline (stored order need not be outline order:
//   the editor's split appends its new edge at the end);
// - every portal names an existing edge that is a portal back to it, and
//   a step texture that is 0 or names a slot of the table that is shown.

// Where world_check found the fault: indices, or OM_WORLD_NOWHERE.
constexpr reg OM_WORLD_NOWHERE = ~reg(0);
struct OM_WorldFault {
  reg sector;
  reg edge;  // within `sector`
  reg vertex;
};

// True when the world holds the invariant. Otherwise false, with one line in
// `why` (for example "sector 1 edge 4 names vertex 70000, the world has 16
// vertices") and, when `where` is given, the place of the first fault.
bool world_check(const OM_World* w, char* why, reg whySize, OM_WorldFault* where = nullptr);

// Writes one line of reason into `why` (when there is room), printf-style,
// and gives false: the shape of every refusal of the world modules.
bool world_refuse(char* why, reg whySize, const char* format, ...) OM_FORMAT(3, 4);

// ==== The world as a whole ====

// An empty world: no vertices, no sectors, start at the origin. Null when
// memory runs out.
OM_World* world_create();
// Builds the built-in world of three rooms; prints "world loaded". Null when
// memory runs out (nothing is left allocated then).
OM_World* world_builtin();
// Frees the world, its collections and the textures it loaded; null is
// ignored. The caller makes sure nothing points into it any more.
void release_world(OM_World* world);

void add_world_vertex(OM_World* world, float x, float y);

// ==== Lookup by place ====
// get_sector_at and the editor's map ask an index of the world (world_index.h) where
// things lie, so that their cost follows the place asked about rather than the size
// of the world. The index is checked on every use against the world's
// revision and the blocks and lengths of its vertex and sector collections,
// and made again when they differ. Appending or removing vertices or sectors
// is therefore seen by itself; a change in place - a vertex moved, an edge's
// vertices or a sector's edge list changed - is not: whoever makes one calls
// world_changed before the next lookup.

inline void world_changed(OM_World* w) {
  if (w) w->revision += 1;
}
// A vertex moved in place: like world_changed, but the index follows the
// vertex instead of being made again, so that each step of a drag costs what
// the vertex's own sectors cost.
void world_vertex_moved(OM_World* w, reg vertex);

// The first sector, in index order, whose outline winds around (x, y): the
// sum of the angles its edges subtend at the point (f32 atan2f, wrapped
// against the double pi) reaches pi. Edges naming a missing vertex add
// nothing; a sector with no edges never qualifies.
OM_WorldSector* get_sector_at(OM_World* world, float x, float y);
