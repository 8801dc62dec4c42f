// Undo and redo for the editor. Before every edit the world is remembered
// whole, in a compact copy of its vertices, sectors and edges (texture
// pointers included: they belong to the world, which outlives its history,
// and a load or rebuild of the world clears the history). Undo puts the
// world back as it was before the last edit and keeps the state it leaves
// for redo. The copies together never pass the byte limit: the oldest steps
// are forgotten first, and a world too large for even one copy gets no undo
// (the edit is still allowed; the caller is told).
//
// ==== Creation ====
// ==== Steps ====
#pragma once

#include "types.h"

struct OM_World;
struct OM_History;

// ==== Creation ====

// Null when memory runs out.
OM_History* OM_CreateHistory(reg byteLimit);
void OM_DestroyHistory(OM_History* history);  // null is ignored

// ==== Steps ====

// Forgets every step: another world was loaded or built.
void history_clear(OM_History* history);
// Remembers `w` as it is now, the state the next undo returns to, and forgets
// every redo step (they are held back until the next call, so that
// history_cancel can give them back). False when it could not be remembered
// (memory, or larger than the limit): then every step is forgotten, since an
// undo would otherwise skip the edit that follows.
bool history_record(OM_History* history, const OM_World* w);
// Puts `w` back as the last record saw it and forgets that record, giving
// back the redo steps the record set aside: for an edit that was refused or
// changed nothing. Only right after a successful history_record; false
// otherwise. When the world cannot be rebuilt (memory) it is left as it is,
// the record stays as its undo step, and the answer is false.
bool history_cancel(OM_History* history, OM_World* w);
// One step back or forward. False, with `w` unchanged, when there is nothing
// to undo or redo or the world cannot be rebuilt (memory). A world too large
// for one copy can still be stepped away from, but not come back to: the
// steps the other way are forgotten.
bool history_undo(OM_History* history, OM_World* w);
bool history_redo(OM_History* history, OM_World* w);

reg history_undo_steps(const OM_History* history);
reg history_redo_steps(const OM_History* history);
reg history_bytes(const OM_History* history);  // memory held by the copies
