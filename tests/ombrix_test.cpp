#include "ombrix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "editor.h"
#include "surface.h"
#include "ui_widget.h"

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

}  // namespace
