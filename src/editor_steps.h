// The undo steps of the editor's edits, and what keeps the selection, the
// link mark and the player's sector naming the same things across them.
// Used by the keyboard commands and drawing mode (editor_commands.h) and by
// the map's mouse edits (editor.h); the snapshots themselves are history.h.
//
// A command that changes the world is one edit:
//   RV_Editor_Edit e = RV_Editor_BeginEdit(data, RV_EDIT_RECORD, 0);
//   refused: RV_Editor_AbandonEdit(data, e), and a console line saying why;
//   done:    RV_Editor_CommitEdit(data, e, RV_EDIT_RESHAPED), and a line
//            saying what, ending in RV_Editor_UndoNote(data, e).
// A mouse edit spans several events instead (RV_Editor_Step*).
//
// ==== Edits ====
// ==== Mouse edit steps ====
#pragma once

#include "types.h"
#include "world.h"

struct RV_Editor_Data;

// ==== Edits ====

// How an edit stands to the undo history.
enum RV_Editor_Undo {
  RV_EDIT_RECORD,   // a new undo step holds the world as it was
  RV_EDIT_JOIN,     // the step on top holds it already (a drawing's splits)
  RV_EDIT_HISTORY,  // the edit is a move through the history itself
};

// What an edit can have moved, and so what is looked for again after it.
enum RV_Editor_Moved {
  RV_EDIT_IN_PLACE,      // heights, textures, a split: every index holds
  RV_EDIT_SECTORS_KEPT,  // every sector keeps its index; edges may not (a link)
  RV_EDIT_RESHAPED,      // anything: the player's sector is found where it stands
};

// An edge by index and by place, to find it again after an edit.
struct RV_Editor_EdgeAt {
  reg sector, edge;
  reg v1, v2;
  OM_WorldVertex a, b;
};
// False when the sector, the edge or one of its vertices does not exist.
bool RV_Editor_EdgeEnds(reg sector, reg edge, RV_Editor_EdgeAt* at);

// The selection, the dragged line and the mark before an edit.
struct RV_Editor_Held {
  bool vertex, line, edge, mark;
  reg vertexIndex;
  OM_WorldVertex vertexAt;
  RV_Editor_EdgeAt edgeAt, markAt;
};

struct RV_Editor_Edit {
  RV_Editor_Undo undo;
  bool recorded;        // an undo step holds the world as it was before
  u32 before;           // world->edits before the edit
  reg playerSector;     // the player's sector, by index, before the edit
  RV_Editor_Held held;  // what is found again when the edit is committed
};

// Remembers the selection and the mark, and records the undo step `undo`
// asks for (an edit whose step cannot be recorded goes ahead all the same).
// `forget`: RV_EDITOR_VERTEX_SELECTED and / or RV_EDITOR_EDGE_MARKED, the
// things the edit uses up (the deleted vertex, the mark a link consumes),
// which are not looked for again. Needs the global world.
RV_Editor_Edit RV_Editor_BeginEdit(RV_Editor_Data* data, RV_Editor_Undo undo, int forget);
// The edit was refused and the world is as it was. True when the edit had
// recorded a step of its own, which is taken back.
bool RV_Editor_AbandonEdit(RV_Editor_Data* data, const RV_Editor_Edit& edit);
// The edit is done: the world counts one edit, and the player's sector, the
// selected sector, vertex and edge, the dragged line and the mark are found
// again as far as `moved` says the edit can have moved them, or dropped.
void RV_Editor_CommitEdit(RV_Editor_Data* data, const RV_Editor_Edit& edit, RV_Editor_Moved moved);
// " (too large to undo)" after an edit the history could not take, else "".
const char* RV_Editor_UndoNote(const RV_Editor_Data* data, const RV_Editor_Edit& edit);

// ==== Mouse edit steps ====
// A double-click's second press opens one undo step, before it adds or
// splits; the moves while its button is held belong to the same step; the
// release closes it, and a step that changed nothing is taken back.

void RV_Editor_StepOpen(RV_Editor_Data* data);
// The open step changed the world (each call counts one edit).
void RV_Editor_StepChanged(RV_Editor_Data* data);
void RV_Editor_StepClose(RV_Editor_Data* data);

// Splits edge `edge` of sector `sector` at (x, y), a portal together with
// its partner (world_split_edge); the player keeps its sector. The caller
// counts the edit. False, with the reason on the console, when it is refused.
bool RV_Editor_SplitEdge(reg sector, reg edge, f32 x, f32 y, reg* vertex);
