// Grid worlds for tests and benchmarks: n x n unit squares, every inner side
// a pair of portals, the outer sides brick walls.
#pragma once

#include "world.h"

// A world of n x n unit squares over the vertices (x, y), 0 <= x, y <= n:
// vertex (x, y) has index y * (n + 1) + x and square (x, y) is sector
// y * n + x, its edges running top, right, bottom, left (clockwise in the
// editor's view). Floors are TEX_FCONCRETE at 0, ceilings TEX_CWHITEWASH at
// 1; the start is the middle of square (0, 0). n runs from 1 to 255, where
// the 65536 vertices fill the 16-bit indices; null otherwise or when memory
// runs out. Release it with release_world.
OM_World* make_grid_world(int n);
