#include <gtest/gtest.h>

#include <cstring>

#include "collection.h"
#include "editor.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "surface.h"
#include "world.h"

namespace {

enum { W = 0x57, S = 0x53, A = 0x41, D = 0x44, Q = 0x51, E = 0x45, SPACE = 0x20, CTRL = 0x11 };

// Runs the real start-up for the world, player and camera; restores the
// globals the tests touch afterwards.
class Simulation : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_state = gameState;
    saved_scale = editor_scale;
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    memset(&mouse, 0, sizeof mouse);
    ASSERT_EQ(OM_Init(), 0);
    p = player;
    ASSERT_NE(p, nullptr);
    ASSERT_NE(world, nullptr);
  }
  void TearDown() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    memset(&mouse, 0, sizeof mouse);
    timer.delta = 0;
    gameState = saved_state;
    editor_scale = saved_scale;
    release_world(world);
    world = nullptr;
    player->world = nullptr;
    player->sector = nullptr;
  }
  OM_WorldSector* sector(int i) { return static_cast<OM_WorldSector*>(world->sectors->data) + i; }
  void place(float x, float y, int s) {
    p->object.x = x;
    p->object.y = y;
    p->sector = s < 0 ? nullptr : sector(s);
  }
  void ticks(int n, GameState state = GAMEPLAY) {
    gameState = state;
    for (int i = 0; i < n; i++) {
      update_player();
      update_camera();
    }
  }
  Player* p = nullptr;
  GameState saved_state;
  f32 saved_scale;
};

TEST_F(Simulation, StartUpPlacesThePlayerAndAttachesTheCamera) {
  EXPECT_EQ(p->object.x, 4.0f);
  EXPECT_EQ(p->object.y, 4.0f);
  EXPECT_EQ(p->object.z, 0.0f);
  EXPECT_EQ(p->object.angle, 0.0f);
  EXPECT_EQ(p->movement_speed, 0.8f);
  EXPECT_EQ(p->rotation_speed, 0.061086524f);
  EXPECT_EQ(p->mass, 80.7f);
  EXPECT_EQ(p->height, 1.8f);
  EXPECT_FLOAT_EQ(p->eye_height, 1.6f);
  EXPECT_EQ(p->velocity_x, 0.0f);
  EXPECT_EQ(p->acceleration_y, 0.0f);
  EXPECT_EQ(p->world, world);
  EXPECT_EQ(p->sector, sector(1));
  ASSERT_NE(OM_camera, nullptr);
  EXPECT_EQ(OM_camera->object.x, 4.0f);
  EXPECT_EQ(OM_camera->object.y, 4.0f);
  EXPECT_EQ(OM_camera->fov, 1.134464f);
  EXPECT_EQ(OM_camera->view_distance, 128.0f);
  EXPECT_EQ(OM_camera->attached_to, &p->object);
}

TEST_F(Simulation, ForwardAcceleratesTowardsTheFrictionLimit) {
  keyboard.keys[W] = 1;
  ticks(1);
  EXPECT_NEAR(p->acceleration_x, 0.0099133f, 1e-7);
  EXPECT_NEAR(p->velocity_x, 0.0099133f, 1e-7);
  EXPECT_NEAR(p->object.x, 4.0099133f, 1e-6);
  EXPECT_EQ(p->object.y, 4.0f);
  ticks(1);
  EXPECT_NEAR(p->velocity_x, 0.0188352f, 1e-7);
  // Forward is the same key in the editor states.
  ticks(200, EDITOR);
  EXPECT_NEAR(p->velocity_x, 0.8f / 80.7f / 0.1f, 1e-6);
}

TEST_F(Simulation, TurningKeysSwapBetweenGameplayAndEditor) {
  keyboard.keys[Q] = 1;
  ticks(10, GAMEPLAY);
  EXPECT_NEAR(p->object.angle, -0.6108652, 2e-7);
  EXPECT_EQ(p->object.x, 4.0f);  // Q only turns here
  keyboard.keys[Q] = 0;

  p->object.angle = 0;
  keyboard.keys[A] = 1;
  ticks(10, EDITOR);
  EXPECT_NEAR(p->object.angle, -0.6108652, 2e-7);
  keyboard.keys[A] = 0;

  p->object.angle = 0;
  keyboard.keys[Q] = keyboard.keys[E] = 1;
  ticks(5, GAMEPLAY);
  EXPECT_EQ(p->object.angle, 0.0f);
  keyboard.keys[Q] = keyboard.keys[E] = 0;

  // A strafes left in gameplay: facing +x, that is towards -y.
  p->velocity_x = p->velocity_y = 0;
  keyboard.keys[A] = 1;
  ticks(1, GAMEPLAY);
  EXPECT_EQ(p->object.angle, 0.0f);
  EXPECT_NEAR(p->velocity_y, -0.0099133f, 1e-7);
  EXPECT_EQ(p->velocity_x, 0.0f);
  keyboard.keys[A] = 0;
  p->velocity_y = 0;
  keyboard.keys[E] = 1;  // strafe right in the editor
  ticks(1, EDITOR_PREVIEW);
  EXPECT_NEAR(p->velocity_y, 0.0099133f, 1e-7);
}

TEST_F(Simulation, SpaceRisesAndCtrlSinksWithoutLimit) {
  keyboard.keys[SPACE] = 1;
  ticks(30);
  EXPECT_NEAR(p->object.z, 1.0f, 1e-5);
  keyboard.keys[SPACE] = 0;
  keyboard.keys[CTRL] = 1;
  ticks(60);
  EXPECT_NEAR(p->object.z, -1.0f, 1e-5);
}

TEST_F(Simulation, OppositeKeysCancelAndVelocityDecays) {
  p->velocity_x = 0.05f;
  keyboard.keys[W] = keyboard.keys[S] = 1;
  ticks(1);
  EXPECT_EQ(p->acceleration_x, 0.0f);
  EXPECT_FLOAT_EQ(p->velocity_x, 0.045f);
}

TEST_F(Simulation, TheWrapAroundPortalCarriesThePlayerBothWays) {
  place(4.95f, 1, 2);
  p->velocity_x = 0.8f / 80.7f / 0.1f;
  keyboard.keys[W] = 1;
  ticks(1);
  EXPECT_NEAR(p->object.x, 0.0491326f, 1e-5);
  EXPECT_EQ(p->object.y, 1.0f);
  EXPECT_EQ(p->sector, sector(0));
  EXPECT_EQ(p->object.angle, 0.0f);  // a pure translation
  EXPECT_EQ(OM_camera->object.x, p->object.x);

  keyboard.keys[W] = 0;
  p->velocity_x = -0.1f;  // 0.09 after friction
  ticks(1);
  EXPECT_NEAR(p->object.x, 4.9591326f, 1e-5);
  EXPECT_EQ(p->sector, sector(2));
}

TEST_F(Simulation, CoincidingPortalsChangeOnlyTheSector) {
  place(4, 2.05f, 1);
  p->velocity_y = -0.1f;
  ticks(1);
  EXPECT_EQ(p->object.x, 4.0f);
  EXPECT_FLOAT_EQ(p->object.y, 1.96f);
  EXPECT_EQ(p->sector, sector(2));
}

TEST_F(Simulation, AWallStopsThePlayerWhileTheKeyIsHeld) {
  place(1.5f, 1, 0);
  keyboard.keys[W] = 1;
  ticks(100);
  float stopped = p->object.x;
  EXPECT_GT(stopped, 1.9f);
  EXPECT_LT(stopped, 2.0f);
  ticks(50);
  EXPECT_EQ(p->object.x, stopped);
  EXPECT_EQ(p->object.y, 1.0f);
  EXPECT_NEAR(p->velocity_x, 0.0991326f, 1e-6);  // the push is kept, not reset
  EXPECT_EQ(p->sector, sector(0));
}

TEST_F(Simulation, AtASharedVertexTheEdgeStoredFirstDecides) {
  // 1.25 loses exactly 0.125 to friction: a diagonal step of 1.125 that
  // passes exactly through (2, 2), where wall 1 meets portal 2.
  place(1.5f, 1.5f, 0);
  p->velocity_x = p->velocity_y = 1.25f;
  ticks(1);
  EXPECT_EQ(p->velocity_x, 1.125f);
  EXPECT_EQ(p->object.x, 1.5f);
  EXPECT_EQ(p->object.y, 1.5f);
  EXPECT_EQ(p->sector, sector(0));
  // Through (0, 0): wall 0 is stored before portal 4.
  place(0.5f, 0.5f, 0);
  p->velocity_x = p->velocity_y = -1.25f;
  ticks(1);
  EXPECT_EQ(p->object.x, 0.5f);
  // Through the middle of portal 2 the same kind of step goes on.
  place(1.4f, 2.4f, 0);
  p->velocity_x = p->velocity_y = 0.25f;
  ticks(1);
  EXPECT_EQ(p->sector, sector(1));
  EXPECT_FLOAT_EQ(p->object.x, 1.625f);
}

TEST_F(Simulation, WithoutASectorTheStepIsUntestedAndTheSectorLookedUpBehind) {
  place(1.9f, 1, -1);
  p->velocity_x = 1.25f;
  ticks(1);
  EXPECT_FLOAT_EQ(p->object.x, 3.025f);  // straight through the wall at x = 2
  EXPECT_EQ(p->sector, sector(0));       // where the step began
  place(2.5f, 1, -1);
  p->velocity_x = 0;
  ticks(3);
  EXPECT_EQ(p->sector, nullptr);
  EXPECT_EQ(p->object.x, 2.5f);
}

TEST_F(Simulation, APortalIntoNothingHoldsLikeAWall) {
  OM_WorldEdge* e = static_cast<OM_WorldEdge*>(sector(2)->edges->data) + 1;
  e->portal_sector = 9;
  place(4.95f, 1, 2);
  p->velocity_x = 0.2f;
  ticks(1);
  EXPECT_EQ(p->object.x, 4.95f);
  EXPECT_EQ(p->sector, sector(2));
}

TEST_F(Simulation, TheCameraFollowsOnlyWhenAttached) {
  p->object.x = 1.25f;  // as the editor places the player
  p->object.z = 0.5f;
  p->object.angle = 2.0f;
  EXPECT_EQ(OM_camera->object.x, 4.0f);  // not before the next tick
  update_camera();
  EXPECT_EQ(OM_camera->object.x, 1.25f);
  EXPECT_EQ(OM_camera->object.y, p->object.y);
  EXPECT_EQ(OM_camera->object.z, 0.5f);
  EXPECT_EQ(OM_camera->object.angle, 2.0f);
  OM_camera->attached_to = nullptr;
  p->object.x = 3;
  update_camera();
  EXPECT_EQ(OM_camera->object.x, 1.25f);
  OM_camera->attached_to = &p->object;
}

TEST_F(Simulation, MouseLookAndWheelUseThePolledInputs) {
  OM_Surface* saved_fb = OM_frameBuffer;
  OM_frameBuffer = OM_CreateSurface(640, 480);
  mouse.delta.x = 10;
  timer.delta = 0.5f;
  gameState = EDITOR;
  OM_Update();
  EXPECT_EQ(p->object.angle, 0.0f);  // only in gameplay
  EXPECT_EQ(mouse.cursor.x, 0);
  gameState = GAMEPLAY;
  OM_Update();
  EXPECT_FLOAT_EQ(p->object.angle, -0.61086524f);
  EXPECT_EQ(OM_camera->object.angle, p->object.angle);  // camera after player
  EXPECT_EQ(mouse.cursor.x, 320);
  EXPECT_EQ(mouse.cursor.y, 240);

  editor_scale = 8.0f;
  mouse.wheel.delta = 100;
  gameState = EDITOR;
  OM_Update();
  EXPECT_FLOAT_EQ(editor_scale, 9.0f);
  // Left at zero, as nothing feeds them, they change nothing.
  memset(&mouse, 0, sizeof mouse);
  timer.delta = 0;
  gameState = GAMEPLAY;
  OM_Update();
  EXPECT_FLOAT_EQ(p->object.angle, -0.61086524f);
  EXPECT_FLOAT_EQ(editor_scale, 9.0f);
  OM_DestroySurface(OM_frameBuffer);
  OM_frameBuffer = saved_fb;
}

TEST_F(Simulation, ReloadingMovesThePlayerIntoTheNewWorld) {
  OM_World* old = world;
  place(1, 1, 0);
  reload_world();
  ASSERT_NE(world, old);
  EXPECT_EQ(p->world, world);
  EXPECT_EQ(p->sector, sector(0));
  place(2.5f, 1, 0);
  reload_world();
  EXPECT_EQ(p->sector, nullptr);
  keyboard.keys[W] = 1;
  ticks(3);  // the released worlds are no longer reached
}

TEST(SimulationWithoutObjects, UpdatesWithoutPlayerOrCameraDoNothing) {
  Player* saved_player = player;
  Camera* saved_camera = OM_camera;
  player = nullptr;
  OM_camera = nullptr;
  update_player();
  update_camera();
  player = saved_player;
  OM_camera = saved_camera;
}

}  // namespace
