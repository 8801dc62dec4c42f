// Shared test set-up: hand-built worlds and textures, and the guard over program state.
//
// Sections (grep "---- "):
//   ---- Worlds and textures   make_world, add_sector, edge makers, pattern textures
//   ---- Program state guard   SavedGlobals and the list of what it covers
#pragma once

#include <string>
#include <vector>

#include "editor.h"
#include "event.h"
#include "keys.h"
#include "ombrix.h"
#include "types.h"
#include "world.h"

struct OM_Surface;

// ---- Worlds and textures -------------------------------------------------

// A surface whose texel (u, v) reads 0xFF000000 | tag << 16 | (v & 255) << 8 |
// (u & 255), so that a pixel tells which texture and texel it came from.
OM_Surface* make_pattern_texture(int w, int h, u32 tag);

OM_World* make_world(const f32 (*vertices)[2], int count);
// Appends a sector; returns its index.
int add_sector(OM_World* w, f32 floorHeight, f32 ceilingHeight, OM_Surface* floorTexture,
               OM_Surface* ceilingTexture, const OM_WorldEdge* edges, int count);
void free_world(OM_World* w);

// Sectors that lookups and the map must not simplify away: nested outlines
// wound both ways (0, 1), a segment walked twice (2: it winds around points
// beside it, outside its box), a tiny room a million units out where an ulp
// is large (3), a corner that is not a number (4), no edges (5), edges to a
// missing vertex (6), one room over the whole map (7), a room shrunk to a
// point (8), a sliver (9), a walk there and back 1200 times (10), and a
// loop with an edge from a vertex to itself (11). Release it with
// release_world.
OM_World* make_odd_world();

OM_WorldEdge textured_edge(u16 v1, u16 v2, OM_Surface* texture);
OM_WorldEdge colour_edge(u16 v1, u16 v2, u32 color);
OM_WorldEdge portal_edge(u16 v1, u16 v2, u16 sector, u16 edge);

// The world in the text of a world file: equal texts, equal worlds (every
// field, every texture). When the writer refuses, "unwritable: " and why.
std::string world_text(const OM_World* w);

// Gives every textured wall that has a texture, every floor and every
// ceiling of the world one of the two given textures instead.
void use_pattern_textures(OM_World* w, OM_Surface* wall, OM_Surface* flat);

// ---- Program state guard -------------------------------------------------

// A stretch of memory saved and put back byte for byte.
struct GlobalSpan {
  void* at;
  reg size;
};

// The host's globals (system.h) that this platform's test program links;
// defined in tests/host_support_<platform>.cpp.
extern const GlobalSpan kHostGlobals[];
extern const reg kHostGlobalCount;

// Drops the files (UTF-8 paths) on the window as this platform's desktop
// does, through the host's translation to OM_Host_Target.
void HostDrop(const std::vector<std::string>& paths);

// Saves every mutable global of the program when made and puts it back when
// it goes, so that no test sees what another one changed: the game state,
// the input records, the program-wide objects, the renderer's switches, the
// editor's view settings, the console text, the menu description, the
// widget prototypes, the stream tables and the host's globals. The full
// list is in scene_support.cpp ("kProgramGlobals"). A test, a fixture
// member or a helper that changes one of them for a while holds one of
// these; nothing else restores globals by hand.
//
// Objects are not copied, only the pointers to them: a test releases what
// it made, and the guard puts back the pointers it found.
struct SavedGlobals {
  enum Mode {
    kRestoreAll,
    // For tests that run start-up. The editor root, the font, the fallback
    // texture and the preview surface are left as start-up made them, as
    // the program keeps them until it ends: start-up destroys the earlier
    // editor, so its saved pointer would dangle, and putting the old
    // pointers back would lose the new objects. The test still releases the
    // world start-up loaded; everything else is put back.
    kKeepStartUp,
  };

  explicit SavedGlobals(Mode mode = kRestoreAll);
  ~SavedGlobals();
  SavedGlobals(const SavedGlobals&) = delete;
  SavedGlobals& operator=(const SavedGlobals&) = delete;

 private:
  void save(GlobalSpan span);

  Mode mode;
  reg startUpSpans = 0;  // the first spans: the objects kKeepStartUp leaves alone
  reg spanCount = 0;
  reg used = 0;
  GlobalSpan spans[64];
  alignas(16) unsigned char bytes[6144];
};
