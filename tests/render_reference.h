// A deliberately plain per-pixel restatement of the first-person renderer,
// used to check the fast one pixel for pixel. It reads the same globals
// (OM_camera, player, world, dummyTexture, draw_portals) but keeps no
// interlace counter: the caller names the first column and the column step.
#pragma once

#include "types.h"
#include "world.h"

struct OM_Surface;

void reference_draw_game_viewport(OM_Surface* projection, int firstColumn, int columnStep);

// Scenes built by hand for the renderer's tests and benchmark.

// A surface whose texel (u, v) reads 0xFF000000 | tag << 16 | (v & 255) << 8 |
// (u & 255), so that a pixel tells which texture and texel it came from.
OM_Surface* make_pattern_texture(int w, int h, u32 tag);

OM_World* make_world(const f32 (*vertices)[2], int count);
// Appends a sector; returns its index.
int add_sector(OM_World* w, f32 floorHeight, f32 ceilingHeight, OM_Surface* floorTexture,
               OM_Surface* ceilingTexture, const OM_WorldEdge* edges, int count);
OM_WorldSector* world_sector(OM_World* w, int index);
OM_WorldEdge* world_edge(OM_World* w, int sector, int edge);
void free_world(OM_World* w);

OM_WorldEdge textured_edge(u16 v1, u16 v2, OM_Surface* texture);
OM_WorldEdge colour_edge(u16 v1, u16 v2, u32 color);
OM_WorldEdge portal_edge(u16 v1, u16 v2, u16 sector, u16 edge);

// The built-in world, vertex for vertex (the arc in f32), with the given
// wall texture for sectors 1 and 2 and the floor and ceiling texture.
OM_World* make_builtin_world(OM_Surface* wall, OM_Surface* flat);
