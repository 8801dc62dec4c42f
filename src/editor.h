// The map editor's widgets: the root widget with its toolbar, viewport,
// console and first-person preview, the small panel widgets, and the
// top-down map viewport that draws the world and takes the mouse edits.
// The view settings and transforms it draws with are map_view.h; the state
// it shares with the commands is editor_state.h; the keyboard commands and
// drawing mode are editor_commands.h; the undo steps of every edit, the
// mouse's included, are editor_steps.h.
#pragma once

#include "editor_commands.h"  // RV_Editor_WorldChanged: callers of the editor find it here
#include "editor_state.h"
#include "map_view.h"
#include "object_camera.h"
#include "types.h"
#include "ui_widget.h"

struct OM_Surface;
struct OM_World;

extern OM_Surface* preview;
extern int preview_x;
extern int preview_y;

// The toolbar's label while heights mode is on, after the SAVE button.
constexpr u32 RV_EDITOR_LOOK_LABEL_COLOR = 0xFF66DDFF;

extern OM_Widget OM_Editor_Prototype;
extern OM_Widget RV_Editor_Toolbar_Prototype;
extern OM_Widget RV_Button_Prototype;
extern OM_Widget RV_Editor_ToolbarButton_Prototype;
extern OM_Widget RV_Editor_Viewport_Prototype;
extern OM_Widget RV_Menu_Prototype;
extern OM_Widget RV_Editor_Sidebar_Prototype;

int RV_Editor_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
int RV_Editor_Toolbar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
int RV_Button_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
int RV_Editor_ToolbarButton_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
int RV_Menu_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
int RV_Editor_Sidebar_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);

// Raised frame of `thickness` rings around the width x height rectangle whose
// top-left pixel is (x, y): light top and left, dark bottom and right.
void draw_bevel_border(OM_Surface* surface, int x, int y, int width, int height, int thickness);

// ---- The map viewport ----------------------------------------------------

int RV_Editor_Viewport_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);

// The map's layers, each over the one before: the grid, the sectors (the
// selected one filled), the vertices with their labels, the game camera's
// direction. Each draws only what can reach the surface while mapCulling is
// on, the same pixels as drawing everything.
void OM_Editor_Viewport_DrawGrid(OM_Widget* self, OM_Surface* surface, OM_Camera* camera);
void OM_Editor_Viewport_DrawSectors(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                    OM_World* world);
void OM_Editor_Viewport_DrawVertices(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                     OM_World* world);
void OM_Editor_Viewport_DrawCamera(OM_Widget* self, OM_Surface* surface, OM_Camera* relativeTo,
                                   OM_Camera* camera);
