// The map editor: the root widget with its toolbar, viewport, console and
// first-person preview, the small panel widgets, the top-down viewport that
// draws and edits the world, and the view settings read across the program.
#pragma once

#include "math.h"
#include "object_camera.h"
#include "types.h"
#include "ui_widget.h"

struct OM_Collection;
struct OM_History;
struct OM_Surface;
struct OM_World;
struct OM_WorldBox;

// View settings, toggled across the program (keys, the menu bar commands).
extern int draw_portals;  // also makes the renderer see through portals
extern int drawVertices;
extern int drawVerticesLabel;
extern int drawCamera;
extern int vertexSize;  // half the side of a vertex square, pixels
extern int relative_map_mode;
extern u32 OM_Editor_Viewport_GridColor;
// Non-zero: the map draws only the sectors and vertices that can reach the
// viewport, found through the world's index, and its drawing overlay looks
// only near the pointer. Zero walks the whole world, pixel for pixel the
// same; the tests compare the two.
extern int mapCulling;
// Kept for the design, read by nothing yet: the N key and the menu toggle
// draw_edges, the wheel steps editor_scale, the menu steps the snap grid;
// the map draws every edge, zooms by its own camera and snaps to 0.5.
extern int draw_edges;
extern f32 editor_scale;
extern int snap_grid_x;
extern int snap_grid_y;
extern OM_Vector editor_rotate_center;

// Bits of RV_Editor_Data.flag.
enum {
  RV_EDITOR_VERTEX_SELECTED = 0x2,
  RV_EDITOR_EDGE_SELECTED = 0x4,
  RV_EDITOR_LINE_DRAGGED = 0x8,
  RV_EDITOR_DRAWING = 0x10,      // drawing mode: left clicks add corners
  RV_EDITOR_EDGE_MARKED = 0x20,  // markSector / markEdge name the edge L marked
};

// Edge vertex indices are 16 bits wide: the editor never makes more vertices.
enum { RV_EDITOR_MAX_VERTICES = 65536 };

// The editor's shared state, reached as OM_editor->data.
struct RV_Editor_Data {
  // object.x, object.y: pan in map units; object.z: map units across the
  // view. Its angle, fov, view_distance and attached_to are set at start and
  // read by nothing.
  OM_Camera camera;
  int flag;
  reg selectedVertex;  // valid while RV_EDITOR_VERTEX_SELECTED is set
  reg selectedSector;  // follows the player's sector
  reg selectedEdge;    // within selectedSector; valid while EDGE_SELECTED
  int x, y;            // viewport pixel at the free end of the dragged line
  // The world the selection refers to: when the global world is replaced the
  // vertex and edge selection and the dragged line are dropped.
  OM_World* world;

  // Building levels (editor_commands.h): the undo history, the outline being
  // drawn, the link mark and the undo step a double-click opens.
  OM_History* history;     // null: edits go ahead but cannot be undone
  OM_Collection* corners;  // of OM_Corner, while RV_EDITOR_DRAWING
  int drawnSplits;         // edges split by the drawing in progress
  int pointerX, pointerY;  // viewport pixel of the pointer: the rubber band's end
  int pointerSeen;         // the pointer has been over the map: the band has an end
  reg markSector, markEdge;
  // Steps are numbered as they are recorded, so that a drawing can tell
  // whether the step holding its splits is still the last one. 0: none, or
  // not known (after an undo or redo).
  u32 stepCount, lastStep, belowStep, splitStep;
  // Open from the second press of a double-click to the button's release.
  int stepOpen, stepChanged, stepRecorded;
};

extern OM_Surface* preview;
extern int preview_x;
extern int preview_y;

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

// Drops the vertex and edge selection, the dragged line, the drawing, the
// link mark and the undo history, and brings the selected sector back into
// the current world's range. Called whenever the global world is replaced;
// the viewport and the key commands also notice a new world pointer.
void RV_Editor_WorldChanged(RV_Editor_Data* data);

// ---- The map viewport ----------------------------------------------------

int RV_Editor_Viewport_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);

// Map point -> viewport pixel, in place, as floats.
void RV_Editor_Viewport_ViewportToScreen(OM_Widget* self, OM_Camera* camera, f32* x, f32* y);
// Viewport pixel -> map point, in place; in relative map mode it also undoes
// the turn about the game camera, so it inverts ViewportToScreen fully.
void RV_Editor_Viewport_ScreenToViewport(OM_Widget* self, OM_Camera* camera, f32* x, f32* y);
// The map coordinates that can show in the viewport pixels x0..x1, y0..y1
// (a rectangle that may reach beyond the viewport), as a box generous by a
// little more than rounding; in relative map mode the box around the turned
// rectangle. False when the view cannot be inverted (a zoom that is not
// positive and finite, or coordinates beyond any f32).
bool RV_Editor_Viewport_MapArea(OM_Widget* self, OM_Camera* camera, f32 x0, f32 y0, f32 x1, f32 y1,
                                OM_WorldBox* area);
// Rounds to the nearest multiple of sx and sy, halves away from zero.
void OM_SnapToGrid(f32* x, f32* y, f32 sx, f32 sy);

void OM_Editor_Viewport_DrawGrid(OM_Widget* self, OM_Surface* surface, OM_Camera* camera);
void OM_Editor_Viewport_DrawSectors(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                    OM_World* world);
void OM_Editor_Viewport_DrawVertices(OM_Widget* self, OM_Surface* surface, OM_Camera* camera,
                                     OM_World* world);
void OM_Editor_Viewport_DrawCamera(OM_Widget* self, OM_Surface* surface, OM_Camera* relativeTo,
                                   OM_Camera* camera);
