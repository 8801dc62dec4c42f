// The core's side of the mouse: what each tick sees of the host's reports, and when to capture.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "keys.h"
#include "object_player.h"
#include "ombrix.h"
#include "scene_support.h"
#include "ui_widget.h"

namespace {

// The polled input as the editor root saw it during the last tick.
std::vector<int> seen;
f32 seenTime;

int SeeTick(OM_Widget*, OM_Widget*, OM_Event* e) {
  if (e->type == OM_EVENT_TICK) {
    seen = {mouse.delta.x, mouse.delta.y, mouse.wheel.delta};
    seenTime = timer.delta;
  }
  return 0;
}

void Tick() {
  OM_Event e = {};
  e.type = OM_EVENT_TICK;
  ASSERT_EQ(OM_Game_Handle(&e), 0);
}

class MouseLook : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.HandleEvent = SeeTick;
    OM_editor = &fake;
    world = nullptr;
    OM_camera = nullptr;
    player = nullptr;
    gameState = EDITOR;
    Tick();  // whatever earlier tests reported is gone
    p = {};
    p.rotation_speed = 0.061086524f;
    player = &p;
  }
  SavedGlobals saved;
  OM_Widget fake = {};
  Player p;
};

// Each row is what the host reports before one tick, and what that tick
// sees: motion summed and negated (the way back to the centre), the wheel
// summed as it came. Nothing carries over to the next tick.
TEST_F(MouseLook, EachTickSeesTheSumsSinceThePreviousOne) {
  const struct {
    std::vector<std::vector<int>> motions;
    std::vector<int> wheels;
    std::vector<int> seen;  // delta.x, delta.y, wheel.delta
  } ticks[] = {
      {{{10, 0}}, {}, {-10, 0, 0}},
      {{}, {}, {0, 0, 0}},  // cleared after the tick
      {{{3, -4}, {5, 2}, {-1, 0}}, {120, 120, -120}, {-7, 2, 120}},
      {{{7, 0}, {-7, 0}}, {-120}, {0, 0, -120}},  // back and forth: no turn
      {{{INT_MAX, 0}, {INT_MAX, 1}}, {INT_MAX, 1}, {-INT_MAX, -1, INT_MAX}},  // no wrap
      {{{INT_MIN, 0}, {-1, INT_MIN}}, {INT_MIN, -1}, {INT_MAX, INT_MAX, INT_MIN}},
      {{}, {}, {0, 0, 0}},
  };
  for (const auto& t : ticks) {
    for (const auto& m : t.motions) OM_Input_Motion(m[0], m[1]);
    for (int w : t.wheels) OM_Input_Wheel(w);
    Tick();
    EXPECT_EQ(seen, t.seen) << "tick " << &t - ticks;
    EXPECT_EQ(seenTime, OM_TICK_SECONDS);
    EXPECT_TRUE(mouse.delta.x == 0 && mouse.delta.y == 0 && mouse.wheel.delta == 0);
  }
}

// A pointer moved right turns the player right (a growing angle), about
// 0.000977 radian a pixel; only in gameplay. The wheel steps editor_scale
// by 0.01 a unit in every state.
TEST_F(MouseLook, MovingRightTurnsRightInGameplayOnly) {
  const struct {
    GameState state;
    int dx;
    f32 angle;
  } rows[] = {{GAMEPLAY, 10, 0.00977385f},
              {GAMEPLAY, -1000, -0.97738438f},
              {EDITOR, 10, 0.0f},
              {EDITOR_PREVIEW, 10, 0.0f}};
  for (const auto& r : rows) {
    p.object.angle = 0.0f;
    gameState = r.state;
    OM_Input_Motion(r.dx, 37);  // vertical movement turns nothing
    Tick();
    EXPECT_NEAR(p.object.angle, r.angle, 1e-6f) << r.state << " " << r.dx;
  }
  editor_scale = 8.0f;
  gameState = EDITOR;
  OM_Input_Wheel(120);
  Tick();
  Tick();
  EXPECT_FLOAT_EQ(editor_scale, 9.2f);  // once: the second tick had no turn
}

TEST(PointerCapture, OnlyInGameplayWithTheFocusUntilEscape) {
  const int rows[][4] = {
      // focused, state, escaped, wanted
      {1, GAMEPLAY, 0, 1}, {0, GAMEPLAY, 0, 0},       {1, GAMEPLAY, 1, 0},
      {1, EDITOR, 0, 0},   {1, EDITOR_PREVIEW, 0, 0}, {1, 7, 0, 0},
  };
  for (const auto& r : rows)
    EXPECT_EQ(OM_Input_CaptureWanted(r[0], GameState(r[1]), r[2]), r[3]) << r[0] << r[1] << r[2];
}

// Escape in gameplay frees the pointer; a left press takes it back (a
// right press does not); leaving gameplay forgets it, so coming back
// captures. Escape in the editor means nothing here.
TEST(PointerCapture, EscapeFreesALeftClickTakesBack) {
  OM_Mouse left = {}, right = {};
  left.buttons = OM_LMB;
  right.buttons = OM_RMB;
  OM_Event esc = {}, tab = {}, press = {}, rpress = {}, lrelease = {}, tick = {};
  esc.type = OM_EVENT_KEYBOARD_KEY_DOWN, esc.key = OM_KEY_ESCAPE;
  tab.type = OM_EVENT_KEYBOARD_KEY_DOWN, tab.key = OM_KEY_TAB;
  press.type = OM_EVENT_MOUSE_BUTTON_DOWN, press.mouse = &left;
  rpress.type = OM_EVENT_MOUSE_BUTTON_DOWN, rpress.mouse = &right;
  lrelease.type = OM_EVENT_MOUSE_BUTTON_UP, lrelease.mouse = &right;
  tick.type = OM_EVENT_TICK;
  const struct {
    int escaped;
    GameState state;
    const OM_Event* event;
    int after;
  } rows[] = {
      {0, GAMEPLAY, &esc, 1},      {1, GAMEPLAY, &tick, 1},      {1, GAMEPLAY, &rpress, 1},
      {1, GAMEPLAY, &lrelease, 1}, {1, GAMEPLAY, nullptr, 1},    {1, GAMEPLAY, &press, 0},
      {1, GAMEPLAY, &tab, 1},      {1, EDITOR_PREVIEW, &tab, 0}, {1, EDITOR, nullptr, 0},
      {0, EDITOR, &esc, 0},
  };
  for (const auto& r : rows)
    EXPECT_EQ(OM_Input_Escaped(r.escaped, r.state, r.event), r.after) << &r - rows;
}

}  // namespace
