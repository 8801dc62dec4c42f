// Edits that change the shape of the world: drawing a sector (joined to its
// neighbours by portals), splitting an edge (a portal together with its
// partner), linking two edges into a portal pair, deleting a vertex or a
// sector. Each either makes its whole change or refuses with a one-line
// reason in `why` and leaves the world exactly as it was; after each one
// world_check holds if it held before, and every index that pointed past a
// removed vertex, sector or edge has been renumbered.
//
// Nothing here knows the editor, the player or the history: callers keep
// their own references valid (see the editor) and record undo steps.
// Sectors may be appended and removed, so a pointer to a sector (the
// player's) must be looked up again after any edit. `style` may be null (the
// fallback texture everywhere); every result pointer may be null.
//
// ==== Style and corners ====
// ==== Drawing a sector ====
// ==== Splitting and linking ====
// ==== Deleting ====
// ==== Memory ====
#pragma once

#include "world.h"

// ==== Style and corners ====

// What the edits make walls and floors of: the walls, floor and ceiling of a
// drawn sector, and every portal an edit turns back into a wall (a textured
// wall of `wall`; null is the fallback texture).
struct OM_EditStyle {
  OM_Surface* wall;
  OM_Surface* floor;
  OM_Surface* ceiling;
};

// A corner of a drawn outline: an existing vertex, or a point that becomes a
// new vertex when the sector is made.
constexpr reg OM_NEW_VERTEX = ~reg(0);
struct OM_Corner {
  reg vertex;  // index of an existing vertex, or OM_NEW_VERTEX
  f32 x, y;    // the corner's position (that of the vertex when it exists)
};

// ==== Drawing a sector ====

// Why `count` corners cannot outline a sector: fewer than three, one corner
// twice (the same vertex, or two new points at the same place), or two of
// its edges crossing (touching at a shared corner is not crossing). True
// when they can.
bool world_outline_ok(const OM_Corner* corners, reg count, char* why, reg whySize);

// Adds a sector outlined by the corners (checked as above, with each
// existing vertex where the world has it, whatever the corner says). New
// points are appended to the vertices in the order given. The edges are
// stored in outline order, with positive signed area (sum of
// x[i]*y[i+1] - x[i+1]*y[i] > 0; an outline given the other way round is
// reversed, keeping corner 0 as the start of edge 0), as textured walls of
// style->wall, with the floor and ceiling heights given and style->floor /
// style->ceiling. Then each new edge that runs between the same two vertices
// as an edge of another sector (either direction; one running the other way,
// the neighbour across, is preferred) becomes a portal to that edge, and
// that edge a portal back; a portal it was before loses its old partner,
// which becomes a wall. *sector is the new sector's index, *portals the
// number of pairs made. Refused: a bad outline, a missing vertex, heights
// that are not finite or a floor above the ceiling, more vertices, sectors
// or edges than a world can hold.
bool world_add_sector(OM_World* w, const OM_Corner* corners, reg count, f32 floorHeight,
                      f32 ceilingHeight, const OM_EditStyle* style, reg* sector, reg* portals,
                      char* why, reg whySize);

// ==== Splitting and linking ====

// Splits edge `edge` (A -> B) of sector `sector` at (x, y), as the editor's
// double-click has always done: a vertex N is appended, the edge becomes
// N -> B keeping its type and payload, and A -> N is appended to the end of
// the sector's edges with the same type and payload, so no index into the
// list moves; N is (x, y) as given. A portal whose partner is a portal back
// to it has its partner split too, the same way: at the same vertex N when
// the two edges share their ends, else (a wrap-around portal) at a new
// vertex N + 1 the same fraction along, measured from the partner's other
// end since it runs the other way (from its near end if it runs the same
// way, so that N + 1 is always where crossing at N leads); each half is then
// paired with its counterpart, keeping the step texture of the edge it was
// cut from, and a traveller through either half is moved as through the
// whole. *vertex is N. Refused: no such edge, a point that is
// not finite, the vertex or edge limit.
bool world_split_edge(OM_World* w, reg sector, reg edge, f32 x, f32 y, reg* vertex, char* why,
                      reg whySize);

// Makes edge e1 of sector s1 and edge e2 of sector s2 portals to each other,
// coinciding or far apart. Edges that were portals before lose their old
// partners, which become walls of `style->wall`. *dx, *dy: how far a
// traveller through e1 is moved (the midpoint of e2 minus that of e1).
// A new pair has no step textures of its own; linking a pair that is
// already linked changes nothing. Refused: a missing
// edge, or two edges of one sector.
bool world_link_edges(OM_World* w, reg s1, reg e1, reg s2, reg e2, const OM_EditStyle* style,
                      f32* dx, f32* dy, char* why, reg whySize);

// ==== Deleting ====

// Removes the vertex: from every outline that uses it (its two edges there
// become one, from the vertex before it to the one after, stored at the
// lower of their two indices, with the wall of the edge that ended at the
// vertex, else of the one that left it; a portal among the two becomes a
// wall, and so does its partner), then from the vertex list, renumbering
// every later vertex. One exception keeps a passage open: when the vertex
// only cuts a coinciding portal pair in two (both edges here are portals to
// the two edges meeting it from the other side), the two merged edges stay a
// portal pair, with the step textures of the edges kept, so deleting the vertex a split made gives
// back the world as it was. A sector left with fewer than three corners is removed as by
// world_delete_sector. *sectorsRemoved counts them. Refused: a missing
// vertex, an outline that passes the vertex more than once.
bool world_delete_vertex(OM_World* w, reg vertex, const OM_EditStyle* style, reg* sectorsRemoved,
                         char* why, reg whySize);

// Removes the sector and its edges (its vertices stay); portals into it
// become walls; later sectors move down one index and every portal naming
// them follows.
bool world_delete_sector(OM_World* w, reg sector, const OM_EditStyle* style, char* why,
                         reg whySize);

// ==== Memory ====
// Every block the edits and the history (history.h) take comes through
// these, so that a test can make any one of them fail and see that nothing
// was half done. Blocks are plain malloc blocks: free() releases them.

constexpr reg OM_EDIT_MEMORY_UNLIMITED = ~reg(0);
void* edit_malloc(reg bytes);
void* edit_realloc(void* block, reg bytes);
// An empty collection with room for `capacity` elements, its memory taken
// like the rest; null when refused.
OM_Collection* edit_collection(reg capacity, reg elementSize);
// The next `grants` requests succeed and every later one fails, until this is
// called again; OM_EDIT_MEMORY_UNLIMITED (the default) never fails.
void edit_memory_fail_after(reg grants);
