// The plain point-in-sector test the indexed get_sector_at must match.
#pragma once

#include "world.h"

// The winding test over every sector in index order, with no index: the
// first sector whose edges' angles at (x, y) sum to at least pi.
OM_WorldSector* reference_get_sector_at(const OM_World* w, f32 x, f32 y);
