// Shape edits: drawing, splitting, linking, deleting, refusals, memory and the largest world.
//
// ==== Helpers ====
// ==== Drawing ====
// ==== Splitting and linking ====
// ==== Deleting ====
// ==== Refusals, memory and size ====
#include "world_edit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "collection.h"
#include "grid_support.h"
#include "keys.h"
#include "object_player.h"
#include "scene_support.h"

namespace {

// ==== Helpers ====

testing::AssertionResult valid(const OM_World* w) {
  char why[256];
  if (world_check(w, why, sizeof why)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << why;
}

OM_Corner V(reg v) { return {v, 0.0f, 0.0f}; }  // the edit reads where the vertex is
OM_Corner P(f32 x, f32 y) { return {OM_NEW_VERTEX, x, y}; }

struct Ref {
  u16 sector, edge;
};

testing::AssertionResult paired(const OM_World* w, Ref a, Ref b) {
  const OM_WorldEdge* e = world_edge(w, a.sector, a.edge);
  const OM_WorldEdge* f = world_edge(w, b.sector, b.edge);
  if (e && f && portal_target(w, e) == f && portal_target(w, f) == e)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << a.sector << "." << a.edge << " and " << b.sector << "."
                                     << b.edge << " are not a portal pair";
}

std::pair<f32, f32> shift(const OM_World* w, Ref r) {
  f32 dx = NAN, dy = NAN;
  world_portal_shift(w, world_edge(w, r.sector, r.edge), &dx, &dy);
  return {dx, dy};
}

class WorldEdit : public ::testing::Test {
 public:
  void SetUp() override {
    w = world_builtin();
    ASSERT_NE(w, nullptr);
    style = {world_texture(w, "TEX_WWHITEWASH"), world_texture(w, "TEX_FCONCRETE"),
             world_texture(w, "TEX_FCONCRETE")};
    start = world_text(w);
  }
  void TearDown() override {
    edit_memory_fail_after(OM_EDIT_MEMORY_UNLIMITED);
    release_world(w);
  }
  void restart() {
    TearDown();
    SetUp();
  }
  bool draw(std::vector<OM_Corner> c, reg* sector = nullptr, reg* portals = nullptr) {
    return world_add_sector(w, c.data(), c.size(), 0.0f, 1.0f, &style, sector, portals, why,
                            sizeof why);
  }
  // Walks with W held from (x, y) along +x; the sectors passed, by index.
  std::vector<reg> walk(f32 x, f32 y, int ticks, Player* p) {
    SavedGlobals saved;
    *p = {};
    p->object = {x, y, 0.0f, 0.0f};
    p->mass = 80.7f;
    p->movement_speed = 0.8f;
    p->sector = get_sector_at(w, x, y);
    player = p;
    world = w;
    gameState = GAMEPLAY;
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    keyboard.keys[OM_KEY_W] = 1;
    std::vector<reg> seen = {world_sector_index(w, p->sector)};
    for (int i = 0; i < ticks; i++) {
      update_player();
      reg s = world_sector_index(w, p->sector);
      if (s != seen.back()) seen.push_back(s);
    }
    return seen;
  }
  OM_World* w = nullptr;
  OM_EditStyle style = {};
  std::string start;
  char why[256] = "";
};

// ==== Drawing ====

TEST(WorldEditOutline, RefusesWhatCannotBeASector) {
  const struct {
    std::vector<OM_Corner> corners;
    const char* why;  // part of the reason; null when the outline is fine
  } cases[] = {
      {{P(0, 0), P(2, 0), P(1, 1)}, nullptr},
      {{P(0, 0), P(0, 2), P(2, 2), P(2, 0)}, nullptr},           // either winding
      {{P(0, 0), P(4, 0), P(4, 4), P(2, 1), P(0, 4)}, nullptr},  // a dent
      {{P(0, 0), P(2, 0)}, "at least three"},
      {{V(3), P(2, 0), V(3), P(1, 1)}, "repeats corner 0"},
      {{P(0, 0), P(2, 0), P(2, 2), P(2, 0)}, "repeats corner 1"},
      {{P(0, 0), P(2, 2), P(2, 0), P(0, 2)}, "crosses itself"},           // bow tie
      {{P(0, 0), P(2, 0), P(1, 0), P(1, 1)}, "edge 0-1 meets edge 1-2"},  // folds back
      {{P(0, 0), P(4, 0), P(4, 4), P(3, 0), P(0, 4)}, "crosses itself"},  // corner on an edge
      {{P(3, 0), P(0, 4), P(0, 0), P(4, 0), P(4, 4)}, "edge 0-1 meets edge 2-3"},  // corner 0
      {{P(0, 0), P(NAN, 0), P(1, 1)}, "finite"},
  };
  for (const auto& c : cases) {
    char why[128] = "";
    const bool ok = world_outline_ok(c.corners.data(), c.corners.size(), why, sizeof why);
    EXPECT_EQ(ok, c.why == nullptr) << why;
    EXPECT_TRUE(!c.why || strstr(why, c.why)) << why;
  }
}

TEST_F(WorldEdit, DrawnSectorsAreWoundAndJoined) {
  const struct {
    const char* name;
    std::vector<OM_Corner> corners;
    reg portals;
    std::vector<std::pair<Ref, Ref>> pairs;
    std::vector<Ref> walls;  // portals before, whitewash walls now
  } cases[] = {
      {"against sector 2's wall, drawn the other way round",
       {V(14), V(15), P(5, -2), P(3, -2)},
       1,
       {{{3, 3}, {2, 0}}},
       {}},
      {"against sector 2's wall, positive area",
       {V(14), P(3, -2), P(5, -2), V(15)},
       1,
       {{{3, 3}, {2, 0}}},
       {}},
      {"the gap between three rooms",
       {V(1), V(14), V(5), V(2)},
       3,
       {{{3, 1}, {2, 3}}, {{3, 2}, {1, 0}}, {{3, 3}, {0, 1}}},
       {}},
      {"over a shared boundary, facing one side",
       {V(5), V(6), P(4, 3)},
       1,
       {{{3, 0}, {2, 2}}},
       {{1, 1}}},
      {"inside sector 1", {P(2.5f, 3), P(3.5f, 3), P(3.5f, 4), P(2.5f, 4)}, 0, {}, {}},
      {"across sector 0 and the gap",
       {P(1.5f, .5f), P(2.5f, .5f), P(2.5f, 1.5f), P(1.5f, 1.5f)},
       0,
       {},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    reg sector = 99, portals = 99;
    ASSERT_TRUE(draw(c.corners, &sector, &portals)) << why;
    EXPECT_TRUE(valid(w));
    EXPECT_EQ(sector, 3u);
    EXPECT_EQ(portals, c.portals);
    // Stored in outline order from corner 0, with positive area.
    const OM_WorldSector* s = world_sector(w, 3);
    ASSERT_EQ(sector_edge_count(s), c.corners.size());
    f32 area = 0;
    for (reg e = 0; e < c.corners.size(); e++) {
      const OM_WorldEdge* edge = sector_edge(s, e);
      EXPECT_EQ(edge->v2, sector_edge(s, (e + 1) % c.corners.size())->v1);
      const OM_WorldVertex *a = world_vertex(w, edge->v1), *b = world_vertex(w, edge->v2);
      area += a->x * b->y - b->x * a->y;
    }
    EXPECT_GT(area, 0.0f);
    EXPECT_TRUE(c.corners[0].vertex == OM_NEW_VERTEX ||
                sector_edge(s, 0)->v1 == c.corners[0].vertex);
    for (const auto& pair : c.pairs) {
      EXPECT_TRUE(paired(w, pair.first, pair.second));
      EXPECT_EQ(shift(w, pair.first), std::make_pair(0.0f, 0.0f));
    }
    for (Ref r : c.walls) EXPECT_EQ(world_edge(w, r.sector, r.edge)->texture, style.wall);
  }
  // The gap room, walked through from sector 0 to sector 2.
  restart();
  Player p;
  ASSERT_TRUE(draw({V(1), V(14), V(5), V(2)}));
  EXPECT_EQ(walk(1.5f, 1.0f, 40, &p), (std::vector<reg>{0, 3, 2}));
  EXPECT_GT(p.object.x, 3.0f);
  EXPECT_EQ(p.object.y, 1.0f);
}

// An empty world has no storage in use yet: the first sector goes into room
// the edit reserved, past every length.
TEST_F(WorldEdit, TheFirstSectorOfAnEmptyWorld) {
  release_world(w);
  w = world_create();
  style = {};
  reg sector = 99, portals = 99;
  ASSERT_TRUE(draw({P(0, 0), P(1, 0), P(1, 1), P(0, 1)}, &sector, &portals)) << why;
  EXPECT_TRUE(sector == 0 && portals == 0 && world_vertex_count(w) == 4);
  EXPECT_TRUE(valid(w));
  EXPECT_EQ(get_sector_at(w, 0.5f, 0.5f), world_sector(w, 0));
}

// ==== Splitting and linking ====

// Every half of a split portal moves a traveller as the whole did and is
// paired with the half across; a wall, or a portal whose partner does not
// lead back, splits into two halves that both keep the payload.
TEST_F(WorldEdit, SplitsKeepEveryPortalShift) {
  const struct {
    const char* name;
    std::function<void(OM_World*)> prepare;
    u16 sector, edge;
    f32 x, y;
    reg newVertices;
  } cases[] = {
      {"a wall", nullptr, 0, 0, 1, 0, 1},
      {"coinciding portal", nullptr, 1, 1, 4, 2, 1},
      {"wrap-around portal", nullptr, 2, 1, 5, 0.5f, 2},
      {"wrap-around portal, other side", nullptr, 0, 4, 0, 1.5f, 2},
      {"linked walls running the same way",
       [](OM_World* w) { world_link_edges(w, 0, 1, 2, 1, nullptr, nullptr, nullptr, nullptr, 0); },
       0, 1, 2, 0.5f, 2},
      {"a portal whose partner does not lead back",
       [](OM_World* w) { world_edge(w, 0, 4)->type = OM_EDGE_COLOR; }, 2, 1, 5, 0.5f, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    if (c.prepare) c.prepare(w);
    const OM_WorldEdge whole = *world_edge(w, c.sector, c.edge);
    const bool pair = portal_target(w, portal_target(w, &whole)) == world_edge(w, c.sector, c.edge);
    const auto before = shift(w, {c.sector, c.edge});
    const u16 half = u16(sector_edge_count(world_sector(w, c.sector)));
    const reg n = world_vertex_count(w);
    reg made = 0;
    ASSERT_TRUE(world_split_edge(w, c.sector, c.edge, c.x, c.y, &made, why, sizeof why)) << why;
    EXPECT_TRUE(!pair || valid(w));
    EXPECT_EQ(made, n);
    EXPECT_EQ(world_vertex_count(w), n + c.newVertices);
    EXPECT_EQ(world_edge(w, c.sector, c.edge)->v1, n);
    EXPECT_EQ(world_edge(w, c.sector, half)->v1, whole.v1);
    EXPECT_EQ(world_edge(w, c.sector, half)->v2, n);
    for (Ref h : {Ref{c.sector, c.edge}, Ref{c.sector, half}}) {
      const OM_WorldEdge* e = world_edge(w, h.sector, h.edge);
      EXPECT_EQ(e->type, whole.type);
      if (!pair) {
        EXPECT_EQ(e->texture, whole.texture);  // the whole payload, portal or wall
        continue;
      }
      EXPECT_TRUE(paired(w, h, {e->portal_sector, e->portal_edge}));
      EXPECT_EQ(shift(w, h), before);
    }
  }
  // Out through the lower half of the split wrap-around portal.
  restart();
  ASSERT_TRUE(world_split_edge(w, 2, 1, 5, 0.5f, nullptr, why, sizeof why));
  Player p;
  EXPECT_EQ(walk(4.8f, 0.3f, 10, &p), (std::vector<reg>{2, 0}));
  EXPECT_EQ(p.object.y, 0.3f);
}

TEST_F(WorldEdit, LinkedWallsCarryTheTraveller) {
  // Sector 0's wall x = 2 and sector 1's wall x = 1 from y 5 to 3.
  f32 dx = 0, dy = 0;
  ASSERT_TRUE(world_link_edges(w, 0, 1, 1, 9, &style, &dx, &dy, why, sizeof why)) << why;
  EXPECT_TRUE(valid(w));
  EXPECT_TRUE(paired(w, {0, 1}, {1, 9}));
  EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(-1.0f, 3.0f));
  Player p;
  EXPECT_EQ(walk(1.8f, 1.0f, 10, &p), (std::vector<reg>{0, 1}));
  EXPECT_GT(p.object.x, 1.0f);
  EXPECT_LT(p.object.x, 1.5f);
  EXPECT_EQ(p.object.y, 4.0f);

  // Relinking the wrap-around portal walls up its old partner, and the new
  // pair starts without step textures; linking a linked pair again changes
  // nothing, its step textures included.
  world_edge(w, 2, 1)->portal_step = 4;
  ASSERT_TRUE(world_link_edges(w, 2, 1, 1, 9, &style, &dx, &dy, why, sizeof why)) << why;
  EXPECT_TRUE(valid(w));
  EXPECT_EQ(world_edge(w, 2, 1)->portal_step, 0);
  world_edge(w, 1, 9)->portal_step = 2;
  EXPECT_EQ(world_edge(w, 0, 4)->texture, style.wall);
  EXPECT_EQ(world_edge(w, 0, 1)->texture, style.wall);
  EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(-4.0f, 3.0f));
  const std::string linked = world_text(w);
  ASSERT_TRUE(world_link_edges(w, 1, 9, 2, 1, &style, &dx, &dy, why, sizeof why)) << why;
  EXPECT_EQ(world_text(w), linked);
}

// ==== Deleting ====

TEST_F(WorldEdit, DeletingVertices) {
  static OM_WorldVertex loose = {9, 9};
  const std::vector<OM_Corner> drawn[] = {{V(14), V(15), P(4, -1)},             // a triangle
                                          {V(16), V(15), P(6, -1), P(5, -2)}};  // beside it
  const struct {
    const char* name;
    reg vertex, sectorsRemoved;
    void (*expect)(WorldEdit*);  // null: the world is as it started
    void (*prepare)(OM_World*) = nullptr;
    int draw = 0;  // how many of the sectors above are drawn first
  } cases[] = {
      {"the corner of sectors 0 and 1", 2, 0,
       [](WorldEdit* t) {
         OM_World* w = t->w;
         EXPECT_EQ(world_vertex_count(w), 15u);
         // Sector 0 edge 1 runs (2, 0) -> (1, 3), its old wall; edge 4 moved
         // down one and sector 2's portal follows it.
         EXPECT_EQ(world_edge(w, 0, 1)->v2, 2);
         EXPECT_EQ(world_edge(w, 0, 1)->texture, nullptr);
         EXPECT_TRUE(paired(w, {0, 3}, {2, 1}));
         // Sector 1 edge 0 runs (1, 3) -> (3, 2), its whitewash wall.
         EXPECT_EQ(world_edge(w, 1, 0)->v1, 2);
         EXPECT_EQ(world_edge(w, 1, 0)->texture, t->style.wall);
         EXPECT_EQ(sector_edge_count(world_sector(w, 1)), 10u);
         EXPECT_TRUE(paired(w, {1, 1}, {2, 2}));
       }},
      {"the vertex a split made gives the portal back whole", 16, 0, nullptr,
       [](OM_World* w) { world_split_edge(w, 1, 1, 4, 2, nullptr, nullptr, 0); }},
      {"and with them the step textures of each side", 16, 0,
       [](WorldEdit* t) { EXPECT_EQ(world_edge(t->w, 2, 2)->portal_step, 5); },
       [](OM_World* w) {
         world_edge(w, 2, 2)->portal_step = 5;
         world_split_edge(w, 1, 1, 4, 2, nullptr, nullptr, 0);
       }},
      {"the apex of a drawn triangle takes the triangle", 16, 1, nullptr, nullptr, 1},
      {"a corner shared with a later sector renumbers it", 16, 1,
       [](WorldEdit* t) {
         EXPECT_EQ(world_sector_count(t->w), 4u);
         EXPECT_EQ(sector_edge_count(world_sector(t->w, 3)), 3u);
         EXPECT_EQ(world_edge(t->w, 2, 0)->texture, t->style.wall);
       },
       nullptr, 2},
      {"a vertex no sector uses", 16, 0, nullptr,
       [](OM_World* w) { OM_Collection_Push(w->vertices, &loose); }},
      {"of two walls the one ending there stays; a portal into the other is walled", 4, 0,
       [](WorldEdit* t) {
         EXPECT_EQ(world_edge(t->w, 0, 3)->type, OM_EDGE_TEXTURE);
         EXPECT_EQ(world_edge(t->w, 2, 1)->texture, t->style.wall);
       },
       [](OM_World* w) { world_edge(w, 0, 4)->type = OM_EDGE_COLOR; }},
      {"a portal leaving the vertex walls up its other side", 0, 0,
       [](WorldEdit* t) { EXPECT_EQ(world_edge(t->w, 2, 0)->texture, t->style.wall); },
       [](OM_World* w) { world_link_edges(w, 0, 0, 2, 0, nullptr, nullptr, nullptr, nullptr, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    for (int i = 0; i < c.draw; i++) ASSERT_TRUE(draw(drawn[i])) << why;
    if (c.prepare) c.prepare(w);
    reg removed = 99;
    ASSERT_TRUE(world_delete_vertex(w, c.vertex, &style, &removed, why, sizeof why)) << why;
    EXPECT_TRUE(valid(w));
    EXPECT_EQ(removed, c.sectorsRemoved);
    if (c.expect) {
      c.expect(this);
    } else {
      EXPECT_EQ(world_text(w), start);
    }
  }
}

TEST_F(WorldEdit, DeletingSectors) {
  const struct {
    reg sector;
    std::vector<Ref> walls;  // in the new numbering
    std::pair<Ref, Ref> pair;
  } cases[] = {
      {0, {{0, 10}, {1, 1}}, {{0, 1}, {1, 2}}},
      {1, {{0, 2}, {1, 2}}, {{0, 4}, {1, 1}}},
      {2, {{0, 4}, {1, 1}}, {{0, 2}, {1, 10}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sector);
    restart();
    ASSERT_TRUE(world_delete_sector(w, c.sector, &style, why, sizeof why)) << why;
    EXPECT_TRUE(valid(w));
    EXPECT_EQ(world_sector_count(w), 2u);
    for (Ref r : c.walls) EXPECT_EQ(world_edge(w, r.sector, r.edge)->texture, style.wall);
    EXPECT_TRUE(paired(w, c.pair.first, c.pair.second));
  }
}

// ==== Refusals, memory and size ====

TEST_F(WorldEdit, RefusalsChangeNothing) {
  const struct {
    const char* why;
    bool (*edit)(WorldEdit*);
    std::vector<OM_Corner> drawn = {};  // when there is no edit
  } cases[] = {
      {"repeats", nullptr, {V(14), V(15), P(3, 0)}},
      {"vertex 99", nullptr, {V(14), V(15), V(99)}},
      {"above the ceiling",
       [](WorldEdit* t) {
         const OM_Corner c[] = {V(14), V(15), P(4, -1)};
         return world_add_sector(t->w, c, 3, 2, 1, nullptr, nullptr, nullptr, t->why, 256);
       }},
      {"no edge 5",
       [](WorldEdit* t) { return world_split_edge(t->w, 0, 5, 1, 1, 0, t->why, 256); }},
      {"both edges belong to sector 0",
       [](WorldEdit* t) { return world_link_edges(t->w, 0, 0, 0, 1, 0, 0, 0, t->why, 256); }},
      {"no sector 7",
       [](WorldEdit* t) { return world_link_edges(t->w, 0, 0, 7, 0, 0, 0, 0, t->why, 256); }},
      {"no vertex 16",
       [](WorldEdit* t) { return world_delete_vertex(t->w, 16, 0, 0, t->why, 256); }},
      {"no sector 3", [](WorldEdit* t) { return world_delete_sector(t->w, 3, 0, t->why, 256); }},
  };
  for (const auto& c : cases) {
    why[0] = '\0';
    EXPECT_FALSE(c.edit ? c.edit(this) : draw(c.drawn)) << c.why;
    EXPECT_NE(strstr(why, c.why), nullptr) << why;
    EXPECT_EQ(world_text(w), start) << c.why;
  }
}

// Each edit, made to fail at every allocation in turn, leaves the world as
// it was until it is given enough to succeed.
TEST_F(WorldEdit, RunningOutOfMemoryHalfWayChangesNothing) {
  const std::function<bool(WorldEdit*)> edits[] = {
      [](WorldEdit* t) {
        return t->draw({V(1), V(14), V(5), V(2)});
      },
      [](WorldEdit* t) { return world_split_edge(t->w, 2, 1, 5, 0.5f, nullptr, nullptr, 0); },
      [](WorldEdit* t) { return world_delete_vertex(t->w, 5, nullptr, nullptr, nullptr, 0); },
  };
  for (const auto& edit : edits) {
    bool done = false;
    for (reg grants = 0; grants < 20 && !done; grants++) {
      restart();
      edit_memory_fail_after(grants);
      done = edit(this);
      edit_memory_fail_after(OM_EDIT_MEMORY_UNLIMITED);
      EXPECT_TRUE(valid(w));
      EXPECT_TRUE(done || world_text(w) == start) << grants;
    }
    EXPECT_TRUE(done);
  }
}

// The largest world: a per-sector scan inside a per-sector loop would take
// minutes here; the vertex limit holds.
TEST(WorldEditLargest, GridOf255) {
  OM_World* w = make_grid_world(255);
  ASSERT_NE(w, nullptr);
  char why[256] = "";
  const OM_Corner full[] = {V(0), V(1), P(0.5f, -1)};
  EXPECT_FALSE(world_add_sector(w, full, 3, 0, 1, nullptr, nullptr, nullptr, why, sizeof why));
  EXPECT_NE(strstr(why, "at most 65536 vertices"), nullptr) << why;
  EXPECT_FALSE(world_split_edge(w, 0, 0, 0.5f, 0, nullptr, why, sizeof why));

  const auto t = std::chrono::steady_clock::now();
  const OM_Corner big[] = {V(0), V(2), V(2 * 256 + 2), V(2 * 256)};
  ASSERT_TRUE(world_add_sector(w, big, 4, 0, 1, nullptr, nullptr, nullptr, why, sizeof why));
  ASSERT_TRUE(world_delete_vertex(w, 128 * 256 + 128, nullptr, nullptr, why, sizeof why)) << why;
  ASSERT_TRUE(world_delete_sector(w, 0, nullptr, why, sizeof why)) << why;
  // Sector 1000 is now the square at x 236, y 3; its east side a portal.
  ASSERT_TRUE(world_split_edge(w, 1000, 1, 237, 3.5f, nullptr, why, sizeof why)) << why;
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count(), 10.0);
  EXPECT_TRUE(valid(w));
  EXPECT_EQ(world_sector_count(w), 65025u);
  release_world(w);
}

}  // namespace
