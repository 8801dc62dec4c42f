// Edits that change the shape of the world. Each one checks everything and
// takes all the memory it needs first, and only then changes the world, in
// steps that cannot fail: a refusal or a failed allocation leaves the world
// as it was (a collection may have grown its capacity, nothing more).
//
// ==== Memory ====
// ==== Small helpers ====
// ==== Outlines ====
// ==== Drawing a sector ====
// ==== Splitting an edge ====
// ==== Linking two edges ====
// ==== Renumbering ====
// ==== Deleting a vertex ====
// ==== Deleting a sector ====
#include "world_edit.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "math.h"

// ==== Memory ====

static reg grantsLeft = OM_EDIT_MEMORY_UNLIMITED;

static bool grant() {
  if (grantsLeft == OM_EDIT_MEMORY_UNLIMITED) return true;
  if (grantsLeft == 0) return false;
  grantsLeft--;
  return true;
}

void* edit_malloc(reg bytes) { return grant() ? malloc(bytes ? bytes : 1) : nullptr; }
void* edit_realloc(void* block, reg bytes) {
  return grant() ? realloc(block, bytes ? bytes : 1) : nullptr;
}
void edit_memory_fail_after(reg grants) { grantsLeft = grants; }

// ==== Small helpers ====

static constexpr u32 kNone = 0xFFFFFFFFu;

// The storage of a collection, capacity and all. The checked accessors stop
// at `length`; an edit reserves its room first and then writes into it past
// the length (the first sector of an empty world included), so it needs the
// block itself.
static OM_WorldEdge* edges_of(const OM_WorldSector* s) {
  return static_cast<OM_WorldEdge*>(s->edges->data);
}
static OM_WorldVertex* vertices_of(const OM_World* w) {
  return static_cast<OM_WorldVertex*>(w->vertices->data);
}
static OM_WorldSector* sectors_of(const OM_World* w) {
  return static_cast<OM_WorldSector*>(w->sectors->data);
}

// Room for `count` elements; what the collection holds does not change, so
// growing ahead of an edit is invisible when the edit is then abandoned.
static bool reserve(OM_Collection* c, reg count) {
  if (count <= c->capacity) return true;
  if (c->elementSize == 0 || count > SIZE_MAX / 2 / c->elementSize) return false;
  reg want = c->capacity * 2 > count ? c->capacity * 2 : count;  // amortised like a push
  void* data = edit_realloc(c->data, want * c->elementSize);
  if (!data && want > count) data = edit_realloc(c->data, (want = count) * c->elementSize);
  if (!data) return false;
  c->data = data;
  c->capacity = want;
  return true;
}

OM_Collection* edit_collection(reg capacity, reg elementSize) {
  return OM_CreateCollectionFrom(capacity, elementSize, edit_malloc);
}

static void make_wall(OM_WorldEdge* e, const OM_EditStyle* style) {
  e->type = OM_EDGE_TEXTURE;
  e->texture = style ? style->wall : nullptr;
}

// `step`: the portal's own step texture (OM_WorldEdge::portal_step); a new
// link starts with none, the pieces of a split portal keep the whole's.
static void make_portal(OM_WorldEdge* e, reg sector, reg edge, u16 step = 0) {
  e->type = OM_EDGE_PORTAL;
  e->texture = nullptr;  // clears the bytes the fields below do not cover
  e->portal_sector = static_cast<u16>(sector);
  e->portal_edge = static_cast<u16>(edge);
  e->portal_step = step;
}

// The edge that edge `e` of sector `s` is a portal to, when that one is a
// portal back to it; else null.
static OM_WorldEdge* partner_of(const OM_World* w, reg s, reg e) {
  const OM_WorldEdge* edge = world_edge(w, s, e);
  OM_WorldEdge* t = portal_target(w, edge);
  if (!t || t == edge || t->type != OM_EDGE_PORTAL) return nullptr;
  if (t->portal_sector != s || t->portal_edge != e) return nullptr;
  return t;
}

// The other side of a portal that is about to stop being one.
static void unlink_partner(OM_World* w, reg s, reg e, const OM_EditStyle* style) {
  if (OM_WorldEdge* t = partner_of(w, s, e)) make_wall(t, style);
}

static bool has_world(const OM_World* w) { return w && w->vertices && w->sectors; }

// ==== Outlines ====
// The predicates run in double, like the segment tests of math.h: a corner
// lying on another edge is seen as lying on it rather than a rounding error
// to either side.

// Edges a-b and b-c share the corner b; they cross when c folds back along
// a-b.
static bool folds_back(const OM_Corner& a, const OM_Corner& b, const OM_Corner& c) {
  if (OM_Orient(a, b, c) != 0) return false;
  return (double(a.x) - b.x) * (double(c.x) - b.x) + (double(a.y) - b.y) * (double(c.y) - b.y) > 0;
}

// Twice the signed area, sum of x[i] * y[i+1] - x[i+1] * y[i].
static double twice_area(const OM_Corner* c, reg n) {
  double sum = 0;
  for (reg i = 0; i < n; i++) {
    const OM_Corner& a = c[i];
    const OM_Corner& b = c[(i + 1) % n];
    sum += double(a.x) * b.y - double(b.x) * a.y;
  }
  return sum;
}

// Quadratic in the corners, which a hand-drawn outline keeps few of.
bool world_outline_ok(const OM_Corner* c, reg n, char* why, reg whySize) {
  if (n < 3 || !c)
    return world_refuse(why, whySize, "an outline needs at least three corners, this one has %zu",
                        c ? n : 0);
  for (reg i = 0; i < n; i++) {
    if (!std::isfinite(c[i].x) || !std::isfinite(c[i].y))
      return world_refuse(why, whySize, "corner %zu is not a finite point", i);
  }
  for (reg i = 0; i < n; i++) {
    for (reg j = i + 1; j < n; j++) {
      const bool sameVertex = c[i].vertex != OM_NEW_VERTEX && c[i].vertex == c[j].vertex;
      if (sameVertex || (c[i].x == c[j].x && c[i].y == c[j].y))
        return world_refuse(why, whySize, "corner %zu repeats corner %zu at (%g, %g)", j, i,
                            double(c[j].x), double(c[j].y));
    }
  }
  // Edge i runs from corner i to corner i + 1.
  for (reg i = 0; i < n; i++) {
    for (reg j = i + 1; j < n; j++) {
      const reg i1 = (i + 1) % n, j1 = (j + 1) % n;
      bool meet;
      if (i1 == j)
        meet = folds_back(c[i], c[i1], c[j1]);
      else if (j1 == i)
        meet = folds_back(c[j], c[i], c[i1]);
      else
        meet = OM_SegmentsMeet(c[i], c[i1], c[j], c[j1]);
      if (meet)
        return world_refuse(why, whySize,
                            "the outline crosses itself: edge %zu-%zu meets edge %zu-%zu", i, i1, j,
                            j1);
    }
  }
  if (twice_area(c, n) == 0) return world_refuse(why, whySize, "the outline encloses no area");
  return true;
}

// ==== Drawing a sector ====

// An existing edge that runs between the same two vertices as a new one.
struct Join {
  u32 sector, edge;
  bool opposite;  // it runs the other way, as the neighbour across should
};

bool world_add_sector(OM_World* w, const OM_Corner* corners, reg count, f32 floorHeight,
                      f32 ceilingHeight, const OM_EditStyle* style, reg* sector, reg* portals,
                      char* why, reg whySize) {
  if (!has_world(w)) return world_refuse(why, whySize, "there is no world");
  if (count < 3 || !corners) return world_outline_ok(corners, count, why, whySize);
  if (count > OM_WORLD_MAX_EDGES)
    return world_refuse(why, whySize,
                        "a sector holds at most %zu edges, the outline has %zu corners",
                        OM_WORLD_MAX_EDGES, count);
  if (!std::isfinite(floorHeight) || !std::isfinite(ceilingHeight))
    return world_refuse(why, whySize, "the floor and ceiling heights must be finite numbers");
  if (floorHeight > ceilingHeight)
    return world_refuse(why, whySize, "the floor (%g) would be above the ceiling (%g)",
                        double(floorHeight), double(ceilingHeight));
  const reg vertexCount = world_vertex_count(w), sectorCount = world_sector_count(w);
  reg fresh = 0;
  for (reg i = 0; i < count; i++) {
    if (corners[i].vertex == OM_NEW_VERTEX)
      fresh++;
    else if (corners[i].vertex >= vertexCount)
      return world_refuse(why, whySize, "corner %zu names vertex %zu, the world has %zu vertices",
                          i, corners[i].vertex, vertexCount);
  }

  // The outline as it will be: existing corners where their vertices are,
  // new ones numbered in the order given.
  OM_Corner* c = static_cast<OM_Corner*>(edit_malloc(count * sizeof(OM_Corner)));
  if (!c) return world_refuse(why, whySize, "out of memory");
  reg next = vertexCount;
  for (reg i = 0; i < count; i++) {
    c[i] = corners[i];
    if (c[i].vertex == OM_NEW_VERTEX) {
      c[i].vertex = next++;
    } else {
      c[i].x = world_vertex(w, c[i].vertex)->x;
      c[i].y = world_vertex(w, c[i].vertex)->y;
    }
  }
  bool ok = world_outline_ok(c, count, why, whySize);
  if (ok && vertexCount + fresh > OM_WORLD_MAX_VERTICES)
    ok = world_refuse(why, whySize, "the world holds at most %zu vertices, %zu more do not fit",
                      OM_WORLD_MAX_VERTICES, fresh);
  if (ok && sectorCount >= OM_WORLD_MAX_SECTORS)
    ok = world_refuse(why, whySize, "the world holds at most %zu sectors", OM_WORLD_MAX_SECTORS);
  if (!ok) {
    free(c);
    return false;
  }
  // Stored with positive area; the first corner stays the start of edge 0.
  if (twice_area(c, count) < 0) {
    for (reg i = 1, j = count - 1; i < j; i++, j--) {
      OM_Corner t = c[i];
      c[i] = c[j];
      c[j] = t;
    }
  }

  // Existing edges between two corners that follow each other: one pass over
  // the world with the outline position of each of its vertices.
  Join* joins = static_cast<Join*>(edit_malloc(count * sizeof(Join)));
  u32* at = fresh < count ? static_cast<u32*>(edit_malloc(vertexCount * sizeof(u32))) : nullptr;
  OM_Collection* edges = edit_collection(count, sizeof(OM_WorldEdge));
  ok = joins && edges && (at || fresh == count) && reserve(w->vertices, vertexCount + fresh) &&
       reserve(w->sectors, sectorCount + 1);
  if (!ok) {
    free(c);
    free(joins);
    free(at);
    OM_DestroyCollection(edges);
    return world_refuse(why, whySize, "out of memory");
  }
  for (reg k = 0; k < count; k++) joins[k] = {kNone, kNone, false};
  if (at) {
    for (reg v = 0; v < vertexCount; v++) at[v] = kNone;
    for (reg k = 0; k < count; k++)
      if (c[k].vertex < vertexCount) at[c[k].vertex] = static_cast<u32>(k);
    for (reg s = 0; s < sectorCount; s++) {
      const OM_WorldSector* sec = world_sector(w, s);
      const reg n = sector_edge_count(sec);
      for (reg e = 0; e < n; e++) {
        const OM_WorldEdge& edge = edges_of(sec)[e];
        if (edge.v1 >= vertexCount || edge.v2 >= vertexCount) continue;
        const u32 p = at[edge.v1], q = at[edge.v2];
        if (p == kNone || q == kNone) continue;
        reg k;
        bool opposite;
        if ((p + 1) % count == q) {
          k = p;  // new edge p runs v1 -> v2 too
          opposite = false;
        } else if ((q + 1) % count == p) {
          k = q;
          opposite = true;
        } else {
          continue;
        }
        if (joins[k].sector == kNone || (opposite && !joins[k].opposite))
          joins[k] = {static_cast<u32>(s), static_cast<u32>(e), opposite};
      }
    }
  }

  // Nothing below can fail.
  const reg index = sectorCount;
  OM_WorldVertex* vertices = vertices_of(w);
  for (reg k = 0; k < count; k++)
    if (c[k].vertex >= vertexCount) vertices[c[k].vertex] = {c[k].x, c[k].y};
  w->vertices->length = vertexCount + fresh;
  reg made = 0;
  OM_WorldEdge* out = static_cast<OM_WorldEdge*>(edges->data);
  for (reg k = 0; k < count; k++) {
    OM_WorldEdge e = {};
    e.v1 = static_cast<u16>(c[k].vertex);
    e.v2 = static_cast<u16>(c[(k + 1) % count].vertex);
    make_wall(&e, style);
    const Join& j = joins[k];
    if (j.sector != kNone) {
      unlink_partner(w, j.sector, j.edge, style);
      make_portal(world_edge(w, j.sector, j.edge), index, k);
      make_portal(&e, j.sector, j.edge);
      made++;
    }
    out[k] = e;
  }
  edges->length = count;
  OM_WorldSector added = {};
  added.edges = edges;
  added.floorHeight = floorHeight;
  added.floorTexture = style ? style->floor : nullptr;
  added.ceilingHeight = ceilingHeight;
  added.ceilingTexture = style ? style->ceiling : nullptr;
  sectors_of(w)[index] = added;
  w->sectors->length = index + 1;
  free(c);
  free(joins);
  free(at);
  if (sector) *sector = index;
  if (portals) *portals = made;
  world_changed(w);
  return true;
}

// ==== Splitting an edge ====

bool world_split_edge(OM_World* w, reg sector, reg edge, f32 x, f32 y, reg* vertex, char* why,
                      reg whySize) {
  if (!has_world(w)) return world_refuse(why, whySize, "there is no world");
  OM_WorldSector* s = world_sector(w, sector);
  if (!s) return world_refuse(why, whySize, "there is no sector %zu", sector);
  if (!sector_edge(s, edge))
    return world_refuse(why, whySize, "sector %zu has no edge %zu", sector, edge);
  if (!std::isfinite(x) || !std::isfinite(y))
    return world_refuse(why, whySize, "the split point is not a finite point");
  const OM_WorldEdge whole = *sector_edge(s, edge);
  const reg vertexCount = world_vertex_count(w);
  if (whole.v1 >= vertexCount || whole.v2 >= vertexCount)
    return world_refuse(why, whySize, "sector %zu edge %zu names a missing vertex", sector, edge);

  // A portal paired both ways is split on both sides.
  const OM_WorldEdge* other = partner_of(w, sector, edge);
  const reg ps = other ? whole.portal_sector : kNone, pe = other ? whole.portal_edge : kNone;
  const u16 step = other ? whole.portal_step : 0, otherStep = other ? other->portal_step : 0;
  OM_WorldSector* t = other ? world_sector(w, ps) : nullptr;
  const u16 a = whole.v1, b = whole.v2;
  const u16 pc = other ? other->v1 : 0, pd = other ? other->v2 : 0;
  const bool shared = other && ((pc == b && pd == a) || (pc == a && pd == b));
  if (other && !shared && (pc >= vertexCount || pd >= vertexCount)) {
    other = nullptr;  // nowhere to cut it: split this side alone, as always
    t = nullptr;
  }
  const reg newVertices = other && !shared ? 2 : 1;
  const reg ownEdges = sector_edge_count(s) + (t == s ? 2 : 1);
  if (vertexCount + newVertices > OM_WORLD_MAX_VERTICES)
    return world_refuse(why, whySize, "the world holds at most %zu vertices",
                        OM_WORLD_MAX_VERTICES);
  if (ownEdges > OM_WORLD_MAX_EDGES || (t && t != s && sector_edge_count(t) >= OM_WORLD_MAX_EDGES))
    return world_refuse(why, whySize, "a sector holds at most %zu edges", OM_WORLD_MAX_EDGES);
  if (!reserve(w->vertices, vertexCount + newVertices) || !reserve(s->edges, ownEdges) ||
      (t && t != s && !reserve(t->edges, sector_edge_count(t) + 1)))
    return world_refuse(why, whySize, "out of memory");

  // Nothing below can fail. A becomes A -> N at the end of the list, the
  // edge itself N -> B, so no index into the list moves.
  OM_WorldVertex* v = vertices_of(w);
  const reg n = vertexCount;
  v[n] = {x, y};
  w->vertices->length = n + 1;
  const reg half = s->edges->length;
  edges_of(s)[half] = whole;
  edges_of(s)[half].v2 = static_cast<u16>(n);
  edges_of(s)[edge].v1 = static_cast<u16>(n);
  s->edges->length = half + 1;
  if (vertex) *vertex = n;
  if (!t) {
    world_changed(w);
    return true;
  }

  // The partner is cut where the traveller's shift carries N. Facing edges
  // run opposite ways, so N's fraction from A is measured from the
  // partner's far end; edges that run the same way keep the near end.
  const OM_WorldVertex A = v[a], B = v[b], C = v[pc], D = v[pd];
  const f32 ex = B.x - A.x, ey = B.y - A.y;
  const bool opposite = shared ? pc == b : ex * (D.x - C.x) + ey * (D.y - C.y) <= 0.0f;
  reg m = n;
  if (!shared) {
    const f32 length2 = ex * ex + ey * ey;
    f32 f = length2 > 0.0f ? ((x - A.x) * ex + (y - A.y) * ey) / length2 : 0.0f;
    f = f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f;
    const OM_WorldVertex from = opposite ? D : C, to = opposite ? C : D;
    m = n + 1;
    v[m] = {from.x + f * (to.x - from.x), from.y + f * (to.y - from.y)};
    w->vertices->length = m + 1;
  }
  const reg partnerHalf = t->edges->length;
  OM_WorldEdge* te = edges_of(t);
  te[partnerHalf] = te[pe];
  te[partnerHalf].v2 = static_cast<u16>(m);
  te[pe].v1 = static_cast<u16>(m);
  t->edges->length = partnerHalf + 1;
  // N -> B faces the partner's half that holds B's counterpart.
  const reg nearB = opposite ? partnerHalf : pe, nearA = opposite ? pe : partnerHalf;
  OM_WorldEdge* se = edges_of(s);  // the same list as te when t is s
  make_portal(&se[edge], ps, nearB, step);
  make_portal(&te[nearB], sector, edge, otherStep);
  make_portal(&se[half], ps, nearA, step);
  make_portal(&te[nearA], sector, half, otherStep);
  world_changed(w);
  return true;
}

// ==== Linking two edges ====

bool world_link_edges(OM_World* w, reg s1, reg e1, reg s2, reg e2, const OM_EditStyle* style,
                      f32* dx, f32* dy, char* why, reg whySize) {
  if (!has_world(w)) return world_refuse(why, whySize, "there is no world");
  const reg sectors[2] = {s1, s2}, edges[2] = {e1, e2};
  for (int i = 0; i < 2; i++) {
    if (!world_sector(w, sectors[i]))
      return world_refuse(why, whySize, "there is no sector %zu", sectors[i]);
    if (!world_edge(w, sectors[i], edges[i]))
      return world_refuse(why, whySize, "sector %zu has no edge %zu", sectors[i], edges[i]);
  }
  if (s1 == s2)
    return world_refuse(why, whySize, "both edges belong to sector %zu: a portal joins two sectors",
                        s1);
  // A pair linked again keeps its step textures; a new link starts without.
  OM_WorldEdge *a = world_edge(w, s1, e1), *b = world_edge(w, s2, e2);
  const bool again = partner_of(w, s1, e1) == b;
  const u16 stepA = again ? a->portal_step : 0, stepB = again ? b->portal_step : 0;
  unlink_partner(w, s1, e1, style);
  unlink_partner(w, s2, e2, style);
  make_portal(a, s2, e2, stepA);
  make_portal(b, s1, e1, stepB);
  f32 x = 0.0f, y = 0.0f;
  world_portal_shift(w, world_edge(w, s1, e1), &x, &y);
  if (dx) *dx = x;
  if (dy) *dy = y;
  world_changed(w);
  return true;
}

// ==== Renumbering ====

// After edges were taken out of sectors and before sectors are: every
// vertex index past `vertex` (kNone: none removed) moves down one; every
// portal into a sector that goes, or to an edge that went, becomes a wall;
// the others follow their sector's new index, and the edges after the one
// taken out of it. Then the sectors that go are released and the rest close
// up. `newIndex(s)` is kNone for a sector that goes; `removedEdge(s)` the
// edge taken out of sector s, or kNone.
template <class NewIndex, class RemovedEdge>
static void renumber(OM_World* w, reg vertex, NewIndex newIndex, RemovedEdge removedEdge,
                     const OM_EditStyle* style) {
  const reg count = world_sector_count(w);
  OM_WorldSector* sectors = sectors_of(w);
  for (reg s = 0; s < count; s++) {
    if (newIndex(s) == kNone) continue;
    const reg n = sector_edge_count(&sectors[s]);
    OM_WorldEdge* edges = n ? edges_of(&sectors[s]) : nullptr;
    for (reg e = 0; e < n; e++) {
      OM_WorldEdge& edge = edges[e];
      if (vertex != kNone) {
        if (edge.v1 > vertex) edge.v1--;
        if (edge.v2 > vertex) edge.v2--;
      }
      if (edge.type != OM_EDGE_PORTAL) continue;
      const reg ts = edge.portal_sector, te = edge.portal_edge;
      const u32 to = ts < count ? newIndex(ts) : kNone;
      const u32 gone = to == kNone ? kNone : removedEdge(ts);
      if (to == kNone || te == gone) {
        make_wall(&edge, style);
        continue;
      }
      edge.portal_sector = static_cast<u16>(to);
      if (gone != kNone && te > gone) edge.portal_edge = static_cast<u16>(te - 1);
    }
  }
  reg kept = 0;
  for (reg s = 0; s < count; s++) {
    if (newIndex(s) == kNone)
      OM_DestroyCollection(sectors[s].edges);
    else
      sectors[kept++] = sectors[s];
  }
  w->sectors->length = kept;
}

// ==== Deleting a vertex ====

// A sector whose outline passes the vertex.
struct Joint {
  u32 sector;
  u32 in, out;  // the edges that end and start at the vertex
  u32 partner;  // the joint whose two edges are the portals back, or kNone
  OM_WorldEdge merged;
  bool removed;  // fewer than three corners would be left
  // The merged edge takes the lower index of the two, so an outline stored
  // in order stays in order, and undoing a split gives back the old list.
  u32 keep() const { return in < out ? in : out; }
  u32 drop() const { return in < out ? out : in; }
};

static bool is_wall(const OM_WorldEdge& e) { return e.type != OM_EDGE_PORTAL; }

// J's two edges are portals to the two edges of K, which meet at the same
// vertex from the other side: a coinciding pair that a split cut in two.
// Joined up again they stay a portal pair.
static bool halves_of_one_portal(const OM_World* w, const Joint& j, const Joint& k) {
  if (j.sector == k.sector || j.removed || k.removed) return false;
  const OM_WorldEdge* in = partner_of(w, j.sector, j.in);
  const OM_WorldEdge* out = partner_of(w, j.sector, j.out);
  if (!in || !out) return false;
  return in == world_edge(w, k.sector, k.out) && out == world_edge(w, k.sector, k.in) &&
         j.merged.v1 == k.merged.v2 && j.merged.v2 == k.merged.v1;
}

bool world_delete_vertex(OM_World* w, reg vertex, const OM_EditStyle* style, reg* sectorsRemoved,
                         char* why, reg whySize) {
  if (!has_world(w)) return world_refuse(why, whySize, "there is no world");
  const reg vertexCount = world_vertex_count(w), count = world_sector_count(w);
  if (vertex >= vertexCount)
    return world_refuse(why, whySize, "there is no vertex %zu, the world has %zu", vertex,
                        vertexCount);
  reg users = 0;
  for (reg s = 0; s < count; s++) {
    const OM_WorldSector* sec = world_sector(w, s);
    const reg n = sector_edge_count(sec);
    for (reg e = 0; e < n; e++) users += edges_of(sec)[e].v1 == vertex;
  }
  Joint* joints = static_cast<Joint*>(edit_malloc(users * sizeof(Joint)));
  u32* jointOf = static_cast<u32*>(edit_malloc(2 * count * sizeof(u32)));
  if (!joints || !jointOf) {
    free(joints);
    free(jointOf);
    return world_refuse(why, whySize, "out of memory");
  }
  u32* newIndex = jointOf + count;

  reg found = 0;
  bool ok = true;
  for (reg s = 0; s < count && ok; s++) {
    jointOf[s] = kNone;
    const OM_WorldSector* sec = world_sector(w, s);
    const reg n = sector_edge_count(sec);
    u32 in = kNone, out = kNone, ins = 0, outs = 0;
    for (reg e = 0; e < n; e++) {
      const OM_WorldEdge& edge = edges_of(sec)[e];
      if (edge.v2 == vertex) in = static_cast<u32>(e), ins++;
      if (edge.v1 == vertex) out = static_cast<u32>(e), outs++;
    }
    if (ins + outs == 0) continue;
    if (ins != 1 || outs != 1) {
      ok = world_refuse(why, whySize, "the outline of sector %zu does not pass vertex %zu once", s,
                        vertex);
      break;
    }
    // The two edges become one from the corner before to the corner after,
    // the wall of the one ending here if it is a wall, else the other's.
    const OM_WorldEdge& a = edges_of(sec)[in];
    const OM_WorldEdge& b = edges_of(sec)[out];
    Joint& j = joints[found];
    j = {static_cast<u32>(s), in, out, kNone, is_wall(a) ? a : b, n - 1 < 3};
    j.merged.v1 = a.v1;
    j.merged.v2 = b.v2;
    if (!is_wall(j.merged)) make_wall(&j.merged, style);
    jointOf[s] = static_cast<u32>(found++);
  }
  if (!ok) {
    free(joints);
    free(jointOf);
    return false;
  }
  for (reg i = 0; i < found; i++) {
    const OM_WorldEdge& in = edges_of(world_sector(w, joints[i].sector))[joints[i].in];
    if (!partner_of(w, joints[i].sector, joints[i].in)) continue;
    const u32 k = jointOf[in.portal_sector];
    if (k != kNone && halves_of_one_portal(w, joints[i], joints[k])) joints[i].partner = k;
  }
  for (reg i = 0; i < found; i++) {  // a pair only when both see it
    const u32 k = joints[i].partner;
    if (k != kNone && joints[k].partner != i) joints[i].partner = kNone;
  }

  // Nothing below can fail. Portals cut here lose their other sides first,
  // while every index still means what it did.
  for (reg i = 0; i < found; i++) {
    if (joints[i].partner != kNone) continue;
    unlink_partner(w, joints[i].sector, joints[i].in, style);
    unlink_partner(w, joints[i].sector, joints[i].out, style);
  }
  reg removed = 0;
  for (reg i = 0; i < found; i++) {
    Joint& j = joints[i];
    if (j.removed) {
      removed++;
      continue;
    }
    OM_WorldSector* sec = world_sector(w, j.sector);
    OM_WorldEdge* edges = edges_of(sec);
    const u16 step = j.partner != kNone ? edges[j.keep()].portal_step : 0;
    edges[j.keep()] = j.merged;
    if (j.partner != kNone)  // named as before; renumber() closes the gaps
      make_portal(&edges[j.keep()], joints[j.partner].sector, joints[j.partner].keep(), step);
    const reg n = sec->edges->length;
    memmove(edges + j.drop(), edges + j.drop() + 1, (n - j.drop() - 1) * sizeof(OM_WorldEdge));
    sec->edges->length = n - 1;
  }
  u32 next = 0;
  for (reg s = 0; s < count; s++) {
    const bool goes = jointOf[s] != kNone && joints[jointOf[s]].removed;
    newIndex[s] = goes ? kNone : next++;
  }
  OM_WorldVertex* v = vertices_of(w);
  memmove(v + vertex, v + vertex + 1, (vertexCount - vertex - 1) * sizeof(OM_WorldVertex));
  w->vertices->length = vertexCount - 1;
  renumber(
      w, vertex, [newIndex](reg s) { return newIndex[s]; },
      [jointOf, joints](reg s) { return jointOf[s] == kNone ? kNone : joints[jointOf[s]].drop(); },
      style);
  free(joints);
  free(jointOf);
  if (sectorsRemoved) *sectorsRemoved = removed;
  world_changed(w);
  return true;
}

// ==== Deleting a sector ====

bool world_delete_sector(OM_World* w, reg sector, const OM_EditStyle* style, char* why,
                         reg whySize) {
  if (!has_world(w)) return world_refuse(why, whySize, "there is no world");
  if (!world_sector(w, sector))
    return world_refuse(why, whySize, "there is no sector %zu, the world has %zu", sector,
                        world_sector_count(w));
  renumber(
      w, kNone,
      [sector](reg s) -> u32 {
        return s == sector ? kNone : static_cast<u32>(s < sector ? s : s - 1);
      },
      [](reg) -> u32 { return kNone; }, style);
  world_changed(w);
  return true;
}
