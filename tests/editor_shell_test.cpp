// The editor shell: bevel frame, buttons, and whole screens of the running program.
// Set OMBRIX_SHOTS to a folder to get the screens as PPM pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "collection.h"
#include "draw.h"
#include "object_player.h"
#include "scene_support.h"
#include "surface.h"
#include "ui_console.h"
#include "world_session.h"

namespace {

const u32 kLight = 0xFFEEEEEE, kDark = 0xFF888888, kBlank = 0xFF0000FF;

u32 px(OM_Surface* s, int x, int y) { return s->data[x + s->step * y]; }

void shot(OM_Surface* s, const char* name) {
  const char* dir = getenv("OMBRIX_SHOTS");
  FILE* f = dir && *dir ? fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb") : nullptr;
  if (!f) return;
  fprintf(f, "P6 %d %d 255\n", s->w, s->h);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) {
      u32 p = px(s, x, y);
      unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p};
      fwrite(rgb, 1, 3, f);
    }
  fclose(f);
}

TEST(Bevel, RingsAroundThePreviewAndTheOnePixelCase) {
  OM_Surface* s = OM_CreateSurface(640, 480);
  ASSERT_NE(s, nullptr);
  OM_FillRect(s, 0, 0, 640, 480, kBlank);
  draw_bevel_border(s, 10, 10, 1, 1, 0);
  for (int y = 8; y < 12; ++y)
    for (int x = 8; x < 12; ++x) EXPECT_EQ(px(s, x, y), kBlank);
  draw_bevel_border(s, 10, 10, 1, 1, 1);
  EXPECT_EQ(px(s, 9, 9), kLight);
  EXPECT_EQ(px(s, 10, 9), kDark);
  EXPECT_EQ(px(s, 9, 10), kDark);
  EXPECT_EQ(px(s, 10, 10), kBlank);
  EXPECT_EQ(px(s, 11, 10), kBlank);

  draw_bevel_border(s, 308, 28, 320, 240, 4);
  for (int i = 0; i < 4; ++i) {
    int l = 307 - i, t = 27 - i, r = 627 + i, b = 267 + i;
    // The bottom line starts at the left edge; the bottom-right corner stays undrawn.
    const int probes[][3] = {{l, t, 1}, {400, t, 1}, {l, 100, 1}, {l, b, 0},
                             {r, t, 0}, {r, 100, 0}, {400, b, 0}};
    for (auto& p : probes) EXPECT_EQ(px(s, p[0], p[1]), p[2] ? kLight : kDark) << i;
    EXPECT_EQ(px(s, r, b), kBlank) << i;
  }
  EXPECT_EQ(px(s, 303, 23), kBlank);
  EXPECT_EQ(px(s, 308, 28), kBlank);
  EXPECT_EQ(px(s, 626, 266), kBlank);

  OM_Widget* empty = OM_CreateWidget(&RV_Button_Prototype);  // no label: one cell, no face
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->w, 8);
  EXPECT_EQ(empty->h, 16);
  OM_Event draw{};
  draw.type = OM_EVENT_DRAW;
  draw.surface = s;
  EXPECT_EQ(empty->HandleEvent(empty, empty->super, &draw), 0);
  EXPECT_EQ(px(s, 0, 0), kBlank);
  OM_DestroyWidget(empty);
  OM_DestroySurface(s);
}

// The program as the host starts it, with start-up's editor, font and
// fallback texture kept for the rest of the run.
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    buffer[0] = '\0';  // the console as a fresh start shows it
    OM_Event e{};
    e.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_Game_Handle(&e), 0);
    fb = e.surface;
    ASSERT_NE(fb, nullptr);
    ASSERT_NE(OM_editor, nullptr);
    data = (RV_Editor_Data*)OM_editor->data;
    ASSERT_NE(data, nullptr);
  }
  void TearDown() override {
    OM_Event e{};
    e.type = OM_EVENT_QUIT;
    OM_Game_Handle(&e);
    release_world(world);
  }
  // True when every pixel of `text` drawn at (x, y) in white is white on
  // screen: the text stands exactly there.
  bool text_at(const char* text, int x, int y) {
    int w = 8 * (int)strlen(text);
    OM_Surface* t = OM_CreateSurface(w, 8);
    OM_FillRect(t, 0, 0, w, 8, 0xFF000000);
    OM_DrawText(t, text, 0, 0, OM_font, 0xFFFFFFFF);
    int lit = 0, wrong = 0;
    for (int j = 0; j < 8; ++j)
      for (int i = 0; i < w; ++i)
        if (px(t, i, j) == 0xFFFFFFFF) {
          ++lit;
          wrong += px(fb, x + i, y + j) != 0xFFFFFFFF;
        }
    OM_DestroySurface(t);
    return lit > 0 && wrong == 0;
  }
  void send(OM_EventType type, int key = 0) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  // Mouse events as the host sends them: through OM_mouse, in window pixels.
  void mouse(OM_EventType type, int x, int y, int buttons, int clicks) {
    OM_mouse = OM_Mouse{x, y, x - OM_mouse.x, y - OM_mouse.y, 0, buttons, clicks};
    OM_Event e{};
    e.type = type;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  // Window pixel of a map point in the start view (pan (-12, -4), zoom 24).
  static int wx(f32 x) { return (int)(((x - 12.0f) / 24.0f + 0.5f) * 640.0f); }
  static int wy(f32 y) { return 16 + (int)(((y - 4.0f) / 24.0f + 0.5f) * 464.0f); }
  void double_click(f32 x, f32 y) {
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, wx(x), wy(y), OM_LMB, 1);
    mouse(OM_EVENT_MOUSE_BUTTON_UP, wx(x), wy(y), 0, 1);
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, wx(x), wy(y), OM_LMB, 2);
  }
  int count(u32 color, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += px(fb, x, y) == color;
    return n;
  }
  OM_WorldVertex vertex(reg i) { return *world_vertex(world, i); }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  OM_Surface* fb = nullptr;
  RV_Editor_Data* data = nullptr;
};

TEST_F(Program, WholeScreenAtStart) {
  EXPECT_EQ(gameState, EDITOR_PREVIEW);
  send(OM_EVENT_DRAW);
  shot(fb, "editor_start");
  // Toolbar: 15 dark rows over one lighter row, "SAVE" in white at (4, 4).
  EXPECT_EQ(px(fb, 600, 0), 0xFF111111u);
  EXPECT_EQ(px(fb, 600, 14), 0xFF111111u);
  EXPECT_EQ(px(fb, 600, 15), 0xFF222222u);
  EXPECT_TRUE(text_at("SAVE", 4, 4));
  EXPECT_FALSE(text_at("SAVE", 5, 4));
  EXPECT_EQ(count(0xFFFFFFFF, 0, 0, 4, 16), 0);
  // The framed preview with its caption's top-left at (316, 36).
  EXPECT_EQ(px(fb, 304, 24), kLight);
  EXPECT_EQ(px(fb, 627, 266), kDark);
  EXPECT_EQ(px(fb, 630, 270), 0xFF000000u);  // undrawn corner over the black map
  EXPECT_TRUE(text_at("IN-GAME PREVIEW", 316, 36));
  EXPECT_FALSE(text_at("IN-GAME PREVIEW", 316, 35));
  // The map: the player's sector filled, the camera line from (106, 248).
  EXPECT_EQ(data->selectedSector, 1u);
  EXPECT_EQ(px(fb, wx(4.0f) + 8, wy(4.0f)), 0xFF00FF66u);
  EXPECT_EQ(px(fb, wx(3.0f), wy(3.5f)), 0xFF113311u);
  EXPECT_EQ(px(fb, 106, 248), 0xFF00FF66u);
  // The console: dark, with "world loaded" at its top-left.
  EXPECT_STREQ(buffer, "world loaded\n\n");
  EXPECT_EQ(px(fb, 600, 479), 0xFF111111u);
  EXPECT_TRUE(text_at("world loaded", 0, 400));
  EXPECT_EQ(count(0xFFFFFFFF, 96, 400, 640, 480), 0);

  // Tab: the editor without the preview.
  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_TAB);
  send(OM_EVENT_KEYBOARD_KEY_UP, OM_KEY_TAB);
  ASSERT_EQ(gameState, EDITOR);
  send(OM_EVENT_DRAW);
  EXPECT_EQ(px(fb, 304, 24), 0xFF000000u);
  EXPECT_FALSE(text_at("IN-GAME PREVIEW", 316, 36));
}

TEST_F(Program, EditReloadAndPlaceThePlayerOnScreen) {
  reg v = world_vertex_count(world);
  double_click(8.0f, 1.0f);  // on empty map
  mouse(OM_EVENT_MOUSE_BUTTON_UP, wx(8.0f), wy(1.0f), 0, 2);
  ASSERT_EQ(world_vertex_count(world), v + 1);
  send(OM_EVENT_DRAW);
  shot(fb, "editor_added_vertex");

  // Split sector 1's edge 8, (3.72, 5) -> (1, 5), near (2, 4.7).
  double_click(2.0f, 4.7f);
  ASSERT_EQ(world_vertex_count(world), v + 2);
  EXPECT_NEAR(vertex(v + 1).y, 5.0f, 1e-3f);
  send(OM_EVENT_DRAW);
  shot(fb, "editor_split_edge");

  // Keep the button down and drag the new vertex to (2, 6).
  mouse(OM_EVENT_MOUSE_MOVE, wx(2.1f), wy(6.1f), OM_LMB, 2);
  EXPECT_EQ(vertex(v + 1).x, 2.0f);
  EXPECT_EQ(vertex(v + 1).y, 6.0f);
  mouse(OM_EVENT_MOUSE_BUTTON_UP, wx(2.1f), wy(6.1f), 0, 2);
  send(OM_EVENT_DRAW);
  shot(fb, "editor_dragged_vertex");
  shot(preview, "preview");
  // The fill follows the new outline out to the dragged corner.
  EXPECT_EQ(px(fb, wx(2.0f), wy(5.5f)), 0xFF113311u);
  EXPECT_EQ(px(fb, wx(2.0f) - 10, wy(4.5f)), 0xFF113311u);

  // Ctrl+click places the player in gameplay too and finds its sector.
  gameState = GAMEPLAY;
  keyboard.keys[OM_KEY_CTRL] = 1;
  mouse(OM_EVENT_MOUSE_BUTTON_DOWN, wx(8.0f), wy(1.0f), OM_LMB, 1);  // outside every sector
  EXPECT_EQ(player->sector, nullptr);
  mouse(OM_EVENT_MOUSE_BUTTON_DOWN, wx(1.0f), wy(1.0f), OM_LMB, 1);
  keyboard.keys[OM_KEY_CTRL] = 0;
  EXPECT_NEAR(player->object.x, 1.0f, 0.05f);
  EXPECT_NEAR(player->object.y, 1.0f, 0.05f);
  EXPECT_EQ(player->object.z, 0.0f);
  EXPECT_EQ(player->sector, world_sector(world, 0));
  EXPECT_EQ(world_vertex_count(world), v + 2);
  EXPECT_EQ(data->flag, RV_EDITOR_VERTEX_SELECTED);  // the selection is not touched
  send(OM_EVENT_TICK);
  EXPECT_EQ(OM_camera->object.x, player->object.x);
  gameState = EDITOR;
  send(OM_EVENT_DRAW);
  EXPECT_EQ(data->selectedSector, 0u);

  // A reload drops the selection and the dragged line.
  double_click(8.0f, 1.0f);
  mouse(OM_EVENT_MOUSE_MOVE, wx(9.0f), wy(1.0f), OM_LMB, 1);
  ASSERT_EQ(data->flag, RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_LINE_DRAGGED);
  reload_world();
  EXPECT_EQ(data->flag, 0);
  EXPECT_EQ(world_vertex_count(world), 16u);
  send(OM_EVENT_DRAW);
}

}  // namespace
