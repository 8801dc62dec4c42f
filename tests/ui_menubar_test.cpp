// The menu bar: tabs, drop-down hit-testing, commands, and the polled mouse in a widget tree.
// The game core feeds that mouse whether or not an editor is there to take the events.
#include "ui_menubar.h"

#include <gtest/gtest.h>

#include "collection.h"
#include "draw.h"
#include "scene_support.h"
#include "surface.h"

namespace {

const u32 kBar = 0xFF222222, kItem = 0xFF303030, kHover = 0xFF3A3A3A, kMark = 0xFFFF0066;
const u32 kUntouched = 0xFF0000FF;

int g_runs[2];
void count_first() { ++g_runs[0]; }
void count_second() { ++g_runs[1]; }

// A 640 x 480 frame buffer holding a widget tree with a menu bar at
// (100, 50); FILE's two entries count their presses.
class MenuBar : public ::testing::Test {
 protected:
  void SetUp() override {
    OM_editor = nullptr;  // the core feeds the polled mouse even without one
    gameState = EDITOR;
    fb = OM_frameBuffer = OM_CreateSurface(640, 480);
    ASSERT_NE(fb, nullptr);
    clear();
    OM_Widget r = {nullptr, OM_Widget_HandleEvent, nullptr, nullptr, 0, 0, 640, 480};
    OM_Widget b = {
        &OM_Widget_Prototype, OM_MenuBar_HandleEvent, nullptr, nullptr, 100, 50, 400, 200};
    root = OM_CreateWidget(&r);
    bar = OM_CreateWidget(&b);
    ASSERT_TRUE(root && bar);
    OM_Collection_Push(root->childs, &bar);
    ASSERT_EQ(menubar.n_entries, 2);
    file = menubar.entries[0].submenu;
    ASSERT_NE(file, nullptr);
    file->entries[0].onclick = count_first;
    file->entries[1].onclick = count_second;
    g_runs[0] = g_runs[1] = 0;
    send(OM_EVENT_MOUSE_BUTTON_UP, 0, 0, 0);
    OM_Render();
  }
  void TearDown() override {
    OM_DestroyWidget(bar);
    OM_DestroyWidget(root);
    OM_DestroySurface(fb);
  }
  void clear() { OM_FillRect(fb, 0, 0, fb->w, fb->h, kUntouched); }
  u32 px(int x, int y) { return fb->data[x + fb->step * y]; }
  // The bar drawn straight onto the frame buffer, with the polled mouse set.
  void draw(int x, int y, int pressed) {
    mouse.cursor.x = x;
    mouse.cursor.y = y;
    mouse.LMB = pressed;
    draw_menubar(fb);
  }
  // Host mouse events, and one frame as the program draws the tree.
  void send(OM_EventType type, int x, int y, int buttons) {
    OM_Mouse m{x, y, 0, 0, 0, buttons, 1};
    OM_Event e{};
    e.type = type;
    e.mouse = &m;
    OM_Game_Handle(&e);
  }
  void frame() {
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = fb;
    root->HandleEvent(root, root->super, &e);
    OM_Render();
  }

  SavedGlobals saved;  // the menu's entries, their commands and its open tab among the rest
  OM_Surface* fb = nullptr;
  OM_Widget* root = nullptr;
  OM_Widget* bar = nullptr;
  MENU* file = nullptr;
};

TEST_F(MenuBar, HitTestingOpensRunsCommandsAndCloses) {
  draw(50, 10, 0);
  EXPECT_EQ(px(300, 27), kBar);
  EXPECT_EQ(px(300, 28), kUntouched);
  EXPECT_EQ(px(70, 6), kHover);  // tab 0
  EXPECT_EQ(px(150, 6), kItem);  // tab 1
  EXPECT_EQ(px(4, 7), kMark);    // closed: a corner mark
  EXPECT_EQ(menubar.active_index, -1);
  clear();
  draw(84, 10, 0);  // (84, 10) lies on tab 1, not tab 0
  EXPECT_EQ(px(70, 6), kItem);
  EXPECT_EQ(px(150, 6), kHover);

  draw(50, 10, 1);
  EXPECT_EQ(menubar.active_index, 0);
  EXPECT_EQ(px(5, 6), kMark);  // open: square mark and underline
  EXPECT_EQ(px(83, 23), kMark);
  for (int y : {28, 50, 52, 74}) EXPECT_EQ(px(235, y), kItem) << y;  // two rows
  EXPECT_EQ(px(235, 51), kHover);
  EXPECT_EQ(px(240, 30), kUntouched);
  EXPECT_EQ(px(235, 76), kUntouched);
  draw(50, 10, 0);  // a frame without a press changes nothing
  EXPECT_EQ(menubar.active_index, 0);
  draw(100, 40, 1);
  EXPECT_EQ(g_runs[0], 1);
  EXPECT_EQ(menubar.active_index, 0);
  EXPECT_EQ(px(100, 30), kHover);
  draw(100, 40, 0);
  draw(100, 60, 1);
  EXPECT_EQ(g_runs[0], 1);
  EXPECT_EQ(g_runs[1], 1);
  draw(300, 40, 1);  // outside the drop-down
  EXPECT_EQ(menubar.active_index, -1);
  EXPECT_EQ(g_runs[0] + g_runs[1], 2);
  draw(50, 10, 1);
  draw(50, 10, 1);  // the open tab again
  EXPECT_EQ(menubar.active_index, -1);

  // EDITOR has no drop-down: opening it draws none.
  draw(50, 10, 1);
  draw(120, 10, 1);  // inside FILE's drop-down column, so no close first
  EXPECT_EQ(menubar.active_index, 1);
  clear();
  draw(120, 10, 0);
  EXPECT_EQ(px(100, 40), kUntouched);
  EXPECT_EQ(px(90, 23), kMark);
}

TEST_F(MenuBar, InATreeTheCursorIsTheBarsOwnAndAPressIsOneEvent) {
  send(OM_EVENT_MOUSE_MOVE, 150, 60, 0);  // (50, 10) of the bar
  frame();
  EXPECT_EQ(px(170, 56), kHover);  // tab 0, drawn at the bar's (70, 6)
  EXPECT_EQ(px(250, 56), kItem);
  EXPECT_EQ(px(100, 50), kBar);
  EXPECT_EQ(px(99, 50), kUntouched);
  EXPECT_EQ(mouse.cursor.x, 150);  // left in frame-buffer pixels

  send(OM_EVENT_MOUSE_BUTTON_DOWN, 150, 60, OM_LMB);
  frame();
  frame();  // still held: the menu does not flicker shut
  EXPECT_EQ(menubar.active_index, 0);
  // Moving onto the first entry with the button still down runs nothing,
  // nor does a second button going down while the left is held.
  send(OM_EVENT_MOUSE_MOVE, 200, 90, OM_LMB);
  frame();
  send(OM_EVENT_MOUSE_BUTTON_DOWN, 200, 90, OM_LMB | OM_RMB);
  frame();
  EXPECT_EQ(g_runs[0], 0);
  send(OM_EVENT_MOUSE_BUTTON_UP, 200, 90, 0);
  send(OM_EVENT_MOUSE_BUTTON_DOWN, 200, 90, OM_LMB);
  frame();
  frame();
  EXPECT_EQ(g_runs[0], 1);
  EXPECT_EQ(menubar.active_index, 0);
  send(OM_EVENT_MOUSE_BUTTON_UP, 200, 90, 0);
  send(OM_EVENT_MOUSE_BUTTON_DOWN, 550, 90, OM_LMB);  // outside: closes
  frame();
  EXPECT_EQ(menubar.active_index, -1);
}

TEST(MenuCommands, ScalesStayAtLeastOneAndEntriesStayInTheirRoom) {
  SavedGlobals saved;
  snap_grid_x = snap_grid_y = 10;
  for (int i = 0; i < 11; ++i) scale_down_grid();
  EXPECT_EQ(snap_grid_x, 1);
  EXPECT_EQ(snap_grid_y, 1);
  scale_up_grid();
  EXPECT_EQ(snap_grid_x, 2);
  editor_scale = 8.0f;
  for (int i = 0; i < 9; ++i) scale_down_viewport();
  EXPECT_EQ(editor_scale, 1.0f);
  scale_up_viewport();
  EXPECT_EQ(editor_scale, 2.0f);

  add_menu_entry(nullptr, "X", nullptr);  // nothing to add to
  MENU_ENTRY slots[2] = {};
  MENU m = {-1, 0, slots, 1};
  add_menu_entry(&m, "ONE", count_first);
  add_menu_entry(&m, "TWO", count_second);
  EXPECT_EQ(m.n_entries, 1);
  EXPECT_STREQ(slots[0].label, "ONE");
  EXPECT_EQ(slots[0].onclick, count_first);
  EXPECT_EQ(slots[1].label, nullptr);
}

}  // namespace
