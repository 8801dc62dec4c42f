// Worlds, textures and program state set up by hand for the tests.
#pragma once

#include <cstring>
#include <string>

#include "editor.h"
#include "event.h"
#include "ombrix.h"
#include "types.h"
#include "world.h"

struct OM_Surface;

// A surface whose texel (u, v) reads 0xFF000000 | tag << 16 | (v & 255) << 8 |
// (u & 255), so that a pixel tells which texture and texel it came from.
OM_Surface* make_pattern_texture(int w, int h, u32 tag);

OM_World* make_world(const f32 (*vertices)[2], int count);
// Appends a sector; returns its index.
int add_sector(OM_World* w, f32 floorHeight, f32 ceilingHeight, OM_Surface* floorTexture,
               OM_Surface* ceilingTexture, const OM_WorldEdge* edges, int count);
void free_world(OM_World* w);

OM_WorldEdge textured_edge(u16 v1, u16 v2, OM_Surface* texture);
OM_WorldEdge colour_edge(u16 v1, u16 v2, u32 color);
OM_WorldEdge portal_edge(u16 v1, u16 v2, u16 sector, u16 edge);

// The world in the text of a world file: equal texts, equal worlds (every
// field, every texture). When the writer refuses, "unwritable: " and why.
std::string world_text(const OM_World* w);

// Gives every textured wall that has a texture, every floor and every
// ceiling of the world one of the two given textures instead.
void use_pattern_textures(OM_World* w, OM_Surface* wall, OM_Surface* flat);

// Saves every program-wide global a test may change (the game state, the
// world, player, camera, editor and fallback texture pointers, the view
// flags, the held keys and the mouse records) and puts them back. Not for
// tests that run start-up: it replaces the editor, and putting the old
// pointer back would leave it dangling.
struct SavedGlobals {
  GameState state = gameState;
  OM_World* savedWorld = world;
  Player* savedPlayer = player;
  Camera* savedCamera = OM_camera;
  OM_Widget* savedEditor = OM_editor;
  OM_Surface* savedDummy = dummyTexture;
  int flags[4] = {draw_portals, draw_edges, drawVertices, relative_map_mode};
  OM_Keyboard keys = keyboard;
  OM_Mouse hostMouse = OM_mouse;
  OM_MouseState polled = mouse;
  ~SavedGlobals() {
    gameState = state;
    world = savedWorld;
    player = savedPlayer;
    OM_camera = savedCamera;
    OM_editor = savedEditor;
    dummyTexture = savedDummy;
    draw_portals = flags[0];
    draw_edges = flags[1];
    drawVertices = flags[2];
    relative_map_mode = flags[3];
    keyboard = keys;
    OM_mouse = hostMouse;
    mouse = polled;
  }
};
