// The player: the one moving object, walked by the keys and carried through
// portals.
#pragma once

#include "object.h"

struct OM_World;
struct OM_WorldSector;

struct Player {
  GameObject object;
  f32 height;  // kept for the design: nothing in movement or drawing reads it
  // In heights mode, the height of the eye above the floor of its room,
  // kept from room to room (Space and Ctrl change it); object.z follows it.
  // Unused in the classic look, where object.z alone is the eye height.
  f32 eye_height;
  f32 mass;
  f32 movement_speed;
  f32 rotation_speed;
  f32 acceleration_x;
  f32 acceleration_y;
  f32 velocity_x;
  f32 velocity_y;
  // Heights mode: the eye's vertical speed while it falls to a lower floor,
  // units per tick, negative downwards; 0 while it stands.
  f32 velocity_z;
  OM_World* world;
  OM_WorldSector* sector;  // null while no sector contains the player
};
