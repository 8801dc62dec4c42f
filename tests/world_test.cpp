#include "world.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "collection.h"
#include "ui_console.h"

namespace {

OM_WorldVertex* vertices(OM_World* w) { return static_cast<OM_WorldVertex*>(w->vertices->data); }
OM_WorldSector* sectors(OM_World* w) { return static_cast<OM_WorldSector*>(w->sectors->data); }
OM_WorldEdge* edges(OM_WorldSector* s) { return static_cast<OM_WorldEdge*>(s->edges->data); }
OM_WorldEdge* edge(OM_World* w, int s, int e) { return edges(&sectors(w)[s]) + e; }

class World : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer[0] = '\0';
    w = load_world("WORLD_DEVEL");
    ASSERT_NE(w, nullptr);
  }
  void TearDown() override { release_world(w); }
  OM_WorldSector* at(float x, float y) { return get_sector_at(w, x, y); }
  OM_WorldSector* sector(int i) { return &sectors(w)[i]; }
  OM_World* w = nullptr;
};

TEST_F(World, BuildsTheSameSixteenVerticesWhateverTheName) {
  const float expected[16][2] = {{0, 0},
                                 {2, 0},
                                 {2, 2},
                                 {1, 3},
                                 {0, 2},
                                 {3, 2},
                                 {5, 2},
                                 {5.0f, 3.75f},
                                 {4.937144f, 4.141394f},
                                 {4.754897f, 4.493425f},
                                 {4.471589f, 4.770691f},
                                 {4.115710f, 4.945306f},
                                 {3.723052f, 4.999710f},
                                 {1, 5},
                                 {3, 0},
                                 {5, 0}};
  for (const char* name : {"WORLD_DEVEL", "WORLD_DUMP", ""}) {
    OM_World* v = load_world(name);
    ASSERT_NE(v, nullptr);
    EXPECT_NE(v, w);  // every call builds a world of its own
    ASSERT_EQ(v->vertices->length, 16u);
    EXPECT_EQ(v->vertices->capacity, 18u);
    for (int i = 0; i < 16; i++) {
      EXPECT_NEAR(vertices(v)[i].x, expected[i][0], 6e-7) << name << " vertex " << i;
      EXPECT_NEAR(vertices(v)[i].y, expected[i][1], 6e-7) << name << " vertex " << i;
    }
    release_world(v);
  }
  // The arc's step is 1 / 3.14 radian, so its last point passes x = 3.75.
  EXPECT_LT(vertices(w)[12].x, 3.75f);
}

TEST_F(World, SectorsHaveTheirOutlinesHeightsAndTextures) {
  ASSERT_EQ(w->sectors->length, 3u);
  EXPECT_EQ(w->sectors->capacity, 3u);
  const reg counts[3] = {5, 11, 4};
  const float ceilings[3] = {1.0f, 1.0f, 2.0f};
  for (int s = 0; s < 3; s++) {
    OM_WorldSector* sec = sector(s);
    ASSERT_EQ(sec->edges->length, counts[s]);
    EXPECT_EQ(sec->edges->capacity, counts[s]);
    EXPECT_EQ(sec->edges->elementSize, sizeof(OM_WorldEdge));
    EXPECT_EQ(sec->floorHeight, 0.0f);
    EXPECT_EQ(sec->ceilingHeight, ceilings[s]);
    EXPECT_EQ(sec->floorTexture, w->flatTexture);
    EXPECT_EQ(sec->ceilingTexture, w->flatTexture);
    // Closed outline in stored order, with positive signed area.
    double area = 0;
    for (reg e = 0; e < counts[s]; e++) {
      OM_WorldEdge* ed = &edges(sec)[e];
      EXPECT_EQ(ed->v2, edges(sec)[(e + 1) % counts[s]].v1) << s << ":" << e;
      OM_WorldVertex p = vertices(w)[ed->v1], q = vertices(w)[ed->v2];
      area += p.x * q.y - q.x * p.y;
      if (ed->type != OM_EDGE_PORTAL) {
        EXPECT_EQ(ed->type, static_cast<u32>(OM_EDGE_TEXTURE));
        EXPECT_EQ(ed->texture, s == 0 ? nullptr : w->wallTexture);
      }
    }
    EXPECT_GT(area, 0) << s;
  }
  EXPECT_NE(w->wallTexture, nullptr);
  EXPECT_NE(w->flatTexture, nullptr);
  EXPECT_NE(w->wallTexture, w->flatTexture);
}

TEST_F(World, SixPortalsAreLinkedInPairs) {
  const int portals[6][4] = {{2, 1, 0, 4},  {0, 4, 2, 1}, {0, 2, 1, 10},
                             {1, 10, 0, 2}, {2, 2, 1, 1}, {1, 1, 2, 2}};
  int count = 0;
  for (int s = 0; s < 3; s++)
    for (reg e = 0; e < sector(s)->edges->length; e++) count += edge(w, s, e)->type == 2;
  EXPECT_EQ(count, 6);
  for (const auto& p : portals) {
    OM_WorldEdge* ed = edge(w, p[0], p[1]);
    ASSERT_EQ(ed->type, static_cast<u32>(OM_EDGE_PORTAL));
    EXPECT_EQ(ed->portal_sector, p[2]);
    EXPECT_EQ(ed->portal_edge, p[3]);
  }
  // The wrap-around pair joins x = 5 to x = 0, five units apart.
  OM_WorldEdge* e = edge(w, 2, 1);
  EXPECT_EQ(vertices(w)[e->v1].x, 5.0f);
  e = edge(w, 0, 4);
  EXPECT_EQ(vertices(w)[e->v1].x, 0.0f);
}

TEST_F(World, LoadingReportsOnTheConsole) { EXPECT_STREQ(buffer, "world loaded\n\n"); }

TEST_F(World, PointsAreFoundInTheirSectors) {
  EXPECT_EQ(at(4, 4), sector(1));  // the player's start
  EXPECT_EQ(at(1, 1), sector(0));
  EXPECT_EQ(at(1, 2.5f), sector(0));
  EXPECT_EQ(at(4, 1), sector(2));
  EXPECT_EQ(at(4.9f, 4.9f), nullptr);  // cut off by the arc
  EXPECT_EQ(at(2.5f, 1), nullptr);     // the strip between sectors 0 and 2
  EXPECT_EQ(at(10, 10), nullptr);
}

TEST_F(World, PointsOnEdgesFollowThePrecisionOfTheSum) {
  EXPECT_EQ(at(4, 2), sector(1));  // shared by sectors 1 and 2
  EXPECT_EQ(at(0, 1), sector(0));  // on sector 0's portal x = 0
  EXPECT_EQ(at(5, 1), nullptr);    // on sector 2's portal x = 5
}

TEST_F(World, EitherWindingCountsAndEmptyWorldsFindNothing) {
  // A square wound one way, then the same square the other way.
  OM_World hand = {};
  hand.vertices = OM_CreateCollection(4, sizeof(OM_WorldVertex));
  hand.sectors = OM_CreateCollection(2, sizeof(OM_WorldSector));
  EXPECT_EQ(get_sector_at(&hand, 0, 0), nullptr);  // no sectors
  OM_WorldVertex square[4] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (auto& v : square) OM_Collection_Push(hand.vertices, &v);
  OM_WorldSector empty = {};
  empty.edges = OM_CreateCollection(0, sizeof(OM_WorldEdge));
  OM_Collection_Push(hand.sectors, &empty);
  EXPECT_EQ(get_sector_at(&hand, 0, 0), nullptr);  // no edges never qualifies
  OM_WorldSector reversed = {};
  reversed.edges = OM_CreateCollection(4, sizeof(OM_WorldEdge));
  for (int i = 4; i > 0; i--) {
    OM_WorldEdge e = {};
    e.v1 = static_cast<u16>(i % 4);
    e.v2 = static_cast<u16>(i - 1);
    OM_Collection_Push(reversed.edges, &e);
  }
  OM_Collection_Push(hand.sectors, &reversed);
  EXPECT_EQ(get_sector_at(&hand, 0.5f, -0.25f), &sectors(&hand)[1]);
  EXPECT_EQ(get_sector_at(&hand, 3, 0), nullptr);
  // A vertex index past the end is ignored rather than read.
  edges(&sectors(&hand)[1])[0].v1 = 40;
  EXPECT_EQ(get_sector_at(&hand, 3, 0), nullptr);
  EXPECT_EQ(get_sector_at(nullptr, 0, 0), nullptr);
  OM_DestroyCollection(empty.edges);
  OM_DestroyCollection(reversed.edges);
  OM_DestroyCollection(hand.sectors);
  OM_DestroyCollection(hand.vertices);
}

TEST_F(World, SavingWritesNothingAndSaysSo) {
  OM_WorldVertex before = vertices(w)[7];
  buffer[0] = '\0';
  remove("WORLD_DUMP");
  save_world("WORLD_DUMP", w);
  EXPECT_STREQ(buffer, "Can't open file 'WORLD_DUMP' for writing!\n");
  EXPECT_EQ(fopen("WORLD_DUMP", "rb"), nullptr);
  EXPECT_EQ(memcmp(&before, &vertices(w)[7], sizeof before), 0);
  EXPECT_EQ(w->vertices->length, 16u);
  buffer[0] = '\0';
  save_world("100%s", w);  // the name is text, not a format
  EXPECT_STREQ(buffer, "Can't open file '100%s' for writing!\n");
}

TEST_F(World, AddingAVertexHasNoEffect) {
  add_world_vertex(w, 7, 7);
  EXPECT_EQ(w->vertices->length, 16u);
  release_world(nullptr);
}

}  // namespace
