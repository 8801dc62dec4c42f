// The player: the one moving object, walked by the keys and carried through
// portals.
#pragma once

#include "object.h"

struct OM_World;
struct OM_WorldSector;

struct Player {
  GameObject object;
  f32 height;      // kept for the design: nothing in movement or drawing reads
  f32 eye_height;  // these two yet (the eye height is object.z)
  f32 mass;
  f32 movement_speed;
  f32 rotation_speed;
  f32 acceleration_x;
  f32 acceleration_y;
  f32 velocity_x;
  f32 velocity_y;
  OM_World* world;
  OM_WorldSector* sector;  // null while no sector contains the player
};
