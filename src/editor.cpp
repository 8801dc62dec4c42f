// The map editor's widgets: the root widget that lays out toolbar, map
// viewport and console, the first-person preview, the small panel widgets,
// and the map viewport itself (top-down drawing, mouse editing). The view
// transforms it draws and picks through are map_view.cpp.
//
// Sections (grep for "// ==== "):
//   Shell           the root widget with its layout and preview, the bevel
//                   frame
//   Panel widgets   button, toolbar button, toolbar, menu, sidebar, each
//                   followed by its prototype
//   Map drawing     the grid, the sectors (culled, the selected one filled),
//                   the vertices, the camera line
//   Editing         button down (place the player, pick a vertex, pick an
//                   edge, add or split, or a corner in drawing mode), drag,
//                   wheel, the undo step of a double-click, and the
//                   viewport's event handler and prototype
#include "editor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "collection.h"
#include "draw.h"
#include "editor_commands.h"
#include "editor_images.h"
#include "editor_steps.h"
#include "keys.h"
#include "object_player.h"
#include "ombrix.h"
#include "render.h"
#include "surface.h"
#include "ui_console.h"
#include "world.h"
#include "world_index.h"

// ==== Shell ================================================================

OM_Surface* preview;
int preview_x;
int preview_y;

enum {
  TOOLBAR_HEIGHT = 16,
  CONSOLE_HEIGHT = 80,
  PREVIEW_WIDTH = 320,
  PREVIEW_HEIGHT = 240,
  PREVIEW_MARGIN = 12,
};

static int pass_to_base(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  return super->HandleEvent(self, super->super, event);
}

static void add_child(OM_Widget* parent, OM_Widget* child) {
  OM_Collection_Push(parent->childs, &child);
}

// The widgets measure and draw text with the program font; without one (a
// widget made before the font is loaded) they keep the 8 x 8 cell and draw
// no text.
static int font_w() { return OM_font ? OM_font->w : 8; }
static int font_h() { return OM_font ? OM_font->h : 8; }
static void draw_text(OM_Surface* surface, const char* text, int x, int y, u32 color) {
  if (OM_font && text) OM_DrawText(surface, text, x, y, OM_font, color);
}

static void set_initial_state(RV_Editor_Data* data) {
  memset(data, 0, sizeof *data);
  f32 cx = OM_camera ? OM_camera->object.x : 0.0f;
  f32 cy = OM_camera ? OM_camera->object.y : 0.0f;
  data->camera.object.x = -cx - 8.0f;
  data->camera.object.y = -cy;
  data->camera.object.z = 24.0f;
  data->camera.object.angle = 0.0f;
  data->camera.fov = 0.0f;
  data->camera.view_distance = 2.0f;
  data->flag = 0;
  data->selectedSector = 0;
  data->world = world;
}

static int editor_init(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  int result = pass_to_base(self, super, event);
  // Without a child list the root could neither route nor draw: creation
  // fails instead.
  if (result != 0) return result;

  RV_Editor_Data* data = (RV_Editor_Data*)malloc(sizeof(RV_Editor_Data));
  if (!data) return 1;
  set_initial_state(data);
  RV_Editor_CommandsCreate(data);
  self->data = data;

  // The layout stays the same when the toolbar cannot be made: the viewport
  // and the preview are placed below the strip it would have covered.
  int toolbar_y = 0;
  int toolbar_h = TOOLBAR_HEIGHT;
  OM_Widget* toolbar = OM_CreateWidget(&RV_Editor_Toolbar_Prototype);
  if (toolbar) {
    toolbar->w = self->w;
    toolbar->h = TOOLBAR_HEIGHT;
    toolbar_y = toolbar->y;
    toolbar_h = toolbar->h;
    add_child(self, toolbar);
    OM_Widget button = RV_Editor_ToolbarButton_Prototype;
    button.data = (void*)"SAVE";
    OM_Widget* save = OM_CreateWidget(&button);
    if (save) add_child(toolbar, save);
  }

  // One preview surface serves every editor root; a second root reuses it.
  // It starts black: the interlaced renderer fills only half its columns
  // per frame, and the other half must not show whatever memory held.
  if (!preview) {
    preview = OM_CreateSurface(PREVIEW_WIDTH, PREVIEW_HEIGHT);
    if (preview) OM_FillRect(preview, 0, 0, preview->w, preview->h, 0xFF000000);
  }
  preview_x = self->w - PREVIEW_WIDTH - PREVIEW_MARGIN;
  preview_y = toolbar_y + toolbar_h + PREVIEW_MARGIN;

  OM_Widget* viewport = OM_CreateWidget(&RV_Editor_Viewport_Prototype);
  if (viewport) {
    viewport->x = 0;
    viewport->y = toolbar_h;
    viewport->w = self->w;
    viewport->h = self->h - toolbar_h;
    add_child(self, viewport);
  }

  OM_Widget* console = OM_CreateWidget(&OM_Console_Prototype);
  if (console) {
    console->x = 0;
    console->w = self->w;
    console->h = CONSOLE_HEIGHT;
    console->y = self->h - CONSOLE_HEIGHT;
    add_child(self, console);
  }
  return 0;
}

static void draw_preview(OM_Surface* surface) {
  if (!preview) return;
  // The renderer needs the whole game: without it the frame stays as it was.
  if (world && player && OM_camera) draw_game_viewport(preview);
  draw_text(preview, "IN-GAME PREVIEW", 8, 8, 0xFFFFFFFF);
  OM_DrawSurface(surface, preview_x, preview_y, preview_x + preview->w, preview_y + preview->h,
                 preview->data, preview->step);
  draw_bevel_border(surface, preview_x, preview_y, preview->w, preview->h, 4);
}

// The root made the whole tree, so it releases it: grandchildren first.
static void destroy_children(OM_Widget* widget) {
  if (!widget->childs) return;
  OM_Widget** kids = static_cast<OM_Widget**>(widget->childs->data);
  for (reg i = 0; i < widget->childs->length; ++i) {
    if (!kids[i]) continue;
    destroy_children(kids[i]);
    OM_DestroyWidget(kids[i]);
    kids[i] = nullptr;
  }
}

int RV_Editor_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  switch (event->type) {
    case OM_EVENT_INIT: return editor_init(self, super, event);
    case OM_EVENT_DRAW: {
      OM_Surface* surface = event->surface;
      pass_to_base(self, super, event);
      if (gameState == EDITOR_PREVIEW) draw_preview(surface);
      return 0;
    }
    case OM_EVENT_FILES_DROPPED:
      // In every state: a texture dropped during gameplay is seen at once.
      RV_Editor_DropFiles((RV_Editor_Data*)self->data, event->drop);
      return 0;
    case OM_EVENT_QUIT:
      destroy_children(self);
      RV_Editor_CommandsRelease((RV_Editor_Data*)self->data);
      free(self->data);
      self->data = nullptr;
      return pass_to_base(self, super, event);
    default: return pass_to_base(self, super, event);
  }
}
OM_Widget OM_Editor_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Editor_HandleEvent);

void draw_bevel_border(OM_Surface* surface, int x, int y, int width, int height, int thickness) {
  const u32 light = 0xFFEEEEEE;
  const u32 dark = 0xFF888888;
  for (int i = 0; i < thickness; ++i) {
    int left = x - 1 - i;
    int top = y - 1 - i;
    int right = left + width + 2 * i;
    int bottom = top + height + 2 * i;
    OM_DrawLine(surface, left, top, right, top, light);
    OM_DrawLine(surface, right, top, right, bottom, dark);
    OM_DrawLine(surface, left, bottom, right, bottom, dark);
    OM_DrawLine(surface, left, top, left, bottom, light);
  }
}

// ==== Panel widgets ========================================================

int RV_Button_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  const char* label = (const char*)self->data;
  switch (event->type) {
    case OM_EVENT_INIT: {
      // A button without a label is one empty cell wide.
      int length = label ? (int)strlen(label) : 0;
      self->w = font_w() * (length + 1);
      self->h = font_h() * 2;
      return pass_to_base(self, super, event);
    }
    case OM_EVENT_DRAW:
      if (label) {
        OM_FillRect(event->surface, 0, 0, self->w, self->h, 0xFFFF0066);
        draw_text(event->surface, label, font_w() / 2, font_h() / 2, 0xFFFFFFFF);
      }
      pass_to_base(self, super, event);
      return 0;
    default: return pass_to_base(self, super, event);
  }
}
OM_Widget RV_Button_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Button_HandleEvent);

// The toolbar's one button, "SAVE": a left press saves like Ctrl+S. Not in
// gameplay, where the toolbar is not on screen and a press only takes the
// pointer back.
int RV_Editor_ToolbarButton_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    draw_text(event->surface, (const char*)self->data, font_w() / 2, font_h() / 2, 0xFFFFFFFF);
    return 0;
  }
  if (event->type == OM_EVENT_MOUSE_BUTTON_DOWN && event->mouse &&
      (event->mouse->buttons & OM_LMB) && gameState != GAMEPLAY) {
    save_current_world();
    return 0;
  }
  return pass_to_base(self, super, event);
}
OM_Widget RV_Editor_ToolbarButton_Prototype =
    OM_Widget_MakePrototype(&RV_Button_Prototype, RV_Editor_ToolbarButton_HandleEvent);

// Heights mode's label, in its own colour after the toolbar's buttons at
// `left`, with the eye's height: the map tells which look the first-person
// view has, and shows a step lift the eye. Returns where text may go on.
static int draw_look_label(OM_Surface* surface, int left) {
  if (!heights_mode) return left;
  char text[64];
  snprintf(text, sizeof text, "HEIGHTS MODE, EYE AT %.2f", player ? player->object.z : 0.0f);
  draw_text(surface, text, left, font_h() / 2, RV_EDITOR_LOOK_LABEL_COLOR);
  return left + int(strlen(text) + 1) * font_w();
}

// The newest console message, right-aligned in the room the toolbar's
// buttons and label leave from `left` on: the console shows only its first
// lines, and what saving and loading say must be seen. Too long a message
// keeps its end, after "...".
static void draw_newest_message(OM_Widget* self, OM_Surface* surface, int left) {
  if (!OM_font || !newestMessage[0]) return;
  const int cell = font_w();
  const int right = self->w - cell / 2;  // the label's inset, mirrored
  const reg room = right > left ? reg((right - left) / cell) : 0;
  const char* text = newestMessage;
  reg n = strlen(text);
  char cut[sizeof newestMessage];
  if (n > room) {
    if (room <= 3) return;
    memcpy(cut, "...", 3);
    memcpy(cut + 3, text + n - (room - 3), room - 3 + 1);
    text = cut;
    n = room;
  }
  draw_text(surface, text, right - int(n) * cell, font_h() / 2, 0xFFFFFFFF);
}

int RV_Editor_Toolbar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w, self->h - 1, 0xFF111111);
    OM_DrawLine(event->surface, 0, self->h - 1, self->w, self->h - 1, 0xFF222222);
    pass_to_base(self, super, event);
    int left = 0;
    for (reg i = 0; self->childs && i < self->childs->length; ++i) {
      const OM_Widget* k = static_cast<OM_Widget**>(self->childs->data)[i];
      if (k) left = OM_MaxI32(left, k->x + k->w);
    }
    left += font_w();  // one cell after the buttons
    draw_newest_message(self, event->surface, draw_look_label(event->surface, left));
    return 0;
  }
  return pass_to_base(self, super, event);
}
OM_Widget RV_Editor_Toolbar_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Editor_Toolbar_HandleEvent);

int RV_Menu_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w, self->h, 0xFF111111);
    OM_DrawRect(event->surface, 0, 0, self->w - 1, self->h - 1, 0xFF222222);
    pass_to_base(self, super, event);
    return 0;
  }
  return pass_to_base(self, super, event);
}
OM_Widget RV_Menu_Prototype = OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Menu_HandleEvent);

int RV_Editor_Sidebar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type == OM_EVENT_DRAW) {
    OM_FillRect(event->surface, 0, 0, self->w - 1, self->h, 0xFF090909);
    OM_DrawLine(event->surface, self->w - 1, 0, self->w - 1, self->h, 0xFF191919);
    return 0;
  }
  return pass_to_base(self, super, event);
}
OM_Widget RV_Editor_Sidebar_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Editor_Sidebar_HandleEvent);

// ==== Map drawing ==========================================================
// The map viewport's top-down drawing of the world, through the transforms
// of map_view. Its editing follows in the next section.

namespace {

const u32 kBackground = 0xFF000000;
const u32 kWall = 0xFF666666;
const u32 kPortal = 0xFF660000;
const u32 kSelectedFill = 0xFF113311;
const u32 kSelectedWall = 0xFFFFFFFF;
const u32 kSelectedPortal = 0xFFFF0000;
const u32 kHighlight = 0xFFFF0066;  // selected edge and vertex, dragged line
const u32 kVertex = 0xFFFFFFFF;
const u32 kCameraLine = 0xFF00FF66;

const f32 kEdgePick = 1.0f;
const f32 kZoomMin = 8.0f;
const f32 kZoomMax = 64.0f;

RV_Editor_Data* editor_data() { return OM_editor ? (RV_Editor_Data*)OM_editor->data : nullptr; }

// The selection refers to one world: a replaced world drops it. In the same
// world a selected sector that is gone (the last one deleted) only moves back
// to the first; the world's undo history stays.
void sync_world(RV_Editor_Data* data) {
  if (data->world != world) {
    RV_Editor_WorldChanged(data);
  } else if (data->selectedSector >= world_sector_count(world)) {
    data->selectedSector = 0;
    data->flag &= ~RV_EDITOR_EDGE_SELECTED;
  }
}

OM_WorldSector* selected_sector(RV_Editor_Data* data, OM_World* w) {
  return world_sector(w, data->selectedSector);
}

// The selected vertex, or null when none is selected.
OM_WorldVertex* selected_vertex(RV_Editor_Data* data, OM_World* w) {
  if (!(data->flag & RV_EDITOR_VERTEX_SELECTED)) return nullptr;
  return world_vertex(w, data->selectedVertex);
}

// Maps a vertex to the viewport; false when the index names no vertex.
bool map_vertex(OM_Widget* self, OM_Camera* camera, OM_World* w, reg index, f32* x, f32* y) {
  const OM_WorldVertex* v = world_vertex(w, index);
  if (!v) return false;
  *x = v->x;
  *y = v->y;
  RV_Editor_Viewport_ViewportToScreen(self, camera, x, y);
  return true;
}

void draw_edge(OM_Widget* self, OM_Surface* surface, OM_Camera* camera, OM_World* w,
               OM_WorldEdge* edge, u32 color) {
  f32 x0, y0, x1, y1;
  if (!map_vertex(self, camera, w, edge->v1, &x0, &y0)) return;
  if (!map_vertex(self, camera, w, edge->v2, &x1, &y1)) return;
  OM_DrawLine(surface, OM_TruncPixel(x0), OM_TruncPixel(y0), OM_TruncPixel(x1), OM_TruncPixel(y1),
              color);
}

// A sector's edges: walls in `wall`, portals in `portal` while portals are
// shown, and edge number `highlighted` (if there is one) in the highlight
// colour, whatever its kind.
void outline_sector(OM_Widget* self, OM_Surface* surface, OM_Camera* camera, OM_World* w,
                    OM_WorldSector* s, u32 wall, u32 portal, reg highlighted) {
  reg count = sector_edge_count(s);
  for (reg k = 0; k < count; ++k) {
    OM_WorldEdge* e = sector_edge(s, k);
    if (k == highlighted) {
      draw_edge(self, surface, camera, w, e, kHighlight);
    } else if (e->type != OM_EDGE_PORTAL) {
      draw_edge(self, surface, camera, w, e, wall);
    } else if (draw_portals) {
      draw_edge(self, surface, camera, w, e, portal);
    }
  }
}

// Scratch space of the fill, grown only when a sector has more edges than any
// filled before, so drawing a frame allocates nothing.
struct FillScratch {
  f32* cx;
  f32* cy;
  int* crossings;
  u8* used;
  reg capacity;
};
FillScratch scratch;

bool reserve_scratch(reg n) {
  if (n <= scratch.capacity) return true;
  f32* cx = (f32*)realloc(scratch.cx, n * sizeof(f32));
  if (cx) scratch.cx = cx;
  f32* cy = (f32*)realloc(scratch.cy, n * sizeof(f32));
  if (cy) scratch.cy = cy;
  int* cr = (int*)realloc(scratch.crossings, n * sizeof(int));
  if (cr) scratch.crossings = cr;
  u8* used = (u8*)realloc(scratch.used, n);
  if (used) scratch.used = used;
  if (!cx || !cy || !cr || !used) return false;
  scratch.capacity = n;
  return true;
}

// Lists the outline's corners (each edge's v1) by following every edge's v2
// to the edge that starts there, so that an edge appended by a split takes
// its place in the outline. Where no edge continues the chain, the next
// unused edge in stored order starts a new loop.
reg collect_corners(OM_Widget* self, OM_Camera* camera, OM_World* w, OM_WorldSector* s) {
  reg n = sector_edge_count(s);
  const OM_WorldEdge* e = sector_edge(s, 0);
  for (reg k = 0; k < n; ++k) scratch.used[k] = 0;
  reg count = 0;
  reg cur = 0;
  while (count < n) {
    scratch.used[cur] = 1;
    f32 x, y;
    if (!map_vertex(self, camera, w, e[cur].v1, &x, &y)) x = y = 0.0f;
    scratch.cx[count] = x;
    scratch.cy[count] = y;
    ++count;
    if (count == n) break;
    reg next = n;
    if (cur + 1 < n && !scratch.used[cur + 1] && e[cur + 1].v1 == e[cur].v2) next = cur + 1;
    for (reg k = 0; next == n && k < n; ++k)
      if (!scratch.used[k] && e[k].v1 == e[cur].v2) next = k;
    for (reg k = 0; next == n && k < n; ++k)
      if (!scratch.used[k]) next = k;
    cur = next;
  }
  return count;
}

void fill_selected(OM_Widget* self, OM_Surface* surface, OM_Camera* camera, OM_World* w,
                   OM_WorldSector* s) {
  reg n = sector_edge_count(s);
  if (n == 0 || !reserve_scratch(n)) return;
  collect_corners(self, camera, w, s);
  f32* cx = scratch.cx;
  f32* cy = scratch.cy;
  int* cr = scratch.crossings;

  int left = 0, top = 0;
  int right = 0, bottom = 0;
  for (reg k = 0; k < n; ++k) {
    right = OM_MaxI32(right, OM_TruncPixel(cx[k]));
    bottom = OM_MaxI32(bottom, OM_TruncPixel(cy[k]));
  }
  right = OM_MinI32(OM_MaxI32(right, 0), surface->w);
  bottom = OM_MinI32(OM_MaxI32(bottom, 0), surface->h);

  for (int y = top; y < bottom; ++y) {
    f32 fy = (f32)y;
    int count = 0;
    reg j = n - 1;
    for (reg i = 0; i < n; ++i) {
      if ((cy[i] < fy && fy <= cy[j]) || (cy[j] < fy && fy <= cy[i]))
        cr[count++] = OM_TruncPixel(cx[i] + (fy - cy[i]) / (cy[j] - cy[i]) * (cx[j] - cx[i]));
      j = i;
    }
    int k = 0;
    while (k < count - 1) {
      if (cr[k] > cr[k + 1]) {
        int t = cr[k];
        cr[k] = cr[k + 1];
        cr[k + 1] = t;
        if (k > 0) --k;
      } else {
        ++k;
      }
    }
    u32* row = surface->data + (reg)surface->step * (reg)y;
    for (int p = 0; p + 1 < count; p += 2) {
      int start = cr[p], end = cr[p + 1];
      if (start >= right) break;
      if (end <= left) continue;
      start = OM_MaxI32(start, left);
      end = OM_MinI32(end, right);
      for (int x = start; x < end; ++x) row[x] = kSelectedFill;
    }
  }
}

// What can reach the surface. A line's pixels come from its truncated end
// points by f32 steps, whose rounding can carry them off the ideal line: for
// a line of L pixels among coordinates of magnitude M, by at most
// L * (M + 1) * 2^-23. A sector is left out only when its box lies farther
// off the surface than that, the truncation and the rounding of the
// transform together (sector_margin); a vertex only when its square and its
// label both fall outside.
struct Culling {
  OM_WorldBox view;   // the map under the surface, with the transform's rounding
  f64 unitsPerPixel;  // map units that a pixel of margin takes, turned or not
  f64 pixelsPerUnit;  // the larger of the two scales
  f64 w, h;           // the surface
};

// How many pixels off the surface a box spanning `span` pixels must lie for
// none of its lines to reach it; negative when no margin is safe. At a gap
// g the coordinates stay below g + w + h + span, so a gap beyond the drift
// there and two pixels (truncation, and a position above -1 landing in
// column 0) is safe once it passes twice the part that does not grow with g.
f64 sector_margin(f64 span, f64 w, f64 h) {
  if (!(span <= 0x1p22)) return -1.0;
  return 2.0 * (2.0 + span * (w + h + span + 1.0) * 0x1p-23);
}

OM_WorldBox grown(OM_WorldBox b, f64 by) {
  return {f32(b.x0 - by), f32(b.y0 - by), f32(b.x1 + by), f32(b.y1 + by)};
}

bool start_culling(OM_Widget* self, OM_Surface* surface, OM_Camera* camera, OM_World* w,
                   Culling* c) {
  if (!mapCulling || !w ||
      !RV_Editor_Viewport_MapArea(self, camera, 0.0f, 0.0f, (f32)surface->w, (f32)surface->h,
                                  &c->view))
    return false;
  const f64 z = camera->object.z, sx = self->w / z, sy = self->h / z;
  c->pixelsPerUnit = fmax(sx, sy);
  c->unitsPerPixel = 2.0 / fmin(sx, sy);
  c->w = surface->w;
  c->h = surface->h;
  return true;
}

bool sector_may_show(const Culling& c, OM_World* w, reg i) {
  OM_WorldBox b;
  if (!world_sector_bounds(w, i, &b)) return true;
  const f64 span = ((f64)b.x1 - b.x0 + ((f64)b.y1 - b.y0)) * c.pixelsPerUnit;
  const f64 margin = sector_margin(span, c.w, c.h);
  if (margin < 0.0) return true;
  const OM_WorldBox near = grown(c.view, margin * c.unitsPerPixel);
  return b.x0 <= near.x1 && near.x0 <= b.x1 && b.y0 <= near.y1 && near.y0 <= b.y1;
}

// The sectors pass 1 may have to outline, in index order; null when every
// sector must be tried. Each still goes through sector_may_show.
const u32* sectors_near(const Culling& c, OM_World* w, reg* count) {
  const f64 widest = 2.0 * world_indexed_sector_size(w) * c.pixelsPerUnit;
  const f64 margin = sector_margin(widest, c.w, c.h);
  if (margin < 0.0) return nullptr;
  return world_sectors_in(w, grown(c.view, margin * c.unitsPerPixel), count);
}

// The vertices whose square or label can reach the surface, in index order;
// null when every vertex must be tried.
const u32* vertices_near(OM_Widget* self, OM_Surface* surface, OM_Camera* camera, OM_World* w,
                         reg* count) {
  if (!mapCulling || !w) return nullptr;
  const f64 size = fabs((f64)vertexSize);
  f64 right = size, down = size;
  if (drawVerticesLabel && OM_font) {
    f64 chars = 2.0;  // "V" and the widest index's digits
    for (reg n = world_vertex_count(w); n >= 10; n /= 10) chars += 1.0;
    const f64 fw = fmax(OM_font->w, 0), fh = fmax(OM_font->h, 0);
    right = fmax(right, fw / 2.0 + fw * chars);
    down = fmax(down, fh / 2.0 + fh);
  }
  OM_WorldBox area;
  if (!RV_Editor_Viewport_MapArea(self, camera, (f32)(-right - 2.0), (f32)(-down - 2.0),
                                  (f32)(surface->w + size + 2.0), (f32)(surface->h + size + 2.0),
                                  &area))
    return nullptr;
  return world_vertices_in(w, area, count);
}

// Decimal digits of the vertex index behind the "V"; any index fits.
char labelText[24] = "V";

void write_label(reg index) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = (char)('0' + index % 10);
    index /= 10;
  } while (index > 0);
  int k = 1;
  while (n > 0) labelText[k++] = digits[--n];
  labelText[k] = '\0';
}

}  // namespace

void OM_Editor_Viewport_DrawGrid(OM_Widget* self, OM_Surface* surface, OM_Camera* camera) {
  (void)self;
  f32 z = camera->object.z;
  int n = OM_TruncPixel(z * 0.5f);
  f32 offX = fmodf(camera->object.x, 1.0f);
  f32 offY = fmodf(camera->object.y, 1.0f);
  f32 w = (f32)surface->w, h = (f32)surface->h;
  for (int j = -n; j < n; ++j) {
    f32 py = h * (((f32)j + offY) / z + 0.5f);
    if (!(py >= 0.0f && py < h)) continue;
    u32* row = surface->data + (reg)surface->step * (reg)(int)py;
    for (int i = -n; i < n; ++i) {
      f32 px = w * (((f32)i + offX) / z + 0.5f);
      if (px >= 0.0f && px < w) row[(int)px] = OM_Editor_Viewport_GridColor;
    }
  }
}

void OM_Editor_Viewport_DrawSectors(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                    OM_World* w) {
  RV_Editor_Data* data = editor_data();
  if (!data || !w) return;
  // The selection follows the player from sector to sector. Pass 1 leaves
  // out the sector selected as it goes: the old selection, unless the
  // player's sector comes before it and takes the selection first.
  const reg count = world_sector_count(w);
  const reg playerSector = player ? world_sector_index(w, player->sector) : count;
  reg skipped = data->selectedSector;
  if (playerSector < count) {
    if (playerSector < skipped) skipped = count;
    data->selectedSector = playerSector;
  }
  Culling cull;
  reg listed = 0;
  const u32* list =
      start_culling(self, surface, camera, w, &cull) ? sectors_near(cull, w, &listed) : nullptr;
  const reg passes = list ? listed : count;
  for (reg k = 0; k < passes; ++k) {
    const reg i = list ? list[k] : k;
    if (i == skipped || (list && !sector_may_show(cull, w, i))) continue;
    OM_WorldSector* s = world_sector(w, i);
    outline_sector(self, surface, camera, w, s, kWall, kPortal, sector_edge_count(s));
  }

  OM_WorldSector* s = selected_sector(data, w);
  if (!s) return;
  fill_selected(self, surface, camera, w, s);
  reg highlighted = sector_edge_count(s);
  if (data->flag & RV_EDITOR_EDGE_SELECTED) highlighted = data->selectedEdge;
  outline_sector(self, surface, camera, w, s, kSelectedWall, kSelectedPortal, highlighted);
}

void OM_Editor_Viewport_DrawVertices(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                     OM_World* w) {
  RV_Editor_Data* data = editor_data();
  reg listed = 0;
  const u32* list = vertices_near(self, surface, camera, w, &listed);
  const reg passes = list ? listed : world_vertex_count(w);
  f32 size = (f32)vertexSize;
  for (reg k = 0; k < passes; ++k) {
    const reg i = list ? list[k] : k;
    f32 x, y;
    map_vertex(self, camera, w, i, &x, &y);
    bool selected = data && (data->flag & RV_EDITOR_VERTEX_SELECTED) && i == data->selectedVertex;
    u32 color = selected ? kHighlight : kVertex;
    OM_FillRect(surface, OM_TruncPixel(x - size), OM_TruncPixel(y - size), OM_TruncPixel(x + size),
                OM_TruncPixel(y + size), color);
    if (drawVerticesLabel && OM_font) {
      write_label(i);
      x = x + (f32)OM_font->w / 2.0f;
      y = y + (f32)OM_font->h / 2.0f;
      OM_DrawText(surface, labelText, OM_TruncPixel(x), OM_TruncPixel(y), OM_font, color);
    }
  }
}

void OM_Editor_Viewport_DrawCamera(OM_Widget* self, OM_Surface* surface, OM_Camera* relativeTo,
                                   OM_Camera* camera) {
  f32 x0 = camera->object.x, y0 = camera->object.y;
  RV_Editor_Viewport_ViewportToScreen(self, relativeTo, &x0, &y0);
  f32 length = 512.0f / relativeTo->object.z;
  f32 x1, y1;
  if (!relative_map_mode) {
    x1 = x0 + length * cosf(camera->object.angle);
    y1 = y0 + length * sinf(camera->object.angle);
  } else {
    x1 = x0;
    y1 = y0 - length;
  }
  OM_DrawLine(surface, OM_TruncPixel(x0), OM_TruncPixel(y0), OM_TruncPixel(x1), OM_TruncPixel(y1),
              kCameraLine);
}

namespace {

// The viewport's draw event: background, grid, sectors, vertices, the game
// camera's direction, the link mark and the outline being drawn, and the
// dragged line, each over the one before.
void draw(OM_Widget* self, RV_Editor_Data* data, OM_Surface* surface) {
  OM_FillRect(surface, 0, 0, surface->w, surface->h, kBackground);
  OM_Editor_Viewport_DrawGrid(self, surface, &data->camera);
  OM_Editor_Viewport_DrawSectors(self, surface, &data->camera, world);
  if (drawVertices) OM_Editor_Viewport_DrawVertices(self, surface, &data->camera, world);
  if (drawCamera && OM_camera)
    OM_Editor_Viewport_DrawCamera(self, surface, &data->camera, OM_camera);
  RV_Editor_DrawOverlay(self, surface, data);
  f32 x, y;
  if ((data->flag & RV_EDITOR_LINE_DRAGGED) &&
      map_vertex(self, &data->camera, world, data->selectedVertex, &x, &y))
    OM_DrawLine(surface, OM_TruncPixel(x), OM_TruncPixel(y), data->x, data->y, kHighlight);
}

}  // namespace

// ==== Editing ==============================================================
// Mouse input in the map: pan, zoom, pick, add, split, drag, place the player;
// in drawing mode the left button places corners instead (editor_commands).
// A double-click's add or split and the drag after it make one undo step.

namespace {

// Appends a vertex; false (nothing changed) when edges could no longer name
// it or the collection cannot grow.
bool append_vertex(OM_World* w, f32 x, f32 y, reg* index) {
  reg count = world_vertex_count(w);
  if (count >= RV_EDITOR_MAX_VERTICES) {
    OM_Print("The map holds at most 65536 vertices: nothing was added");
    return false;
  }
  OM_WorldVertex v = {x, y};
  OM_Collection_Push(w->vertices, &v);
  if (world_vertex_count(w) != count + 1) return false;
  world_changed(w);
  *index = count;
  return true;
}

// Ctrl + click: the game camera's object (the player) stands at the point.
void place_player(f32 mx, f32 my) {
  GameObject* o = OM_camera ? OM_camera->attached_to : nullptr;
  if (!o) return;
  o->x = mx;
  o->y = my;
  o->z = 0.0f;
  // Movement and the first-person view start from the sector the player now
  // stands in, not the one it was taken from; in heights mode the eye rides
  // at its height above that sector's floor (above 0 outside every sector),
  // at rest.
  if (player && o == &player->object) {
    player->sector = get_sector_at(world, mx, my);
    if (heights_mode) {
      o->z = (player->sector ? player->sector->floorHeight : 0.0f) + player->eye_height;
      player->velocity_z = 0.0f;
    }
  }
}

// Selects the lowest-numbered vertex whose pick box holds the map point.
bool pick_vertex(RV_Editor_Data* data, OM_World* w, f32 mx, f32 my, const OM_Mouse* m) {
  reg count = world_vertex_count(w);
  for (reg i = 0; i < count; ++i) {
    const OM_WorldVertex* v = world_vertex(w, i);
    if (RV_Editor_InPickBox(v->x, v->y, mx, my)) {
      data->selectedVertex = i;
      data->x = m->x;
      data->y = m->y;
      data->flag |= RV_EDITOR_VERTEX_SELECTED;
      return true;
    }
  }
  return false;
}

// Selects the first edge of the selected sector, in stored order, with a
// foot point nearer than the pick distance; (*fx, *fy) is that foot point.
bool pick_edge(RV_Editor_Data* data, OM_World* w, f32 mx, f32 my, f32* fx, f32* fy) {
  OM_WorldSector* s = selected_sector(data, w);
  reg count = sector_edge_count(s);
  for (reg j = 0; j < count; ++j) {
    const OM_WorldEdge* e = sector_edge(s, j);
    const OM_WorldVertex* p = world_vertex(w, e->v1);
    const OM_WorldVertex* q = world_vertex(w, e->v2);
    if (!p || !q) continue;
    f32 ix, iy;
    if (OM_HasFootPoint(mx, my, p->x, p->y, q->x, q->y, &ix, &iy) &&
        OM_LineLength(mx, my, ix, iy) < kEdgePick) {
      data->selectedEdge = j;
      data->flag |= RV_EDITOR_EDGE_SELECTED;
      *fx = ix;
      *fy = iy;
      return true;
    }
  }
  return false;
}

// The second press of a double-click: splits the picked edge at its foot
// point (a portal's partner with it), or adds a vertex on empty map; on a
// picked vertex it does nothing yet. Either way it opens the undo step that
// the drag while the button stays down belongs to.
void add_or_split(RV_Editor_Data* data, OM_World* w, f32 mx, f32 my, f32 fx, f32 fy) {
  RV_Editor_StepOpen(data);
  reg index;
  if (data->flag & RV_EDITOR_EDGE_SELECTED) {
    if (RV_Editor_SplitEdge(data->selectedSector, data->selectedEdge, fx, fy, &index)) {
      data->selectedVertex = index;
      data->flag &= ~RV_EDITOR_EDGE_SELECTED;
      data->flag |= RV_EDITOR_VERTEX_SELECTED;
      RV_Editor_StepChanged(data);
    }
  } else if (!(data->flag & RV_EDITOR_VERTEX_SELECTED)) {
    if (append_vertex(w, mx, my, &index)) {
      data->selectedVertex = index;
      data->flag |= RV_EDITOR_VERTEX_SELECTED;
      RV_Editor_StepChanged(data);
    }
  }
  // Nothing to drag: the step is over before it began.
  if (!(data->flag & RV_EDITOR_VERTEX_SELECTED)) RV_Editor_StepClose(data);
}

void button_down(OM_Widget* self, RV_Editor_Data* data, OM_Mouse* m) {
  f32 mx = (f32)m->x, my = (f32)m->y;
  RV_Editor_Viewport_ScreenToViewport(self, &data->camera, &mx, &my);
  if (!(m->buttons & OM_LMB)) return;
  if (keyboard.keys[OM_KEY_CTRL]) {
    place_player(mx, my);
    return;
  }
  // A press ends the step of an earlier double-click whose release the map
  // never saw (it came over the toolbar or outside the window).
  RV_Editor_StepClose(data);
  if (RV_Editor_DrawingPress(self, data, m)) return;
  data->flag &= ~(RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED);
  f32 fx = 0.0f, fy = 0.0f;
  if (!pick_vertex(data, world, mx, my, m)) pick_edge(data, world, mx, my, &fx, &fy);
  bool second_press = m->buttons == OM_LMB && OM_mouse.clicks > 1;
  if (second_press && world && world->vertices) add_or_split(data, world, mx, my, fx, fy);
}

void mouse_move(OM_Widget* self, RV_Editor_Data* data, OM_Mouse* m) {
  f32 z = data->camera.object.z;
  if (m->buttons & OM_RMB) {
    data->camera.object.x += z * ((f32)m->dx / (f32)self->w);
    data->camera.object.y += z * ((f32)m->dy / (f32)self->h);
  }
  // While drawing, the left button places corners and drags nothing.
  if (RV_Editor_DrawingPointer(data, m)) return;
  OM_WorldVertex* v = selected_vertex(data, world);
  if (!(m->buttons & OM_LMB) || !v) return;
  if (m->clicks <= 1) {
    // A single press only shows a line from the vertex to the pointer.
    data->flag |= RV_EDITOR_LINE_DRAGGED;
    data->x = m->x;
    data->y = m->y;
    return;
  }
  f32 x = (f32)m->x, y = (f32)m->y;
  RV_Editor_Viewport_ScreenToViewport(self, &data->camera, &x, &y);
  if (!keyboard.keys[OM_KEY_SHIFT]) OM_SnapToGrid(&x, &y, RV_EDITOR_SNAP_STEP, RV_EDITOR_SNAP_STEP);
  if (x == v->x && y == v->y) return;
  // A drag whose double-click the map did not see still gets its undo step.
  if (!data->stepOpen) RV_Editor_StepOpen(data);
  v = selected_vertex(data, world);
  v->x = x;
  v->y = y;
  world_vertex_moved(world, data->selectedVertex);
  RV_Editor_StepChanged(data);
}

void wheel(RV_Editor_Data* data, OM_Mouse* m) {
  f32 d = m->wheel > 0 ? 1.0f : -1.0f;
  data->camera.object.z = OM_MaxF32(OM_MinF32(data->camera.object.z - d, kZoomMax), kZoomMin);
}

}  // namespace

int RV_Editor_Viewport_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  RV_Editor_Data* data = editor_data();
  if (!data) return pass_to_base(self, super, event);
  switch (event->type) {
    case OM_EVENT_DRAW:
      sync_world(data);
      draw(self, data, event->surface);
      pass_to_base(self, super, event);
      return 0;
    case OM_EVENT_MOUSE_BUTTON_DOWN:
      sync_world(data);
      button_down(self, data, event->mouse);
      return 0;
    case OM_EVENT_MOUSE_MOVE:
      sync_world(data);
      mouse_move(self, data, event->mouse);
      return 0;
    case OM_EVENT_MOUSE_WHEEL: wheel(data, event->mouse); return 0;
    case OM_EVENT_MOUSE_BUTTON_UP:
      data->flag &= ~RV_EDITOR_LINE_DRAGGED;
      RV_Editor_StepClose(data);
      return 0;
    default: return pass_to_base(self, super, event);
  }
}
OM_Widget RV_Editor_Viewport_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent);
