// The map view: the settings that say what the top-down map shows, and the
// transforms between map units and viewport pixels that everything drawing
// on the map or reading a click on it goes through. Below the editor's
// widgets and its commands, which both use it; it knows neither.
//
// ==== View settings ====
// ==== Transforms ====
// ==== Picking and snapping ====
#pragma once

#include "math.h"
#include "object_camera.h"
#include "types.h"

struct OM_Widget;
struct OM_WorldBox;

// ==== View settings ====
// Toggled across the program (keys, the menu bar commands), each defined
// here once for the whole program. Two more stand with what they govern:
// relative_map_mode and mapCulling, under Transforms.

inline int draw_portals = 1;  // also makes the renderer see through portals
// Non-zero: the first-person view draws every room it passes through at its
// own heights, with the steps between them, and the player stands on floors
// (H toggles it; a world file can ask for it). Zero: the exact look in which
// each column takes floor and ceiling from the room its view ends in.
inline int heights_mode = 0;
// The vertex squares (vertexSize: half their side, pixels), their index
// labels and the game camera's direction line; the grid's colour.
inline int drawVertices = 1, drawVerticesLabel = 1, drawCamera = 1;
inline int vertexSize = 4;
inline u32 OM_Editor_Viewport_GridColor = 0xFF333333;
// Kept for the design, read by nothing yet: the N key and the menu toggle
// draw_edges, the wheel steps editor_scale, the menu steps the snap grid;
// the map draws every edge, zooms by its own camera and snaps to 0.5.
inline int draw_edges = 1;
inline f32 editor_scale = 8.0f;
inline int snap_grid_x = 10, snap_grid_y = 10;
inline OM_Vector editor_rotate_center;

// ==== Transforms ====
// `self` is the viewport (its w and h); `camera` the map's own camera:
// object.x, object.y the pan in map units, object.z the map units across.

// Non-zero: the map turns about the game camera (OM_camera) so that its
// view points up the screen.
inline int relative_map_mode = 0;

// Map point -> viewport pixel, in place, as floats.
void RV_Editor_Viewport_ViewportToScreen(OM_Widget* self, OM_Camera* camera, f32* x, f32* y);
// Viewport pixel -> map point, in place; in relative map mode it also undoes
// the turn about the game camera, so it inverts ViewportToScreen fully.
void RV_Editor_Viewport_ScreenToViewport(OM_Widget* self, OM_Camera* camera, f32* x, f32* y);

// Non-zero: the map draws only the sectors and vertices that can reach the
// viewport, found through the world's index and the area below, and its
// drawing overlay looks only near the pointer. Zero walks the whole world,
// pixel for pixel the same; the tests compare the two.
inline int mapCulling = 1;

// The map coordinates that can show in the viewport pixels x0..x1, y0..y1
// (a rectangle that may reach beyond the viewport), as a box generous by a
// little more than rounding; in relative map mode the box around the turned
// rectangle. False when the view cannot be inverted (a zoom that is not
// positive and finite, or coordinates beyond any f32).
bool RV_Editor_Viewport_MapArea(OM_Widget* self, OM_Camera* camera, f32 x0, f32 y0, f32 x1, f32 y1,
                                OM_WorldBox* area);

// ==== Picking and snapping ====

// Half the side of the box, in map units, in which a click picks a vertex.
constexpr f32 RV_EDITOR_VERTEX_PICK = 0.75f;
// The step the map snaps placed and dragged points to (Shift places freely).
constexpr f32 RV_EDITOR_SNAP_STEP = 0.5f;

// Whether map point (mx, my) picks the vertex at (vx, vy): its pick box is
// open below and closed above on both axes.
bool RV_Editor_InPickBox(f32 vx, f32 vy, f32 mx, f32 my);
// Rounds to the nearest multiple of sx and sy, halves away from zero.
void OM_SnapToGrid(f32* x, f32* y, f32 sx, f32 sy);
