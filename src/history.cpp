// Undo and redo by whole copies of the world. A copy is one block: a head,
// then plain arrays of the vertices, the sector records and every sector's
// edges one after the other. Steps sit in two rings, so forgetting the
// oldest costs nothing however many there are.
//
// ==== Copies ====
// ==== Putting a copy back ====
// ==== Rings of steps ====
// ==== The history ====
#include "history.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "world.h"
#include "world_edit.h"

// ==== Copies ====

struct SectorCopy {
  OM_Surface* floorTexture;
  OM_Surface* ceilingTexture;
  f32 floorHeight;
  f32 ceilingHeight;
  u32 edgeCount;
  u32 unused;
};

struct Copy {
  reg bytes;  // of the whole block
  reg vertexCount;
  reg sectorCount;
  reg edgeCount;   // of all sectors together
  reg imageCount;  // the world's image slots, each shown (1) or hidden (0) after the edges
};
static_assert(sizeof(Copy) % alignof(SectorCopy) == 0 &&
                  sizeof(OM_WorldVertex) * 2 % alignof(SectorCopy) == 0,
              "the arrays of a copy stay aligned");

static OM_WorldVertex* copy_vertices(const Copy* c) {
  return reinterpret_cast<OM_WorldVertex*>(const_cast<Copy*>(c) + 1);
}
// The vertex array is padded to an even count so the records after it stay
// aligned.
static SectorCopy* copy_sectors(const Copy* c) {
  return reinterpret_cast<SectorCopy*>(copy_vertices(c) + (c->vertexCount + 1) / 2 * 2);
}
static OM_WorldEdge* copy_edges(const Copy* c) {
  return reinterpret_cast<OM_WorldEdge*>(copy_sectors(c) + c->sectorCount);
}

// Which images are shown: an added image is part of the edit that added it,
// and the images themselves stay with the world, so a flag each is enough.
static u8* copy_images(const Copy* c) {
  return reinterpret_cast<u8*>(copy_edges(c) + c->edgeCount);
}

static reg copy_size(reg vertices, reg sectors, reg edges, reg images) {
  return sizeof(Copy) + (vertices + 1) / 2 * 2 * sizeof(OM_WorldVertex) +
         sectors * sizeof(SectorCopy) + edges * sizeof(OM_WorldEdge) + images;
}

// The bytes a copy of `w` takes; `edges` gets the number of edges.
static reg size_of_world(const OM_World* w, reg* edges) {
  const reg sectors = world_sector_count(w);
  reg total = 0;
  for (reg s = 0; s < sectors; s++) total += sector_edge_count(world_sector(w, s));
  *edges = total;
  return copy_size(world_vertex_count(w), sectors, total, world_image_count(w));
}

static Copy* take_copy(const OM_World* w, reg bytes, reg edges) {
  Copy* c = static_cast<Copy*>(edit_malloc(bytes));
  if (!c) return nullptr;
  c->bytes = bytes;
  c->vertexCount = world_vertex_count(w);
  c->sectorCount = world_sector_count(w);
  c->edgeCount = edges;
  c->imageCount = world_image_count(w);
  if (c->vertexCount)
    memcpy(copy_vertices(c), w->vertices->data, c->vertexCount * sizeof(OM_WorldVertex));
  if (c->vertexCount % 2) copy_vertices(c)[c->vertexCount] = {0.0f, 0.0f};
  SectorCopy* sc = copy_sectors(c);
  OM_WorldEdge* to = copy_edges(c);
  for (reg s = 0; s < c->sectorCount; s++) {
    const OM_WorldSector* sector = world_sector(w, s);
    const reg n = sector_edge_count(sector);
    sc[s] = {sector->floorTexture,  sector->ceilingTexture, sector->floorHeight,
             sector->ceilingHeight, static_cast<u32>(n),    0};
    if (n) memcpy(to, sector->edges->data, n * sizeof(OM_WorldEdge));
    to += n;
  }
  for (reg k = 0; k < c->imageCount; k++) copy_images(c)[k] = world_image(w, k)->active;
  return c;
}

// ==== Putting a copy back ====

// Sector i of the world can take the copy's sector i in its own edge list.
static bool fits(const OM_World* w, reg i, const SectorCopy& s) {
  const OM_WorldSector* sector = world_sector(w, i);
  return sector && sector->edges && sector->edges->capacity >= s.edgeCount;
}

// Makes `w` hold what `c` holds, in its own collections where they are large
// enough. Every block that is missing is taken before anything changes, so
// the world is either wholly the copy or untouched.
static bool restore(OM_World* w, const Copy* c) {
  if (!w || !w->vertices || !w->sectors) return false;
  const SectorCopy* sc = copy_sectors(c);
  const reg have = world_sector_count(w), want = c->sectorCount;
  reg missing = 0;
  for (reg i = 0; i < want; i++) missing += !fits(w, i, sc[i]);

  void* vertexBlock = nullptr;
  void* sectorBlock = nullptr;
  OM_Collection** made = nullptr;
  reg madeCount = 0;
  bool ok = true;
  if (w->vertices->capacity < c->vertexCount)
    ok = (vertexBlock = edit_malloc(c->vertexCount * sizeof(OM_WorldVertex)));
  if (ok && w->sectors->capacity < want)
    ok = (sectorBlock = edit_malloc(want * sizeof(OM_WorldSector)));
  if (ok && missing)
    ok = (made = static_cast<OM_Collection**>(edit_malloc(missing * sizeof(OM_Collection*))));
  for (reg i = 0; ok && i < want; i++) {
    if (fits(w, i, sc[i])) continue;
    made[madeCount] = edit_collection(sc[i].edgeCount, sizeof(OM_WorldEdge));
    ok = made[madeCount] != nullptr;
    madeCount += ok;
  }
  if (!ok) {
    for (reg i = 0; i < madeCount; i++) OM_DestroyCollection(made[i]);
    free(made);
    free(sectorBlock);
    free(vertexBlock);
    return false;
  }

  // Nothing below can fail.
  if (vertexBlock) {
    free(w->vertices->data);
    w->vertices->data = vertexBlock;
    w->vertices->capacity = c->vertexCount;
  }
  if (c->vertexCount)
    memcpy(w->vertices->data, copy_vertices(c), c->vertexCount * sizeof(OM_WorldVertex));
  w->vertices->length = c->vertexCount;

  OM_WorldSector* old = static_cast<OM_WorldSector*>(w->sectors->data);
  OM_WorldSector* to = sectorBlock ? static_cast<OM_WorldSector*>(sectorBlock) : old;
  for (reg i = want; i < have; i++) OM_DestroyCollection(old[i].edges);
  const OM_WorldEdge* edges = copy_edges(c);
  reg next = 0;
  for (reg i = 0; i < want; i++) {
    // Read before `to[i]`, which may be the same record, is written.
    OM_Collection* list;
    if (fits(w, i, sc[i])) {
      list = old[i].edges;
    } else {
      if (i < have) OM_DestroyCollection(old[i].edges);
      list = made[next++];
    }
    if (sc[i].edgeCount) memcpy(list->data, edges, sc[i].edgeCount * sizeof(OM_WorldEdge));
    list->length = sc[i].edgeCount;
    edges += sc[i].edgeCount;
    to[i].edges = list;
    to[i].floorHeight = sc[i].floorHeight;
    to[i].floorTexture = sc[i].floorTexture;
    to[i].ceilingHeight = sc[i].ceilingHeight;
    to[i].ceilingTexture = sc[i].ceilingTexture;
  }
  if (sectorBlock) {
    free(old);
    w->sectors->data = sectorBlock;
    w->sectors->capacity = want;
  }
  w->sectors->length = want;
  for (reg k = 0; k < world_image_count(w); k++)
    world_image(w, k)->active = k < c->imageCount ? copy_images(c)[k] : 0;
  free(made);
  world_changed(w);
  return true;
}

// ==== Rings of steps ====

struct Steps {
  Copy** slot;
  reg capacity;
  reg first;  // the oldest step
  reg count;
};

static Copy*& at(Steps* r, reg i) { return r->slot[(r->first + i) % r->capacity]; }

// Room for one more step.
static bool make_room(Steps* r) {
  if (r->count < r->capacity) return true;
  const reg capacity = r->capacity ? r->capacity * 2 : 16;
  Copy** slot = static_cast<Copy**>(edit_malloc(capacity * sizeof(Copy*)));
  if (!slot) return false;
  for (reg i = 0; i < r->count; i++) slot[i] = at(r, i);
  free(r->slot);
  r->slot = slot;
  r->capacity = capacity;
  r->first = 0;
  return true;
}

static void push_newest(Steps* r, Copy* c) {  // after make_room
  r->count++;
  at(r, r->count - 1) = c;
}
static Copy* newest(Steps* r) { return at(r, r->count - 1); }
static Copy* take_newest(Steps* r) { return at(r, --r->count); }
static Copy* take_oldest(Steps* r) {
  Copy* c = at(r, 0);
  r->first = (r->first + 1) % r->capacity;
  r->count--;
  return c;
}

// ==== The history ====

struct OM_History {
  reg limit;
  reg bytes;  // held by the copies in both rings
  Steps undo;
  Steps redo;  // the next redo is the newest
  // After a record the redo steps are kept, out of sight, until it is clear
  // that the edit went ahead: a refused edit (history_cancel) gets them back.
  bool redoOnHold;
  bool recorded;  // the last call was a successful record
};

static void forget(OM_History* h, Copy* c) {
  h->bytes -= c->bytes;
  free(c);
}

static void forget_redo(OM_History* h) {
  while (h->redo.count) forget(h, take_newest(&h->redo));
  h->redoOnHold = false;
}

// Frees copies until `incoming` more bytes fit: redo steps on hold, then the
// oldest undo steps but the last, the farthest redo steps, the last undo.
static void trim(OM_History* h, reg incoming) {
  const auto over = [&] { return h->bytes + incoming > h->limit; };
  if (h->redoOnHold)
    while (over() && h->redo.count) forget(h, take_oldest(&h->redo));
  while (over() && h->undo.count > 1) forget(h, take_oldest(&h->undo));
  while (over() && h->redo.count) forget(h, take_oldest(&h->redo));
  while (over() && h->undo.count) forget(h, take_oldest(&h->undo));
}

OM_History* OM_CreateHistory(reg byteLimit) {
  OM_History* h = static_cast<OM_History*>(edit_malloc(sizeof(OM_History)));
  if (!h) return nullptr;
  *h = {};
  h->limit = byteLimit;
  return h;
}

void OM_DestroyHistory(OM_History* h) {
  if (!h) return;
  history_clear(h);
  free(h->undo.slot);
  free(h->redo.slot);
  free(h);
}

void history_clear(OM_History* h) {
  if (!h) return;
  while (h->undo.count) forget(h, take_newest(&h->undo));
  forget_redo(h);
  h->recorded = false;
}

bool history_record(OM_History* h, const OM_World* w) {
  if (!h || !w) return false;
  if (h->redoOnHold) forget_redo(h);
  h->recorded = false;
  reg edges;
  const reg bytes = size_of_world(w, &edges);
  // A break in the chain of states: undo must never skip the edit that
  // follows, so an edit that cannot be remembered forgets the rest too.
  if (bytes > h->limit) {
    history_clear(h);
    return false;
  }
  trim(h, bytes);
  Copy* c = make_room(&h->undo) ? take_copy(w, bytes, edges) : nullptr;
  if (!c) {
    history_clear(h);
    return false;
  }
  push_newest(&h->undo, c);
  h->bytes += bytes;
  h->redoOnHold = h->redo.count > 0;
  h->recorded = true;
  return true;
}

bool history_cancel(OM_History* h, OM_World* w) {
  if (!h || !w || !h->recorded || !h->undo.count) return false;
  h->recorded = false;
  if (!restore(w, newest(&h->undo))) {
    // The edit may have gone ahead: the record stays as its undo step.
    if (h->redoOnHold) forget_redo(h);
    return false;
  }
  forget(h, take_newest(&h->undo));
  h->redoOnHold = false;
  return true;
}

// Moves the world one step along: `from` holds the state to go to, `to`
// receives the state being left.
static bool step(OM_History* h, OM_World* w, Steps* from, Steps* to) {
  if (!h || !w) return false;
  if (h->redoOnHold) forget_redo(h);  // the edit after the last record went ahead
  h->recorded = false;
  if (!from->count) return false;
  reg edges;
  const reg bytes = size_of_world(w, &edges);
  Copy* leaving = nullptr;
  if (bytes <= h->limit) {
    if (!make_room(to)) return false;
    leaving = take_copy(w, bytes, edges);
    if (!leaving) return false;
  }
  if (!restore(w, newest(from))) {
    free(leaving);
    return false;
  }
  forget(h, take_newest(from));
  if (leaving) {
    push_newest(to, leaving);
    h->bytes += bytes;
  } else {
    // Too large to keep: the steps beyond it can no longer be reached.
    while (to->count) forget(h, take_newest(to));
  }
  trim(h, 0);
  return true;
}

bool history_undo(OM_History* h, OM_World* w) { return h && step(h, w, &h->undo, &h->redo); }
bool history_redo(OM_History* h, OM_World* w) { return h && step(h, w, &h->redo, &h->undo); }

reg history_undo_steps(const OM_History* h) { return h ? h->undo.count : 0; }
reg history_redo_steps(const OM_History* h) { return h && !h->redoOnHold ? h->redo.count : 0; }
reg history_bytes(const OM_History* h) { return h ? h->bytes : 0; }
