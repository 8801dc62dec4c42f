#include "ui_menubar.h"

#include <cstdint>
#include <cstdlib>

#include "draw.h"
#include "map_view.h"
#include "math.h"
#include "ombrix.h"
#include "surface.h"

MENU menubar = {-1, 0, nullptr, 0};
OM_Widget OM_MenuBar_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, OM_MenuBar_HandleEvent);

namespace {

const u32 kBar = 0xFF222222;
const u32 kItem = 0xFF303030;
const u32 kHover = 0xFF3A3A3A;  // also the separators
const u32 kMark = 0xFFFF0066;
const u32 kLabel = 0x00FFFFFF;

enum {
  BAR_HEIGHT = 28,
  TAB_WIDTH = 80,
  TAB_TOP = 4,
  TAB_BOTTOM = 24,
  DROP_WIDTH = 240,
  ROW_HEIGHT = 24,
};

MENU* new_menu(int capacity) {
  MENU* menu = (MENU*)calloc(1, sizeof(MENU));
  if (!menu) return nullptr;
  menu->active_index = -1;
  menu->entries = (MENU_ENTRY*)calloc((reg)capacity, sizeof(MENU_ENTRY));
  if (menu->entries) menu->capacity = capacity;
  return menu;
}

// Builds the shared description once; a later menu bar reuses it with every
// menu closed.
void build_menubar() {
  menubar.active_index = -1;
  if (menubar.entries) return;
  menubar.entries = (MENU_ENTRY*)calloc(2, sizeof(MENU_ENTRY));
  if (!menubar.entries) return;
  menubar.capacity = 2;
  menubar.n_entries = 0;
  add_menu_entry(&menubar, "FILE", nullptr);
  add_menu_entry(&menubar, "EDITOR", nullptr);
  MENU* file = new_menu(2);
  if (file) {
    add_menu_entry(file, "SAVE MAP          [CTRL + S]", save_current_map);
    add_menu_entry(file, "LOAD MAP          [CTRL + L]", load_map);
  }
  menubar.entries[0].submenu = file;
}

int inside(f32 x, f32 y, int x0, int y0, int x1, int y1) {
  return OM_PointInRect(x, y, (f32)x0, (f32)y0, (f32)x1, (f32)y1);
}

void draw_label(OM_Surface* surface, const char* text, int x, int y) {
  if (OM_font && text) OM_DrawText(surface, text, x, y, OM_font, kLabel);
}

void draw_dropdown(OM_Surface* viewport, MENU* sub, int i, f32 cx, f32 cy, int pressed) {
  int x0 = DROP_WIDTH * i;
  int x1 = x0 + DROP_WIDTH;
  if (pressed && !inside(cx, cy, x0, 0, x1, BAR_HEIGHT + ROW_HEIGHT * sub->n_entries))
    menubar.active_index = -1;
  for (int j = 0; j < sub->n_entries; ++j) {
    int y0 = BAR_HEIGHT + ROW_HEIGHT * j;
    int y1 = y0 + ROW_HEIGHT;
    u32 color = kItem;
    if (inside(cx, cy, x0, y0, x1, y1)) {
      color = kHover;
      if (pressed && sub->entries[j].onclick) sub->entries[j].onclick();
    }
    OM_FillRect(viewport, x0, y0, x1, y1, color);
    OM_DrawLine(viewport, x0, y1 - 1, x1, y1 - 1, kHover);
    // The rows carry their labels like the tabs: 8 pixels in, centred.
    draw_label(viewport, sub->entries[j].label, x0 + 8, y0 + (ROW_HEIGHT - 8) / 2);
  }
}

// Offset of a window's top-left pixel within the frame buffer, or (0, 0)
// for a surface that is not part of it.
void frame_offset(OM_Surface* s, int* ox, int* oy) {
  *ox = 0;
  *oy = 0;
  OM_Surface* fb = OM_frameBuffer;
  if (!fb || !fb->data || fb->step <= 0) return;
  uintptr_t base = (uintptr_t)fb->data;
  uintptr_t at = (uintptr_t)s->data;
  uintptr_t end = base + (uintptr_t)fb->step * (uintptr_t)fb->h * sizeof(u32);
  if (at < base || at >= end) return;
  uintptr_t index = (at - base) / sizeof(u32);
  *ox = (int)(index % (uintptr_t)fb->step);
  *oy = (int)(index / (uintptr_t)fb->step);
}

}  // namespace

void add_menu_entry(MENU* menu, const char* label, MENU_Command onclick) {
  if (!menu || !menu->entries || menu->n_entries >= menu->capacity) return;
  MENU_ENTRY* e = &menu->entries[menu->n_entries];
  e->label = label;
  e->onclick = onclick;
  e->submenu = nullptr;
  menu->n_entries += 1;
}

void draw_menubar(OM_Surface* viewport) {
  f32 cx = (f32)mouse.cursor.x;
  f32 cy = (f32)mouse.cursor.y;
  int pressed = mouse.LMB == 1;

  int rows = OM_MinI32(BAR_HEIGHT, viewport->h);
  for (int y = 0; y < rows; ++y) {
    u32* row = viewport->data + (reg)viewport->step * (reg)y;
    for (int x = 0; x < viewport->w; ++x) row[x] = kBar;
  }

  for (int i = 0; i < menubar.n_entries; ++i) {
    MENU_ENTRY* entry = &menubar.entries[i];
    int x0 = TAB_WIDTH * i + 4;
    int x1 = x0 + TAB_WIDTH;
    u32 color = kItem;
    if (inside(cx, cy, x0, TAB_TOP, x1, TAB_BOTTOM)) {
      color = kHover;
      if (pressed) menubar.active_index = menubar.active_index == i ? -1 : i;
    }
    OM_FillRect(viewport, x0, TAB_TOP, x1, TAB_BOTTOM, color);
    int open = i == menubar.active_index;
    if (open) {
      OM_FillRect(viewport, x0, 4, x0 + 4, 8, kMark);
      OM_DrawLine(viewport, x0, 23, x1, 23, kMark);
    } else {
      OM_DrawLine(viewport, x0, 4, x0 + 4, 4, kMark);
      OM_DrawLine(viewport, x0, 4, x0, 8, kMark);
    }
    if (i > 0) OM_DrawLine(viewport, x0, 8, x0, 20, kHover);
    draw_label(viewport, entry->label, x0 + 8, (TAB_BOTTOM - TAB_TOP) / 2);
    if (open && entry->submenu) draw_dropdown(viewport, entry->submenu, i, cx, cy, pressed);
  }
}

int OM_MenuBar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  (void)self;
  (void)super;
  switch (event->type) {
    case OM_EVENT_INIT: build_menubar(); return 0;
    case OM_EVENT_TICK: return 0;
    case OM_EVENT_DRAW: {
      // The game core keeps the cursor in frame-buffer pixels; the bar reads
      // it in the pixels of the window it draws into.
      int ox, oy;
      frame_offset(event->surface, &ox, &oy);
      int saved_x = mouse.cursor.x, saved_y = mouse.cursor.y;
      mouse.cursor.x -= ox;
      mouse.cursor.y -= oy;
      draw_menubar(event->surface);
      mouse.cursor.x = saved_x;
      mouse.cursor.y = saved_y;
      return 0;
    }
    case OM_EVENT_QUIT: return 0;
    default: return 1;
  }
}

// The same save as Ctrl+S, to the world's file (worldFile.name).
void save_current_map() { save_current_world(); }

// The same reload as Ctrl+O, from the world's file: the old world is
// released, the player moved into the new one and the editor's selection
// dropped.
void load_map() { reload_world(); }

void toggle_draw_portals() { draw_portals = draw_portals == 0 ? 1 : 0; }
void toggle_draw_edges() { draw_edges = draw_edges == 0 ? 1 : 0; }
void toggle_draw_vertices() { drawVertices = drawVertices == 0 ? 1 : 0; }
void toggle_relative_map_mode() { relative_map_mode = relative_map_mode == 0 ? 1 : 0; }

// Nothing reads the grid or the scale yet (the map snaps to 0.5 and zooms by
// its own camera); they stay at 1 or more so a grid drawn from them one day
// never divides by zero.
void scale_up_grid() {
  snap_grid_x += 1;
  snap_grid_y += 1;
}
void scale_down_grid() {
  snap_grid_x = OM_MaxI32(snap_grid_x - 1, 1);
  snap_grid_y = OM_MaxI32(snap_grid_y - 1, 1);
}
void scale_up_viewport() { editor_scale += 1.0f; }
void scale_down_viewport() { editor_scale = OM_MaxF32(editor_scale - 1.0f, 1.0f); }
