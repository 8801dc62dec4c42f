// Building levels in the running editor: scripts of keys and clicks sent
// through the game core exactly as the host sends them, on the built-in
// world and on worlds drawn from nothing. After every step the world must
// hold its invariant; after every script, undo must lead back to the start
// field for field and redo forward to the end again.
// Set OMBRIX_SHOTS to a folder to get the drawing screens as PPM pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "editor_commands.h"
#include "history.h"
#include "object_player.h"
#include "scene_support.h"
#include "surface.h"
#include "ui_console.h"
#include "world_file.h"

namespace {

std::string text_of(const OM_World* w) {
  reg size = 0;
  char why[256] = "";
  char* text = world_format(w, &size, why, sizeof why);
  std::string s = text ? std::string(text, size) : std::string("unformattable: ") + why;
  free(text);
  return s;
}

void shot(OM_Surface* s, const std::string& name) {
  const char* dir = getenv("OMBRIX_SHOTS");
  FILE* f = dir && *dir ? fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb") : nullptr;
  if (!f) return;
  fprintf(f, "P6 %d %d 255\n", s->w, s->h);
  for (int i = 0; i < s->w * s->h; ++i) {
    u32 p = s->data[i % s->w + s->step * (i / s->w)];
    unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p};
    fwrite(rgb, 1, 3, f);
  }
  fclose(f);
}

// The program as started, in the editor without the preview, with the start
// view (pan (-12, -4), zoom 24 in the 640 x 464 map at window row 16).
// The case table's checks reach the helpers too: all public.
class Build : public ::testing::Test {
 public:
  void SetUp() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    OM_Event e{};
    e.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_Game_Handle(&e), 0);
    fb = e.surface;
    data = (RV_Editor_Data*)OM_editor->data;
    ASSERT_NE(data->history, nullptr);
    gameState = EDITOR;
  }
  void TearDown() override {
    OM_Event e{};
    e.type = OM_EVENT_QUIT;
    OM_Game_Handle(&e);
    release_world(world);
  }
  // Replaces the world, as loading one does, with the player standing still
  // at its start-up place.
  void use_world(OM_World* w) {
    ASSERT_NE(w, nullptr);
    OM_World* old = world;
    world = player->world = w;
    release_world(old);
    player->object = {4.0f, 4.0f, 0.0f, 0.0f};
    player->velocity_x = player->velocity_y = 0.0f;
    player->sector = get_sector_at(world, 4.0f, 4.0f);
    RV_Editor_WorldChanged(data);
    startEdits = world->edits;
  }

  void send(OM_EventType type, int key = 0) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  void key(int k, int modifier = 0) {
    if (modifier) send(OM_EVENT_KEYBOARD_KEY_DOWN, modifier);
    send(OM_EVENT_KEYBOARD_KEY_DOWN, k);
    send(OM_EVENT_KEYBOARD_KEY_UP, k);
    if (modifier) send(OM_EVENT_KEYBOARD_KEY_UP, modifier);
  }
  void mouse(OM_EventType type, f32 mx, f32 my, int buttons, int clicks) {
    int x = (int)lroundf(((mx - 12.0f) / 24.0f + 0.5f) * 640.0f);
    int y = 16 + (int)lroundf(((my - 4.0f) / 24.0f + 0.5f) * 464.0f);
    OM_mouse = OM_Mouse{x, y, x - OM_mouse.x, y - OM_mouse.y, 0, buttons, clicks};
    OM_Event e{};
    e.type = type;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  void click(f32 x, f32 y, int clicks = 1) {
    mouse(OM_EVENT_MOUSE_MOVE, x, y, 0, OM_mouse.clicks);
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, clicks);
    mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, clicks);
  }

  // One step of a script; see the table below for the words.
  void step(const std::string& word) {
    static const struct {
      const char* word;
      int key, modifier;
    } keys[] = {
        {"ins", OM_KEY_INSERT, 0},
        {"enter", OM_KEY_ENTER, 0},
        {"bksp", OM_KEY_BACKSPACE, 0},
        {"esc", OM_KEY_ESCAPE, 0},
        {"del", OM_KEY_DELETE, 0},
        {"sdel", OM_KEY_DELETE, OM_KEY_SHIFT},
        {"pgup", OM_KEY_PAGE_UP, 0},
        {"pgdn", OM_KEY_PAGE_DOWN, 0},
        {"spgup", OM_KEY_PAGE_UP, OM_KEY_SHIFT},
        {"spgdn", OM_KEY_PAGE_DOWN, OM_KEY_SHIFT},
        {"t", OM_KEY_T, 0},
        {"f", OM_KEY_F, 0},
        {"c", OM_KEY_C, 0},
        {"l", OM_KEY_L, 0},
        {"undo", OM_KEY_Z, OM_KEY_CTRL},
        {"redo", OM_KEY_Y, OM_KEY_CTRL},
    };
    for (const auto& k : keys) {
      if (word == k.word) return key(k.key, k.modifier);
    }
    f32 x = 0, y = 0, x2 = 0, y2 = 0;
    int count = 0;
    if (sscanf(word.c_str(), "c:%f,%f", &x, &y) == 2) return click(x, y);
    if (sscanf(word.c_str(), "sc:%f,%f", &x, &y) == 2) {  // with Shift: not snapped
      keyboard.keys[OM_KEY_SHIFT] = 1;
      click(x, y);
      keyboard.keys[OM_KEY_SHIFT] = 0;
      return;
    }
    if (sscanf(word.c_str(), "p:%f,%f", &x, &y) == 2) {  // Ctrl+click: the player goes there
      send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_CTRL);
      click(x, y);
      send(OM_EVENT_KEYBOARD_KEY_UP, OM_KEY_CTRL);
      return;
    }
    if (sscanf(word.c_str(), "dd:%f,%f>%f,%f", &x, &y, &x2, &y2) == 4) {  // double-click, drag
      click(x, y, 1);
      mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 2);
      mouse(OM_EVENT_MOUSE_MOVE, x2, y2, OM_LMB, 2);
      mouse(OM_EVENT_MOUSE_BUTTON_UP, x2, y2, 0, 2);
      return;
    }
    if (sscanf(word.c_str(), "a:%f", &x) == 1) {  // face this many degrees, standing still
      player->object.angle = x * 3.14159265f / 180.0f;
      player->velocity_x = player->velocity_y = 0.0f;
      return;
    }
    if (sscanf(word.c_str(), "w:%d", &count) == 1) {  // W held for this many ticks
      send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_W);
      for (int i = 0; i < count; ++i) send(OM_EVENT_TICK);
      send(OM_EVENT_KEYBOARD_KEY_UP, OM_KEY_W);
      return;
    }
    ADD_FAILURE() << "unknown script word " << word;
  }

  // Runs the script, checking the world after every step and keeping what
  // each step printed in `said`.
  void run(const std::string& script) {
    std::istringstream words(script);
    std::string word;
    while (words >> word) {
      buffer[0] = '\0';
      step(word);
      said.push_back(buffer);
      send(OM_EVENT_DRAW);  // as the running program does: the selection follows the player
      char why[256] = "";
      ASSERT_TRUE(world_check(world, why, sizeof why)) << word << ": " << why;
    }
  }
  // The line the step `k` steps back printed.
  std::string last(size_t k = 1) { return said.size() >= k ? said[said.size() - k] : ""; }
  reg sectors() { return world_sector_count(world); }
  OM_WorldEdge edge(reg s, reg e) { return *world_edge(world, s, e); }
  // The edge of sector `s` between the vertices at (ax, ay) and (bx, by), in
  // either direction; its index, or the edge count when there is none.
  reg edge_between(reg s, f32 ax, f32 ay, f32 bx, f32 by) {
    OM_WorldSector* sector = world_sector(world, s);
    reg count = sector_edge_count(sector);
    for (reg k = 0; k < count; ++k) {
      OM_WorldVertex a = *world_vertex(world, sector_edge(sector, k)->v1);
      OM_WorldVertex b = *world_vertex(world, sector_edge(sector, k)->v2);
      if ((a.x == ax && a.y == ay && b.x == bx && b.y == by) ||
          (a.x == bx && a.y == by && b.x == ax && b.y == ay))
        return k;
    }
    return count;
  }
  int count_pixels(u32 color) {
    int n = 0;
    for (int y = 16; y < 400; ++y)
      for (int x = 0; x < 640; ++x) n += fb->data[x + fb->step * y] == color;
    return n;
  }
  reg sector_of_player() { return world_sector_index(world, player->sector); }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  OM_Surface* fb = nullptr;
  RV_Editor_Data* data = nullptr;
  std::vector<std::string> said;
  u32 startEdits = 0;
};

struct Case {
  const char* name;
  bool empty;  // start from an empty world instead of the built-in one
  std::string script;
  std::function<void(Build&)> check;
};

// Two rooms drawn on an empty world: A from (1, 0) to (3, 2), B from (9, 0)
// to (11, 2), closed the two ways.
#define TWO_ROOMS "ins c:1,0 c:3,0 c:3,2 c:1,2 c:1,0 ins c:9,0 c:11,0 c:11,2 c:9,2 enter "

const Case kCases[] = {
    {"a room against sector 2's wall is joined both ways and walked into and out of", false,
     "p:4,1 ins c:3,0 c:5,0 c:5,-2 c:3,-2 enter a:-90 w:30",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 4u);
       EXPECT_NE(t.last(3).find("Sector 3 made: 4 corners, 1 portal, floor 0, ceiling 2"),
                 std::string::npos)
           << t.last(3);
       reg k = t.edge_between(3, 3, 0, 5, 0);
       ASSERT_LT(k, 4u);
       OM_WorldEdge ours = t.edge(3, k), theirs = t.edge(2, 0);
       EXPECT_EQ(ours.type, (u32)OM_EDGE_PORTAL);
       EXPECT_EQ(ours.portal_sector, 2);
       EXPECT_EQ(ours.portal_edge, 0);
       EXPECT_EQ(theirs.type, (u32)OM_EDGE_PORTAL);
       EXPECT_EQ(theirs.portal_sector, 3);
       EXPECT_EQ(theirs.portal_edge, k);
       EXPECT_EQ(t.sector_of_player(), 3u);  // walked north through the new portal
       t.run("a:90 w:25");
       EXPECT_EQ(t.sector_of_player(), 2u);  // and back
     }},
    {"two far walls linked make a wrap-around portal the player walks through", true,
     TWO_ROOMS "p:2,1 c:3.4,1 l p:10,1 c:8.6,1 l p:2,1 a:0 w:30",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 2u);
       EXPECT_NE(t.last(4).find("Linked sector 0 edge 1 and sector 1 edge 3: going through "
                                "moves a traveller by (6, 0)"),
                 std::string::npos)
           << t.last(4);
       EXPECT_EQ(t.edge(0, 1).portal_sector, 1);
       EXPECT_EQ(t.edge(1, 3).portal_edge, 1);
       EXPECT_EQ(t.data->flag & RV_EDITOR_EDGE_MARKED, 0);
       EXPECT_EQ(t.sector_of_player(), 1u);
       EXPECT_GT(player->object.x, 9.0f);
     }},
    {"a sector drawn inside takes its host's heights, one drawn across the default", false,
     "spgup ins c:2,3 c:3,3 c:3,4 c:2,4 enter ins c:2.5,-1 c:3.5,-1 c:3.5,1 c:2.5,1 enter",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 5u);
       EXPECT_EQ(world_sector(world, 3)->ceilingHeight, 1.125f);
       EXPECT_EQ(world_sector(world, 4)->ceilingHeight, 1.0f);
       EXPECT_NE(t.last(1).find("0 portals"), std::string::npos) << t.last(1);
       EXPECT_EQ(t.sector_of_player(), 1u);
     }},
    {"corners on a wall split it and the room joins the piece between them", true,
     "ins c:1,0 c:7,0 c:7,4 c:1,4 enter p:4,2 ins c:3,4 c:3,6 c:5,6 c:5,4 c:3,4",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 2u);
       EXPECT_NE(t.last(5).find("edge 2 split there"), std::string::npos) << t.last(5);
       EXPECT_EQ(world_vertex_count(world), 8u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 0)), 6u);
       reg k = t.edge_between(0, 3, 4, 5, 4);
       ASSERT_LT(k, 6u);
       EXPECT_EQ(t.edge(0, k).type, (u32)OM_EDGE_PORTAL);
       EXPECT_EQ(t.edge(0, k).portal_sector, 1);
     }},
    {"escape takes back the splits of the drawing it cancels", true,
     "ins c:1,0 c:7,0 c:7,4 c:1,4 enter ins c:3,4 c:3,6 c:5,4 esc",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 4u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 0)), 4u);
       EXPECT_NE(t.last().find("the 2 edge splits it made are undone"), std::string::npos);
       EXPECT_EQ(history_undo_steps(t.data->history), 1u);  // only the first room
     }},
    {"deleting a vertex two sectors share closes the passage between them", false, "c:2,2 del",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 15u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 0)), 4u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 1)), 10u);
       for (reg s : {0, 1})
         for (reg k = 0; k < sector_edge_count(world_sector(world, s)); ++k)
           EXPECT_FALSE(t.edge(s, k).type == OM_EDGE_PORTAL && t.edge(s, k).portal_sector == 1 - s);
       EXPECT_EQ(t.data->flag & RV_EDITOR_VERTEX_SELECTED, 0);
       EXPECT_EQ(t.sector_of_player(), 1u);
     }},
    {"deleting a sector others portal into renumbers the rest, still walkable", false,
     "p:1,1 sdel p:4,3 a:-90 w:20",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 2u);
       EXPECT_EQ(t.edge(0, 1).type, (u32)OM_EDGE_PORTAL);  // old 1 -> old 2, renumbered
       EXPECT_EQ(t.edge(0, 1).portal_sector, 1);
       EXPECT_EQ(t.edge(1, 1).type, (u32)OM_EDGE_TEXTURE);  // it led into the deleted one
       EXPECT_EQ(t.sector_of_player(), 1u);
     }},
    {"heights stop where floor meets ceiling; textures and walls cycle", false,
     "pgup pgup spgdn spgdn spgdn spgdn spgdn spgdn spgdn pgup f f c c:2.5,4.5 t t t t t",
     [](Build& t) {
       const OM_WorldSector* s = world_sector(world, 1);
       EXPECT_EQ(s->floorHeight, 0.25f);
       EXPECT_EQ(s->ceilingHeight, 0.25f);
       EXPECT_NE(t.last(11).find("cannot go below the floor"), std::string::npos) << t.last(11);
       EXPECT_NE(t.last(10).find("cannot rise above the ceiling"), std::string::npos);
       EXPECT_STREQ(world_texture_name(world, s->floorTexture), "TEX_WDUMMY");
       EXPECT_STREQ(world_texture_name(world, s->ceilingTexture), "TEX_WBRICKS");
       // Whitewash, then the four colours, then round again: bricks.
       OM_WorldEdge e = t.edge(1, 8);
       EXPECT_EQ(e.type, (u32)OM_EDGE_TEXTURE);
       EXPECT_STREQ(world_texture_name(world, e.texture), "TEX_WBRICKS");
       EXPECT_NE(t.last(3).find("colour wall"), std::string::npos);
       EXPECT_EQ(world->edits - t.startEdits, 2u + 6u + 3u + 5u);
     }},
    {"a drag is one step, a double-click that moves nothing none, a portal split splits both",
     false, "dd:8,1>9,1 dd:9,1>9,1 c:4,2.3 dd:4,2.3>4,2.1",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 18u);
       EXPECT_EQ(world_vertex(world, 16)->x, 9.0f);
       EXPECT_EQ(history_undo_steps(t.data->history), 2u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 1)), 12u);
       EXPECT_EQ(sector_edge_count(world_sector(world, 2)), 5u);
     }},
};

TEST_F(Build, ScriptsHoldTheInvariantAndUndoAndRedoRetraceThem) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    use_world(c.empty ? world_create() : world_builtin());
    said.clear();
    const std::string start = text_of(world);
    run(c.script);
    c.check(*this);
    const std::string end = text_of(world);
    reg steps = history_undo_steps(data->history);
    ASSERT_EQ(history_redo_steps(data->history), 0u);
    for (reg i = 0; i < steps; ++i) run("undo");
    EXPECT_EQ(text_of(world), start);
    run("undo");
    EXPECT_EQ(last(), "Nothing to undo\n");
    for (reg i = 0; i < steps; ++i) run("redo");
    EXPECT_EQ(text_of(world), end);
    run("redo");
    EXPECT_EQ(last(), "Nothing to redo\n");
  }
}

}  // namespace

TEST_F(Build, TheDrawingTheRubberBandAndTheMarkShowOnTheMapAndGameplayIgnoresThem) {
  use_world(world_builtin());
  run("p:4,1 ins c:5,0 c:7,0 c:7,2");
  mouse(OM_EVENT_MOUSE_MOVE, 6.0f, 3.0f, 0, 1);  // the band runs to the snapped point
  send(OM_EVENT_DRAW);
  shot(fb, "build_drawing");
  int outline = count_pixels(RV_EDITOR_DRAWING_COLOR);
  EXPECT_GT(outline, 150);  // two edges of about 53 and 39 pixels, corners, the band
  mouse(OM_EVENT_MOUSE_MOVE, 8.0f, 3.0f, 0, 1);
  send(OM_EVENT_DRAW);
  EXPECT_NE(count_pixels(RV_EDITOR_DRAWING_COLOR), outline);

  // In gameplay the keys are the player's and a click does what it always did.
  step("ins");
  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_TAB);  // EDITOR -> GAMEPLAY
  buffer[0] = '\0';
  f32 floor = world_sector(world, 2)->floorHeight;
  for (int k : {OM_KEY_PAGE_UP, OM_KEY_ESCAPE, OM_KEY_ENTER, OM_KEY_DELETE}) key(k);
  click(6.0f, 3.0f);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(world_sector(world, 2)->floorHeight, floor);
  EXPECT_EQ(data->corners->length, 3u);
  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_TAB);  // -> EDITOR_PREVIEW
  run("c:5,2 enter");
  send(OM_EVENT_DRAW);
  shot(fb, "build_room");
  EXPECT_EQ(count_pixels(RV_EDITOR_DRAWING_COLOR), 0);
  ASSERT_EQ(sectors(), 4u);

  run("c:5.4,1 l");  // sector 2's edge x = 5, now the portal into the room
  send(OM_EVENT_DRAW);
  shot(fb, "build_mark");
  EXPECT_GT(count_pixels(RV_EDITOR_MARK_COLOR), 40);
  run("esc");
  EXPECT_EQ(count_pixels(RV_EDITOR_MARK_COLOR), 0);
}
