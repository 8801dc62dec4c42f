// The world's file in the running program: start-up, saving and loading, the autosave, the toolbar.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "collection.h"
#include "draw.h"
#include "object_camera.h"
#include "object_player.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "ui_console.h"
#include "ui_menubar.h"
#include "world_file.h"
#include "world_session.h"

namespace {

namespace fs = std::filesystem;

std::string bytes_of(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
bool exists(const char* name) { return OM_GetFileKind(name) == OM_FILE_REGULAR; }
bool same(const GameObject& a, const GameObject& b) { return memcmp(&a, &b, sizeof a) == 0; }

const GameObject kBuiltinStart = {4.0f, 4.0f, 0.0f, 0.0f};
const GameObject kStart = {1.5f, 1.25f, 0.5f, 2.0f};  // in sector 0

// The built-in world with `extra` loose vertices more and this start, its
// time `hours` in the past; `heights`: meant for heights mode.
void write_world(const char* name, GameObject start, int extra = 0, int hours = 0, u8 heights = 0) {
  OM_World* w = world_builtin();
  w->start = start;
  w->heights = heights;
  for (int i = 0; i < extra; i++) {
    OM_WorldVertex v = {10.0f + f32(i), 10.0f};
    OM_Collection_Push(w->vertices, &v);
  }
  char why[256] = "";
  EXPECT_NE(world_write_file(name, w, OM_SAVE_QUIET, why, sizeof why), OM_SAVE_FAILED) << why;
  release_world(w);
  fs::last_write_time(name, fs::last_write_time(name) - std::chrono::hours(hours));
}

// The vertex count (-1: the file does not load) and start of a world file.
struct Stored {
  long vertices;
  GameObject start;
  u8 heights;
};
Stored stored(const char* name) {
  char why[256];
  OM_World* w = world_read_file(name, why, sizeof why);
  Stored s = {-1, {}, 0};
  if (w) s = {long(world_vertex_count(w)), w->start, w->heights};
  release_world(w);
  return s;
}

// A folder of the test's own, the working folder while it lasts: the
// program's default file, WORLD_DUMP, lands there.
struct Folder {
  fs::path home = fs::current_path();
  fs::path dir =
      home / "om_files" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
  Folder() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
  }
  ~Folder() {
    std::error_code ec;
    fs::current_path(home, ec);
    fs::remove_all(dir, ec);
    // The shared parent stays: CTest runs tests side by side, and removing
    // it can pull it from under another test's create_directories.
  }
  static void empty() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(".")) files.push_back(entry.path());
    for (const fs::path& f : files) fs::remove(f);
  }
};

class Files : public ::testing::Test {
 protected:
  void SetUp() override { memset(keyboard.keys, 0, sizeof keyboard.keys); }
  void TearDown() override { stop(); }

  // Starts the program as a host does, with these arguments after its name.
  void start(std::vector<const char*> args) {
    stop();
    buffer[0] = newestMessage[0] = '\0';
    OM_SetArguments(int(args.size()), args.empty() ? nullptr : args.data());
    OM_Event e{};
    e.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_Game_Handle(&e), 0);
    running = true;
  }
  // Closes the window, then releases the world as the process's end would.
  void stop() {
    if (!running) return;
    send(OM_EVENT_QUIT);
    release_world(world);
    world = nullptr;
    running = false;
  }
  void send(OM_EventType type, int key = 0) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  void ctrl(int key) {
    for (int k : {int(OM_KEY_CTRL), key}) send(OM_EVENT_KEYBOARD_KEY_DOWN, k);
    for (int k : {key, int(OM_KEY_CTRL)}) send(OM_EVENT_KEYBOARD_KEY_UP, k);
  }
  void ticks(u32 n) {
    for (u32 i = 0; i < n; i++) send(OM_EVENT_TICK);
  }
  void click(int x, int y) {
    OM_mouse = OM_Mouse{x, y, 0, 0, 0, OM_LMB, 1};
    OM_Event e{};
    e.type = OM_EVENT_MOUSE_BUTTON_DOWN;
    e.mouse = &OM_mouse;
    OM_Game_Handle(&e);
  }
  // An edit as the editor makes one: a vertex more, counted.
  void edit() {
    OM_WorldVertex v = {20.0f, 20.0f};
    OM_Collection_Push(world->vertices, &v);
    world->edits++;
  }
  bool says(const char* text) { return strstr(buffer, text) != nullptr; }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  Folder folder;
  bool running = false;
};

TEST_F(Files, StartUpOpensTheNamedFileOrSaysWhyNotAndSavesGoToTheName) {
  static const std::string tooLong(OM_WORLD_FILE_NAME_SIZE, 'a');
  struct Case {
    std::vector<const char*> args;
    const char* made;  // the file made before start-up; '!' first: not a world
    bool opens;        // start-up opens it (17 vertices, kStart), not the built-in world
    const char* says;
    const char* savesTo;  // by Ctrl+S; null: nothing is written
  } cases[] = {
      {{}, "WORLD_DEVEL", false, "world loaded\n\n", "WORLD_DUMP"},  // built, never read
      {{"mine.world"}, "mine.world", true, "loaded from 'mine.world': 17 vertices", "mine.world"},
      {{"my world.world"}, "my world.world", true, "from 'my world.world'", "my world.world"},
      {{"new.world"}, nullptr, false, "'new.world' does not exist yet", "new.world"},
      {{"mine.world"}, "!mine.world", false, "'mine.world' did not load and is kept", nullptr},
      {{"a.world", "b.world"}, nullptr, false, "not 2 (quote a name", "WORLD_DUMP"},
      {{nullptr}, nullptr, false, "name has a character Windows can't", "WORLD_DUMP"},
      {{""}, nullptr, false, "name is empty: using 'WORLD_DUMP'", "WORLD_DUMP"},
      {{tooLong.c_str()}, nullptr, false, "(1024 bytes, at most 1023)", "WORLD_DUMP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    const char* file = c.made && c.made[0] == '!' ? c.made + 1 : c.made;
    if (file && file != c.made) std::ofstream(file) << "OMBRIX-WORLD 1\nvertex zero\n";
    if (file == c.made && file) write_world(file, kStart, 1);
    const std::string before = file ? bytes_of(file) : "";
    start(c.args);
    EXPECT_TRUE(c.args.empty() ? strcmp(buffer, c.says) == 0 : says(c.says)) << buffer;
    const GameObject at = c.opens ? kStart : kBuiltinStart;
    EXPECT_EQ(world_vertex_count(world), c.opens ? 17u : 16u);
    EXPECT_TRUE(same(player->object, at) && same(OM_camera->object, at));
    EXPECT_EQ(player->sector, get_sector_at(world, at.x, at.y));

    const GameObject moved = {1.0f, 1.0f, 0.0f, 0.5f};
    player->object = moved;
    ctrl(OM_KEY_S);
    EXPECT_TRUE(c.savesTo ? same(stored(c.savesTo).start, moved)
                          : says("Not saved: 'mine.world' did not load, so it is kept"));
    // What is not saved to is not touched.
    EXPECT_TRUE(!file || (c.savesTo && !strcmp(file, c.savesTo)) || bytes_of(file) == before);
    stop();
    Folder::empty();
  }
}

TEST_F(Files, EverySaveAndLoadUsesTheNameAndTheStoredStart) {
  start({"w.world"});
  enum { KEYS, MENU, CLICK };
  struct Route {
    int how;
    GameState state;
    int x, y;  // of a click
    bool saves;
  } routes[] = {
      {KEYS, EDITOR_PREVIEW, 0, 0, true},   {MENU, EDITOR_PREVIEW, 0, 0, true},
      {CLICK, EDITOR_PREVIEW, 10, 5, true},  // on SAVE
      {CLICK, EDITOR, 39, 15, true},         // its last pixel
      {CLICK, GAMEPLAY, 10, 5, false},       // not on screen
      {CLICK, EDITOR, 40, 5, false},         // beside it
  };
  GameObject last = {};
  for (int i = 0; i < int(std::size(routes)); i++) {
    const Route& r = routes[i];
    const GameObject at = {1.0f + 0.25f * f32(i), 1.0f, 0.0f, f32(i)};
    player->object = at;
    gameState = r.state;
    if (r.how == KEYS) ctrl(OM_KEY_S);
    if (r.how == MENU) save_current_map();
    if (r.how == CLICK) click(r.x, r.y);
    if (r.saves) last = at;
    EXPECT_TRUE(same(stored("w.world").start, last)) << i;
  }

  // Loading puts the player at the file's start, at rest, in the sector there.
  const GameObject there = {4.5f, 1.0f, 0.25f, 1.0f};  // sector 2
  for (int i = 0; i < 2; i++) {
    write_world("w.world", there, 1 + i);
    player->velocity_x = 0.5f;
    if (i == 0) ctrl(OM_KEY_O);
    if (i == 1) load_map();
    EXPECT_EQ(world_vertex_count(world), 17u + u32(i));
    EXPECT_TRUE(same(player->object, there) && same(OM_camera->object, there));
    EXPECT_EQ(player->velocity_x, 0.0f);
    EXPECT_EQ(player->sector, world_sector(world, 2));
  }

  // A file that does not load changes nothing, and is not saved over.
  std::ofstream("w.world") << "OMBRIX-WORLD 1\nstart 1 2 3\n";
  const std::string broken = bytes_of("w.world");
  OM_World* w = world;
  Player p;
  RV_Editor_Data d;
  memcpy(&p, player, sizeof p);
  memcpy(&d, OM_editor->data, sizeof d);
  ctrl(OM_KEY_O);
  EXPECT_TRUE(says("w.world: line 2: ")) << buffer;
  EXPECT_EQ(world, w);
  EXPECT_EQ(memcmp(player, &p, sizeof p), 0);
  EXPECT_EQ(memcmp(OM_editor->data, &d, sizeof d), 0);
  ctrl(OM_KEY_S);
  EXPECT_EQ(bytes_of("w.world"), broken);
  EXPECT_STREQ(newestMessage,
               "Not saved: 'w.world' did not load, so it is kept as it is (fix it and press "
               "Ctrl+O, or move it away)");
  fs::rename("w.world", "w.broken");  // moved away: saving works again
  ctrl(OM_KEY_S);
  EXPECT_EQ(stored("w.world").vertices, 18);
}

TEST_F(Files, TheAutosaveKeepsEditsAMinuteOldAndWhenTheWindowCloses) {
  struct Case {
    int edits;
    u32 ticks;
    bool close, written;
  } cases[] = {
      {0, OM_AUTOSAVE_TICKS, false, false},
      {2, OM_AUTOSAVE_TICKS - 1, false, false},
      {2, OM_AUTOSAVE_TICKS, false, true},
      {1, 10, true, true},
      {0, 10, true, false},
  };
  const GameObject at = {1.0f, 1.5f, 0.0f, 3.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.edits << " edits, " << c.ticks << " ticks");
    start({"a.world"});
    player->object = at;
    for (int i = 0; i < c.edits; i++) edit();
    ticks(c.ticks);
    if (c.close) stop();
    EXPECT_EQ(exists("a.world.autosave"), c.written);
    if (c.written) {
      EXPECT_EQ(stored("a.world.autosave").vertices, 16 + c.edits);
      EXPECT_TRUE(same(stored("a.world.autosave").start, at));
    }
    stop();
    Folder::empty();
  }

  // At most once a minute: an edit just after an autosave waits a minute.
  start({"a.world"});
  edit();
  ticks(OM_AUTOSAVE_TICKS);
  edit();
  ticks(OM_AUTOSAVE_TICKS - 1);
  EXPECT_EQ(stored("a.world.autosave").vertices, 17);
  ticks(1);
  EXPECT_EQ(stored("a.world.autosave").vertices, 18);
  // A save removes it, and brings no new one.
  ctrl(OM_KEY_S);
  EXPECT_FALSE(exists("a.world.autosave"));
  ticks(OM_AUTOSAVE_TICKS);
  stop();
  EXPECT_FALSE(exists("a.world.autosave"));

  // A failing autosave says so once, and tries again each minute.
  start({"a.world"});
  OM_fileFault = [](OM_FileStep step, const char* name) {
    return step == OM_FILE_OPEN && name && strstr(name, ".autosave") ? 1 : 0;
  };
  edit();
  ticks(3 * OM_AUTOSAVE_TICKS);
  const std::string text = buffer, failed = "Autosave failed: can't write 'a.world.autosave.tmp'";
  EXPECT_NE(text.find(failed), std::string::npos) << text;
  EXPECT_EQ(text.find(failed), text.rfind(failed));
  OM_fileFault = nullptr;
  ticks(OM_AUTOSAVE_TICKS);
  EXPECT_EQ(stored("a.world.autosave").vertices, 19);  // the saved 18 and the edit
}

TEST_F(Files, AnUnsavedAutosaveIsAnnouncedKeptAndRecovered) {
  struct Case {
    std::vector<const char*> args;
    const char* file;
    int fileAge, autosaveAge;  // hours into the past; -1: no file
    const char* notice;        // null: none, and this run autosaves over it
  } cases[] = {
      {{"x.world"},
       "x.world",
       2,
       1,
       "x.world.autosave is newer than x.world: this run won't autosave over it\n"
       "To recover it, start ombrix x.world.autosave and save (Ctrl+S)\n"},
      {{"x.world"}, "x.world", -1, 1, "x.world.autosave is there, but not x.world: "},
      {{}, "WORLD_DUMP", 2, 1, "start ombrix WORLD_DUMP.autosave and save"},
      {{"my x.world"}, "my x.world", 2, 1, "start ombrix \"my x.world.autosave\" and save"},
      {{"x.world"}, "x.world", 1, 2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string autosave = std::string(c.file) + ".autosave";
    if (c.fileAge >= 0) write_world(c.file, kStart, 0, c.fileAge);
    write_world(autosave.c_str(), kStart, 2, c.autosaveAge);
    const std::string kept = bytes_of(autosave.c_str());
    start(c.args);
    EXPECT_TRUE(c.notice ? says(c.notice) : !says("autosave over it")) << buffer;
    edit();
    ticks(OM_AUTOSAVE_TICKS);
    EXPECT_EQ(bytes_of(autosave.c_str()) == kept, c.notice != nullptr);
    ctrl(OM_KEY_S);
    EXPECT_EQ(exists(autosave.c_str()), c.notice != nullptr);
    stop();
    Folder::empty();
  }

  // Recovery: the autosave opened by name and saved as the world's file.
  write_world("x.world", kStart, 0, 2);
  const GameObject at = {4.0f, 1.0f, 0.0f, 1.5f};
  write_world("x.world.autosave", at, 2, 1);
  start({"x.world.autosave"});
  EXPECT_STREQ(newestMessage, "Recovering 'x.world.autosave': Ctrl+S saves it as 'x.world'");
  EXPECT_TRUE(same(player->object, at));
  ctrl(OM_KEY_S);
  EXPECT_EQ(stored("x.world").vertices, 18);
  EXPECT_EQ(stored("x.world.bak").vertices, 16);
  EXPECT_FALSE(exists("x.world.autosave"));
}

// A file asking for heights mode opens in it, the eye at its start height
// above the floor (kStart: 0.5 above sector 0's); Ctrl+O opens a file's
// look, and a save keeps the look in use.
TEST_F(Files, AWorldOpensInTheLookItAsksForAndSavingKeepsTheLookInUse) {
  write_world("x.world", kStart, 0, 0, 1);
  start({"x.world"});
  EXPECT_EQ(heights_mode, 1);
  EXPECT_EQ(player->eye_height, kStart.z);
  write_world("x.world", kStart);
  ctrl(OM_KEY_O);
  EXPECT_EQ(heights_mode, 0);
  send(OM_EVENT_KEYBOARD_KEY_DOWN, OM_KEY_H);
  ctrl(OM_KEY_S);
  EXPECT_EQ(stored("x.world").heights, 1);
}

// Whether `text` stands at (x, y) of the frame buffer, white, with nothing
// else white in the toolbar after the SAVE button.
bool alone_in_toolbar(const std::string& text, int x) {
  OM_Surface* t = OM_CreateSurface(640, 16);
  OM_FillRect(t, 0, 0, 640, 16, 0xFF111111);
  OM_DrawText(t, text.c_str(), x, 4, OM_font, 0xFFFFFFFF);
  bool same_pixels = true;
  for (int y = 0; y < 15; ++y)
    for (int i = 40; i < 640; ++i)
      same_pixels &= t->data[i + t->step * y] == OM_frameBuffer->data[i + OM_frameBuffer->step * y];
  OM_DestroySurface(t);
  return same_pixels;
}

TEST_F(Files, TheNewestMessageStandsRightAlignedInTheToolbar) {
  start({"t.world"});
  ctrl(OM_KEY_S);
  send(OM_EVENT_DRAW);
  const std::string saved = "world saved to 't.world': 16 vertices, 3 sectors";
  EXPECT_TRUE(alone_in_toolbar(saved, 636 - 8 * int(saved.size())));
  // Too long for the 73 characters between SAVE and the edge: the end shows.
  std::string tail;
  for (int i = 0; i < 70; i++) tail += char('A' + i % 26);
  OM_Print(("cut " + tail).c_str());
  send(OM_EVENT_DRAW);
  EXPECT_TRUE(alone_in_toolbar("..." + tail, 636 - 8 * 73));
}

}  // namespace
