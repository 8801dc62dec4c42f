// The editor's shared state: one record that the map viewport (editor.h),
// the commands and drawing mode (editor_commands.h) all read and change.
// A plain record with no behaviour of its own, so that the modules below the
// editor's widgets can use it without reaching up into them.
#pragma once

#include "object_camera.h"
#include "types.h"

struct OM_Collection;
struct OM_History;
struct OM_World;

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
