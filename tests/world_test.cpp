// The world: the built-in layout, finding a point's sector, and saving that writes nothing.
#include "world.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "collection.h"
#include "scene_support.h"
#include "ui_console.h"
#include "world_session.h"

namespace {

class World : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer[0] = '\0';
    w = load_world("WORLD_DEVEL");
    ASSERT_NE(w, nullptr);
  }
  void TearDown() override { release_world(w); }
  SavedGlobals saved;  // the console text
  OM_World* w = nullptr;
};

TEST_F(World, BuildsTheSameWorldWhateverTheName) {
  EXPECT_STREQ(buffer, "world loaded\n\n");
  // The world's texture table holds the two surfaces it was built with.
  OM_Surface* wallTexture = world_texture(w, "TEX_WWHITEWASH");
  OM_Surface* flatTexture = world_texture(w, "TEX_FCONCRETE");
  const f32 expected[16][2] = {
      {0.000000f, 0.000000f}, {2.000000f, 0.000000f}, {2.000000f, 2.000000f},
      {1.000000f, 3.000000f}, {0.000000f, 2.000000f}, {3.000000f, 2.000000f},
      {5.000000f, 2.000000f}, {5.000000f, 3.750000f}, {4.937144f, 4.141394f},
      {4.754897f, 4.493425f}, {4.471589f, 4.770691f}, {4.115710f, 4.945306f},
      {3.723052f, 4.999710f}, {1.000000f, 5.000000f}, {3.000000f, 0.000000f},
      {5.000000f, 0.000000f}};
  for (const char* name : {"WORLD_DEVEL", "WORLD_DUMP", ""}) {
    OM_World* v = load_world(name);
    ASSERT_NE(v, nullptr);
    EXPECT_NE(v, w);  // every call builds a world of its own
    ASSERT_EQ(world_vertex_count(v), 16u);
    for (int i = 0; i < 16; i++) {
      EXPECT_NEAR(world_vertex(v, i)->x, expected[i][0], 6e-7) << name << " vertex " << i;
      EXPECT_NEAR(world_vertex(v, i)->y, expected[i][1], 6e-7) << name << " vertex " << i;
    }
    release_world(v);
  }
  // The arc's step is 1 / 3.14 radian, so its last point passes x = 3.75.
  EXPECT_LT(world_vertex(w, 12)->x, 3.75f);

  // Heights, textures and closed outlines; six portals, linked in pairs.
  ASSERT_EQ(world_sector_count(w), 3u);
  const reg counts[3] = {5, 11, 4};
  const f32 ceilings[3] = {1.0f, 1.0f, 2.0f};
  int portals = 0;
  for (int s = 0; s < 3; s++) {
    OM_WorldSector* sec = world_sector(w, s);
    ASSERT_EQ(sector_edge_count(sec), counts[s]);
    EXPECT_EQ(sec->floorHeight, 0.0f);
    EXPECT_EQ(sec->ceilingHeight, ceilings[s]);
    EXPECT_TRUE(sec->floorTexture == flatTexture && sec->ceilingTexture == flatTexture);
    for (int e = 0; e < static_cast<int>(counts[s]); e++) {
      OM_WorldEdge* ed = world_edge(w, s, e);
      EXPECT_EQ(ed->v2, world_edge(w, s, (e + 1) % static_cast<int>(counts[s]))->v1) << s;
      portals += ed->type == OM_EDGE_PORTAL;
      if (ed->type != OM_EDGE_PORTAL) {
        EXPECT_EQ(ed->type, static_cast<u32>(OM_EDGE_TEXTURE));
        EXPECT_EQ(ed->texture, s == 0 ? nullptr : wallTexture);
      }
    }
  }
  EXPECT_EQ(portals, 6);
  const int links[6][4] = {{2, 1, 0, 4},  {0, 4, 2, 1}, {0, 2, 1, 10},
                           {1, 10, 0, 2}, {2, 2, 1, 1}, {1, 1, 2, 2}};
  for (const auto& l : links) {
    OM_WorldEdge* ed = world_edge(w, l[0], l[1]);
    ASSERT_EQ(ed->type, static_cast<u32>(OM_EDGE_PORTAL));
    EXPECT_EQ(ed->portal_sector, l[2]);
    EXPECT_EQ(ed->portal_edge, l[3]);
  }
  EXPECT_NE(wallTexture, flatTexture);
}

// Inside each sector; cut off by the arc; in the strip between sectors 0 and
// 2; far out. Then on edges, where the precision of the angle sum decides:
// shared by sectors 1 and 2, on sector 0's portal x = 0, on sector 2's x = 5.
TEST_F(World, PointsAreFoundInTheirSectors) {
  const f32 points[][3] = {{4, 4, 1},     {1, 1, 0},    {1, 2.5f, 0}, {4, 1, 2}, {4.9f, 4.9f, -1},
                           {2.5f, 1, -1}, {10, 10, -1}, {4, 2, 1},    {0, 1, 0}, {5, 1, -1}};
  for (const auto& p : points) {
    OM_WorldSector* expected = p[2] < 0 ? nullptr : world_sector(w, static_cast<int>(p[2]));
    EXPECT_EQ(get_sector_at(w, p[0], p[1]), expected) << p[0] << ", " << p[1];
  }
}

TEST(WorldLookup, EitherWindingCountsAndBrokenWorldsFindNothing) {
  EXPECT_EQ(get_sector_at(nullptr, 0, 0), nullptr);
  const f32 square[][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  OM_World* w = make_world(square, 4);
  EXPECT_EQ(get_sector_at(w, 0, 0), nullptr);  // no sectors
  add_sector(w, 0, 1, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(get_sector_at(w, 0, 0), nullptr);  // no edges never qualifies
  // The square wound clockwise.
  const OM_WorldEdge reversed[] = {colour_edge(0, 3, 0), colour_edge(3, 2, 0), colour_edge(2, 1, 0),
                                   colour_edge(1, 0, 0)};
  add_sector(w, 0, 1, nullptr, nullptr, reversed, 4);
  EXPECT_EQ(get_sector_at(w, 0.5f, -0.25f), world_sector(w, 1));
  EXPECT_EQ(get_sector_at(w, 3, 0), nullptr);
  world_edge(w, 1, 0)->v1 = 40;  // past the end: ignored rather than read
  world_changed(w);
  EXPECT_EQ(get_sector_at(w, 3, 0), nullptr);
  free_world(w);
}

TEST_F(World, SavingAndAddingChangeNothing) {
  OM_WorldVertex before = *world_vertex(w, 7);
  buffer[0] = '\0';
  remove("WORLD_DUMP");
  save_world("WORLD_DUMP", w);
  EXPECT_STREQ(buffer, "world saved to 'WORLD_DUMP': 16 vertices, 3 sectors\n");
  FILE* saved = fopen("WORLD_DUMP", "rb");
  EXPECT_NE(saved, nullptr);
  if (saved) fclose(saved);
  remove("WORLD_DUMP");
  buffer[0] = '\0';
  save_world("100%s", w);  // the name is text, not a format
  EXPECT_STREQ(buffer, "world saved to '100%s': 16 vertices, 3 sectors\n");
  remove("100%s");
  add_world_vertex(w, 7, 7);
  EXPECT_EQ(world_vertex_count(w), 16u);
  EXPECT_EQ(memcmp(&before, world_vertex(w, 7), sizeof before), 0);
  release_world(nullptr);
}

}  // namespace
