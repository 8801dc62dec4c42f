// get_sector_at through the index against the plain winding test: on the
// built-in world, on grids and on a world of odd sectors, at random points
// and where rounding bites (vertices, edge midpoints, the edges of every
// sector's box an ulp inside and outside); and the index kept fresh through
// every kind of change.
#include "world_index.h"

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
  reg below(reg n) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return n ? reg(s >> 33) % n : 0;
  }
  f32 in(f32 lo, f32 hi) { return lo + (hi - lo) * f32(below(1000001)) / 1000000.0f; }
};

f32 ulps(f32 v, int k) {  // nudged by k ulps
  for (; k > 0; k--) v = nextafterf(v, INFINITY);
  for (; k < 0; k++) v = nextafterf(v, -INFINITY);
  return v;
}

// For up to `sectors` sectors: the edges' midpoints and first ends nudged by
// an ulp; the corners and side midpoints of the sector's box and of the box
// widened by 1e-4 of its longer side, each nudged across by an ulp or two;
// and `random` points over the box and beside it. At most `most` in all,
// where the plain test is slow.
std::vector<Point> probe_points(const OM_World* w, reg sectors, reg random, uint64_t seed,
                                reg most = ~reg(0)) {
  std::vector<Point> out;
  Rng rng{seed};
  const reg count = world_sector_count(w), step = count > sectors ? count / sectors + 1 : 1;
  for (reg s = rng.below(step); s < count; s += step) {
    const OM_WorldSector* sector = world_sector(w, s);
    f32 x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (reg e = 0; e < sector_edge_count(sector); e++) {
      const OM_WorldVertex* p = world_vertex(w, sector_edge(sector, e)->v1);
      const OM_WorldVertex* q = world_vertex(w, sector_edge(sector, e)->v2);
      if (!p || !q) continue;
      out.push_back({(p->x + q->x) / 2, (p->y + q->y) / 2});
      for (int k : {-1, 0, 1}) out.push_back({ulps(p->x, k), ulps(p->y, -k)});
      for (const OM_WorldVertex* v : {p, q})
        if (std::isfinite(v->x) && std::isfinite(v->y))
          x0 = fminf(x0, v->x), y0 = fminf(y0, v->y), x1 = fmaxf(x1, v->x), y1 = fmaxf(y1, v->y);
    }
    if (!(x0 <= x1)) continue;
    const f32 m = 1e-4f * fmaxf(x1 - x0, y1 - y0);
    for (f32 x : {x0, (x0 + x1) / 2, x1, x0 - m, x1 + m})
      for (f32 y : {y0, (y0 + y1) / 2, y1, y0 - m, y1 + m})
        for (int k : {-2, -1, 0, 1, 2})
          out.push_back({ulps(x, k), y}), out.push_back({x, ulps(y, k)});
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

void expect_same_lookups(OM_World* w, const std::vector<Point>& points, const std::string& what) {
  auto index = [w](const OM_WorldSector* s) { return s ? long(world_sector_index(w, s)) : -1; };
  int differences = 0;
  for (const Point& p : points) {
    const long fast = index(get_sector_at(w, p.x, p.y));
    const long plain = index(reference_get_sector_at(w, p.x, p.y));
    if (fast != plain && ++differences <= 5)
      ADD_FAILURE() << what << ": at (" << p.x << ", " << p.y << ") the index gives " << fast
                    << ", the plain test " << plain;
  }
  EXPECT_EQ(differences, 0) << what << ", " << points.size() << " points";
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
    for (f32 big : {1.0e30f, -3.0e38f, INFINITY, -INFINITY, NAN})
      points.insert(points.end(), {{big, 1.0f}, {1.0f, big}, {big, big}});
    expect_same_lookups(w, points, c.name);
    release_world(w);
  }
}

// The first lookup makes the index; each change below must be seen by the
// next one, whether it is told (world_changed, world_vertex_moved, and every
// edit and undo, which tell it) or shows in the collections (a vertex or
// sector appended).
TEST(SectorLookup, EveryKindOfChangeIsSeenByTheNextLookup) {
  const OM_EditStyle style = {};
  char why[200];
  const struct {
    const char* name;
    std::function<void(OM_World*, OM_History*)> change;
  } changes[] = {
      {"a vertex moved, then told",
       [](OM_World* w, OM_History*) {
         *world_vertex(w, 6) = {1.4f, 0.7f};
         world_changed(w);
       }},
      {"a vertex dragged far out and back",
       [](OM_World* w, OM_History*) {
         // Followed step by step rather than made again.
         for (int step = 0; step < 40; step++) {
           const f32 t = f32(step < 20 ? step : 40 - step) / 20.0f;
           *world_vertex(w, 12) = {2.0f + 7.0f * t + 0.3f * f32(step % 3), 2.0f + 5.0f * t};
           world_vertex_moved(w, 12);
           Rng rng{uint64_t(step) + 1};
           std::vector<Point> points;
           for (int k = 0; k < 100; k++) points.push_back({rng.in(-1, 10), rng.in(-1, 8)});
           expect_same_lookups(w, points, "step " + std::to_string(step));
           const OM_WorldVertex at = *world_vertex(w, 12);
           reg n = 0;
           const u32* near = world_vertices_in(w, {at.x, at.y, at.x, at.y}, &n);
           ASSERT_TRUE(near && std::find(near, near + n, 12u) != near + n);
         }
       }},
      {"an edge's end changed, then told",
       [](OM_World* w, OM_History*) {
         world_edge(w, 0, 1)->v2 = world_edge(w, 0, 2)->v1 = 12;
         world_changed(w);
       }},
      {"sectors appended untold",
       [](OM_World* w, OM_History*) {
         // The first outgrows the sector block; the second fits in the new
         // one, where only the count shows it.
         for (OM_WorldVertex v : {OM_WorldVertex{0.2f, 0.2f},
                                  {0.8f, 0.2f},
                                  {0.5f, 0.9f},
                                  {5.0f, 5.0f},
                                  {6.0f, 5.0f},
                                  {5.5f, 6.0f}})
           OM_Collection_Push(w->vertices, &v);
         for (u16 v = 25; v < 31; v += 3) {
           const OM_WorldEdge e[] = {colour_edge(v, v + 1, 0), colour_edge(v + 1, v + 2, 0),
                                     colour_edge(v + 2, v, 0)};
           add_sector(w, 0, 1, nullptr, nullptr, e, 3);
           get_sector_at(w, 0.5f, 0.5f);
         }
       }},
      {"a split, its vertex pulled out",
       [&](OM_World* w, OM_History*) {
         reg v;
         ASSERT_TRUE(world_split_edge(w, 5, 1, 2.0f, 1.5f, &v, why, sizeof why));
         world_vertex(w, v)->x = 2.6f;
         world_changed(w);
       }},
      {"a sector drawn",
       [&](OM_World* w, OM_History*) {
         const OM_Corner c[] = {{OM_NEW_VERTEX, 5, 0}, {OM_NEW_VERTEX, 6, 1}, {9, 4, 1}};
         ASSERT_TRUE(world_add_sector(w, c, 3, 0, 1, &style, nullptr, nullptr, why, sizeof why));
       }},
      {"a vertex and a sector deleted",
       [&](OM_World* w, OM_History*) {
         ASSERT_TRUE(world_delete_vertex(w, 6, &style, nullptr, why, sizeof why));
         get_sector_at(w, 0.5f, 0.5f);
         ASSERT_TRUE(world_delete_sector(w, 2, &style, why, sizeof why));
       }},
      {"undo and redo",
       [&](OM_World* w, OM_History* h) {
         ASSERT_TRUE(history_record(h, w));
         ASSERT_TRUE(world_delete_sector(w, 0, &style, why, sizeof why));
         ASSERT_TRUE(history_undo(h, w));
         get_sector_at(w, 0.5f, 0.5f);
         ASSERT_TRUE(history_redo(h, w));
       }},
      {"a vertex pulled out, pushed back, and that undone",
       [&](OM_World* w, OM_History* h) {
         // The undo leaves the blocks and lengths the push left: only it can
         // say that the world changed.
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
    expect_same_lookups(w, probe_points(w, 64, 20, 3), std::string(c.name) + ", before");
    c.change(w, h);
    expect_same_lookups(w, probe_points(w, 64, 20, 5), c.name);
    OM_DestroyHistory(h);
    release_world(w);
  }
}

}  // namespace
