// An immediate-mode menu bar widget: tabs across the top of its surface and a
// drop-down of commands under the open tab, decided while it draws from the
// polled mouse state. Also the editor commands that menu entries call.
#pragma once

#include "ui_widget.h"

struct OM_Surface;
struct MENU;

typedef void (*MENU_Command)();

struct MENU_ENTRY {
  const char* label;     // static text
  MENU_Command onclick;  // run when a drop-down entry is pressed; may be null
  MENU* submenu;         // drop-down of a top-level entry; may be null
};

struct MENU {
  int active_index;  // open entry, -1 when none
  int n_entries;
  MENU_ENTRY* entries;  // owned by the menu
  int capacity;         // room in entries; add_menu_entry never goes past it
};

extern MENU menubar;
extern OM_Widget OM_MenuBar_Prototype;

int OM_MenuBar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
// Draws the bar and the open drop-down and applies a press. The cursor is
// mouse.cursor in the coordinates of `viewport`; a press is mouse.LMB == 1.
void draw_menubar(OM_Surface* viewport);
// Appends an entry in slot n_entries. A null menu or a full one is left as
// it was.
void add_menu_entry(MENU* menu, const char* label, MENU_Command onclick);

void save_current_map();
void load_map();
void toggle_draw_portals();
void toggle_draw_edges();
void toggle_draw_vertices();
void scale_up_grid();
void scale_down_grid();
void scale_up_viewport();
void scale_down_viewport();
void toggle_relative_map_mode();
