// The index of a world by place, and get_sector_at, its main reader.
//
// ==== The index by place ====
// ==== Lookup ====
#include "world_index.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// ==== The index by place ====
// Two uniform grids, one over the sectors' boxes and one over the vertices.
// Each cell lists, in ascending order, the sectors whose widened box meets
// it (or the vertices in it); a sector reaching over more than a few cells,
// or one with a corner that is not a finite point, is kept on a list of its
// own and tried by every lookup instead. Cells are found by a monotone
// function of the coordinate, clamped to the grid, so whatever lies in a box
// is filed in the cells of that box's corners and between them, and a point
// outside the grid lands in a border cell, where the boxes turn it away.
//
// The lookup tests a point against a sector's widened box before the
// winding sum, which is only sound where the sum cannot reach pi outside the
// box. It cannot when every vertex of the sector lies in an open half-plane
// away from the point: each edge then subtends less than pi - 1.4e-4 at the
// point (the widening is 1e-4 of the box's longer side), which leaves room
// for the f32 differences, atan2f and the wrap to err by far more than they
// do (a few ulp); the edges' angles telescope to zero when every vertex
// starts as many edges as it ends; and the rounding of the f32 sum stays
// small when the number of edges times the largest imbalance met on the way
// is bounded. A sector failing any of this (or too far out for the
// differences to stay finite) is always tried in full.

typedef uint64_t u64;
typedef int64_t i64;

namespace {

enum : u8 {
  kHasEdges = 1,  // an edge between two existing vertices
  kFinite = 2,    // every corner of those edges is a finite point: `box` holds
  kFiled = 4,     // in the grid, under the cells its `reach` meets
  kBoxed = 8,     // the winding sum cannot reach pi outside `reach`
};

struct CellRange {
  int x0, y0, x1, y1;
  reg count() const { return reg(x1 - x0 + 1) * reg(y1 - y0 + 1); }
};

struct SectorPlace {
  OM_WorldBox box;    // the corners of its edges
  OM_WorldBox reach;  // `box` widened so that rounding cannot matter
  CellRange filed;    // the cells it is listed in, while kFiled
  u8 flags;
};

// Cell (cx, cy) is cx + nx * cy; its items are items[start[c] .. start[c+1]).
struct Grid {
  f64 x0, y0;      // the low corner
  f64 perX, perY;  // cells per unit
  int nx, ny;
  u32* start;
  u32* items;
  reg startCap, itemCap;
};

// A set of indices below n, read back in ascending order and emptied as it
// is read; a summary word per 64 words keeps the reading in step with what
// was put in.
struct IndexSet {
  u64* words;
  u64* summary;
  u32* out;
  reg wordCap, summaryCap, outCap;
};

const int kMaxFiledCells = 64;            // a sector over more cells goes on the list
const f64 kMaxBoxedCoordinate = 0x1p100;  // differences with any f32 stay finite

}  // namespace

struct OM_WorldIndex {
  // What it was made from: the world as it stood then.
  bool ready;
  u32 revision;
  const void* vertexBlock;
  reg vertexCount;
  const void* sectorBlock;
  reg sectorCount;

  SectorPlace* sectors;
  reg sectorCap;
  Grid sectorGrid;
  Grid vertexGrid;
  u32* drawAlways;  // sectors with edges that are not filed
  reg drawAlwaysCount;
  u32* findAlways;  // ... and those filed but not boxed
  reg findAlwaysCount;
  u32* lostVertices;  // not finite points, and vertices moved since
  reg lostVertexCount;
  reg drawAlwaysCap, findAlwaysCap, lostCap;
  f32 filedSize;
  // The sectors with an edge at each vertex: those of vertex v are
  // users[usersStart[v] .. usersStart[v + 1]).
  u32* usersStart;
  u32* users;
  reg usersStartCap, usersCap;
  IndexSet sectorSet;
  IndexSet vertexSet;
  i32* balance;  // per vertex, zero between sectors while the index is made
  reg balanceCap;
};

namespace {

// Room for n elements; contents kept. With `zero`, elements beyond the old
// capacity start at zero.
template <class T>
bool fit(T** block, reg* capacity, reg n, bool zero = false) {
  if (n <= *capacity) return true;
  reg want = n + n / 2;
  T* grown = static_cast<T*>(realloc(*block, (want ? want : 1) * sizeof(T)));
  if (!grown) return false;
  if (zero) memset(grown + *capacity, 0, (want - *capacity) * sizeof(T));
  *block = grown;
  *capacity = want;
  return true;
}

// The nearest f32 at or beyond d, away from the box.
f32 f32_down(f64 d) {
  if (d < -static_cast<f64>(FLT_MAX)) return -INFINITY;
  f32 f = static_cast<f32>(d);
  return static_cast<f64>(f) > d ? nextafterf(f, -INFINITY) : f;
}
f32 f32_up(f64 d) {
  if (d > static_cast<f64>(FLT_MAX)) return INFINITY;
  f32 f = static_cast<f32>(d);
  return static_cast<f64>(f) < d ? nextafterf(f, INFINITY) : f;
}

void add_vertex_count(i32* balance, u16 v, i32 by, i64* unbalance) {
  *unbalance -= balance[v] < 0 ? -balance[v] : balance[v];
  balance[v] += by;
  *unbalance += balance[v] < 0 ? -balance[v] : balance[v];
}

// A sector's box, its widened box and whether the box may stand in for the
// winding sum (see above).
SectorPlace place_sector(const OM_WorldSector* s, const OM_WorldVertex* v, reg vertexCount,
                         i32* balance) {
  SectorPlace p = {};
  const reg n = sector_edge_count(s);
  const OM_WorldEdge* e = sector_edge(s, 0);
  f32 x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  bool finite = true;
  reg terms = 0;
  i64 unbalance = 0, most = 0;
  for (reg k = 0; k < n; k++) {
    if (e[k].v1 >= vertexCount || e[k].v2 >= vertexCount) continue;
    terms++;
    for (u16 at : {e[k].v1, e[k].v2}) {
      const OM_WorldVertex& q = v[at];
      if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
        finite = false;
        continue;
      }
      x0 = fminf(x0, q.x);
      y0 = fminf(y0, q.y);
      x1 = fmaxf(x1, q.x);
      y1 = fmaxf(y1, q.y);
    }
    add_vertex_count(balance, e[k].v1, -1, &unbalance);
    add_vertex_count(balance, e[k].v2, 1, &unbalance);
    if (unbalance > most) most = unbalance;
  }
  for (reg k = 0; k < n; k++) {
    if (e[k].v1 >= vertexCount || e[k].v2 >= vertexCount) continue;
    balance[e[k].v1] = balance[e[k].v2] = 0;
  }
  if (terms == 0) return p;
  p.flags = kHasEdges;
  if (!finite) return p;
  p.flags |= kFinite;
  p.box = {x0, y0, x1, y1};
  const f64 side = fmax(f64(x1) - x0, f64(y1) - y0);
  const f64 m = 1e-4 * side;
  p.reach = {f32_down(x0 - m), f32_down(y0 - m), f32_up(x1 + m), f32_up(y1 + m)};
  const f64 far = fmax(fmax(fabs(f64(x0)), fabs(f64(x1))), fmax(fabs(f64(y0)), fabs(f64(y1))));
  // unbalance counts both the surplus and the deficit: twice the imbalance.
  if (unbalance == 0 && far <= kMaxBoxedCoordinate && f64(terms) * f64(most + 20) <= 0x1p21)
    p.flags |= kBoxed;
  return p;
}

// Lays one axis of cells of about `side` over lo..hi. The cells start a
// fraction of a cell before `lo`, so that their borders fall between the
// round coordinates a map is drawn on: an item whose side is a whole cell
// then spans two cells along the axis rather than three.
void shape_axis(f64 lo, f64 hi, f64 side, f64* origin, f64* per, int* n) {
  const f64 span = hi - lo;
  if (!(side > 0) || !(span > 0)) {
    *origin = lo;
    *per = 0.0;
    *n = 1;
    return;
  }
  if (span / side + 2.0 > 4096.0) side = span / 4094.0;
  *origin = lo - 0.381966 * side;
  *per = 1.0 / side;
  *n = int(span / side) + 2;
}

// Shapes `g` over the box for about `target` near-square cells.
void shape_grid(Grid* g, f64 x0, f64 y0, f64 x1, f64 y1, reg target) {
  const f64 w = x1 - x0, h = y1 - y0, cells = target < 1 ? 1.0 : f64(target);
  f64 side = sqrt(w * h / cells);
  if (!(side > 0)) side = fmax(w, h) / cells;
  shape_axis(x0, x1, side, &g->x0, &g->perX, &g->nx);
  shape_axis(y0, y1, side, &g->y0, &g->perY, &g->ny);
}

// Monotone in v, so a box's cells run from its low corner's to its high
// corner's. NaN goes to cell 0.
int cell_of(f64 v, f64 origin, f64 per, int n) {
  const f64 c = (v - origin) * per;
  if (!(c >= 0)) return 0;
  if (c >= n) return n - 1;
  return int(c);
}

CellRange cells_of(const Grid& g, f64 x0, f64 y0, f64 x1, f64 y1) {
  return {cell_of(x0, g.x0, g.perX, g.nx), cell_of(y0, g.y0, g.perY, g.ny),
          cell_of(x1, g.x0, g.perX, g.nx), cell_of(y1, g.y0, g.perY, g.ny)};
}

// Counts in start[c + 1] become the cells' beginnings in start[c].
void begin_cells(Grid* g) {
  const reg cells = reg(g->nx) * reg(g->ny);
  g->start[0] = 0;
  for (reg c = 0; c < cells; c++) g->start[c + 1] += g->start[c];
}
// After each item went to items[start[c]++], start[c] is the next cell's
// beginning: shift back.
void end_cells(Grid* g) {
  for (reg c = reg(g->nx) * reg(g->ny); c > 0; c--) g->start[c] = g->start[c - 1];
  g->start[0] = 0;
}

bool size_set(IndexSet* set, reg n) {
  const reg words = (n + 63) / 64, summary = (words + 63) / 64;
  return fit(&set->words, &set->wordCap, words, true) &&
         fit(&set->summary, &set->summaryCap, summary, true) && fit(&set->out, &set->outCap, n);
}

void set_add(IndexSet* set, u32 i) {
  set->words[i >> 6] |= u64(1) << (i & 63);
  set->summary[i >> 12] |= u64(1) << ((i >> 6) & 63);
}

const u32* set_take(IndexSet* set, reg summaryWords, reg* count) {
  reg n = 0;
  for (reg s = 0; s < summaryWords; s++) {
    for (u64 marks = set->summary[s]; marks; marks &= marks - 1) {
      const reg word = s * 64 + reg(__builtin_ctzll(marks));
      for (u64 bits = set->words[word]; bits; bits &= bits - 1)
        set->out[n++] = u32(word * 64 + reg(__builtin_ctzll(bits)));
      set->words[word] = 0;
    }
    set->summary[s] = 0;
  }
  *count = n;
  return set->out;
}

reg summary_words(reg n) { return ((n + 63) / 64 + 63) / 64; }

bool make_sector_grid(OM_WorldIndex* x, reg sectors) {
  f64 bx0 = INFINITY, by0 = INFINITY, bx1 = -INFINITY, by1 = -INFINITY;
  reg finite = 0;
  for (reg s = 0; s < sectors; s++) {
    const SectorPlace& p = x->sectors[s];
    if (!(p.flags & kFinite)) continue;
    finite++;
    bx0 = fmin(bx0, p.box.x0);
    by0 = fmin(by0, p.box.y0);
    bx1 = fmax(bx1, p.box.x1);
    by1 = fmax(by1, p.box.y1);
  }
  Grid* g = &x->sectorGrid;
  if (finite == 0) bx0 = by0 = bx1 = by1 = 0.0;
  shape_grid(g, bx0, by0, bx1, by1, finite / 2);
  const reg cells = reg(g->nx) * reg(g->ny);
  if (!fit(&g->start, &g->startCap, cells + 1)) return false;
  memset(g->start, 0, (cells + 1) * sizeof(u32));
  reg filed = 0;
  f64 filedSize = 0.0;
  for (reg s = 0; s < sectors; s++) {
    SectorPlace& p = x->sectors[s];
    if (!(p.flags & kFinite)) continue;
    const CellRange r = cells_of(*g, p.reach.x0, p.reach.y0, p.reach.x1, p.reach.y1);
    if (r.count() > reg(kMaxFiledCells)) continue;
    p.flags |= kFiled;
    p.filed = r;
    filed += r.count();
    filedSize = fmax(filedSize, fmax(f64(p.box.x1) - p.box.x0, f64(p.box.y1) - p.box.y0));
    for (int cy = r.y0; cy <= r.y1; cy++)
      for (int cx = r.x0; cx <= r.x1; cx++) g->start[reg(cx) + reg(g->nx) * reg(cy) + 1]++;
  }
  x->filedSize = filedSize > FLT_MAX ? FLT_MAX : f32(filedSize);
  if (!fit(&g->items, &g->itemCap, filed)) return false;
  begin_cells(g);
  for (reg s = 0; s < sectors; s++) {
    const SectorPlace& p = x->sectors[s];
    if (!(p.flags & kFiled)) continue;
    const CellRange r = cells_of(*g, p.reach.x0, p.reach.y0, p.reach.x1, p.reach.y1);
    for (int cy = r.y0; cy <= r.y1; cy++)
      for (int cx = r.x0; cx <= r.x1; cx++)
        g->items[g->start[reg(cx) + reg(g->nx) * reg(cy)]++] = u32(s);
  }
  end_cells(g);

  if (!fit(&x->drawAlways, &x->drawAlwaysCap, sectors) ||
      !fit(&x->findAlways, &x->findAlwaysCap, sectors))
    return false;
  x->drawAlwaysCount = x->findAlwaysCount = 0;
  for (reg s = 0; s < sectors; s++) {
    const u8 f = x->sectors[s].flags;
    if (!(f & kHasEdges)) continue;
    if (!(f & kFiled)) x->drawAlways[x->drawAlwaysCount++] = u32(s);
    if (!(f & kFiled) || !(f & kBoxed)) x->findAlways[x->findAlwaysCount++] = u32(s);
  }
  return true;
}

bool make_vertex_grid(OM_WorldIndex* x, const OM_WorldVertex* v, reg vertices) {
  f64 bx0 = INFINITY, by0 = INFINITY, bx1 = -INFINITY, by1 = -INFINITY;
  reg finite = 0;
  for (reg i = 0; i < vertices; i++) {
    if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y)) continue;
    finite++;
    bx0 = fmin(bx0, v[i].x);
    by0 = fmin(by0, v[i].y);
    bx1 = fmax(bx1, v[i].x);
    by1 = fmax(by1, v[i].y);
  }
  Grid* g = &x->vertexGrid;
  if (finite == 0) bx0 = by0 = bx1 = by1 = 0.0;
  shape_grid(g, bx0, by0, bx1, by1, finite / 2);
  const reg cells = reg(g->nx) * reg(g->ny);
  if (!fit(&g->start, &g->startCap, cells + 1) || !fit(&g->items, &g->itemCap, finite) ||
      !fit(&x->lostVertices, &x->lostCap, vertices))
    return false;
  memset(g->start, 0, (cells + 1) * sizeof(u32));
  auto cell = [g](const OM_WorldVertex& p) {
    return reg(cell_of(p.x, g->x0, g->perX, g->nx)) +
           reg(g->nx) * reg(cell_of(p.y, g->y0, g->perY, g->ny));
  };
  x->lostVertexCount = 0;
  for (reg i = 0; i < vertices; i++) {
    if (std::isfinite(v[i].x) && std::isfinite(v[i].y))
      g->start[cell(v[i]) + 1]++;
    else
      x->lostVertices[x->lostVertexCount++] = u32(i);
  }
  begin_cells(g);
  for (reg i = 0; i < vertices; i++)
    if (std::isfinite(v[i].x) && std::isfinite(v[i].y)) g->items[g->start[cell(v[i])]++] = u32(i);
  end_cells(g);
  return true;
}

// Lists, for each vertex, the sectors with an edge at it, each once.
bool make_users(OM_WorldIndex* x, OM_World* w, reg sectors, reg vertices) {
  if (!fit(&x->usersStart, &x->usersStartCap, vertices + 1)) return false;
  memset(x->usersStart, 0, (vertices + 1) * sizeof(u32));
  // The sector last counted at each vertex, so that it counts once; every
  // vertex's usersStart[v + 1] holds its count on the way.
  auto each_use = [&](auto use) {
    for (reg s = 0; s < sectors; s++) {
      const OM_WorldSector* sector = world_sector(w, s);
      const OM_WorldEdge* e = sector_edge(sector, 0);
      for (reg k = 0; k < sector_edge_count(sector); k++)
        for (u16 v : {e[k].v1, e[k].v2})
          if (v < vertices && x->balance[v] != i32(s + 1)) {
            x->balance[v] = i32(s + 1);
            use(v, s);
          }
      for (reg k = 0; k < sector_edge_count(sector); k++)
        for (u16 v : {e[k].v1, e[k].v2})
          if (v < vertices) x->balance[v] = 0;
    }
  };
  reg total = 0;
  each_use([&](u16 v, reg) { x->usersStart[v + 1]++, total++; });
  if (!fit(&x->users, &x->usersCap, total)) return false;
  for (reg v = 0; v < vertices; v++) x->usersStart[v + 1] += x->usersStart[v];
  each_use([&](u16 v, reg s) { x->users[x->usersStart[v]++] = u32(s); });
  for (reg v = vertices; v > 0; v--) x->usersStart[v] = x->usersStart[v - 1];
  x->usersStart[0] = 0;
  return true;
}

bool make_index(OM_WorldIndex* x, OM_World* w) {
  x->ready = false;
  const reg sectors = world_sector_count(w), vertices = world_vertex_count(w);
  const OM_WorldVertex* v = world_vertex(w, 0);
  if (!fit(&x->sectors, &x->sectorCap, sectors) ||
      !fit(&x->balance, &x->balanceCap, vertices, true) || !size_set(&x->sectorSet, sectors) ||
      !size_set(&x->vertexSet, vertices))
    return false;
  for (reg s = 0; s < sectors; s++)
    x->sectors[s] = place_sector(world_sector(w, s), v, vertices, x->balance);
  if (!make_sector_grid(x, sectors) || !make_vertex_grid(x, v, vertices) ||
      !make_users(x, w, sectors, vertices))
    return false;
  x->revision = w->revision;
  x->vertexBlock = w->vertices ? w->vertices->data : nullptr;
  x->vertexCount = vertices;
  x->sectorBlock = w->sectors ? w->sectors->data : nullptr;
  x->sectorCount = sectors;
  x->ready = true;
  return true;
}

// The world's index, made again if the world changed since; null when it
// cannot be made.
bool describes(const OM_WorldIndex* x, const OM_World* w) {
  return x && x->ready && x->revision == w->revision &&
         x->vertexBlock == (w->vertices ? w->vertices->data : nullptr) &&
         x->vertexCount == world_vertex_count(w) &&
         x->sectorBlock == (w->sectors ? w->sectors->data : nullptr) &&
         x->sectorCount == world_sector_count(w);
}

OM_WorldIndex* fresh_index(OM_World* w) {
  if (!w) return nullptr;
  OM_WorldIndex* x = w->index;
  if (describes(x, w)) return x;
  if (!x) {
    x = static_cast<OM_WorldIndex*>(calloc(1, sizeof(OM_WorldIndex)));
    if (!x) return nullptr;
    w->index = x;
  }
  return make_index(x, w) ? x : nullptr;
}

bool meets(const OM_WorldBox& b, const OM_WorldBox& a) {
  return b.x0 <= a.x1 && a.x0 <= b.x1 && b.y0 <= a.y1 && a.y0 <= b.y1;
}

void free_grid(Grid* g) {
  free(g->start);
  free(g->items);
}
void free_set(IndexSet* s) {
  free(s->words);
  free(s->summary);
  free(s->out);
}

// Files in `set` every item of the grid cells under `area` that `keep`
// takes: each cell is visited once and the set drops repeats.
template <class Keep>
void gather(const Grid& g, OM_WorldBox area, IndexSet* set, Keep keep) {
  const CellRange r = cells_of(g, area.x0, area.y0, area.x1, area.y1);
  for (int cy = r.y0; cy <= r.y1; cy++) {
    for (int cx = r.x0; cx <= r.x1; cx++) {
      const reg c = reg(cx) + reg(g.nx) * reg(cy);
      for (u32 k = g.start[c]; k < g.start[c + 1]; k++)
        if (keep(g.items[k])) set_add(set, g.items[k]);
    }
  }
}

}  // namespace

const u32* world_sectors_in(OM_World* w, OM_WorldBox area, reg* count) {
  *count = 0;
  OM_WorldIndex* x = fresh_index(w);
  if (!x) return nullptr;
  gather(x->sectorGrid, area, &x->sectorSet, [&](u32 s) { return meets(x->sectors[s].box, area); });
  for (reg k = 0; k < x->drawAlwaysCount; k++) set_add(&x->sectorSet, x->drawAlways[k]);
  return set_take(&x->sectorSet, summary_words(x->sectorCount), count);
}

const u32* world_vertices_in(OM_World* w, OM_WorldBox area, reg* count) {
  *count = 0;
  OM_WorldIndex* x = fresh_index(w);
  if (!x) return nullptr;
  const OM_WorldVertex* v = world_vertex(w, 0);
  gather(x->vertexGrid, area, &x->vertexSet, [&](u32 i) {
    return area.x0 <= v[i].x && v[i].x <= area.x1 && area.y0 <= v[i].y && v[i].y <= area.y1;
  });
  for (reg k = 0; k < x->lostVertexCount; k++) set_add(&x->vertexSet, x->lostVertices[k]);
  return set_take(&x->vertexSet, summary_words(x->vertexCount), count);
}

bool world_sector_bounds(OM_World* w, reg sector, OM_WorldBox* box) {
  OM_WorldIndex* x = fresh_index(w);
  if (!x || sector >= x->sectorCount || !(x->sectors[sector].flags & kFinite)) return false;
  *box = x->sectors[sector].box;
  return true;
}

f32 world_indexed_sector_size(OM_World* w) {
  OM_WorldIndex* x = fresh_index(w);
  return x ? x->filedSize : 0.0f;
}

namespace {

// Puts `i` into the ascending list unless it is there.
void insert_once(u32* list, reg* count, u32 i) {
  u32* at = std::lower_bound(list, list + *count, i);
  if (at != list + *count && *at == i) return;
  memmove(at + 1, at, reg(list + *count - at) * sizeof(u32));
  *at = i;
  *count += 1;
}

bool within(const CellRange& inner, const CellRange& outer) {
  return outer.x0 <= inner.x0 && inner.x1 <= outer.x1 && outer.y0 <= inner.y0 &&
         inner.y1 <= outer.y1;
}

}  // namespace

void world_vertex_moved(OM_World* w, reg vertex) {
  if (!w) return;
  OM_WorldIndex* x = w->index;
  const bool followed = describes(x, w) && vertex < x->vertexCount;
  w->revision += 1;
  if (!followed) return;  // the next lookup makes the index again
  // Each sector at the vertex gets its new box. One that still lies in the
  // cells it is filed under stays; one that has left them is tried by
  // every lookup from now on, like a sector too large to file. The vertex
  // itself is listed for every query, wherever it went.
  const OM_WorldVertex* v = world_vertex(w, 0);
  for (u32 k = x->usersStart[vertex]; k < x->usersStart[vertex + 1]; k++) {
    const u32 s = x->users[k];
    SectorPlace now = place_sector(world_sector(w, s), v, x->vertexCount, x->balance);
    const SectorPlace& was = x->sectors[s];
    const Grid& g = x->sectorGrid;
    if ((was.flags & kFiled) && (now.flags & kFinite) &&
        within(cells_of(g, now.reach.x0, now.reach.y0, now.reach.x1, now.reach.y1), was.filed)) {
      now.flags |= kFiled;
      now.filed = was.filed;
      const f64 side = fmax(f64(now.box.x1) - now.box.x0, f64(now.box.y1) - now.box.y0);
      x->filedSize = fmaxf(x->filedSize, side > FLT_MAX ? FLT_MAX : f32(side));
    }
    x->sectors[s] = now;
    if (!(now.flags & kHasEdges)) continue;
    if (!(now.flags & kFiled)) insert_once(x->drawAlways, &x->drawAlwaysCount, s);
    if (!(now.flags & kFiled) || !(now.flags & kBoxed))
      insert_once(x->findAlways, &x->findAlwaysCount, s);
  }
  insert_once(x->lostVertices, &x->lostVertexCount, u32(vertex));
  x->revision = w->revision;
}

void world_release_index(OM_World* w) {
  if (!w || !w->index) return;
  OM_WorldIndex* x = w->index;
  free(x->sectors);
  free_grid(&x->sectorGrid);
  free_grid(&x->vertexGrid);
  free(x->drawAlways);
  free(x->findAlways);
  free(x->lostVertices);
  free_set(&x->sectorSet);
  free_set(&x->vertexSet);
  free(x->balance);
  free(x->usersStart);
  free(x->users);
  free(x);
  w->index = nullptr;
}

// ==== Lookup ====

// The comparisons and the wrap run in double against pi; the angles, their
// difference and the sum stay f32. This is what decides points lying exactly
// on an edge, so the precision of each step is deliberate.
static const double kPi = 3.141592653589793;
static const double kTwoPi = 6.283185307179586;

static bool winds_around(const OM_WorldSector* sector, const OM_WorldVertex* vertices,
                         reg vertexCount, f32 x, f32 y) {
  reg edges = sector_edge_count(sector);
  if (edges == 0) return false;
  const OM_WorldEdge* edge = sector_edge(sector, 0);
  f32 sum = 0.0f;
  for (reg e = 0; e < edges; e++, edge++) {
    if (edge->v1 >= vertexCount || edge->v2 >= vertexCount) continue;
    const OM_WorldVertex& p = vertices[edge->v1];
    const OM_WorldVertex& q = vertices[edge->v2];
    f32 theta0 = atan2f(p.y - y, p.x - x);
    f32 theta1 = atan2f(q.y - y, q.x - x);
    f32 d = theta1 - theta0;
    while (d > kPi) d = static_cast<f32>(d - kTwoPi);
    while (d < -kPi) d = static_cast<f32>(d + kTwoPi);
    sum += d;
  }
  return fabsf(sum) >= kPi;
}

OM_WorldSector* get_sector_at(OM_World* w, float x, float y) {
  // The vertex table is fetched once: this runs on every portal crossing.
  const OM_WorldVertex* vertices = world_vertex(w, 0);
  const reg vertexCount = world_vertex_count(w);
  const OM_WorldIndex* ix = fresh_index(w);
  if (!ix) {  // no memory for the index: every sector in turn
    const reg sectors = world_sector_count(w);
    for (reg i = 0; i < sectors; i++) {
      OM_WorldSector* sector = world_sector(w, i);
      if (winds_around(sector, vertices, vertexCount, x, y)) return sector;
    }
    return nullptr;
  }
  // The sectors filed under the point's cell and those tried everywhere,
  // merged in index order: the first that winds around the point wins.
  const Grid& g = ix->sectorGrid;
  const reg c =
      reg(cell_of(x, g.x0, g.perX, g.nx)) + reg(g.nx) * reg(cell_of(y, g.y0, g.perY, g.ny));
  const u32* a = g.items + g.start[c];
  const u32* aEnd = g.items + g.start[c + 1];
  const u32* b = ix->findAlways;
  const u32* bEnd = b + ix->findAlwaysCount;
  while (a < aEnd || b < bEnd) {
    u32 i;
    if (b == bEnd || (a < aEnd && *a < *b)) {
      i = *a++;
    } else {
      i = *b++;
      if (a < aEnd && *a == i) a++;
    }
    const SectorPlace& p = ix->sectors[i];
    if ((p.flags & kBoxed) &&
        !(x >= p.reach.x0 && x <= p.reach.x1 && y >= p.reach.y0 && y <= p.reach.y1))
      continue;
    OM_WorldSector* sector = world_sector(w, i);
    if (winds_around(sector, vertices, vertexCount, x, y)) return sector;
  }
  return nullptr;
}
