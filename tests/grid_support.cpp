#include "grid_support.h"

#include "collection.h"

OM_World* make_grid_world(int n) {
  if (n < 1 || n > 255) return nullptr;
  OM_World* w = world_create();
  if (!w) return nullptr;
  OM_Surface* wall = world_texture(w, "TEX_WBRICKS");
  OM_Surface* floor = world_texture(w, "TEX_FCONCRETE");
  OM_Surface* ceiling = world_texture(w, "TEX_CWHITEWASH");
  w->start = {0.5f, 0.5f, 0.0f, 0.0f};
  const int row = n + 1;
  for (int y = 0; y <= n; y++) {
    for (int x = 0; x <= n; x++) {
      OM_WorldVertex v = {static_cast<f32>(x), static_cast<f32>(y)};
      OM_Collection_Push(w->vertices, &v);
    }
  }
  for (int y = 0; y < n; y++) {
    for (int x = 0; x < n; x++) {
      const u16 corner[4] = {u16(y * row + x), u16(y * row + x + 1), u16((y + 1) * row + x + 1),
                             u16((y + 1) * row + x)};
      // The square across each side, and that square's matching side.
      const int across[4][3] = {{x, y - 1, 2}, {x + 1, y, 3}, {x, y + 1, 0}, {x - 1, y, 1}};
      OM_WorldSector s = {};
      s.edges = OM_CreateCollection(4, sizeof(OM_WorldEdge));
      s.floorTexture = floor;
      s.ceilingTexture = ceiling;
      s.ceilingHeight = 1.0f;
      for (int side = 0; s.edges && side < 4; side++) {
        OM_WorldEdge e = {};
        e.v1 = corner[side];
        e.v2 = corner[(side + 1) % 4];
        const int* a = across[side];
        if (a[0] >= 0 && a[0] < n && a[1] >= 0 && a[1] < n) {
          e.type = OM_EDGE_PORTAL;
          e.portal_sector = static_cast<u16>(a[1] * n + a[0]);
          e.portal_edge = static_cast<u16>(a[2]);
        } else {
          e.type = OM_EDGE_TEXTURE;
          e.texture = wall;
        }
        OM_Collection_Push(s.edges, &e);
      }
      reg before = w->sectors->length;
      OM_Collection_Push(w->sectors, &s);
      if (w->sectors->length == before) OM_DestroyCollection(s.edges);
    }
  }
  if (!world_check(w, nullptr, 0)) {  // memory ran out on the way
    release_world(w);
    return nullptr;
  }
  return w;
}
