// The game core: its event entry, the global keys, start-up and quit, and Ctrl+S / Ctrl+O.
#include "ombrix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "object_player.h"
#include "scene_support.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_widget.h"
#include "world_session.h"

namespace {

int key(bool down, int code) {
  OM_Event e = {};
  e.type = down ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP;
  e.key = code;
  return OM_Game_Handle(&e);
}

class GameCore : public ::testing::Test {
 protected:
  void SetUp() override { memset(keyboard.keys, 0, sizeof keyboard.keys); }
  SavedGlobals saved;
};

TEST_F(GameCore, TabCyclesTheStatesAndTogglesWorkInEach) {
  const GameState cycle[][2] = {{EDITOR, GAMEPLAY},
                                {GAMEPLAY, EDITOR_PREVIEW},  // not back to EDITOR
                                {EDITOR_PREVIEW, EDITOR},
                                {static_cast<GameState>(7), EDITOR}};
  for (const auto& c : cycle) {
    gameState = c[0];
    EXPECT_EQ(key(true, OM_KEY_TAB), 0);
    EXPECT_EQ(gameState, c[1]) << c[0];
  }
  int* flags[] = {&drawVertices, &draw_portals, &draw_edges, &relative_map_mode};
  const int keys[] = {OM_KEY_V, OM_KEY_B, OM_KEY_N, OM_KEY_M};
  for (GameState s : {EDITOR, EDITOR_PREVIEW, GAMEPLAY}) {
    gameState = s;
    for (int i = 0; i < 4; i++) {
      *flags[i] = 5;  // any non-zero value toggles to 0
      for (int expected : {0, 1}) {
        key(true, keys[i]);
        key(false, keys[i]);
        EXPECT_EQ(*flags[i], expected) << keys[i];
      }
    }
    EXPECT_EQ(gameState, s);
  }
}

// H in every state, with a line; switching on takes the eye's height above
// the floor of sector 1 (floor 0, ceiling 1), held inside the room.
TEST_F(GameCore, HSwitchesTheLookInEveryStateSayingWhichAndKeepsTheEyeHeight) {
  world = load_world("WORLD_DEVEL");
  Player p = {};
  p.sector = world_sector(world, 1);
  player = &p;
  const struct {
    GameState state;
    f32 z;
    int mode;
    const char* says;
    f32 eye;
  } steps[] = {
      {EDITOR, 0.75f, 1, "Heights mode: every room at its own heights, with steps;", 0.75f},
      {GAMEPLAY, 0.75f, 0, "Classic look: floor and ceiling of the room each view ends in", 0.75f},
      {GAMEPLAY, 1.5f, 1, "Heights mode: ", 1.0f},  // held under the ceiling
      {EDITOR, 1.5f, 0, "Classic look: ", 1.0f},
      {EDITOR_PREVIEW, -0.5f, 1, "Heights mode: ", 0.0f},  // held over the floor
  };
  for (const auto& s : steps) {
    gameState = s.state;
    p.object.z = s.z;
    buffer[0] = '\0';
    key(true, OM_KEY_H);
    key(false, OM_KEY_H);
    EXPECT_EQ(heights_mode, s.mode);
    EXPECT_EQ(strncmp(buffer, s.says, strlen(s.says)), 0) << buffer;
    EXPECT_EQ(p.eye_height, s.eye);
    EXPECT_EQ(p.object.z, s.z);
  }
  release_world(world);
}

TEST_F(GameCore, KeysAreHeldUntilReleasedAndCode255HasNoSlot) {
  EXPECT_EQ(key(true, OM_KEY_W), 0);
  EXPECT_EQ(key(true, OM_KEY_W), 0);  // auto-repeat
  EXPECT_EQ(keyboard.keys[OM_KEY_W], 1);
  EXPECT_EQ(key(false, OM_KEY_W), 0);
  EXPECT_EQ(key(true, 255), 0);
  EXPECT_EQ(key(false, 255), 0);
  EXPECT_EQ(key(true, -1), 0);
  const u8 none[255] = {};
  EXPECT_EQ(memcmp(keyboard.keys, none, sizeof none), 0);
  EXPECT_EQ(key(true, 254), 0);
  EXPECT_EQ(keyboard.keys[254], 1);
}

OM_Event g_forwarded;

TEST_F(GameCore, EverythingButKeysReachesTheEditorInEveryState) {
  OM_Widget fake = {};
  fake.HandleEvent = [](OM_Widget*, OM_Widget*, OM_Event* e) {
    g_forwarded = *e;
    return 7;
  };
  OM_editor = &fake;
  OM_Mouse m = {};
  for (GameState s : {EDITOR, EDITOR_PREVIEW, GAMEPLAY}) {
    gameState = s;
    for (OM_EventType t : {OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_MOVE, OM_EVENT_MOUSE_WHEEL,
                           OM_EVENT_MOUSE_BUTTON_UP, OM_EVENT_UNKNOWN, OM_EVENT_RESIZE,
                           OM_EVENT_AUDIO_FILL, static_cast<OM_EventType>(40)}) {
      g_forwarded = {};
      OM_Event e = {};
      e.type = t;
      e.mouse = &m;
      EXPECT_EQ(OM_Game_Handle(&e), 7);  // the widget's own result
      EXPECT_EQ(g_forwarded.type, t);
      EXPECT_EQ(g_forwarded.mouse, &m);
    }
  }
  g_forwarded = {};
  key(true, OM_KEY_W);
  key(false, OM_KEY_W);
  EXPECT_EQ(g_forwarded.type, OM_EVENT_UNKNOWN);
}

// Start-up makes the editor, the font and the fallback texture for good; the
// world it loads is the test's to release.
TEST(GameCoreLifecycle, InitHandsBackTheFrameBufferAndQuitReleasesIt) {
  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  OM_Event e = {};
  e.type = OM_EVENT_INIT;
  ASSERT_EQ(OM_Game_Handle(&e), 0);
  ASSERT_NE(e.surface, nullptr);
  EXPECT_EQ(e.surface, OM_frameBuffer);
  EXPECT_EQ(e.surface->w, 640);
  EXPECT_EQ(e.surface->h, 480);
  EXPECT_EQ(gameState, EDITOR_PREVIEW);
  for (OM_EventType t : {OM_EVENT_TICK, OM_EVENT_DRAW, OM_EVENT_QUIT, OM_EVENT_DRAW}) {
    e.type = t;  // the last, a stray paint after quit, draws nothing
    EXPECT_EQ(OM_Game_Handle(&e), 0);
  }
  EXPECT_EQ(OM_frameBuffer, nullptr);
  release_world(world);
}

TEST_F(GameCore, CtrlSHeldSavesOnEveryKeyDownAndCtrlOReloads) {
  // S alone, Ctrl while S is held, auto-repeat, V (toggles and saves), S up, V.
  const int steps[][3] = {{OM_KEY_S, 1, 0}, {OM_KEY_CTRL, 1, 1}, {OM_KEY_S, 1, 1},
                          {OM_KEY_V, 1, 1}, {OM_KEY_S, 0, 0},    {OM_KEY_V, 1, 0}};
  int toggled = drawVertices;
  for (const auto& s : steps) {
    buffer[0] = '\0';
    key(s[1], s[0]);
    EXPECT_STREQ(buffer, s[2] ? "Can't open file 'WORLD_DUMP' for writing!\n" : "") << s[0];
    if (s[0] == OM_KEY_V) {
      toggled = !toggled;
      EXPECT_EQ(drawVertices, toggled);
    }
  }

  Player p = {};
  p.object = {4, 1, 0, 0};
  player = &p;
  world = load_world("WORLD_DEVEL");
  OM_World* first = world;
  key(true, OM_KEY_L);
  EXPECT_EQ(world, first);
  key(false, OM_KEY_L);
  key(true, OM_KEY_O);
  EXPECT_NE(world, first);  // the first one is released
  EXPECT_EQ(p.world, world);
  EXPECT_EQ(p.sector, world_sector(world, 2));
  key(true, OM_KEY_O);  // auto-repeat: every key-down reloads, none leaks
  EXPECT_EQ(p.world, world);
  release_world(world);
}

}  // namespace
