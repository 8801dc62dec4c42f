// The menu bar: tabs, drop-down hit-testing, commands, and the polled mouse
// fed by the game core when the bar sits in a widget tree.
#include "ui_menubar.h"

#include <gtest/gtest.h>

#include <cstring>

#include "collection.h"
#include "draw.h"
#include "editor.h"
#include "ombrix.h"
#include "surface.h"
#include "ui_console.h"

namespace {

const u32 kBar = 0xFF222222, kItem = 0xFF303030, kHover = 0xFF3A3A3A, kMark = 0xFFFF0066;
const u32 kUntouched = 0xFF0000FF;

int g_runs[2];
void count_first() { ++g_runs[0]; }
void count_second() { ++g_runs[1]; }

class MenuBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mouse = mouse;
    OM_Widget bar = OM_MenuBar_Prototype;
    OM_Event init{};
    init.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_MenuBar_HandleEvent(&bar, bar.super, &init), 0);
    ASSERT_EQ(menubar.n_entries, 2);
    ASSERT_NE(menubar.entries[0].submenu, nullptr);
    file = menubar.entries[0].submenu;
    saved_commands[0] = file->entries[0].onclick;
    saved_commands[1] = file->entries[1].onclick;
    surface = OM_CreateSurface(640, 200);
    ASSERT_NE(surface, nullptr);
    clear();
    g_runs[0] = g_runs[1] = 0;
  }
  void TearDown() override {
    file->entries[0].onclick = saved_commands[0];
    file->entries[1].onclick = saved_commands[1];
    menubar.active_index = -1;
    OM_DestroySurface(surface);
    mouse = saved_mouse;
  }
  void clear() { OM_FillRect(surface, 0, 0, surface->w, surface->h, kUntouched); }
  void draw(int x, int y, int pressed) {
    mouse.cursor.x = x;
    mouse.cursor.y = y;
    mouse.LMB = pressed;
    draw_menubar(surface);
  }
  u32 px(int x, int y) { return surface->data[x + surface->step * y]; }
  void use_counters() {
    file->entries[0].onclick = count_first;
    file->entries[1].onclick = count_second;
  }

  MENU* file = nullptr;
  MENU_Command saved_commands[2];
  OM_Surface* surface = nullptr;
  OM_MouseState saved_mouse;
};

TEST_F(MenuBarTest, InitBuildsFileAndEditorOnce) {
  EXPECT_STREQ(menubar.entries[1].label, "EDITOR");
  EXPECT_EQ(menubar.entries[1].submenu, nullptr);
  ASSERT_EQ(file->n_entries, 2);
  EXPECT_STREQ(file->entries[1].label, "LOAD MAP          [CTRL + L]");
  EXPECT_EQ(saved_commands[0], save_current_map);
  EXPECT_EQ(saved_commands[1], load_map);
  // A later menu bar shares the description, with every menu closed.
  menubar.active_index = 0;
  OM_Widget other = OM_MenuBar_Prototype;
  OM_Event init{};
  init.type = OM_EVENT_INIT;
  EXPECT_EQ(OM_MenuBar_HandleEvent(&other, other.super, &init), 0);
  EXPECT_EQ(menubar.active_index, -1);
  EXPECT_EQ(menubar.entries[0].submenu, file);
}

TEST_F(MenuBarTest, HoverColoursTheTabUnderTheCursor) {
  draw(50, 10, 0);
  EXPECT_EQ(px(300, 0), kBar);
  EXPECT_EQ(px(300, 27), kBar);
  EXPECT_EQ(px(300, 28), kUntouched);
  EXPECT_EQ(px(70, 6), kHover);                     // tab 0
  EXPECT_EQ(px(150, 6), kItem);                     // tab 1
  for (int x : {4, 7}) EXPECT_EQ(px(x, 4), kMark);  // corner marks
  EXPECT_EQ(px(4, 7), kMark);
  EXPECT_EQ(px(8, 4), kHover);
  EXPECT_EQ(px(84, 4), kMark);
  EXPECT_EQ(px(84, 12), kHover);  // separator of tab 1
  EXPECT_EQ(px(100, 40), kUntouched);
  EXPECT_EQ(menubar.active_index, -1);
  // (84, 10) lies on tab 1, not tab 0.
  clear();
  draw(84, 10, 0);
  EXPECT_EQ(px(70, 6), kItem);
  EXPECT_EQ(px(150, 6), kHover);
}

TEST_F(MenuBarTest, PressOpensTheDropDownAndAgainClosesIt) {
  draw(50, 10, 1);
  EXPECT_EQ(menubar.active_index, 0);
  EXPECT_EQ(px(7, 7), kMark);  // square mark
  EXPECT_EQ(px(5, 6), kMark);
  EXPECT_EQ(px(8, 4), kHover);
  EXPECT_EQ(px(83, 23), kMark);  // underline
  for (int y : {28, 50, 52, 74}) EXPECT_EQ(px(235, y), kItem) << y;
  EXPECT_EQ(px(235, 51), kHover);  // row separators
  EXPECT_EQ(px(0, 75), kHover);
  EXPECT_EQ(px(240, 30), kUntouched);
  EXPECT_EQ(px(235, 76), kUntouched);
  draw(50, 10, 0);  // a frame without a press changes nothing
  EXPECT_EQ(menubar.active_index, 0);
  clear();
  draw(50, 10, 1);
  EXPECT_EQ(menubar.active_index, -1);
  EXPECT_EQ(px(7, 4), kMark);  // the corner again
  EXPECT_EQ(px(5, 6), kHover);
}

TEST_F(MenuBarTest, PressOnAnEntryRunsItsCommandAndKeepsTheMenuOpen) {
  use_counters();
  draw(50, 10, 1);
  draw(100, 40, 1);
  EXPECT_EQ(g_runs[0], 1);
  EXPECT_EQ(g_runs[1], 0);
  EXPECT_EQ(menubar.active_index, 0);
  EXPECT_EQ(px(100, 30), kHover);
  draw(100, 40, 0);
  EXPECT_EQ(g_runs[0], 1);
  draw(100, 60, 1);
  EXPECT_EQ(g_runs[1], 1);
  draw(300, 40, 1);  // outside the drop-down: closes
  EXPECT_EQ(menubar.active_index, -1);
  EXPECT_EQ(g_runs[0] + g_runs[1], 2);
}

TEST_F(MenuBarTest, EditorTabOpensWithoutDropDownAndReplacesFile) {
  draw(50, 10, 1);
  clear();
  draw(120, 10, 1);  // inside FILE's drop-down column, so no close first
  EXPECT_EQ(menubar.active_index, 1);
  clear();
  draw(120, 10, 0);
  EXPECT_EQ(px(100, 40), kUntouched);
  EXPECT_EQ(px(90, 23), kMark);
}

TEST_F(MenuBarTest, SaveCommandReportsOnTheConsole) {
  buffer[0] = '\0';
  draw(50, 10, 1);
  draw(100, 40, 1);
  EXPECT_NE(strstr(buffer, "Can't open file 'WORLD_DUMP' for writing!"), nullptr);
}

TEST(MenuCommands, ViewSettingsToggleAndScalesStayAtLeastOne) {
  int saved[4] = {draw_portals, draw_edges, drawVertices, relative_map_mode};
  int grid[2] = {snap_grid_x, snap_grid_y};
  f32 scale = editor_scale;
  toggle_draw_portals();
  toggle_draw_edges();
  toggle_draw_vertices();
  toggle_relative_map_mode();
  EXPECT_EQ(draw_portals, saved[0] ? 0 : 1);
  EXPECT_EQ(draw_edges, saved[1] ? 0 : 1);
  EXPECT_EQ(drawVertices, saved[2] ? 0 : 1);
  EXPECT_EQ(relative_map_mode, saved[3] ? 0 : 1);
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
  draw_portals = saved[0];
  draw_edges = saved[1];
  drawVertices = saved[2];
  relative_map_mode = saved[3];
  snap_grid_x = grid[0];
  snap_grid_y = grid[1];
  editor_scale = scale;
}

TEST(MenuCommands, AddEntryNeverWritesPastTheRoom) {
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

// A menu bar inside a widget tree, fed through the game core's polled mouse.
class MenuBarInATree : public MenuBarTest {
 protected:
  void SetUp() override {
    MenuBarTest::SetUp();
    saved_fb = OM_frameBuffer;
    saved_editor = OM_editor;
    saved_state = gameState;
    OM_editor = nullptr;  // the core feeds the polled mouse even without one
    gameState = EDITOR;
    OM_frameBuffer = OM_CreateSurface(640, 480);
    ASSERT_NE(OM_frameBuffer, nullptr);
    OM_FillRect(OM_frameBuffer, 0, 0, 640, 480, kUntouched);
    OM_Widget r = OM_Widget_Prototype;
    r.w = 640;
    r.h = 480;
    root = OM_CreateWidget(&r);
    OM_Widget b = OM_MenuBar_Prototype;
    b.x = 100;
    b.y = 50;
    b.w = 400;
    b.h = 200;
    bar = OM_CreateWidget(&b);
    ASSERT_NE(root, nullptr);
    ASSERT_NE(bar, nullptr);
    OM_Collection_Push(root->childs, &bar);
    mouse_event(OM_EVENT_MOUSE_BUTTON_UP, 0, 0, 0);
    OM_Render();
  }
  void TearDown() override {
    OM_DestroyWidget(bar);
    OM_DestroyWidget(root);
    OM_DestroySurface(OM_frameBuffer);
    OM_frameBuffer = saved_fb;
    OM_editor = saved_editor;
    gameState = saved_state;
    MenuBarTest::TearDown();
  }
  void mouse_event(OM_EventType type, int x, int y, int buttons) {
    OM_Mouse m{x, y, 0, 0, 0, buttons, 1};
    OM_Event e{};
    e.type = type;
    e.mouse = &m;
    OM_Game_Handle(&e);
  }
  // One frame as the program draws it: the tree, then the core's frame end.
  void frame() {
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = OM_frameBuffer;
    root->HandleEvent(root, root->super, &e);
    OM_Render();
  }
  u32 fb(int x, int y) { return OM_frameBuffer->data[x + OM_frameBuffer->step * y]; }

  OM_Widget* root = nullptr;
  OM_Widget* bar = nullptr;
  OM_Surface* saved_fb;
  OM_Widget* saved_editor;
  GameState saved_state;
};

TEST_F(MenuBarInATree, CursorIsReadInTheBarsOwnPixels) {
  mouse_event(OM_EVENT_MOUSE_MOVE, 150, 60, 0);  // (50, 10) of the bar
  EXPECT_EQ(mouse.cursor.x, 150);
  frame();
  EXPECT_EQ(fb(170, 56), kHover);  // tab 0, drawn at the bar's (70, 6)
  EXPECT_EQ(fb(250, 56), kItem);
  EXPECT_EQ(fb(100, 50), kBar);
  EXPECT_EQ(fb(99, 50), kUntouched);
  EXPECT_EQ(mouse.cursor.x, 150);  // left in frame-buffer pixels
}

TEST_F(MenuBarInATree, APressIsOneEventNotAHeldButton) {
  use_counters();
  mouse_event(OM_EVENT_MOUSE_BUTTON_DOWN, 150, 60, OM_LMB);
  frame();
  EXPECT_EQ(menubar.active_index, 0);
  frame();  // still held: the menu does not flicker shut
  frame();
  EXPECT_EQ(menubar.active_index, 0);
  // Moving onto the first entry with the button still down runs nothing.
  mouse_event(OM_EVENT_MOUSE_MOVE, 200, 90, OM_LMB);
  frame();
  EXPECT_EQ(g_runs[0], 0);
  // A second button going down while the left is held is no new press.
  mouse_event(OM_EVENT_MOUSE_BUTTON_DOWN, 200, 90, OM_LMB | OM_RMB);
  frame();
  EXPECT_EQ(g_runs[0], 0);
  mouse_event(OM_EVENT_MOUSE_BUTTON_UP, 200, 90, 0);
  mouse_event(OM_EVENT_MOUSE_BUTTON_DOWN, 200, 90, OM_LMB);
  frame();
  frame();
  EXPECT_EQ(g_runs[0], 1);
  EXPECT_EQ(menubar.active_index, 0);
  mouse_event(OM_EVENT_MOUSE_BUTTON_UP, 200, 90, 0);
  mouse_event(OM_EVENT_MOUSE_BUTTON_DOWN, 550, 90, OM_LMB);  // outside: closes
  frame();
  EXPECT_EQ(menubar.active_index, -1);
}

}  // namespace
