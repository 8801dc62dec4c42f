// The index of a world by place: which sectors and vertices may lie in a
// box, so that get_sector_at and the editor's map cost what the place asked
// about holds rather than what the world holds. Made when first asked, made
// again when the world has changed (see "Lookup by place" in world.h),
// released with the world.
#pragma once

#include "world.h"

// A closed box of the plane.
struct OM_WorldBox {
  f32 x0, y0, x1, y1;
};

// The sectors with an edge that may lie in `area` (a finite box), in
// ascending order: those whose box meets it, and every sector too large for
// the index or with a corner that is not a finite point, which the caller
// checks with world_sector_bounds. Sectors without edges between existing
// vertices are never listed. Null (and *count 0) when the index cannot be
// made (memory): then every sector must be tried. The list is the index's
// and lasts until the next call of this function or the next change.
const u32* world_sectors_in(OM_World* w, OM_WorldBox area, reg* count);
// Likewise the vertices in `area`, and every vertex that is not a finite
// point, in ascending order.
const u32* world_vertices_in(OM_World* w, OM_WorldBox area, reg* count);
// The box around a sector's edges whose two vertices exist. False when it
// has none, a corner is not finite, or the index cannot be made.
bool world_sector_bounds(OM_World* w, reg sector, OM_WorldBox* box);
// The longest side of the box of any sector that world_sectors_in filters by
// its box (the others are always listed); 0 when there is none.
f32 world_indexed_sector_size(OM_World* w);
// Frees the index; the next lookup makes it again. For worlds not released
// with release_world.
void world_release_index(OM_World* w);
