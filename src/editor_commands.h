// Building levels in the editor: the keyboard commands (draw a sector,
// delete, heights, textures, link two edges as portals, undo and redo), and
// the drawing mode's clicks and what it shows over the map. The world
// operations themselves are world_edit.h; the undo steps around them, and
// those of the map's own mouse edits, are editor_steps.h.
//
// Every command prints one console line: what it did, or why it could not.
// After each one the player's sector, the selection, the dragged line and
// the mark name things that exist in the world as it now is.
//
// ==== Keys ====
// ==== Drawing mode ====
// ==== Editor lifetime ====
#pragma once

#include "types.h"

struct OM_Mouse;
struct OM_Surface;
struct OM_Widget;
struct RV_Editor_Data;

// The undo history's memory: the oldest steps go first beyond this.
constexpr reg RV_EDITOR_HISTORY_BYTES = reg(64) << 20;

// Colours over the map: the marked edge, and the outline being drawn with its
// rubber band and corners.
constexpr u32 RV_EDITOR_MARK_COLOR = 0xFF00CCFF;
constexpr u32 RV_EDITOR_DRAWING_COLOR = 0xFFFFCC00;

// A click this close to an edge on screen, in pixels, puts the corner on it.
constexpr f32 RV_EDITOR_EDGE_HIT_PIXELS = 4.0f;

// ==== Keys ====

// A key went down in EDITOR or EDITOR_PREVIEW (the game core calls it after
// its own shortcuts; in GAMEPLAY it does nothing). Insert, Enter, Backspace,
// Escape, Delete, Page Up / Down, T, F, C, L, Ctrl+Z and Ctrl+Y act; every
// other key is left alone.
void RV_Editor_KeyDown(int key);

// ==== Drawing mode ====

// A button press in the map. While drawing in an editor state the drawing
// takes it (true): a left click adds a corner, closes the outline or says
// why it cannot. False: the map handles the press as always.
bool RV_Editor_DrawingPress(OM_Widget* view, RV_Editor_Data* data, const OM_Mouse* m);
// The pointer moved over the map: the rubber band follows it. True while
// drawing in an editor state, when the left button must not drag anything.
bool RV_Editor_DrawingPointer(RV_Editor_Data* data, const OM_Mouse* m);
// The marked edge and the drawing in progress, over the drawn map.
void RV_Editor_DrawOverlay(OM_Widget* view, OM_Surface* surface, RV_Editor_Data* data);

// ==== Editor lifetime ====

// The history, made with the editor; without memory for it edits still work.
void RV_Editor_CommandsCreate(RV_Editor_Data* data);
// Frees the history and the corner list; the record itself stays.
void RV_Editor_CommandsRelease(RV_Editor_Data* data);
// The global world was replaced (or a caller noticed a new world pointer):
// drops the vertex and edge selection, the dragged line, the drawing, the
// link mark, any open step and the undo history, which mean nothing in the
// new world, and brings the selected sector back into its range. Null does
// nothing.
void RV_Editor_WorldChanged(RV_Editor_Data* data);
