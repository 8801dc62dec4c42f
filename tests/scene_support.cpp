#include "scene_support.h"

#include <cstdlib>

#include "collection.h"
#include "surface.h"
#include "world_file.h"

OM_Surface* make_pattern_texture(int w, int h, u32 tag) {
  OM_Surface* s = OM_CreateSurface(w, h);
  for (int v = 0; v < h; ++v) {
    for (int u = 0; u < w; ++u) {
      s->data[u + s->step * v] =
          0xFF000000u | tag << 16 | static_cast<u32>(v & 255) << 8 | static_cast<u32>(u & 255);
    }
  }
  return s;
}

OM_World* make_world(const f32 (*vertices)[2], int count) {
  OM_World* w = new OM_World();
  w->vertices = OM_CreateCollection(static_cast<reg>(count), sizeof(OM_WorldVertex));
  for (int i = 0; i < count; ++i) {
    OM_WorldVertex v = {vertices[i][0], vertices[i][1]};
    OM_Collection_Push(w->vertices, &v);
  }
  w->sectors = OM_CreateCollection(4, sizeof(OM_WorldSector));
  return w;
}

int add_sector(OM_World* w, f32 floorHeight, f32 ceilingHeight, OM_Surface* floorTexture,
               OM_Surface* ceilingTexture, const OM_WorldEdge* edges, int count) {
  OM_WorldSector s;
  s.edges = OM_CreateCollection(static_cast<reg>(count), sizeof(OM_WorldEdge));
  for (int i = 0; i < count; ++i) {
    OM_WorldEdge e = edges[i];
    OM_Collection_Push(s.edges, &e);
  }
  s.floorHeight = floorHeight;
  s.floorTexture = floorTexture;
  s.ceilingHeight = ceilingHeight;
  s.ceilingTexture = ceilingTexture;
  OM_Collection_Push(w->sectors, &s);
  return static_cast<int>(w->sectors->length) - 1;
}

void free_world(OM_World* w) {
  if (!w) return;
  for (reg i = 0; i < w->sectors->length; ++i) {
    OM_DestroyCollection(world_sector(w, static_cast<int>(i))->edges);
  }
  OM_DestroyCollection(w->sectors);
  OM_DestroyCollection(w->vertices);
  delete w;
}

OM_WorldEdge textured_edge(u16 v1, u16 v2, OM_Surface* texture) {
  OM_WorldEdge e = {};
  e.v1 = v1;
  e.v2 = v2;
  e.type = OM_EDGE_TEXTURE;
  e.texture = texture;
  return e;
}

OM_WorldEdge colour_edge(u16 v1, u16 v2, u32 color) {
  OM_WorldEdge e = {};
  e.v1 = v1;
  e.v2 = v2;
  e.type = OM_EDGE_COLOR;
  e.color = color;
  return e;
}

OM_WorldEdge portal_edge(u16 v1, u16 v2, u16 sector, u16 edge) {
  OM_WorldEdge e = {};
  e.v1 = v1;
  e.v2 = v2;
  e.type = OM_EDGE_PORTAL;
  e.portal_sector = sector;
  e.portal_edge = edge;
  return e;
}

void use_pattern_textures(OM_World* w, OM_Surface* wall, OM_Surface* flat) {
  for (reg i = 0; i < w->sectors->length; ++i) {
    OM_WorldSector* s = world_sector(w, static_cast<int>(i));
    s->floorTexture = flat;
    s->ceilingTexture = flat;
    for (reg j = 0; j < s->edges->length; ++j) {
      OM_WorldEdge* e = static_cast<OM_WorldEdge*>(s->edges->data) + j;
      if (e->type == OM_EDGE_TEXTURE && e->texture) e->texture = wall;
    }
  }
}

std::string world_text(const OM_World* w) {
  char why[256] = "";
  reg size = 0;
  char* text = world_format(w, &size, why, sizeof why);
  if (!text) return std::string("unwritable: ") + why;
  std::string result(text, size);
  free(text);
  return result;
}
