// The editor shell: bevel frame, panel widgets, layout, and whole screens of
// the running program (set OMBRIX_SHOTS to a folder to get them as PNGs).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "collection.h"
#include "draw.h"
#include "editor.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "surface.h"
#include "ui_console.h"
#include "world.h"

namespace {

const u32 kLight = 0xFFEEEEEE, kDark = 0xFF888888, kBlank = 0xFF0000FF;

u32 px(OM_Surface* s, int x, int y) { return s->data[x + s->step * y]; }

// --- A small PNG writer (stored deflate blocks) for looking at screens ---

u32 crc_table[256];
u32 crc(const unsigned char* p, size_t n, u32 c = 0xFFFFFFFFu) {
  if (!crc_table[1])
    for (u32 i = 0; i < 256; ++i) {
      u32 v = i;
      for (int k = 0; k < 8; ++k) v = v & 1 ? 0xEDB88320u ^ (v >> 1) : v >> 1;
      crc_table[i] = v;
    }
  for (size_t i = 0; i < n; ++i) c = crc_table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c;
}
void put32(std::string& s, u32 v) {
  for (int k = 3; k >= 0; --k) s.push_back((char)((v >> (8 * k)) & 0xFF));
}
void chunk(std::string& out, const char* type, const std::string& body) {
  put32(out, (u32)body.size());
  std::string t = std::string(type, 4) + body;
  out += t;
  put32(out, crc((const unsigned char*)t.data(), t.size()) ^ 0xFFFFFFFFu);
}
void write_png(OM_Surface* s, const char* name) {
  const char* dir = getenv("OMBRIX_SHOTS");
  if (!dir || !*dir) return;
  std::string raw;
  for (int y = 0; y < s->h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < s->w; ++x) {
      u32 p = px(s, x, y);
      raw.push_back((char)(p >> 16));
      raw.push_back((char)(p >> 8));
      raw.push_back((char)p);
    }
  }
  std::string z = "\x78\x01";
  u32 a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size(); at += 65535) {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back((char)(n & 0xFF));
    z.push_back((char)(n >> 8));
    z.push_back((char)(~n & 0xFF));
    z.push_back((char)((~n >> 8) & 0xFF));
    z.append(raw, at, n);
  }
  put32(z, (b << 16) | a);
  std::string ihdr;
  put32(ihdr, (u32)s->w);
  put32(ihdr, (u32)s->h);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  std::string path = std::string(dir) + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(png.data(), 1, png.size(), f);
  fclose(f);
}

// --- Bevel frame ---

class Bevel : public ::testing::Test {
 protected:
  void SetUp() override {
    s = OM_CreateSurface(640, 480);
    ASSERT_NE(s, nullptr);
    OM_FillRect(s, 0, 0, 640, 480, kBlank);
  }
  void TearDown() override { OM_DestroySurface(s); }
  OM_Surface* s = nullptr;
};

TEST_F(Bevel, OnePixelRectangleAndZeroThickness) {
  draw_bevel_border(s, 10, 10, 1, 1, 0);
  for (int y = 8; y < 12; ++y)
    for (int x = 8; x < 12; ++x) EXPECT_EQ(px(s, x, y), kBlank);
  draw_bevel_border(s, 10, 10, 1, 1, 1);
  EXPECT_EQ(px(s, 9, 9), kLight);
  EXPECT_EQ(px(s, 10, 9), kDark);
  EXPECT_EQ(px(s, 9, 10), kDark);
  EXPECT_EQ(px(s, 10, 10), kBlank);
  EXPECT_EQ(px(s, 11, 10), kBlank);
}

TEST_F(Bevel, FourRingsAroundThePreview) {
  draw_bevel_border(s, 308, 28, 320, 240, 4);
  for (int i = 0; i < 4; ++i) {
    int left = 307 - i, top = 27 - i, right = 627 + i, bottom = 267 + i;
    EXPECT_EQ(px(s, left, top), kLight) << i;
    EXPECT_EQ(px(s, 400, top), kLight) << i;
    EXPECT_EQ(px(s, left, 100), kLight) << i;
    EXPECT_EQ(px(s, left, bottom), kDark) << i;  // the bottom line starts there
    EXPECT_EQ(px(s, right, top), kDark) << i;
    EXPECT_EQ(px(s, right, 100), kDark) << i;
    EXPECT_EQ(px(s, 400, bottom), kDark) << i;
    EXPECT_EQ(px(s, right, bottom), kBlank) << i;  // the undrawn corner
  }
  EXPECT_EQ(px(s, 303, 23), kBlank);
  EXPECT_EQ(px(s, 308, 28), kBlank);
  EXPECT_EQ(px(s, 626, 266), kBlank);
}

TEST_F(Bevel, ButtonsMeasureTheirLabelAndDrawTheirFace) {
  OM_Widget proto = RV_Button_Prototype;
  OM_Widget* empty = OM_CreateWidget(&proto);  // no label: one empty cell, no face
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->w, 8);
  EXPECT_EQ(empty->h, 16);
  OM_Event draw{};
  draw.type = OM_EVENT_DRAW;
  draw.surface = s;
  EXPECT_EQ(empty->HandleEvent(empty, empty->super, &draw), 0);
  EXPECT_EQ(px(s, 0, 0), kBlank);
  proto.data = (void*)"OK";
  OM_Widget* ok = OM_CreateWidget(&proto);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->HandleEvent(ok, ok->super, &draw), 0);
  EXPECT_EQ(px(s, 0, 0), 0xFFFF0066u);
  EXPECT_EQ(px(s, 23, 15), 0xFFFF0066u);
  EXPECT_EQ(px(s, 24, 0), kBlank);
  OM_DestroyWidget(empty);
  OM_DestroyWidget(ok);
}

// --- The running program ---

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
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    release_world(world);
    world = nullptr;
    player->world = nullptr;
    player->sector = nullptr;
    gameState = EDITOR;
  }
  // True when every pixel of `text` drawn at (x, y) in white is white on
  // screen: the text stands exactly there.
  bool text_at(const char* text, int x, int y) {
    if (!OM_font) return false;
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
  void frame() {
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    OM_Game_Handle(&e);
  }
  // Mouse events as the host sends them: through OM_mouse, in window pixels.
  void mouse(OM_EventType type, int x, int y, int buttons, int clicks) {
    OM_mouse.dx = x - OM_mouse.x;
    OM_mouse.dy = y - OM_mouse.y;
    OM_mouse.x = x;
    OM_mouse.y = y;
    OM_mouse.buttons = buttons;
    OM_mouse.clicks = clicks;
    OM_Event e{};
    e.type = type;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  // Window pixel of a map point in the start view (pan (-12, -4), zoom 24).
  static int wx(f32 x) { return (int)(((x - 12.0f) / 24.0f + 0.5f) * 640.0f); }
  static int wy(f32 y) { return 16 + (int)(((y - 4.0f) / 24.0f + 0.5f) * 464.0f); }
  void double_click(int x, int y) {
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 1);
    mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, 1);
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 2);
  }
  int count(u32 color, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += px(fb, x, y) == color;
    return n;
  }
  OM_WorldVertex vertex(reg i) { return ((OM_WorldVertex*)world->vertices->data)[i]; }

  OM_Surface* fb = nullptr;
  RV_Editor_Data* data = nullptr;
};

TEST_F(Program, EditorTreeAndStateAtStart) {
  ASSERT_EQ(OM_editor->childs->length, 3u);
  OM_Widget** kids = (OM_Widget**)OM_editor->childs->data;
  const int rects[3][4] = {{0, 0, 640, 16}, {0, 16, 640, 464}, {0, 400, 640, 80}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(kids[i]->x, rects[i][0]);
    EXPECT_EQ(kids[i]->y, rects[i][1]);
    EXPECT_EQ(kids[i]->w, rects[i][2]);
    EXPECT_EQ(kids[i]->h, rects[i][3]);
  }
  EXPECT_EQ(kids[1]->HandleEvent, RV_Editor_Viewport_HandleEvent);
  ASSERT_EQ(kids[0]->childs->length, 1u);
  OM_Widget* save = ((OM_Widget**)kids[0]->childs->data)[0];
  EXPECT_STREQ((const char*)save->data, "SAVE");
  EXPECT_EQ(save->w, 40);
  EXPECT_EQ(save->h, 16);
  EXPECT_EQ(data->camera.object.x, -12.0f);
  EXPECT_EQ(data->camera.object.y, -4.0f);
  EXPECT_EQ(data->camera.object.z, 24.0f);
  EXPECT_EQ(data->flag, 0);
  EXPECT_EQ(preview_x, 308);
  EXPECT_EQ(preview_y, 28);
}

TEST_F(Program, WholeScreenAtStart) {
  EXPECT_EQ(gameState, EDITOR_PREVIEW);
  frame();
  write_png(fb, "editor_start.png");
  // Toolbar: 15 dark rows over one lighter row, "SAVE" in white at (4, 4).
  EXPECT_EQ(px(fb, 600, 0), 0xFF111111u);
  EXPECT_EQ(px(fb, 600, 14), 0xFF111111u);
  EXPECT_EQ(px(fb, 600, 15), 0xFF222222u);
  EXPECT_TRUE(text_at("SAVE", 4, 4));
  EXPECT_FALSE(text_at("SAVE", 5, 4));
  EXPECT_EQ(count(0xFFFFFFFF, 0, 0, 4, 16), 0);
  // The framed preview with its caption's top-left at (316, 36).
  EXPECT_EQ(px(fb, 307, 27), kLight);
  EXPECT_EQ(px(fb, 304, 24), kLight);
  EXPECT_EQ(px(fb, 627, 100), kDark);
  EXPECT_EQ(px(fb, 630, 270), 0xFF000000u);  // undrawn corner over the black map
  EXPECT_NE(px(fb, 627, 267), kDark);
  EXPECT_EQ(px(fb, 627, 266), kDark);
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
  OM_Event key{};
  key.type = OM_EVENT_KEYBOARD_KEY_DOWN;
  key.key = 9;
  OM_Game_Handle(&key);
  key.type = OM_EVENT_KEYBOARD_KEY_UP;
  OM_Game_Handle(&key);
  ASSERT_EQ(gameState, EDITOR);
  frame();
  EXPECT_EQ(px(fb, 307, 27), 0xFF000000u);
  EXPECT_FALSE(text_at("IN-GAME PREVIEW", 316, 36));
  write_png(fb, "editor_no_preview.png");
}

TEST_F(Program, AddSplitAndDragOnScreen) {
  frame();
  reg v = world->vertices->length;
  // A vertex on empty map at (8, 1).
  double_click(wx(8.0f), wy(1.0f));
  mouse(OM_EVENT_MOUSE_BUTTON_UP, wx(8.0f), wy(1.0f), 0, 2);
  ASSERT_EQ(world->vertices->length, v + 1);
  frame();
  write_png(fb, "editor_added_vertex.png");
  EXPECT_GT(count(0xFFFF0066, wx(8.0f) - 4, wy(1.0f) - 4, wx(8.0f) + 4, wy(1.0f) + 4), 40);

  // Split sector 1's edge 8, (3.72, 5) -> (1, 5), near (2, 4.7).
  OM_WorldSector* s1 = &((OM_WorldSector*)world->sectors->data)[1];
  reg edges = s1->edges->length;
  double_click(wx(2.0f), wy(4.7f));
  ASSERT_EQ(world->vertices->length, v + 2);
  ASSERT_EQ(s1->edges->length, edges + 1);
  OM_WorldEdge* e = (OM_WorldEdge*)s1->edges->data;
  EXPECT_EQ(e[8].v1, v + 1);
  EXPECT_EQ(e[edges].v1, 12);
  EXPECT_EQ(e[edges].v2, v + 1);
  EXPECT_EQ(e[edges].type, (u32)OM_EDGE_TEXTURE);
  EXPECT_NEAR(vertex(v + 1).y, 5.0f, 1e-3f);
  frame();
  write_png(fb, "editor_split_edge.png");

  // Keep the button down and drag the new vertex to (2, 6).
  mouse(OM_EVENT_MOUSE_MOVE, wx(2.1f), wy(6.1f), OM_LMB, 2);
  EXPECT_EQ(vertex(v + 1).x, 2.0f);
  EXPECT_EQ(vertex(v + 1).y, 6.0f);
  mouse(OM_EVENT_MOUSE_BUTTON_UP, wx(2.1f), wy(6.1f), 0, 2);
  frame();
  write_png(fb, "editor_dragged_vertex.png");
  // The fill follows the new outline out to the dragged corner.
  EXPECT_EQ(px(fb, wx(2.0f), wy(5.5f)), 0xFF113311u);
  EXPECT_EQ(px(fb, wx(2.0f) - 10, wy(4.5f)), 0xFF113311u);
  write_png(preview, "preview.png");
}

TEST_F(Program, CtrlClickMovesThePlayerInEveryState) {
  keyboard.keys[0x11] = 1;
  gameState = GAMEPLAY;
  mouse(OM_EVENT_MOUSE_BUTTON_DOWN, wx(1.0f), wy(1.0f), OM_LMB, 1);
  keyboard.keys[0x11] = 0;
  EXPECT_NEAR(player->object.x, 1.0f, 0.05f);
  EXPECT_NEAR(player->object.y, 1.0f, 0.05f);
  EXPECT_EQ(player->sector, &((OM_WorldSector*)world->sectors->data)[0]);
  OM_Event tick{};
  tick.type = OM_EVENT_TICK;
  OM_Game_Handle(&tick);
  EXPECT_EQ(OM_camera->object.x, player->object.x);
  gameState = EDITOR;
  frame();
  EXPECT_EQ(data->selectedSector, 0u);
}

TEST_F(Program, ReloadDropsTheSelection) {
  double_click(wx(8.0f), wy(1.0f));
  mouse(OM_EVENT_MOUSE_MOVE, wx(9.0f), wy(1.0f), OM_LMB, 1);
  ASSERT_TRUE(data->flag & RV_EDITOR_VERTEX_SELECTED);
  reload_world();
  EXPECT_EQ(data->flag, 0);
  EXPECT_EQ(world->vertices->length, 16u);
  frame();
}

}  // namespace
