// get_sector_at through the index against the plain winding test: on the
// built-in world, on grids and on a world of odd sectors, at random points
// and where rounding bites (vertices, edge midpoints, the edges of every
// sector's box an ulp inside and outside); the index kept fresh through
// every kind of change; and the place queries the map draws from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collection.h"
#include "grid_support.h"
#include "history.h"
#include "scene_support.h"
#include "sector_reference.h"
#include "world_edit.h"

namespace {

struct Point {
  f32 x, y;
};

struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(s >> 33);
  }
  reg below(reg n) { return n ? next() % n : 0; }
  f32 in(f32 lo, f32 hi) { return lo + (hi - lo) * f32(next() % 1000001) / 1000000.0f; }
};

// Nudged by k ulps (k may be negative).
f32 ulps(f32 v, int k) {
  for (; k > 0; k--) v = nextafterf(v, INFINITY);
  for (; k < 0; k++) v = nextafterf(v, -INFINITY);
  return v;
}

// A box's corners and side midpoints, each nudged across the box's edge and
// across its widened edge (1e-4 of the longer side) by an ulp or two.
void around_box(f32 x0, f32 y0, f32 x1, f32 y1, std::vector<Point>* out) {
  const f32 m = 1e-4f * fmaxf(x1 - x0, y1 - y0);
  const f32 xs[] = {x0, (x0 + x1) / 2, x1, x0 - m, x1 + m};
  const f32 ys[] = {y0, (y0 + y1) / 2, y1, y0 - m, y1 + m};
  for (f32 x : xs)
    for (f32 y : ys)
      for (int k : {-2, -1, 0, 1, 2}) {
        out->push_back({ulps(x, k), y});
        out->push_back({x, ulps(y, k)});
      }
}

// Vertices, edge midpoints and ends nudged by an ulp, around the boxes of
// up to `sectors` sectors, and `random` points over and beside those boxes.
// At most `most` of them, picked at random, when the plain test is slow.
std::vector<Point> probe_points(const OM_World* w, reg sectors, reg random, uint64_t seed,
                                reg most = ~reg(0)) {
  std::vector<Point> out;
  Rng rng{seed};
  const reg count = world_sector_count(w), step = count > sectors ? count / sectors + 1 : 1;
  for (reg s = rng.below(step); s < count; s += step) {
    const OM_WorldSector* sector = world_sector(w, s);
    f32 x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      const OM_WorldEdge* edge = sector_edge(sector, e);
      const OM_WorldVertex* p = world_vertex(w, edge->v1);
      const OM_WorldVertex* q = world_vertex(w, edge->v2);
      if (!p || !q) continue;
      out.push_back({(p->x + q->x) / 2, (p->y + q->y) / 2});
      for (int k : {-1, 0, 1}) out.push_back({ulps(p->x, k), ulps(p->y, -k)});
      for (const OM_WorldVertex* v : {p, q}) {
        if (!std::isfinite(v->x) || !std::isfinite(v->y)) continue;
        x0 = fminf(x0, v->x), y0 = fminf(y0, v->y), x1 = fmaxf(x1, v->x), y1 = fmaxf(y1, v->y);
      }
    }
    if (!(x0 <= x1)) continue;
    around_box(x0, y0, x1, y1, &out);
    const f32 bx = (x1 - x0) * 0.2f + 0.01f, by = (y1 - y0) * 0.2f + 0.01f;
    for (reg k = 0; k < random; k++)
      out.push_back({rng.in(x0 - bx, x1 + bx), rng.in(y0 - by, y1 + by)});
  }
  while (out.size() > most) {
    out[rng.below(out.size())] = out.back();
    out.pop_back();
  }
  return out;
}

// The index of the sector a lookup gave, -1 for none.
long found(const OM_World* w, const OM_WorldSector* s) {
  return s ? long(world_sector_index(w, s)) : -1;
}

void expect_same_lookups(OM_World* w, const std::vector<Point>& points, const std::string& what) {
  int differences = 0;
  for (const Point& p : points) {
    const long fast = found(w, get_sector_at(w, p.x, p.y));
    const long plain = found(w, reference_get_sector_at(w, p.x, p.y));
    if (fast != plain && ++differences <= 5)
      ADD_FAILURE() << what << ": at (" << p.x << ", " << p.y << ") the index gives " << fast
                    << ", the plain test " << plain;
  }
  EXPECT_EQ(differences, 0) << what << ", " << points.size() << " points";
}

void push(OM_World* w, f32 x, f32 y) {
  OM_WorldVertex v = {x, y};
  OM_Collection_Push(w->vertices, &v);
}

int sector_of(OM_World* w, std::vector<OM_WorldEdge> edges) {
  return add_sector(w, 0, 1, nullptr, nullptr, edges.data(), int(edges.size()));
}

std::vector<OM_WorldEdge> loop(std::initializer_list<u16> corners) {
  std::vector<OM_WorldEdge> out;
  const std::vector<u16> c(corners);
  for (reg k = 0; k < c.size(); k++) out.push_back(colour_edge(c[k], c[(k + 1) % c.size()], 0));
  return out;
}

TEST(SectorLookup, MatchesThePlainWindingTestEverywhere) {
  const struct {
    const char* name;
    std::function<OM_World*()> make;
    reg sectors, random, most;
  } worlds[] = {
      {"built-in", world_builtin, 3, 400, ~reg(0)},
      {"grid 1", [] { return make_grid_world(1); }, 1, 200, ~reg(0)},
      {"grid 7", [] { return make_grid_world(7); }, 49, 10, ~reg(0)},
      {"grid 30", [] { return make_grid_world(30); }, 40, 10, 3000},
      {"grid 255", [] { return make_grid_world(255); }, 40, 10, 60},
      {"odd sectors", make_odd_world, 12, 300, ~reg(0)},
  };
  for (const auto& c : worlds) {
    OM_World* w = c.make();
    ASSERT_NE(w, nullptr) << c.name;
    std::vector<Point> points = probe_points(w, c.sectors, c.random, 7, c.most);
    for (f32 big : {1.0e30f, -3.0e38f, INFINITY, -INFINITY, NAN}) {
      points.push_back({big, 1.0f});
      points.push_back({1.0f, big});
      points.push_back({big, big});
    }
    expect_same_lookups(w, points, c.name);
    release_world(w);
  }
}

// The first lookup makes the index; each change below must be seen by the
// next one, whether it is told (world_changed, and every edit and undo,
// which tell it) or shows in the collections (a vertex or sector appended).
TEST(SectorLookup, EveryKindOfChangeIsSeenByTheNextLookup) {
  const OM_EditStyle style = {};
  char why[200];
  const struct {
    const char* name;
    std::function<void(OM_World*, OM_History*)> change;
  } changes[] = {
      {"a vertex moved, then told",
       [](OM_World* w, OM_History*) {
         world_vertex(w, 6)->x += 0.4f;
         world_vertex(w, 6)->y -= 0.3f;
         world_changed(w);
       }},
      {"a vertex dragged far out and back, step by step",
       [](OM_World* w, OM_History*) {
         // Followed by the index rather than made again: each step is
         // checked where the vertex went, and around where it was.
         for (int step = 0; step < 40; step++) {
           const f32 t = f32(step < 20 ? step : 40 - step) / 20.0f;
           world_vertex(w, 12)->x = 2.0f + 7.0f * t + 0.3f * f32(step % 3);
           world_vertex(w, 12)->y = 2.0f + 5.0f * t;
           world_vertex_moved(w, 12);
           const OM_WorldVertex at = *world_vertex(w, 12);
           expect_same_lookups(w,
                               {{at.x - 0.2f, at.y},
                                {at.x, at.y + 0.2f},
                                {1.5f, 1.5f},
                                {2.5f, 2.5f},
                                {(at.x + 2) / 2, (at.y + 2) / 2}},
                               "step " + std::to_string(step));
           reg n = 0;
           const u32* near = world_vertices_in(w, {at.x, at.y, at.x, at.y}, &n);
           ASSERT_TRUE(near && std::find(near, near + n, 12u) != near + n);
         }
       }},
      {"an edge's end changed, then told",
       [](OM_World* w, OM_History*) {
         world_edge(w, 0, 1)->v2 = 12;
         world_edge(w, 0, 2)->v1 = 12;
         world_changed(w);
       }},
      {"a vertex appended untold", [](OM_World* w, OM_History*) { push(w, 2.5f, 2.5f); }},
      {"a sector appended untold",
       [](OM_World* w, OM_History*) {
         push(w, 0.2f, 0.2f);
         push(w, 0.8f, 0.2f);
         push(w, 0.5f, 0.9f);
         const u16 n = u16(world_vertex_count(w));
         sector_of(w, loop({u16(n - 3), u16(n - 2), u16(n - 1)}));
       }},
      {"a split",
       [&](OM_World* w, OM_History*) {
         world_split_edge(w, 5, 1, 2.0f, 1.5f, nullptr, why, sizeof why);
         world_vertex(w, world_vertex_count(w) - 1)->x = 2.6f;  // pulled out, then told
         world_changed(w);
       }},
      {"a sector drawn",
       [&](OM_World* w, OM_History*) {
         const OM_Corner c[] = {{OM_NEW_VERTEX, 5, 0}, {OM_NEW_VERTEX, 6, 1}, {9, 4, 1}};
         ASSERT_TRUE(world_add_sector(w, c, 3, 0, 1, &style, nullptr, nullptr, why, sizeof why));
       }},
      {"a vertex deleted",
       [&](OM_World* w, OM_History*) {
         ASSERT_TRUE(world_delete_vertex(w, 6, &style, nullptr, why, sizeof why));
       }},
      {"a sector deleted",
       [&](OM_World* w, OM_History*) {
         ASSERT_TRUE(world_delete_sector(w, 2, &style, why, sizeof why));
       }},
      {"undo and redo",
       [&](OM_World* w, OM_History* h) {
         ASSERT_TRUE(history_record(h, w));
         ASSERT_TRUE(world_delete_sector(w, 0, &style, why, sizeof why));
         ASSERT_TRUE(history_undo(h, w));
         get_sector_at(w, 0.5f, 0.5f);     // the index is remade after the undo ...
         ASSERT_TRUE(history_redo(h, w));  // ... and must be again after the redo
       }},
      {"a vertex pulled out, pushed back, and that undone",
       [&](OM_World* w, OM_History* h) {
         // Undone back to where the vertex was pulled out, with the same
         // blocks and lengths: only the undo can say that the world changed.
         world_vertex(w, 7)->y += 0.45f;
         world_changed(w);
         ASSERT_TRUE(history_record(h, w));
         world_vertex(w, 7)->y -= 0.45f;
         world_changed(w);
         get_sector_at(w, 0.5f, 0.5f);
         ASSERT_TRUE(history_undo(h, w));
       }},
      {"an edit cancelled",
       [&](OM_World* w, OM_History* h) {
         ASSERT_TRUE(history_record(h, w));
         ASSERT_TRUE(world_delete_vertex(w, 5, &style, nullptr, why, sizeof why));
         get_sector_at(w, 0.5f, 0.5f);
         ASSERT_TRUE(history_cancel(h, w));
       }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.name);
    OM_World* w = make_grid_world(4);
    OM_History* h = OM_CreateHistory(1 << 20);
    std::vector<Point> points = probe_points(w, 16, 20, 3);
    expect_same_lookups(w, points, std::string(c.name) + ", before");
    c.change(w, h);
    points = probe_points(w, 16, 20, 5);
    expect_same_lookups(w, points, c.name);
    OM_DestroyHistory(h);
    release_world(w);
  }
}

// What the map asks: every sector whose box meets the area is listed, in
// ascending order and once; every vertex in the area and every one that is
// not a finite point, and no other.
TEST(PlaceQueries, ListWhatMeetsTheAreaInOrder) {
  for (OM_World* w : {make_grid_world(30), make_odd_world()}) {
    Rng rng{11};
    for (int k = 0; k < 200; k++) {
      const f32 x = rng.in(-40, 60), y = rng.in(-40, 60), size = rng.in(0, 20);
      const OM_WorldBox area = {x, y, x + size, y + size * rng.in(0.2f, 2)};
      reg n = 0;
      const u32* listed = world_sectors_in(w, area, &n);
      ASSERT_NE(listed, nullptr);
      const std::vector<u32> sectors(listed, listed + n);
      EXPECT_TRUE(std::adjacent_find(sectors.begin(), sectors.end(), std::greater_equal<u32>()) ==
                  sectors.end());
      for (reg s = 0; s < world_sector_count(w); s++) {
        OM_WorldBox b;
        bool meets = world_sector_bounds(w, s, &b) && b.x0 <= area.x1 && area.x0 <= b.x1 &&
                     b.y0 <= area.y1 && area.y0 <= b.y1;
        EXPECT_TRUE(!meets || std::binary_search(sectors.begin(), sectors.end(), u32(s))) << s;
      }
      const u32* vertices = world_vertices_in(w, area, &n);
      ASSERT_NE(vertices, nullptr);
      std::vector<u32> expected;
      for (reg i = 0; i < world_vertex_count(w); i++) {
        const OM_WorldVertex* v = world_vertex(w, i);
        bool lost = !std::isfinite(v->x) || !std::isfinite(v->y);
        if (lost || (area.x0 <= v->x && v->x <= area.x1 && area.y0 <= v->y && v->y <= area.y1))
          expected.push_back(u32(i));
      }
      EXPECT_EQ(std::vector<u32>(vertices, vertices + n), expected);
    }
    release_world(w);
  }
}

}  // namespace
