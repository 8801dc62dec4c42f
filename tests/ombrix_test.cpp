#include "ombrix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "collection.h"
#include "editor.h"
#include "object_player.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_widget.h"
#include "world.h"

namespace {

int key_event(OM_EventType type, int key) {
  OM_Event e;
  memset(&e, 0, sizeof e);
  e.type = type;
  e.key = key;
  return OM_Game_Handle(&e);
}
int press(int key) { return key_event(OM_EVENT_KEYBOARD_KEY_DOWN, key); }
int release(int key) { return key_event(OM_EVENT_KEYBOARD_KEY_UP, key); }

int count(const char* text, const char* what) {
  int n = 0;
  for (const char* p = strstr(text, what); p; p = strstr(p + 1, what)) n++;
  return n;
}

// Keeps each test's key presses and view toggles from leaking into the next.
class GameCore : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_state = gameState;
    saved_flags[0] = drawVertices;
    saved_flags[1] = draw_portals;
    saved_flags[2] = draw_edges;
    saved_flags[3] = relative_map_mode;
    memset(keyboard.keys, 0, sizeof keyboard.keys);
  }
  void TearDown() override {
    gameState = saved_state;
    drawVertices = saved_flags[0];
    draw_portals = saved_flags[1];
    draw_edges = saved_flags[2];
    relative_map_mode = saved_flags[3];
    memset(keyboard.keys, 0, sizeof keyboard.keys);
  }
  GameState saved_state;
  int saved_flags[4];
};

TEST_F(GameCore, TabCyclesTheThreeStates) {
  gameState = EDITOR;
  press(0x09);
  EXPECT_EQ(gameState, GAMEPLAY);
  press(0x09);
  EXPECT_EQ(gameState, EDITOR_PREVIEW);  // not back to EDITOR
  press(0x09);
  EXPECT_EQ(gameState, EDITOR);
  gameState = static_cast<GameState>(7);
  press(0x09);
  EXPECT_EQ(gameState, EDITOR);
}

TEST_F(GameCore, ViewTogglesWorkInEveryState) {
  for (GameState s : {EDITOR, EDITOR_PREVIEW, GAMEPLAY}) {
    gameState = s;
    int before[4] = {drawVertices, draw_portals, draw_edges, relative_map_mode};
    for (int key : {0x56, 0x42, 0x4E, 0x4D}) {
      press(key);
      release(key);
    }
    EXPECT_EQ(drawVertices, before[0] ? 0 : 1);
    EXPECT_EQ(draw_portals, before[1] ? 0 : 1);
    EXPECT_EQ(draw_edges, before[2] ? 0 : 1);
    EXPECT_EQ(relative_map_mode, before[3] ? 0 : 1);
    EXPECT_EQ(gameState, s);
  }
  drawVertices = 5;  // any non-zero value toggles to 0
  press(0x56);
  EXPECT_EQ(drawVertices, 0);
}

TEST_F(GameCore, KeysAreHeldUntilReleasedAndReturnZero) {
  EXPECT_EQ(press(0x57), 0);
  EXPECT_EQ(keyboard.keys[0x57], 1);
  EXPECT_EQ(press(0x57), 0);  // auto-repeat
  EXPECT_EQ(keyboard.keys[0x57], 1);
  EXPECT_EQ(release(0x57), 0);
  EXPECT_EQ(keyboard.keys[0x57], 0);
}

TEST_F(GameCore, KeyCode255HasNoSlot) {
  u8 after[255];
  EXPECT_EQ(press(255), 0);
  EXPECT_EQ(release(255), 0);
  EXPECT_EQ(press(-1), 0);
  memset(after, 0, sizeof after);
  EXPECT_EQ(memcmp(keyboard.keys, after, sizeof after), 0);
  EXPECT_EQ(press(254), 0);
  EXPECT_EQ(keyboard.keys[254], 1);
}

int g_forwarded_type = -1;
OM_Mouse* g_forwarded_mouse = nullptr;
int recording_handler(OM_Widget*, OM_Widget*, OM_Event* e) {
  g_forwarded_type = e->type;
  g_forwarded_mouse = e->mouse;
  return 7;
}

TEST_F(GameCore, MouseAndUnknownEventsReachTheEditorInEveryStateButKeysDoNot) {
  OM_Widget fake{};
  fake.HandleEvent = recording_handler;
  OM_Widget* saved = OM_editor;
  OM_editor = &fake;
  OM_Mouse m{};
  for (GameState s : {EDITOR, EDITOR_PREVIEW, GAMEPLAY}) {
    gameState = s;
    for (OM_EventType t : {OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_MOVE, OM_EVENT_MOUSE_WHEEL,
                           OM_EVENT_MOUSE_BUTTON_UP, OM_EVENT_UNKNOWN, OM_EVENT_RESIZE,
                           OM_EVENT_AUDIO_FILL, static_cast<OM_EventType>(40)}) {
      g_forwarded_type = -1;
      OM_Event e;
      e.type = t;
      e.mouse = &m;
      EXPECT_EQ(OM_Game_Handle(&e), 7);  // the widget's own result
      EXPECT_EQ(g_forwarded_type, t);
      EXPECT_EQ(g_forwarded_mouse, &m);
    }
  }
  g_forwarded_type = -1;
  press(0x41);
  release(0x41);
  EXPECT_EQ(g_forwarded_type, -1);
  OM_editor = saved;
}

TEST_F(GameCore, InitHandsBackTheFrameBufferAndQuitReleasesIt) {
  OM_Event e;
  memset(&e, 0, sizeof e);
  e.type = OM_EVENT_INIT;
  ASSERT_EQ(OM_Game_Handle(&e), 0);
  ASSERT_NE(e.surface, nullptr);
  EXPECT_EQ(e.surface, OM_frameBuffer);
  EXPECT_EQ(e.surface->w, 640);
  EXPECT_EQ(e.surface->h, 480);
  EXPECT_EQ(gameState, EDITOR_PREVIEW);
  e.type = OM_EVENT_TICK;
  EXPECT_EQ(OM_Game_Handle(&e), 0);
  e.type = OM_EVENT_DRAW;
  EXPECT_EQ(OM_Game_Handle(&e), 0);
  e.type = OM_EVENT_QUIT;
  EXPECT_EQ(OM_Game_Handle(&e), 0);
  EXPECT_EQ(OM_frameBuffer, nullptr);
  e.type = OM_EVENT_DRAW;  // a stray paint after quit draws nothing
  EXPECT_EQ(OM_Game_Handle(&e), 0);
}

TEST_F(GameCore, CtrlSHeldSavesOnEveryKeyDownAlongsideOtherShortcuts) {
  const char* message = "Can't open file 'WORLD_DUMP' for writing!\n";
  buffer[0] = '\0';
  press(0x53);
  EXPECT_EQ(count(buffer, message), 0);  // S alone
  press(0x11);
  EXPECT_EQ(count(buffer, message), 1);  // Ctrl while S is held
  press(0x53);                           // auto-repeat
  EXPECT_EQ(count(buffer, message), 2);
  int before = drawVertices;
  press(0x56);  // V both toggles and saves again
  EXPECT_EQ(drawVertices, before ? 0 : 1);
  EXPECT_EQ(count(buffer, message), 3);
  release(0x53);
  press(0x56);
  EXPECT_EQ(count(buffer, message), 3);
  buffer[0] = '\0';
}

TEST_F(GameCore, CtrlOReloadsTheWorldAndCtrlLDoesNot) {
  OM_World* saved_world = world;
  Player* saved_player = player;
  Player p = {};
  p.object.x = 4;
  p.object.y = 1;
  player = &p;
  world = load_world("WORLD_DEVEL");
  ASSERT_NE(world, nullptr);
  OM_World* first = world;
  press(0x11);
  press(0x4C);
  EXPECT_EQ(world, first);
  release(0x4C);
  press(0x4F);
  EXPECT_NE(world, first);  // the first one is released
  EXPECT_EQ(p.world, world);
  EXPECT_EQ(p.sector, static_cast<OM_WorldSector*>(world->sectors->data) + 2);
  press(0x4F);  // auto-repeat: every key-down reloads, none leaks
  press(0x4F);
  EXPECT_EQ(p.world, world);
  release_world(world);
  world = saved_world;
  player = saved_player;
}

}  // namespace
