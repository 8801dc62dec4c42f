// Building levels in the running editor, driven through the game core as the
// host drives it: a table of command scripts on the built-in world and on
// worlds drawn from nothing, whose undo must lead back to the start field for
// field and whose redo forward to the end; the drawing and the mark on the
// map; the edit step a command makes; and a seeded random session of keys,
// clicks, drags, wheel, ticks and frames. The world's invariant is checked
// after every step and event, and get_sector_at against the plain winding
// test after every event.
//
// The session has OMBRIX_SESSION_EVENTS events (default 200000, well under a
// minute in the sanitizer build); before a release, run a few million:
//   OMBRIX_SESSION_EVENTS=5000000 ./ombrix_tests --gtest_filter='Session.*'
// OMBRIX_SESSION_SEED picks another session.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "collection.h"
#include "editor_commands.h"
#include "editor_steps.h"
#include "history.h"
#include "object_player.h"
#include "scene_support.h"
#include "sector_reference.h"
#include "surface.h"
#include "ui_console.h"
#include "world_file.h"

namespace {

namespace fs = std::filesystem;

// The program as started, in the editor without the preview, in a working
// folder of the test's own: the program's default file and its autosave
// land there.
class Running : public ::testing::Test {
 public:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
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
    send(OM_EVENT_QUIT);
    release_world(world);
    std::error_code ec;
    fs::current_path(home, ec);
    fs::remove_all(dir, ec);
    // The shared parent stays: CTest runs tests side by side, and removing
    // it can pull it from under another test's create_directories.
  }
  void send(OM_EventType type, int key = 0) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  void hold(int key, bool down) {
    send(down ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP, key);
  }
  void key(int k, int modifier = 0) {
    if (modifier) hold(modifier, true);
    hold(k, true);
    hold(k, false);
    if (modifier) hold(modifier, false);
  }
  // At window pixel (x, y), through the host's mouse record.
  void mouse(OM_EventType type, int x, int y, int buttons, int clicks, int wheel = 0) {
    OM_mouse = OM_Mouse{x, y, x - OM_mouse.x, y - OM_mouse.y, wheel, buttons, clicks};
    OM_Event e{};
    e.type = type;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  void click(int x, int y, int clicks = 1) {
    mouse(OM_EVENT_MOUSE_MOVE, x, y, 0, OM_mouse.clicks);
    mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, clicks);
    mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, clicks);
  }
  // The window pixel of a map point in the current view, held to the map.
  OM_Widget* viewport() {
    OM_Widget* view = nullptr;
    for (reg i = 0; i < OM_editor->childs->length; ++i) {
      OM_Widget* child = static_cast<OM_Widget**>(OM_editor->childs->data)[i];
      if (child->HandleEvent == RV_Editor_Viewport_HandleEvent) view = child;
    }
    return view;
  }
  void to_window(f32 mx, f32 my, int* x, int* y) {
    RV_Editor_Viewport_ViewportToScreen(viewport(), &data->camera, &mx, &my);
    *x = (int)lroundf(fminf(fmaxf(mx, 0.0f), 639.0f));
    *y = (int)lroundf(fminf(fmaxf(my, 0.0f), 463.0f)) + 16;
  }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  fs::path home = fs::current_path();
  fs::path dir =
      home / "om_build" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
  OM_Surface* fb = nullptr;
  RV_Editor_Data* data = nullptr;
};

uint64_t env_number(const char* name, uint64_t fallback) {
  const char* v = getenv(name);
  return v && *v ? strtoull(v, nullptr, 10) : fallback;
}

std::string text_of(const OM_World* w) {
  reg size = 0;
  char why[256] = "";
  char* text = world_format(w, &size, why, sizeof why);
  std::string s = text ? std::string(text, size) : std::string("unformattable: ") + why;
  free(text);
  return s;
}

// ---- Scripts ---------------------------------------------------------------

class Build : public Running {
 public:
  // Replaces the world as loading one does; the player stands still at (4, 4).
  void use_world(OM_World* w) {
    ASSERT_NE(w, nullptr);
    release_world(world);
    world = player->world = w;
    player->object = {4.0f, 4.0f, 0.0f, 0.0f};
    player->velocity_x = player->velocity_y = 0.0f;
    player->sector = get_sector_at(world, 4.0f, 4.0f);
    RV_Editor_WorldChanged(data);
    startEdits = world->edits;
  }
  void step(const std::string& word) {
    static const struct {
      const char* word;
      int key, modifier;
    } keys[] = {{"ins", OM_KEY_INSERT, 0},
                {"enter", OM_KEY_ENTER, 0},
                {"bksp", OM_KEY_BACKSPACE, 0},
                {"esc", OM_KEY_ESCAPE, 0},
                {"del", OM_KEY_DELETE, 0},
                {"sdel", OM_KEY_DELETE, OM_KEY_SHIFT},
                {"pgup", OM_KEY_PAGE_UP, 0},
                {"spgup", OM_KEY_PAGE_UP, OM_KEY_SHIFT},
                {"spgdn", OM_KEY_PAGE_DOWN, OM_KEY_SHIFT},
                {"t", OM_KEY_T, 0},
                {"f", OM_KEY_F, 0},
                {"c", OM_KEY_C, 0},
                {"l", OM_KEY_L, 0},
                {"undo", OM_KEY_Z, OM_KEY_CTRL},
                {"redo", OM_KEY_Y, OM_KEY_CTRL}};
    for (const auto& k : keys)
      if (word == k.word) return key(k.key, k.modifier);
    f32 mx = 0, my = 0, tx = 0, ty = 0;
    int x, y, tox, toy;
    char what = word[0];
    if (sscanf(word.c_str() + 1, ":%f,%f>%f,%f", &mx, &my, &tx, &ty) < 1) what = '?';
    to_window(mx, my, &x, &y);
    switch (what) {
      case 'c': return click(x, y);  // c:X,Y a click at that map point
      case 'p':                      // p:X,Y Ctrl+click: the player goes there
        hold(OM_KEY_CTRL, true);
        click(x, y);
        return hold(OM_KEY_CTRL, false);
      case 'd':  // d:X,Y>X,Y a double-click, dragged to the second point
        to_window(tx, ty, &tox, &toy);
        click(x, y);
        mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 2);
        mouse(OM_EVENT_MOUSE_MOVE, tox, toy, OM_LMB, 2);
        return mouse(OM_EVENT_MOUSE_BUTTON_UP, tox, toy, 0, 2);
      case 'a':  // a:DEGREES the player faces there, standing still
        player->object.angle = mx * 3.14159265f / 180.0f;
        player->velocity_x = player->velocity_y = 0.0f;
        return;
      case 'w':  // w:TICKS W held that long
        hold(OM_KEY_W, true);
        for (int i = 0; i < (int)mx; ++i) send(OM_EVENT_TICK);
        return hold(OM_KEY_W, false);
      default: ADD_FAILURE() << "unknown script word " << word;
    }
  }
  // Each step is followed by a frame, as in the running program (the
  // selection follows the player); what it printed is kept in `said`.
  void run(const std::string& script) {
    std::istringstream words(script);
    std::string word;
    while (words >> word) {
      buffer[0] = '\0';
      step(word);
      said.push_back(buffer);
      send(OM_EVENT_DRAW);
      char why[256] = "";
      ASSERT_TRUE(world_check(world, why, sizeof why)) << word << ": " << why;
    }
  }
  // What the step `k` steps back printed.
  std::string last(size_t k = 1) { return said.size() >= k ? said[said.size() - k] : ""; }
  bool said_last(size_t k, const char* text) { return last(k).find(text) != std::string::npos; }
  reg sectors() { return world_sector_count(world); }
  OM_WorldEdge edge(reg s, reg e) { return *world_edge(world, s, e); }
  reg edges(reg s) { return sector_edge_count(world_sector(world, s)); }
  reg player_sector() { return world_sector_index(world, player->sector); }
  bool portal(reg s, reg e, reg to, reg toEdge) {
    OM_WorldEdge p = edge(s, e);
    return p.type == OM_EDGE_PORTAL && p.portal_sector == to && p.portal_edge == toEdge;
  }
  int count_pixels(u32 color) {
    int n = 0;
    for (int y = 16; y < 400; ++y)
      for (int x = 0; x < 640; ++x) n += fb->data[x + fb->step * y] == color;
    return n;
  }

  std::vector<std::string> said;
  u32 startEdits = 0;
};

struct Case {
  const char* name;
  bool empty;  // from an empty world rather than the built-in one
  std::string script;
  std::function<void(Build&)> check;
};

const Case kCases[] = {
    {"a room against sector 2's wall is joined both ways, walked into and out of", false,
     "p:4,1 ins c:3,0 c:5,0 c:5,-2 c:3,-2 enter a:-90 w:30",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 4u);
       EXPECT_TRUE(t.said_last(3, "Sector 3 made: 4 corners, 1 portal, floor 0, ceiling 2"));
       // Drawn the other way round: stored reversed from corner 0, so the
       // last edge runs (5, 0) -> (3, 0).
       EXPECT_TRUE(t.portal(3, 3, 2, 0));
       EXPECT_TRUE(t.portal(2, 0, 3, 3));
       EXPECT_EQ(t.player_sector(), 3u);
       t.run("a:90 w:25");
       EXPECT_EQ(t.player_sector(), 2u);
     }},
    {"two far walls linked are a wrap-around portal the player walks through", true,
     "ins c:1,0 c:3,0 c:3,2 c:1,2 c:1,0 ins c:9,0 c:11,0 c:11,2 c:9,2 enter "
     "p:2,1 c:3.4,1 l p:10,1 c:8.6,1 l p:2,1 a:0 w:30",
     [](Build& t) {
       EXPECT_TRUE(t.said_last(4,
                               "Linked sector 0 edge 1 and sector 1 edge 3: going through "
                               "moves a traveller by (6, 0)"))
           << t.last(4);
       EXPECT_TRUE(t.portal(0, 1, 1, 3));
       EXPECT_TRUE(t.portal(1, 3, 0, 1));
       EXPECT_EQ(t.data->flag & RV_EDITOR_EDGE_MARKED, 0);
       EXPECT_EQ(t.player_sector(), 1u);
       EXPECT_GT(player->object.x, 9.0f);
     }},
    {"drawn inside a sector it takes its heights, drawn across the default", false,
     "spgup ins c:2,3 c:3,3 c:9,9 bksp c:3,4 c:2,4 enter "
     "ins c:2.5,-1 c:3.5,-1 c:3.5,1 c:2.5,1 enter",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 5u);
       EXPECT_EQ(world_sector(world, 3)->ceilingHeight, 1.125f);
       EXPECT_EQ(t.edges(3), 4u);  // Backspace took back (9, 9)
       EXPECT_EQ(world_sector(world, 4)->ceilingHeight, 1.0f);
       EXPECT_TRUE(t.said_last(1, "0 portals"));
       EXPECT_EQ(t.player_sector(), 1u);
     }},
    {"corners on a wall split it, and the room joins the piece between them", true,
     "ins c:1,0 c:7,0 c:7,4 c:1,4 enter p:4,2 ins c:3,4 c:3,6 c:5,6 c:5,4 c:3,4",
     [](Build& t) {
       EXPECT_TRUE(t.said_last(5, "sector 0 edge 2 split there"));
       EXPECT_EQ(world_vertex_count(world), 8u);
       ASSERT_EQ(t.edges(0), 6u);  // the second split cut the first's A -> N half
       EXPECT_EQ(t.edge(0, 4).type, (u32)OM_EDGE_PORTAL);
       EXPECT_EQ(t.edge(0, 4).portal_sector, 1);
     }},
    {"Escape takes back the splits of the drawing it cancels", true,
     "ins c:1,0 c:7,0 c:7,4 c:1,4 enter ins c:3,4 c:3,6 c:5,4 esc",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 4u);
       EXPECT_EQ(t.edges(0), 4u);
       EXPECT_TRUE(t.said_last(1, "the 2 edge splits it made are undone"));
       EXPECT_EQ(history_undo_steps(t.data->history), 1u);
     }},
    {"deleting a vertex two sectors share closes the passage between them", false, "c:2,2 del",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 15u);
       ASSERT_EQ(t.edges(0), 4u);
       ASSERT_EQ(t.edges(1), 10u);
       for (reg s : {0, 1})
         for (reg k = 0; k < t.edges(s); ++k)
           EXPECT_FALSE(t.edge(s, k).type == OM_EDGE_PORTAL && t.edge(s, k).portal_sector == 1 - s);
       EXPECT_EQ(t.data->flag & RV_EDITOR_VERTEX_SELECTED, 0);
       EXPECT_EQ(t.player_sector(), 1u);
     }},
    {"deleting a sector others portal into renumbers the rest, still walkable", false,
     "p:1,1 sdel p:4,3 a:-90 w:20",
     [](Build& t) {
       ASSERT_EQ(t.sectors(), 2u);
       EXPECT_TRUE(t.portal(0, 1, 1, 2));                   // old 1 -> old 2, renumbered
       EXPECT_EQ(t.edge(1, 1).type, (u32)OM_EDGE_TEXTURE);  // it led into the deleted one
       EXPECT_EQ(t.player_sector(), 1u);
     }},
    {"heights stop where floor meets ceiling; textures and walls go round", false,
     "pgup pgup spgdn spgdn spgdn spgdn spgdn spgdn spgdn pgup f f c c:2.5,4.5 t t t t t",
     [](Build& t) {
       const OM_WorldSector* s = world_sector(world, 1);
       EXPECT_EQ(s->floorHeight, 0.25f);
       EXPECT_EQ(s->ceilingHeight, 0.25f);
       EXPECT_TRUE(t.said_last(11, "the ceiling cannot go below the floor"));
       EXPECT_TRUE(t.said_last(10, "the floor cannot rise above the ceiling"));
       EXPECT_STREQ(world_texture_name(world, s->floorTexture), "TEX_WDUMMY");
       EXPECT_STREQ(world_texture_name(world, s->ceilingTexture), "TEX_WBRICKS");
       // Whitewash, then the four colour walls, then round again to bricks.
       EXPECT_TRUE(t.said_last(3, "colour wall"));
       EXPECT_STREQ(world_texture_name(world, t.edge(1, 8).texture), "TEX_WBRICKS");
       EXPECT_EQ(world->edits - t.startEdits, 2u + 6u + 3u + 5u);  // one for each edit
     }},
    {"T on a portal cycles its own step texture; a split keeps it on both halves", false,
     "c:4,2.3 t t t p:4,1 c:3.8,1.8 t t t t t t t p:4,4 d:4,2.3>4,2.1",
     [](Build& t) {
       EXPECT_TRUE(t.said_last(12, "edge 1: steps seen through the portal drawn with TEX_WBRICKS"));
       EXPECT_TRUE(t.said_last(4, "edge 2: steps seen through the portal drawn like the floor"));
       // Each side's halves keep its step texture, decoded for the renderer.
       EXPECT_TRUE(t.edge(1, 1).portal_step == 3 && t.edge(1, 11).portal_step == 3);
       EXPECT_TRUE(t.edge(2, 2).portal_step == 1 && t.edge(2, 4).portal_step == 1);
       EXPECT_NE(world_step_texture(world, world_edge(world, 2, 4)), nullptr);
     }},
    {"a drag is one step, a double-click moving nothing none; a portal splits whole", false,
     "d:8,1>9,1 d:9,1>9,1 c:4,2.3 d:4,2.3>4,2.1",
     [](Build& t) {
       EXPECT_EQ(world_vertex_count(world), 18u);
       EXPECT_EQ(world_vertex(world, 16)->x, 9.0f);
       EXPECT_EQ(history_undo_steps(t.data->history), 2u);
       EXPECT_EQ(t.edges(1), 12u);
       EXPECT_EQ(t.edges(2), 5u);
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
    for (reg i = 0; i <= steps; ++i) run("undo");
    EXPECT_EQ(last(), "Nothing to undo\n");
    EXPECT_EQ(text_of(world), start);
    for (reg i = 0; i <= steps; ++i) run("redo");
    EXPECT_EQ(last(), "Nothing to redo\n");
    EXPECT_EQ(text_of(world), end);
  }
}

// Ctrl+click in heights mode stands the eye at its height above the floor
// of the room clicked into.
TEST_F(Build, CtrlClickInHeightsModeStandsTheEyeOnTheFloorThere) {
  use_world(world_builtin());
  world_sector(world, 2)->floorHeight = 0.5f;
  player->eye_height = 0.75f;
  heights_mode = 1;
  run("p:4,1");
  EXPECT_EQ(player->object.z, 1.25f);
}

TEST_F(Build, TheDrawingAndTheMarkShowOnTheMapAndGameplayKeepsItsKeysAndClicks) {
  use_world(world_builtin());
  run("p:4,1 ins c:5,0 c:7,0 c:7,2");
  int x, y;
  to_window(6.0f, 3.0f, &x, &y);
  mouse(OM_EVENT_MOUSE_MOVE, x, y, 0, 1);
  send(OM_EVENT_DRAW);
  int outline = count_pixels(RV_EDITOR_DRAWING_COLOR);
  EXPECT_GT(outline, 150);  // two edges of about 53 and 39 pixels, the corners, the band
  to_window(8.0f, 3.0f, &x, &y);
  mouse(OM_EVENT_MOUSE_MOVE, x, y, 0, 1);
  send(OM_EVENT_DRAW);
  EXPECT_NE(count_pixels(RV_EDITOR_DRAWING_COLOR), outline);  // the band followed

  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_TAB);  // EDITOR -> GAMEPLAY
  buffer[0] = '\0';
  for (int k : {OM_KEY_PAGE_UP, OM_KEY_ESCAPE, OM_KEY_ENTER, OM_KEY_DELETE, OM_KEY_INSERT}) key(k);
  click(x, y);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(world_sector(world, 2)->floorHeight, 0.0f);
  EXPECT_EQ(data->corners->length, 3u);
  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_TAB);  // -> EDITOR_PREVIEW, still drawing
  run("c:5,2 enter");
  ASSERT_EQ(sectors(), 4u);
  EXPECT_EQ(count_pixels(RV_EDITOR_DRAWING_COLOR), 0);
  run("c:5.4,1 l");  // sector 2's edge x = 5, now the portal into the room
  EXPECT_GT(count_pixels(RV_EDITOR_MARK_COLOR), 40);
  run("l");  // L on the marked edge clears the mark, and so does Escape
  EXPECT_EQ(count_pixels(RV_EDITOR_MARK_COLOR), 0);
  run("l esc");
  EXPECT_EQ(last(), "Mark cleared\n");
  EXPECT_EQ(count_pixels(RV_EDITOR_MARK_COLOR), 0);
}

// The edit step as a new command uses it: committed, one world edit and one
// undo step; abandoned, neither; joined to the step on top, nothing of its
// own to take back. What it is told to forget is not found again.
TEST_F(Running, AnEditStepCountsOneEditAndOneUndoStepOrNothing) {
  const reg steps = history_undo_steps(data->history);
  const u32 edits = world->edits;
  RV_Editor_Edit e = RV_Editor_BeginEdit(data, RV_EDIT_RECORD, 0);
  EXPECT_TRUE(RV_Editor_AbandonEdit(data, e));
  EXPECT_EQ(history_undo_steps(data->history), steps);
  EXPECT_EQ(world->edits, edits);
  e = RV_Editor_BeginEdit(data, RV_EDIT_RECORD, 0);
  world_sector(world, 0)->floorHeight += 1.0f;
  RV_Editor_CommitEdit(data, e, RV_EDIT_IN_PLACE);
  EXPECT_EQ(history_undo_steps(data->history), steps + 1);
  EXPECT_EQ(world->edits, edits + 1);
  EXPECT_STREQ(RV_Editor_UndoNote(data, e), "");
  EXPECT_FALSE(RV_Editor_AbandonEdit(data, RV_Editor_BeginEdit(data, RV_EDIT_JOIN, 0)));
  EXPECT_EQ(history_undo_steps(data->history), steps + 1);
  data->selectedVertex = 1;
  data->flag |= RV_EDITOR_VERTEX_SELECTED;
  for (int forget : {0, int(RV_EDITOR_VERTEX_SELECTED)}) {
    RV_Editor_CommitEdit(data, RV_Editor_BeginEdit(data, RV_EDIT_HISTORY, forget),
                         RV_EDIT_RESHAPED);
    EXPECT_EQ(data->flag & RV_EDITOR_VERTEX_SELECTED, forget ^ RV_EDITOR_VERTEX_SELECTED);
  }
}

// ---- The random session ------------------------------------------------------

class Session : public Running {
 public:
  uint64_t random() {  // xorshift64*
    rng ^= rng >> 12;
    rng ^= rng << 25;
    rng ^= rng >> 27;
    return rng * 2685821657736338717ull;
  }
  int below(int n) { return (int)(random() % (uint64_t)n); }
  // A map pixel: beside the middle of an edge, beside a vertex, or anywhere.
  void point(int* x, int* y) {
    reg vertices = world_vertex_count(world), sectors = world_sector_count(world);
    if (sectors > 0 && below(3) == 0) {
      const OM_WorldSector* s = world_sector(world, (reg)below((int)sectors));
      const OM_WorldEdge* e = sector_edge(s, (reg)below((int)sector_edge_count(s)));
      const OM_WorldVertex *a = world_vertex(world, e->v1), *b = world_vertex(world, e->v2);
      to_window((a->x + b->x) / 2.0f, (a->y + b->y) / 2.0f, x, y);
      *x += below(17) - 8, *y += below(17) - 8;
    } else if (vertices > 0 && below(2) == 0) {
      const OM_WorldVertex* v = world_vertex(world, (reg)below((int)vertices));
      to_window(v->x, v->y, x, y);
      *x += below(41) - 20, *y += below(41) - 20;
    } else {
      *x = below(640), *y = 16 + below(464);
    }
    *x = *x < 0 ? 0 : (*x > 639 ? 639 : *x);
    *y = *y < 16 ? 16 : (*y > 479 ? 479 : *y);
  }
  void ctrl_click_anywhere() {
    int x, y;
    point(&x, &y);
    hold(OM_KEY_CTRL, true);
    click(x, y);
    hold(OM_KEY_CTRL, false);
    send(OM_EVENT_DRAW);  // the next frame selects the player's sector
  }
  // A small outline around a point, closed by its first corner or Enter, or
  // given up with Escape.
  void draw_sector() {
    key(OM_KEY_INSERT);
    int cx, cy, corners = 3 + below(4), radius = 20 + below(60);
    point(&cx, &cy);
    for (int k = 0; k < corners; ++k) {
      f32 a = 6.2831853f * (f32)k / (f32)corners;
      click(cx + (int)(radius * cosf(a)), cy + (int)(radius * sinf(a)));
    }
    int close = below(4);
    if (close == 0) click(cx + radius, cy);
    key(close == 1 ? OM_KEY_ESCAPE : OM_KEY_ENTER);
    if (data->flag & RV_EDITOR_DRAWING) key(OM_KEY_ESCAPE);
  }
  // Twice: the player is taken just inside a sector by one of its edges,
  // which is clicked and marked with L; the second L links the two.
  void link_two_edges() {
    for (int k = 0; k < 2 && world_sector_count(world) > 0; ++k) {
      const OM_WorldSector* s = world_sector(world, (reg)below((int)world_sector_count(world)));
      const OM_WorldEdge* e = sector_edge(s, (reg)below((int)sector_edge_count(s)));
      OM_WorldVertex a = *world_vertex(world, e->v1), b = *world_vertex(world, e->v2);
      // The inside lies to the right of an edge of an outline with positive area.
      f32 length = hypotf(b.x - a.x, b.y - a.y), mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
      f32 nx = -(b.y - a.y) / length, ny = (b.x - a.x) / length;
      int x, y;
      to_window(mx + 0.3f * nx, my + 0.3f * ny, &x, &y);
      hold(OM_KEY_CTRL, true);
      click(x, y);
      hold(OM_KEY_CTRL, false);
      send(OM_EVENT_DRAW);
      to_window(mx + 0.1f * nx, my + 0.1f * ny, &x, &y);
      click(x, y);
      key(OM_KEY_L);
    }
  }
  void event() {
    static const int kKeys[] = {OM_KEY_INSERT, OM_KEY_ENTER,   OM_KEY_BACKSPACE, OM_KEY_ESCAPE,
                                OM_KEY_DELETE, OM_KEY_PAGE_UP, OM_KEY_PAGE_DOWN, OM_KEY_T,
                                OM_KEY_F,      OM_KEY_C,       OM_KEY_L,         OM_KEY_V,
                                OM_KEY_B,      OM_KEY_N,       OM_KEY_M,         OM_KEY_A,
                                OM_KEY_D,      OM_KEY_Q,       OM_KEY_E,         OM_KEY_SPACE,
                                OM_KEY_H};
    int x, y;
    switch (below(20)) {
      case 0: key(kKeys[below(sizeof kKeys / sizeof kKeys[0])]); break;
      case 1: key(below(2) ? OM_KEY_Z : OM_KEY_Y, OM_KEY_CTRL); break;
      case 2:  // Ctrl+Shift+Z, or Shift held or let go for what follows
        if (below(3) == 0) {
          hold(OM_KEY_CTRL, true);
          key(OM_KEY_Z, OM_KEY_SHIFT);
          hold(OM_KEY_CTRL, false);
        } else {
          hold(OM_KEY_SHIFT, !keyboard.keys[OM_KEY_SHIFT]);
        }
        break;
      case 3: below(8) ? hold(OM_KEY_W, !keyboard.keys[OM_KEY_W]) : key(OM_KEY_TAB); break;
      case 4:
      case 5:
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_MOVE, x, y, below(4) ? 0 : OM_RMB, OM_mouse.clicks);
        break;
      case 6:
      case 7: point(&x, &y), click(x, y); break;
      case 8:  // a double-click, dragged; sometimes its release is lost
        point(&x, &y);
        click(x, y);
        mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 2);
        for (int k = below(4); k > 0; --k)
          point(&x, &y), mouse(OM_EVENT_MOUSE_MOVE, x, y, OM_LMB, 2);
        if (below(10)) mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, 2);
        break;
      case 9:  // a single-click drag: the line from a vertex
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_BUTTON_DOWN, x, y, OM_LMB, 1);
        point(&x, &y);
        mouse(OM_EVENT_MOUSE_MOVE, x, y, OM_LMB, 1);
        mouse(OM_EVENT_MOUSE_BUTTON_UP, x, y, 0, 1);
        break;
      case 10:
        if (below(3) == 0) ctrl_click_anywhere();
        break;
      case 11:
        mouse(OM_EVENT_MOUSE_WHEEL, OM_mouse.x, OM_mouse.y, OM_mouse.buttons, OM_mouse.clicks,
              below(2) ? 120 : -120);
        break;
      case 12:
      case 13:
        for (int k = 1 + below(8); k > 0; --k) send(OM_EVENT_TICK);
        break;
      case 14:
        if (below(10) == 0) send(OM_EVENT_DRAW);
        break;
      case 15:
      case 16: draw_sector(); break;
      case 17:
        if (below(400) == 0) key(OM_KEY_O, OM_KEY_CTRL);  // a fresh world and history
        break;
      case 18: link_two_edges(); break;
      default: key(OM_KEY_DELETE, below(4) ? 0 : OM_KEY_SHIFT); break;
    }
  }
  // What the player and the editor refer to exists; null when it does.
  const char* dangling() {
    reg sectors = world_sector_count(world);
    if (player->sector && world_sector_index(world, player->sector) >= sectors)
      return "the player's sector";
    if ((data->flag & RV_EDITOR_VERTEX_SELECTED) && !world_vertex(world, data->selectedVertex))
      return "the selected vertex";
    if ((data->flag & RV_EDITOR_LINE_DRAGGED) && !(data->flag & RV_EDITOR_VERTEX_SELECTED))
      return "the dragged line";
    if ((data->flag & RV_EDITOR_EDGE_MARKED) &&
        !world_edge(world, data->markSector, data->markEdge))
      return "the marked edge";
    if (sectors > 0 && data->selectedSector >= sectors) return "the selected sector";
    return nullptr;
  }

  // Where get_sector_at is asked after each event, from a generator of its
  // own so that the session stays the same: where the player stands, a
  // vertex nudged by an ulp, an edge's midpoint and a point under the map.
  // The index behind it must have followed whatever the event changed.
  const char* stale_lookup() {
    OM_WorldVertex at[4] = {{player->object.x, player->object.y}, {0, 0}, {0, 0}, {0, 0}};
    probe = probe * 6364136223846793005ull + 1442695040888963407ull;
    const uint64_t r = probe >> 16;
    const reg vertices = world_vertex_count(world), sectors = world_sector_count(world);
    if (vertices > 0) {
      at[1] = *world_vertex(world, reg(r % vertices));
      at[1].x = nextafterf(at[1].x, (r >> 20) & 1 ? INFINITY : -INFINITY);
    }
    if (sectors > 0) {
      const OM_WorldSector* s = world_sector(world, reg(r % sectors));
      const OM_WorldEdge* e = sector_edge(s, reg((r >> 24) % sector_edge_count(s)));
      const OM_WorldVertex *a = world_vertex(world, e->v1), *b = world_vertex(world, e->v2);
      at[2] = {(a->x + b->x) / 2.0f, (a->y + b->y) / 2.0f};
    }
    at[3] = {f32(r % 640), f32((r >> 12) % 464)};
    RV_Editor_Viewport_ScreenToViewport(viewport(), &data->camera, &at[3].x, &at[3].y);
    for (const OM_WorldVertex& p : at)
      if (get_sector_at(world, p.x, p.y) != reference_get_sector_at(world, p.x, p.y))
        return "get_sector_at and the plain winding test";
    return nullptr;
  }

  uint64_t rng = 0;
  uint64_t probe = 1;
};

TEST_F(Session, RandomEventsKeepTheWorldAndTheEditorSound) {
  const uint64_t events = env_number("OMBRIX_SESSION_EVENTS", 200000);
  rng = env_number("OMBRIX_SESSION_SEED", 13) * 2 + 1;
  struct {
    const char* line;
    uint64_t count;
  } done[] = {{" made: ", 0}, {"split there", 0}, {"Linked", 0},  {" deleted", 0},
              {"Undone", 0},  {"Redone", 0},      {"refused", 0}, {"cannot", 0}};
  uint64_t edits = 0;
  reg mostVertices = 0, mostSectors = 0;
  for (uint64_t i = 0; i < events; ++i) {
    buffer[0] = '\0';
    const OM_World* before = world;
    u32 was = world->edits;
    event();
    if (world == before) edits += world->edits - was;
    for (auto& d : done) d.count += strstr(buffer, d.line) != nullptr;
    mostVertices = std::max(mostVertices, world_vertex_count(world));
    mostSectors = std::max(mostSectors, world_sector_count(world));
    char why[256] = "";
    ASSERT_TRUE(world_check(world, why, sizeof why)) << "event " << i << ": " << why;
    const char* wrong = dangling();
    ASSERT_EQ(wrong, nullptr) << "event " << i << ": " << wrong;
    wrong = stale_lookup();
    ASSERT_EQ(wrong, nullptr) << "event " << i << ": " << wrong << " disagree";
  }
  printf("session: %llu events, %llu edits; largest world %u vertices, %u sectors\n",
         (unsigned long long)events, (unsigned long long)edits, (unsigned)mostVertices,
         (unsigned)mostSectors);
  for (const auto& d : done) {
    printf("  lines with \"%s\": %llu\n", d.line, (unsigned long long)d.count);
    EXPECT_GT(d.count, events / 20000) << d.line;  // each kind of command happened
  }
}

}  // namespace
