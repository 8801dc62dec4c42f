// The player's movement, walls and portals, the camera that follows it, and reloading the world.
#include <gtest/gtest.h>

#include <cstring>

#include "editor.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "scene_support.h"
#include "surface.h"
#include "world.h"
#include "world_session.h"

namespace {

// The real start-up of world, player and camera. What else OM_Init makes
// (editor, font, fallback texture) stays, as it does in the program.
class Simulation : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    memset(&mouse, 0, sizeof mouse);
    ASSERT_EQ(OM_Init(), 0);
    p = player;
  }
  void TearDown() override { release_world(world); }
  void place(f32 x, f32 y, int s, f32 vx = 0, f32 vy = 0) {
    p->object = {x, y, 0, 0};
    p->velocity_x = vx;
    p->velocity_y = vy;
    p->sector = s < 0 ? nullptr : world_sector(world, s);
  }
  void ticks(int n, GameState state = GAMEPLAY) {
    gameState = state;
    for (int i = 0; i < n; i++) {
      update_player();
      update_camera();
    }
  }
  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  Player* p = nullptr;
};

// Keys held from rest at the start, facing +x.
TEST_F(Simulation, KeysAccelerateTurnAndLift) {
  EXPECT_EQ(p->sector, world_sector(world, 1));
  EXPECT_EQ(OM_camera->attached_to, &p->object);
  const struct {
    int key, other;
    GameState state;
    int ticks;
    f32 v0, angle, vx, vy, z;
  } cases[] = {
      {OM_KEY_W, 0, GAMEPLAY, 1, 0, 0, 0.0099133f, 0, 0},
      {OM_KEY_W, 0, GAMEPLAY, 2, 0, 0, 0.0188352f, 0, 0},
      {OM_KEY_W, 0, EDITOR, 200, 0, 0, 0.8f / 80.7f / 0.1f, 0, 0},  // the limit friction sets
      {OM_KEY_W, OM_KEY_S, GAMEPLAY, 1, 1.25f, 0, 1.125f, 0, 0},    // opposite keys cancel
      {OM_KEY_Q, 0, GAMEPLAY, 10, 0, -0.6108652f, 0, 0, 0},         // Q turns in gameplay,
      {OM_KEY_A, 0, EDITOR, 10, 0, -0.6108652f, 0, 0, 0},           // A in the editor
      {OM_KEY_Q, OM_KEY_E, GAMEPLAY, 5, 0, 0, 0, 0, 0},
      {OM_KEY_A, 0, GAMEPLAY, 1, 0, 0, 0, -0.0099133f, 0},  // strafes left: towards -y
      {OM_KEY_E, 0, EDITOR_PREVIEW, 1, 0, 0, 0, 0.0099133f, 0},
      {OM_KEY_SPACE, 0, GAMEPLAY, 30, 0, 0, 0, 0, 1.0f},  // no ceiling or floor limit
      {OM_KEY_CTRL, 0, GAMEPLAY, 30, 0, 0, 0, 0, -1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << " state " << c.state);
    place(4, 4, 1, c.v0);
    keyboard.keys[c.key] = keyboard.keys[c.other] = 1;
    ticks(c.ticks, c.state);
    keyboard.keys[c.key] = keyboard.keys[c.other] = 0;
    EXPECT_NEAR(p->object.angle, c.angle, 2e-7);
    EXPECT_NEAR(p->velocity_x, c.vx, 1e-7);
    EXPECT_NEAR(p->velocity_y, c.vy, 1e-7);
    EXPECT_NEAR(p->object.z, c.z, 1e-5);
    if (c.vx == 0 && c.vy == 0) {
      EXPECT_EQ(p->object.x, 4.0f);
      EXPECT_EQ(p->object.y, 4.0f);
    }
  }
}

TEST_F(Simulation, PortalsCarryAndWallsStop) {
  // Through the wrap-around portal at x = 5: a pure translation.
  place(4.95f, 1, 2, 0.8f / 80.7f / 0.1f);  // the velocity W held keeps
  keyboard.keys[OM_KEY_W] = 1;
  ticks(1);
  keyboard.keys[OM_KEY_W] = 0;
  EXPECT_NEAR(p->object.x, 0.0491326f, 1e-5);
  EXPECT_EQ(p->object.y, 1.0f);
  EXPECT_EQ(p->sector, world_sector(world, 0));
  EXPECT_EQ(OM_camera->object.x, p->object.x);

  // One step each from x, y in a sector (-1: none) at a velocity, to where
  // it ends, within a tolerance.
  const f32 steps[][9] = {
      {0.0491326f, 1, 0, -0.1f, 0, 4.9591326f, 1, 2, 1e-5f},  // and back
      // Coinciding portals between sectors 1 and 2 change only the sector.
      {4, 2.05f, 1, 0, -0.1f, 4, 1.96f, 2, 2.4e-7f},
      {1.4f, 2.4f, 0, 0.25f, 0.25f, 1.625f, 2.625f, 1, 0},  // diagonally through portal 2
      // Without a sector the step is not tested, and the sector is looked up
      // where it began.
      {1.9f, 1, -1, 1.25f, 0, 3.025f, 1, 0, 0},
      {2.5f, 1, -1, 0, 0, 2.5f, 1, -1, 0},
      // 1.25 loses exactly 0.125 to friction: steps through (0, 0), where wall
      // 0 meets portal 4, and (2, 2), where wall 1 meets portal 2. The edge
      // stored first decides.
      {0.5f, 0.5f, 0, -1.25f, -1.25f, 0.5f, 0.5f, 0, 0},
      {1.5f, 1.5f, 0, 1.25f, 1.25f, 1.5f, 1.5f, 0, 0},
  };
  for (const auto& t : steps) {
    SCOPED_TRACE(testing::Message() << "from (" << t[0] << ", " << t[1] << ")");
    place(t[0], t[1], static_cast<int>(t[2]), t[3], t[4]);
    ticks(1);
    EXPECT_NEAR(p->object.x, t[5], t[8]);
    EXPECT_NEAR(p->object.y, t[6], t[8]);
    EXPECT_EQ(p->sector, t[7] < 0 ? nullptr : world_sector(world, static_cast<int>(t[7])));
  }
  EXPECT_EQ(p->velocity_x, 1.125f);

  // A wall holds while the key is held; the push is kept, not reset.
  place(1.5f, 1, 0);
  keyboard.keys[OM_KEY_W] = 1;
  ticks(100);
  f32 stopped = p->object.x;
  EXPECT_GT(stopped, 1.9f);
  EXPECT_LT(stopped, 2.0f);
  ticks(50);
  EXPECT_EQ(p->object.x, stopped);
  EXPECT_EQ(p->object.y, 1.0f);
  EXPECT_NEAR(p->velocity_x, 0.0991326f, 1e-6);
  EXPECT_EQ(p->sector, world_sector(world, 0));

  // So does a portal into a sector that does not exist.
  world_edge(world, 2, 1)->portal_sector = 9;
  place(4.95f, 1, 2, 0.2f);
  ticks(1);
  EXPECT_EQ(p->object.x, 4.95f);
  EXPECT_EQ(p->sector, world_sector(world, 2));
}

TEST_F(Simulation, CameraFollowsOnlyWhenAttachedAndMouseLooksInGameplay) {
  p->object = {1.25f, 2, 0.5f, 2};       // as the editor places the player
  EXPECT_EQ(OM_camera->object.x, 4.0f);  // not before the next tick
  update_camera();
  EXPECT_EQ(memcmp(&OM_camera->object, &p->object, sizeof p->object), 0);
  OM_camera->attached_to = nullptr;
  p->object.x = 3;
  update_camera();
  EXPECT_EQ(OM_camera->object.x, 1.25f);
  OM_camera->attached_to = &p->object;

  OM_frameBuffer = OM_CreateSurface(640, 480);
  place(4, 4, 1);
  mouse.delta.x = 10;
  timer.delta = 0.5f;
  for (GameState s : {EDITOR, GAMEPLAY}) {
    gameState = s;
    OM_Update();
  }
  EXPECT_FLOAT_EQ(p->object.angle, -0.61086524f);       // once: only in gameplay
  EXPECT_EQ(OM_camera->object.angle, p->object.angle);  // camera after player
  EXPECT_TRUE(mouse.cursor.x == 320 && mouse.cursor.y == 240);
  editor_scale = 8.0f;
  mouse.wheel.delta = 100;
  gameState = EDITOR;
  OM_Update();
  EXPECT_FLOAT_EQ(editor_scale, 9.0f);
  OM_DestroySurface(OM_frameBuffer);

  player = nullptr;  // without player or camera the updates do nothing
  OM_camera = nullptr;
  update_player();
  update_camera();
}

// Heights mode on the sample world: hall (floor 0, ceiling 3), corridor
// x > 6 (0.25, 2), gallery x > 10 (-0.25, 4), loft y < 0 (0.5, 2.5) with the
// wrap-around to the gallery. From (x, y) at (vx, vy), `eye` above the floor.
TEST_F(Simulation, InHeightsModeThePlayerStandsOnFloors) {
  release_world(world);
  world = load_world(OM_SOURCE_DIR "/examples/sample.world");
  ASSERT_NE(world, nullptr);
  const f32 g = OM_GRAVITY;
  const struct {
    const char* what;
    int mode;
    f32 x, y, vx, vy, eye, raise;  // raise: added to the corridor's floor for the row
    int key, ticks;
    int sector;  // where the player ends, and whether it moved there
    bool moves;
    f32 z;
  } rows[] = {
      {"a step up of 0.25 lifts the eye", 1, 5.95f, 2, 0.1f, 0, 1, 0, 0, 1, 1, true, 1.25f},
      {"a step of the full height is taken", 1, 3, 0.05f, 0, -0.1f, 1, 0, 0, 1, 3, true, 1.5f},
      {"a taller step holds like a wall", 1, 5.95f, 2, 0.1f, 0, 1, 0.3125f, 0, 1, 0, false, 1},
      {"an opening below the eye holds", 1, 5.95f, 2, 0.1f, 0, 1.875f, 0, 0, 1, 0, false, 1.875f},
      {"the eye just under it passes", 1, 5.95f, 2, 0.1f, 0, 1.75f, 0, 0, 1, 1, true, 2},
      {"a lower floor: the fall begins", 1, 9.95f, 2, 0.1f, 0, 1, 0, 0, 1, 2, true, 1.25f - g},
      {"landed", 1, 9.95f, 2, 0.1f, 0, 1, 0, 0, 40, 2, true, 0.75f},
      {"the wrap-around carries the eye", 1, 3, -2.95f, 0, -0.1f, 1, 0, 0, 1, 2, true, 1.5f - g},
      {"and holds at its too tall step", 1, 12, 3.95f, 0, 0.1f, 1, 0, 0, 1, 2, false, 0.75f},
      {"Space stops at the ceiling", 1, 8, 2, 0, 0, 1.7f, 0, OM_KEY_SPACE, 10, 1, false, 2},
      {"Ctrl stops at the floor", 1, 8, 2, 0, 0, 0.1f, 0, OM_KEY_CTRL, 10, 1, false, 0.25f},
      {"the classic look climbs anything", 0, 5.95f, 2, 0.1f, 0, 1, 0.3125f, 0, 1, 1, true, 1},
  };
  OM_WorldSector* corridor = world_sector(world, 1);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    heights_mode = r.mode;
    corridor->floorHeight = 0.25f + r.raise;
    place(r.x, r.y, -1, r.vx, r.vy);
    p->sector = get_sector_at(world, r.x, r.y);
    p->eye_height = r.eye;
    p->object.z = p->sector->floorHeight + r.eye;
    p->velocity_z = 0;
    keyboard.keys[r.key] = r.key != 0;
    ticks(r.ticks);
    keyboard.keys[r.key] = 0;
    EXPECT_EQ(p->sector, world_sector(world, r.sector));
    EXPECT_EQ(p->object.x != r.x || p->object.y != r.y, r.moves);
    EXPECT_NEAR(p->object.z, r.z, 1e-5);
  }
}

TEST_F(Simulation, ReloadingMovesThePlayerIntoTheNewWorld) {
  OM_World* old = world;
  place(1, 1, 0);
  reload_world();
  ASSERT_NE(world, old);
  EXPECT_EQ(p->world, world);
  EXPECT_EQ(p->sector, world_sector(world, 0));
  place(2.5f, 1, 0);
  reload_world();
  EXPECT_EQ(p->sector, nullptr);
  keyboard.keys[OM_KEY_W] = 1;
  ticks(3);  // the released worlds are no longer reached
}

}  // namespace
