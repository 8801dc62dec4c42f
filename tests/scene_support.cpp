// Shared test set-up: hand-built worlds and textures, and the guard over program state.
//
// Sections (grep "---- "):
//   ---- Worlds and textures
//   ---- Program state guard
#include "scene_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "collection.h"
#include "render.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_menubar.h"
#include "ui_widget.h"
#include "world_file.h"
#include "world_index.h"
#include "world_session.h"

// ---- Worlds and textures -------------------------------------------------

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
  return static_cast<int>(world_sector_count(w)) - 1;
}

void free_world(OM_World* w) {
  if (!w) return;
  for (reg i = 0; i < world_sector_count(w); ++i) OM_DestroyCollection(world_sector(w, i)->edges);
  OM_DestroyCollection(w->sectors);
  OM_DestroyCollection(w->vertices);
  world_release_index(w);
  delete w;
}

namespace {

void push_vertex(OM_World* w, f32 x, f32 y) {
  OM_WorldVertex v = {x, y};
  OM_Collection_Push(w->vertices, &v);
}

void push_loop(OM_World* w, std::initializer_list<u16> corners) {
  OM_WorldEdge e[8];
  int n = 0;
  for (u16 c : corners) e[n++] = colour_edge(c, 0, 0xFF808080);
  for (int k = 0; k < n; ++k) e[k].v2 = e[(k + 1) % n].v1;
  add_sector(w, 0, 1, nullptr, nullptr, e, n);
}

}  // namespace

OM_World* make_odd_world() {
  OM_World* w = world_create();
  if (!w) return nullptr;
  const f32 far = 1.0e6f, step = 0.0625f;  // an ulp of `far`
  const f32 v[][2] = {{0, 0},
                      {4, 0},
                      {4, 4},
                      {0, 4},
                      {1, 1},
                      {3, 1},
                      {3, 3},
                      {1, 3},
                      {10, 0},
                      {14, 0},
                      {far, far},
                      {far + step, far},
                      {far + step, far + step},
                      {far, far + step},
                      {NAN, 2},
                      {-1000, -1000},
                      {2000, -1000},
                      {-1000, 2000},
                      {20, 20},
                      {20, 20},
                      {20, 20},
                      {0, 10},
                      {100, 10},
                      {100, 10.01f},
                      {0, 10.01f}};
  for (const auto& p : v) push_vertex(w, p[0], p[1]);
  push_loop(w, {4, 7, 6, 5});
  push_loop(w, {0, 1, 2, 3});
  const OM_WorldEdge twice[] = {colour_edge(8, 9, 0), colour_edge(8, 9, 0)};
  add_sector(w, 0, 1, nullptr, nullptr, twice, 2);
  push_loop(w, {10, 11, 12, 13});
  push_loop(w, {0, 1, 14, 3});
  add_sector(w, 0, 1, nullptr, nullptr, nullptr, 0);
  const OM_WorldEdge missing[] = {colour_edge(8, 9, 0), colour_edge(9, 200, 0),
                                  colour_edge(200, 8, 0)};
  add_sector(w, 0, 1, nullptr, nullptr, missing, 3);
  push_loop(w, {15, 16, 17});
  push_loop(w, {18, 19, 20});
  push_loop(w, {21, 22, 23, 24});
  OM_WorldEdge back[2400];
  for (int k = 0; k < 2400; ++k) back[k] = k < 1200 ? colour_edge(1, 2, 0) : colour_edge(2, 1, 0);
  add_sector(w, 0, 1, nullptr, nullptr, back, 2400);
  const OM_WorldEdge loose[] = {colour_edge(21, 21, 0), colour_edge(4, 5, 0), colour_edge(5, 6, 0),
                                colour_edge(6, 4, 0)};
  add_sector(w, 0, 1, nullptr, nullptr, loose, 4);
  return w;
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
  e.portal_step = 0;
  return e;
}

void use_pattern_textures(OM_World* w, OM_Surface* wall, OM_Surface* flat) {
  for (reg i = 0; i < world_sector_count(w); ++i) {
    OM_WorldSector* s = world_sector(w, i);
    s->floorTexture = flat;
    s->ceilingTexture = flat;
    for (reg j = 0; j < sector_edge_count(s); ++j) {
      OM_WorldEdge* e = sector_edge(s, j);
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

// ---- Program state guard -------------------------------------------------

namespace {

#define OM_SPAN(global) \
  GlobalSpan { &(global), sizeof(global) }

// What start-up makes for good (see SavedGlobals::kKeepStartUp).
const GlobalSpan kStartUpObjects[] = {
    OM_SPAN(OM_editor), OM_SPAN(OM_font), OM_SPAN(dummyTexture),
    OM_SPAN(preview),  // made by the first editor root, shared by every later one
};

// Every other mutable global of the program outside the host.
const GlobalSpan kProgramGlobals[] = {
    // Game core (ombrix.h): state, input records and the objects it holds;
    // the renderer's switches (render.h) and the world's file (world_session.h).
    OM_SPAN(gameState),
    OM_SPAN(keyboard),
    OM_SPAN(OM_keyboard),
    OM_SPAN(OM_mouse),
    OM_SPAN(mouse),
    OM_SPAN(timer),
    OM_SPAN(OM_frameBuffer),
    OM_SPAN(world),
    OM_SPAN(player),
    OM_SPAN(OM_camera),
    OM_SPAN(interlace),
    OM_SPAN(renderer_simd),
    OM_SPAN(worldFile),
    // Editor (editor.h): the view settings and the preview's place.
    OM_SPAN(draw_portals),
    OM_SPAN(heights_mode),
    OM_SPAN(draw_edges),
    OM_SPAN(drawVertices),
    OM_SPAN(drawVerticesLabel),
    OM_SPAN(drawCamera),
    OM_SPAN(vertexSize),
    OM_SPAN(relative_map_mode),
    OM_SPAN(OM_Editor_Viewport_GridColor),
    OM_SPAN(mapCulling),
    OM_SPAN(editor_scale),
    OM_SPAN(snap_grid_x),
    OM_SPAN(snap_grid_y),
    OM_SPAN(editor_rotate_center),
    OM_SPAN(preview_x),
    OM_SPAN(preview_y),
    // Console text and its newest line (ui_console.h) and the menu
    // description's top record (ui_menubar.h); its entries and drop-downs
    // are added when saved.
    OM_SPAN(buffer),
    OM_SPAN(newestMessage),
    OM_SPAN(menubar),
    // Widget prototypes, stream operation tables and the file fault hook:
    // records a test could patch like any other global.
    OM_SPAN(OM_Widget_Prototype),
    OM_SPAN(OM_Console_Prototype),
    OM_SPAN(OM_MenuBar_Prototype),
    OM_SPAN(OM_Editor_Prototype),
    OM_SPAN(RV_Editor_Toolbar_Prototype),
    OM_SPAN(RV_Button_Prototype),
    OM_SPAN(RV_Editor_ToolbarButton_Prototype),
    OM_SPAN(RV_Editor_Viewport_Prototype),
    OM_SPAN(RV_Menu_Prototype),
    OM_SPAN(RV_Editor_Sidebar_Prototype),
    OM_SPAN(OM_Stream_File_VTable),
    OM_SPAN(OM_Stream_Resource_VTable),
    OM_SPAN(OM_fileFault),
};

#undef OM_SPAN

[[noreturn]] void guard_overflow(const char* what) {
  fprintf(stderr, "SavedGlobals: too little room for %s; enlarge it in scene_support.h\n", what);
  abort();
}

}  // namespace

SavedGlobals::SavedGlobals(Mode mode) : mode(mode) {
  // The menu description is built by the first menu bar and kept for the
  // program's life. Building it now gives the guard its pristine entries to
  // put back, rather than a null it could only restore by losing them.
  if (!menubar.entries) OM_DestroyWidget(OM_CreateWidget(&OM_MenuBar_Prototype));

  for (const GlobalSpan& s : kStartUpObjects) save(s);
  startUpSpans = spanCount;
  for (const GlobalSpan& s : kProgramGlobals) save(s);
  for (reg i = 0; i < kHostGlobalCount; ++i) save(kHostGlobals[i]);
  if (menubar.entries) {
    save({menubar.entries, sizeof(MENU_ENTRY) * static_cast<reg>(menubar.capacity)});
    for (int i = 0; i < menubar.capacity; ++i) {
      MENU* sub = menubar.entries[i].submenu;
      if (!sub) continue;
      save({sub, sizeof *sub});
      if (sub->entries) save({sub->entries, sizeof(MENU_ENTRY) * static_cast<reg>(sub->capacity)});
    }
  }
}

SavedGlobals::~SavedGlobals() {
  const unsigned char* from = bytes;
  for (reg i = 0; i < spanCount; ++i) {
    if (mode == kRestoreAll || i >= startUpSpans) memcpy(spans[i].at, from, spans[i].size);
    from += spans[i].size;
  }
}

void SavedGlobals::save(GlobalSpan span) {
  if (spanCount == sizeof spans / sizeof spans[0]) guard_overflow("one more global");
  if (span.size > sizeof bytes - used) guard_overflow("the saved bytes");
  memcpy(bytes + used, span.at, span.size);
  used += span.size;
  spans[spanCount++] = span;
}
