// The plain point-in-sector test the indexed get_sector_at must match exactly.
#include "sector_reference.h"

#include <cmath>

OM_WorldSector* reference_get_sector_at(const OM_World* w, f32 x, f32 y) {
  const double pi = 3.141592653589793, twoPi = 6.283185307179586;
  const reg vertices = world_vertex_count(w);
  for (reg i = 0; i < world_sector_count(w); i++) {
    OM_WorldSector* sector = world_sector(w, i);
    const reg edges = sector_edge_count(sector);
    if (edges == 0) continue;
    f32 sum = 0.0f;
    for (reg e = 0; e < edges; e++) {
      const OM_WorldEdge* edge = sector_edge(sector, e);
      if (edge->v1 >= vertices || edge->v2 >= vertices) continue;
      const OM_WorldVertex* p = world_vertex(w, edge->v1);
      const OM_WorldVertex* q = world_vertex(w, edge->v2);
      f32 theta0 = atan2f(p->y - y, p->x - x);
      f32 theta1 = atan2f(q->y - y, q->x - x);
      f32 d = theta1 - theta0;
      while (d > pi) d = static_cast<f32>(d - twoPi);
      while (d < -pi) d = static_cast<f32>(d + twoPi);
      sum += d;
    }
    if (fabsf(sum) >= pi) return sector;
  }
  return nullptr;
}
