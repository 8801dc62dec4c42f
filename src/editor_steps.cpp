// The undo steps of the editor's edits: what is remembered before an edit,
// recorded for undo, taken back when the edit changed nothing, and found
// again after it.
//
// Sections (grep for "// ==== "):
//   Keeping hold       the selection, the mark and the player's sector found
//                      again after an edit
//   Edits              begin, abandon, commit
//   Mouse edit steps   the undo step of a double-click and its drag, the
//                      split the map and the drawing share
#include "editor_steps.h"

#include <cstdio>

#include "editor_state.h"
#include "history.h"
#include "math.h"
#include "object_player.h"
#include "ombrix.h"
#include "ui_console.h"
#include "world_edit.h"
#include "world_index.h"

// ==== Keeping hold =========================================================
// An edit can renumber, move or remove what the selection and the mark name.
// Before it, they are remembered by index and by place; after it, each is
// found again, or dropped when it is gone.

bool RV_Editor_EdgeEnds(reg sector, reg edge, RV_Editor_EdgeAt* at) {
  const OM_WorldEdge* e = world_edge(world, sector, edge);
  const OM_WorldVertex* a = e ? world_vertex(world, e->v1) : nullptr;
  const OM_WorldVertex* b = e ? world_vertex(world, e->v2) : nullptr;
  if (!a || !b) return false;
  *at = {sector, edge, e->v1, e->v2, *a, *b};
  return true;
}

namespace {

// The edge of `sector` running between the same places in the same
// direction; in its own sector, failing that, the one between the same
// vertices (an undo may have moved them).
bool find_edge(const RV_Editor_EdgeAt& was, reg sector, reg* edge) {
  RV_Editor_EdgeAt now;
  if (sector == was.sector && RV_Editor_EdgeEnds(sector, was.edge, &now) &&
      OM_SamePoint(now.a, was.a) && OM_SamePoint(now.b, was.b)) {
    *edge = was.edge;
    return true;
  }
  reg count = sector_edge_count(world_sector(world, sector));
  for (reg k = 0; k < count; ++k) {
    if (RV_Editor_EdgeEnds(sector, k, &now) && OM_SamePoint(now.a, was.a) &&
        OM_SamePoint(now.b, was.b)) {
      *edge = k;
      return true;
    }
  }
  for (reg k = 0; sector == was.sector && k < count; ++k) {
    if (RV_Editor_EdgeEnds(sector, k, &now) && now.v1 == was.v1 && now.v2 == was.v2) {
      *edge = k;
      return true;
    }
  }
  return false;
}

RV_Editor_Held remember(const RV_Editor_Data* d, int forget) {
  RV_Editor_Held h = {};
  const OM_WorldVertex* v =
      (d->flag & RV_EDITOR_VERTEX_SELECTED) ? world_vertex(world, d->selectedVertex) : nullptr;
  if (v) {
    h.vertex = true;
    h.line = (d->flag & RV_EDITOR_LINE_DRAGGED) != 0;
    h.vertexIndex = d->selectedVertex;
    h.vertexAt = *v;
  }
  h.edge = (d->flag & RV_EDITOR_EDGE_SELECTED) &&
           RV_Editor_EdgeEnds(d->selectedSector, d->selectedEdge, &h.edgeAt);
  h.mark = (d->flag & RV_EDITOR_EDGE_MARKED) &&
           RV_Editor_EdgeEnds(d->markSector, d->markEdge, &h.markAt);
  if (forget & RV_EDITOR_VERTEX_SELECTED) h.vertex = false;
  if (forget & RV_EDITOR_EDGE_MARKED) h.mark = false;
  return h;
}

// The vertex at the same index and place, else one at the same place, else
// the same index (an undo of a drag moves it back).
bool find_vertex(const RV_Editor_Held& h, reg* index) {
  const OM_WorldVertex* v = world_vertex(world, h.vertexIndex);
  if (v && OM_SamePoint(*v, h.vertexAt)) {
    *index = h.vertexIndex;
    return true;
  }
  reg count = world_vertex_count(world);
  for (reg i = 0; i < count; ++i) {
    if (OM_SamePoint(*world_vertex(world, i), h.vertexAt)) {
      *index = i;
      return true;
    }
  }
  *index = h.vertexIndex;
  return v != nullptr;
}

// The sectors may have moved in memory, changed or gone: the player's sector
// is looked up again where it stands.
void find_player() {
  if (player) player->sector = get_sector_at(world, player->object.x, player->object.y);
}

// The player's sector by index, for edits that keep every sector's index:
// call before the edit, then keep_player_sector after it.
reg player_sector_index() { return player ? world_sector_index(world, player->sector) : 0; }
void keep_player_sector(reg index) {
  if (player && player->sector) player->sector = world_sector(world, index);
}

// After an edit: the selected sector follows the player as the map does, and
// the vertex, edge, dragged line and mark are found again or dropped.
void settle(RV_Editor_Data* d, const RV_Editor_Held& h) {
  reg sectors = world_sector_count(world);
  reg playerSector = player ? world_sector_index(world, player->sector) : sectors;
  if (playerSector < sectors) d->selectedSector = playerSector;
  if (d->selectedSector >= sectors) d->selectedSector = 0;
  d->flag &= ~(RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED | RV_EDITOR_LINE_DRAGGED |
               RV_EDITOR_EDGE_MARKED);
  reg i = 0;
  if (h.vertex && find_vertex(h, &i)) {
    d->selectedVertex = i;
    d->flag |= RV_EDITOR_VERTEX_SELECTED | (h.line ? RV_EDITOR_LINE_DRAGGED : 0);
  }
  if (h.edge && find_edge(h.edgeAt, d->selectedSector, &i)) {
    d->selectedEdge = i;
    d->flag |= RV_EDITOR_EDGE_SELECTED;
  }
  if (h.mark) {
    reg s = h.markAt.sector;
    bool found = find_edge(h.markAt, s, &i);
    for (reg k = 0; !found && k < sectors; ++k) {
      if (find_edge(h.markAt, k, &i)) {
        s = k;
        found = true;
      }
    }
    if (found) {
      d->markSector = s;
      d->markEdge = i;
      d->flag |= RV_EDITOR_EDGE_MARKED;
    }
  }
}

}  // namespace

// ==== Edits ================================================================

namespace {

// Remembers the world before an edit. False when the edit will not be
// undoable (no history, or the world is too large for it); it goes ahead.
bool record(RV_Editor_Data* d) {
  if (!d->history || !world || !history_record(d->history, world)) return false;
  d->belowStep = d->lastStep;
  d->lastStep = ++d->stepCount;
  return true;
}

// Forgets the step just recorded, for an edit that was refused or changed
// nothing: the world is as it was, so every sector keeps its index.
void take_back(RV_Editor_Data* d) {
  reg keep = player_sector_index();
  // A world that could not be put back keeps the record as its undo step.
  if (history_cancel(d->history, world)) d->lastStep = d->belowStep;
  keep_player_sector(keep);
}

}  // namespace

RV_Editor_Edit RV_Editor_BeginEdit(RV_Editor_Data* d, RV_Editor_Undo undo, int forget) {
  RV_Editor_Edit e = {};
  e.undo = undo;
  e.held = remember(d, forget);
  e.before = world->edits;
  e.recorded = undo == RV_EDIT_JOIN || (undo == RV_EDIT_RECORD && record(d));
  e.playerSector = player_sector_index();
  return e;
}

bool RV_Editor_AbandonEdit(RV_Editor_Data* d, const RV_Editor_Edit& e) {
  if (e.undo != RV_EDIT_RECORD || !e.recorded) return false;
  take_back(d);
  return true;
}

void RV_Editor_CommitEdit(RV_Editor_Data* d, const RV_Editor_Edit& e, RV_Editor_Moved moved) {
  world->edits = e.before + 1;
  // Steps are no longer known by number once the history has moved.
  if (e.undo == RV_EDIT_HISTORY) d->lastStep = 0;
  if (moved == RV_EDIT_IN_PLACE) return;
  if (moved == RV_EDIT_SECTORS_KEPT) {
    keep_player_sector(e.playerSector);
  } else {
    find_player();
  }
  settle(d, e.held);
}

const char* RV_Editor_UndoNote(const RV_Editor_Data* d, const RV_Editor_Edit& e) {
  return e.recorded || !d->history ? "" : " (too large to undo)";
}

// ==== Mouse edit steps =====================================================

void RV_Editor_StepOpen(RV_Editor_Data* d) {
  RV_Editor_StepClose(d);
  d->stepRecorded = record(d);
  d->stepOpen = 1;
  d->stepChanged = 0;
}

void RV_Editor_StepChanged(RV_Editor_Data* d) {
  if (world) world->edits += 1;
  if (d->stepOpen) d->stepChanged = 1;
}

void RV_Editor_StepClose(RV_Editor_Data* d) {
  if (!d->stepOpen) return;
  d->stepOpen = 0;
  if (!d->stepRecorded) {
    if (d->stepChanged && d->history) OM_Print("The edit is too large to undo");
  } else if (!d->stepChanged) {
    take_back(d);
  }
}

bool RV_Editor_SplitEdge(reg sector, reg edge, f32 x, f32 y, reg* vertex) {
  if (!world) return false;
  reg keep = player_sector_index();
  char why[160];
  if (!world_split_edge(world, sector, edge, x, y, vertex, why, sizeof why)) {
    char line[200];
    snprintf(line, sizeof line, "Sector %u edge %u cannot be split: %s", (unsigned)sector,
             (unsigned)edge, why);
    OM_Print(line);
    return false;
  }
  keep_player_sector(keep);
  return true;
}
