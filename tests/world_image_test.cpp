// Image files in worlds: decoding, the image record and its rules, the
// fallback for a file that cannot be used, drawing, and dropping files on
// the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor_state.h"
#include "history.h"
#include "object_camera.h"
#include "object_player.h"
#include "render.h"
#include "render_reference.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "system.h"
#include "ui_console.h"
#include "world_file.h"
#include "world_session.h"

namespace {

namespace fs = std::filesystem;

u32 colour(int x, int y, u32 seed) {
  return 0xFF000000u | (u32(x * 37 + seed) & 255) << 16 | (u32(y * 11) & 255) << 8 | (seed & 255);
}

// A 32-bit TGA of colour(x, y, seed): plain or run-length, rows bottom up
// unless `topDown`.
std::string tga(int w, int h, u32 seed, bool rle = false, bool topDown = false) {
  std::string b(18, '\0');
  b[2] = rle ? 10 : 2;
  b[12] = char(w & 255), b[13] = char(w >> 8), b[14] = char(h & 255), b[15] = char(h >> 8);
  b[16] = 32, b[17] = char(8 | (topDown ? 0x20 : 0));
  for (int r = 0; r < h; ++r) {
    int y = topDown ? r : h - 1 - r;
    for (int x = 0; x < w; ++x) {
      u32 c = colour(x, y, seed);
      if (rle) b += char(0);  // a raw packet of one pixel
      for (int k : {0, 8, 16, 24}) b += char(c >> k & 255);
    }
  }
  return b;
}

// A 24-bit bitmap of colour(x, y, seed), rows bottom up.
std::string bmp(int w, int h, u32 seed) {
  int row = (w * 3 + 3) / 4 * 4;
  std::string b(54, '\0');
  auto le = [&b](int at, u32 v, int n) {
    for (int k = 0; k < n; ++k) b[at + k] = char(v >> 8 * k & 255);
  };
  b[0] = 'B', b[1] = 'M';
  le(2, 54 + row * h, 4), le(10, 54, 4), le(14, 40, 4), le(18, w, 4), le(22, h, 4);
  le(26, 1, 2), le(28, 24, 2);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x)
      for (int k : {0, 8, 16}) b += char(colour(x, y, seed) >> k & 255);
    b.append(row - w * 3, '\0');
  }
  return b;
}

void write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}
std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Pixels of `s` that differ from colour(x, y, seed); -1 for another size.
int wrong(const OM_Surface* s, int w, int h, u32 seed) {
  if (!s || s->w != w || s->h != h) return -1;
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) n += s->data[x + s->step * y] != colour(x, y, seed);
  return n;
}

OM_Surface* decode(const std::string& bytes, std::string* why = nullptr) {
  char reason[160] = "";
  OM_Surface* s = OM_DecodeImage(reinterpret_cast<const u8*>(bytes.data()), bytes.size(),
                                 OM_IMAGE_MAX_SIDE, reason, sizeof reason);
  if (why) *why = reason;
  return s;
}

// A folder of the test's own.
struct Folder {
  fs::path dir =
      fs::absolute("om_images") / ::testing::UnitTest::GetInstance()->current_test_info()->name();
  Folder() {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
    // The shared parent stays: CTest runs tests side by side, and removing
    // it can pull it from under another test's create_directories.
  }
  std::string at(const char* name) const { return (dir / name).string(); }
};

// The built-in world with images `a` (a.tga, 3 x 5, run-length) and `b`
// (pics/b.bmp, 100 x 60) on a wall, a floor, a ceiling and a portal's steps.
OM_World* world_with_images(const Folder& f) {
  write(f.dir / "a.tga", tga(3, 5, 1, true));
  write(f.dir / "pics" / "b.bmp", bmp(100, 60, 2));
  OM_World* w = world_builtin();
  world_set_folder(w, f.at("x.world").c_str());
  reg a, b;
  char why[160];
  EXPECT_TRUE(
      world_add_image(w, "a", "a.tga", decode(tga(3, 5, 1, true)), 0, nullptr, &a, why, sizeof why))
      << why;
  EXPECT_TRUE(world_add_image(w, "b", "pics/b.bmp", decode(bmp(100, 60, 2)), 0, nullptr, &b, why,
                              sizeof why))
      << why;
  world_edge(w, 1, 0)->texture = world_slot_texture(w, a);
  world_sector(w, 2)->floorTexture = world_slot_texture(w, b);
  world_sector(w, 0)->ceilingTexture = world_slot_texture(w, a);
  world_edge(w, 0, 4)->portal_step = u16(b + 1);
  return w;
}

// ---- Decoding --------------------------------------------------------------

TEST(Image, EveryLayoutDecodesPixelForPixelAndSizesAreCheckedFirst) {
  struct Case {
    std::string bytes;
    int w, h;
    u32 seed;
  } cases[] = {
      {tga(3, 5, 1), 3, 5, 1},
      {tga(7, 2, 2, true), 7, 2, 2},
      {tga(5, 4, 3, false, true), 5, 4, 3},
      {tga(1, 1, 4), 1, 1, 4},
      {tga(1024, 1, 5, true), 1024, 1, 5},
      {bmp(33, 17, 6), 33, 17, 6},
      {bmp(1, 1024, 7), 1, 1024, 7},
  };
  for (const Case& c : cases) {
    OM_Surface* s = decode(c.bytes);
    EXPECT_EQ(wrong(s, c.w, c.h, c.seed), 0) << c.w << " x " << c.h;
    OM_DestroySurface(s);
  }
  // A run-length packet repeats one pixel.
  std::string runs = tga(4, 1, 0, true).substr(0, 18) + "\x83" + std::string("\x10\x20\x30\x40", 4);
  OM_Surface* s = decode(runs);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::vector<u32>(s->data, s->data + 4), std::vector<u32>(4, 0x40302010u));
  OM_DestroySurface(s);

  // Refused with their reason: a size beyond the limit in the header alone
  // (65535 x 65535 would be 16 GiB: nothing of it is allocated), a cut
  // file, what is no image at all.
  std::string png = std::string(
      "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0\0\0\0\0", 33);
  struct Bad {
    std::string bytes;
    const char* why;
  } bad[] = {
      {tga(1025, 1, 0).substr(0, 18), "1025 x 1 pixels"},
      {std::string("\0\0\x02\0\0\0\0\0\0\0\0\0\xFF\xFF\xFF\xFF\x20\x08", 18),
       "65535 x 65535 pixels"},
      {png, "100000 x 100000 pixels"},
      {tga(8, 8, 0).substr(0, 100), "cut short"},
      {tga(8, 8, 0, true).substr(0, 40), "cut short"},
      {bmp(8, 8, 0).substr(0, 80), "cut short"},
      {"plain text, no image", "not an image"},
      // A Huffman table of 512 codes (the Linux decoder would write past
      // its arrays): refused, whatever the platform's words.
      {std::string("\xFF\xD8\xFF\xC4\x00\x13\x00", 7) + std::string(16, '\x20'), ""},
      {"", "empty"},
  };
  for (const Bad& b : bad) {
    std::string why;
    EXPECT_EQ(decode(b.bytes, &why), nullptr) << b.why;
    EXPECT_NE(why.find(b.why), std::string::npos) << b.why << ": " << why;
  }
}

// Empty data chunks before a PNG's first data are allowed and add nothing;
// the Linux decoder would copy the first into a buffer it has not made yet.
TEST(Image, APngWhoseDataStartsWithEmptyChunksDecodesAsWithoutThem) {
  std::string png = read(fs::path(OM_SOURCE_DIR) / "examples" / "textures" / "mosaic.png");
  reg at = png.find("IDAT");
  ASSERT_NE(at, std::string::npos);
  const std::string empty("\0\0\0\0IDAT\x35\xAF\x06\x1E", 12);  // with its CRC
  std::string padded = png;
  padded.insert(at - 4, empty + empty);
  OM_Surface* plain = decode(png);
  std::string why;
  OM_Surface* s = decode(padded, &why);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(s, nullptr) << why;
  ASSERT_EQ(s->w * s->h, plain->w * plain->h);
  EXPECT_TRUE(std::equal(s->data, s->data + s->w * s->h, plain->data));
  OM_DestroySurface(plain);
  OM_DestroySurface(s);
  // Cut short just after an empty chunk's type: refused, with its reason.
  EXPECT_EQ(decode(png.substr(0, at - 4) + std::string("\0\0\0\0IDAT", 8), &why), nullptr);
  EXPECT_FALSE(why.empty());
}

// ---- The record ------------------------------------------------------------

TEST(ImageFile, TwoImagesRoundTripByteForByteAndEachIsDecodedOnce) {
  Folder f;
  OM_World* w = world_with_images(f);
  char why[300] = "";
  ASSERT_EQ(world_write_file(f.at("x.world").c_str(), w, OM_SAVE_QUIET, why, sizeof why),
            OM_SAVE_WRITTEN)
      << why;
  release_world(w);
  std::string text = read(f.dir / "x.world");
  EXPECT_EQ(text.rfind("OMBRIX-WORLD 2\n", 0), 0u);
  EXPECT_NE(text.find("\nimage a a.tga\nimage b pics/b.bmp\nstart "), std::string::npos);
  EXPECT_NE(text.find("portal 2 1 step b\n"), std::string::npos);

  w = world_read_file(f.at("x.world").c_str(), why, sizeof why);
  ASSERT_NE(w, nullptr) << why;
  ASSERT_EQ(world_image_count(w), 2u);
  const OM_WorldImage* a = world_image(w, 0);
  const OM_WorldImage* b = world_image(w, 1);
  EXPECT_EQ(wrong(a->surface, 3, 5, 1), 0);
  EXPECT_EQ(wrong(b->surface, 100, 60, 2), 0);
  // One surface per image, shared by everything that uses it.
  EXPECT_EQ(world_edge(w, 1, 0)->texture, a->surface);
  EXPECT_EQ(world_sector(w, 0)->ceilingTexture, a->surface);
  EXPECT_EQ(world_sector(w, 2)->floorTexture, b->surface);
  EXPECT_EQ(world_step_texture(w, world_edge(w, 0, 4)), b->surface);
  ASSERT_EQ(world_write_file(f.at("y.world").c_str(), w, OM_SAVE_QUIET, why, sizeof why),
            OM_SAVE_WRITTEN)
      << why;
  EXPECT_EQ(read(f.dir / "y.world"), text);
  release_world(w);
}

TEST(ImageFile, AFileThatCannotBeUsedOpensWithTheFallbackAndKeepsItsRecord) {
  SavedGlobals saved;
  struct Case {
    const char* name;
    std::string bytes;  // empty: no file
    const char* why;
  } cases[] = {
      {"missing", "", "no such file"},
      {"damaged", bmp(8, 8, 0).substr(0, 70), "cut short"},
      {"large", tga(2048, 4, 0, true), "2048 x 4 pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder f;
    OM_World* w = world_with_images(f);
    char why[300] = "";
    ASSERT_EQ(world_write_file(f.at("x.world").c_str(), w, OM_SAVE_QUIET, why, sizeof why),
              OM_SAVE_WRITTEN);
    release_world(w);
    std::string text = read(f.dir / "x.world");
    fs::remove(f.dir / "pics" / "b.bmp");
    if (!c.bytes.empty()) write(f.dir / "pics" / "b.bmp", c.bytes);

    buffer[0] = '\0';
    w = load_world(f.at("x.world").c_str());
    ASSERT_NE(w, nullptr);
    const OM_WorldImage* b = world_image(w, 1);
    EXPECT_TRUE(b->failed && !world_image(w, 0)->failed);
    EXPECT_NE(strstr(b->why, c.why), nullptr) << b->why;
    // Its own surface, with the fallback's pixels, where the image would be.
    OM_Surface* dummy = world_texture(w, "TEX_WDUMMY");
    ASSERT_TRUE(dummy && b->surface && b->surface != dummy);
    EXPECT_EQ(memcmp(b->surface->data, dummy->data, dummy->size), 0);
    EXPECT_EQ(world_sector(w, 2)->floorTexture, b->surface);
    // One console line with the file, the line and the reason.
    const reg at = text.find("\nimage b ");
    const long lineOfB = std::count(text.begin(), text.begin() + long(at) + 1, '\n') + 1;
    std::string line =
        f.at("x.world") + ": line " + std::to_string(lineOfB) + ": image b 'pics/b.bmp': " + b->why;
    EXPECT_EQ(b->line, u32(lineOfB));
    EXPECT_NE(strstr(buffer, line.c_str()), nullptr) << buffer;
    ASSERT_EQ(world_write_file(f.at("y.world").c_str(), w, OM_SAVE_QUIET, why, sizeof why),
              OM_SAVE_WRITTEN);
    EXPECT_EQ(read(f.dir / "y.world"), text);
    release_world(w);
  }
}

TEST(ImageFile, BadNamesAndPathsAreRefusedAtTheirLine) {
  struct Case {
    const char* records;  // from line 2
    const char* why;      // empty: loads
  } cases[] = {
      {"image a /abs.png", "line 2: image 'a': an image's path is relative to the world's folder"},
      {"image a ../up.png", "line 2: image 'a': an image's path can't leave the world's folder"},
      {"image a x/../../up.png", "line 2: image 'a': an image's path can't leave"},
      {"image a x\\y.png", "line 2: image 'a': an image's path separates folders with '/'"},
      {"image a C:/x.png", "line 2: image 'a': an image's path can't name a drive"},
      {"image a x//y.png", "line 2: image 'a': an image's path has an empty part"},
      {"image none x.png", "line 2: image 'none': an image can't be called 'none'"},
      {"image TEX_WBRICKS x.png", "line 2: image 'TEX_WBRICKS': an image can't be called"},
      {"image a+b x.png", "line 2: image 'a+b': an image's name has only letters"},
      {"image a x.png\nimage a y.png", "line 3: a second image called a"},
      {"image a", "line 2: expected 'image NAME PATH'"},
      {"image a x.png\nvertex 0 0 0\nvertex 1 1 0\nvertex 2 0 1\n"
       "sector 0 0 1 a b\nedge 0 0 1 texture a\nedge 1 1 2 texture a\nedge 2 2 0 texture a",
       "line 6: unknown texture 'b'"},
      {"image a ./textures/x.png\nimage b textures/y-1.tga", ""},
  };
  for (const Case& c : cases) {
    std::string text = std::string("OMBRIX-WORLD 2\n") + c.records + "\nstart 0 0 0 0\nend\n";
    char why[300] = "";
    OM_World* w = world_parse(text.data(), text.size(), why, sizeof why);
    EXPECT_EQ(std::string(why).substr(0, strlen(c.why)), c.why) << c.records;
    EXPECT_EQ(w != nullptr, !*c.why);
    release_world(w);
  }
  // Version 1 has no images; and they come before the sectors.
  std::string v1 = "OMBRIX-WORLD 1\nimage a x.png\nstart 0 0 0 0\nend\n";
  OM_World* builtin = world_builtin();
  std::string late = world_text(builtin);
  release_world(builtin);
  late.insert(late.find("\nend\n") + 1, "image a x.png\n");
  late.replace(0, 14, "OMBRIX-WORLD 2");
  for (auto [text, expected] : {std::pair{v1, "line 2: 'image' needs OMBRIX-WORLD 2"},
                                std::pair{late, "'image' must come before the first sector"}}) {
    char why[300] = "";
    EXPECT_EQ(world_parse(text.data(), text.size(), why, sizeof why), nullptr);
    EXPECT_NE(strstr(why, expected), nullptr) << why;
  }
}

// ---- Drawing ---------------------------------------------------------------

TEST(ImageFile, ANonPowerOfTwoImageDrawsAsThePlainReferenceDoes) {
  SavedGlobals saved;
  Folder f;
  OM_World* w = world_with_images(f);  // 3 x 5 and 100 x 60
  OM_Surface* dummy = make_pattern_texture(64, 64, 1);
  Player thePlayer{};
  Camera camera{};
  world = w, player = &thePlayer, OM_camera = &camera, dummyTexture = dummy;
  draw_portals = 1, interlace = 0;
  for (int h = 0; h < 2; ++h) {
    heights_mode = h;
    for (const GameObject& at : {GameObject{4, 4, 0.5f, -1.2f}, GameObject{4, 1, 0.8f, 1.0f},
                                 GameObject{1, 1, 0.5f, -0.8f}, GameObject{4.2f, 3, 0.2f, 3.0f}}) {
      camera.object = thePlayer.object = at;
      thePlayer.sector = get_sector_at(w, at.x, at.y);
      OM_Surface* plain = OM_CreateSurface(320, 240);
      memset(plain->data, 0x5A, plain->size);
      if (h) {
        // The plain reference knows the classic look; heights mode's own
        // plain pixels are its level 0.
        SavedGlobals plainLevel;
        renderer_simd = 0;
        draw_game_viewport(plain);
      } else {
        reference_draw_game_viewport(plain, 0, 1);
      }
      for (int level = 0; level <= 2; ++level) {
        SavedGlobals levelInForce;
        renderer_simd = level;
        OM_Surface* fast = OM_CreateSurface(320, 240);
        memset(fast->data, 0x5A, fast->size);
        draw_game_viewport(fast);
        int first = 0;
        while (first < 320 * 240 && fast->data[first] == plain->data[first]) ++first;
        EXPECT_EQ(first, 320 * 240)
            << std::hex << fast->data[first] << " " << plain->data[first] << std::dec << " level "
            << level << " heights " << h << " at " << at.x << ", " << at.y;
        OM_DestroySurface(fast);
      }
      OM_DestroySurface(plain);
    }
  }
  release_world(w);
  OM_DestroySurface(dummy);
}

// ---- Dropping files on the window -----------------------------------------

// The program started on x.world in a folder of its own, as a host starts it.
class Drop : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    OM_World* w = world_builtin();
    char why[200];
    ASSERT_NE(world_write_file(file.c_str(), w, OM_SAVE_QUIET, why, sizeof why), OM_SAVE_FAILED);
    release_world(w);
    const char* args[] = {file.c_str()};
    OM_SetArguments(1, args);
    OM_Event e{};
    e.type = OM_EVENT_INIT;
    ASSERT_EQ(OM_Game_Handle(&e), 0);
    data = (RV_Editor_Data*)OM_editor->data;
  }
  void TearDown() override {
    send(OM_EVENT_QUIT, 0);
    release_world(world);
    world = nullptr;
  }
  // Through the host's translation of the desktop's drop, as the window gets it.
  void drop(const std::vector<std::string>& paths) {
    OM_Host_Target = OM_Game_Handle;
    HostDrop(paths);
  }
  // Presses the keys in order and lets them go in reverse.
  void press(std::vector<int> keys) {
    for (auto k = keys.begin(); k != keys.end(); ++k) send(OM_EVENT_KEYBOARD_KEY_DOWN, *k);
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) send(OM_EVENT_KEYBOARD_KEY_UP, *k);
  }
  void send(OM_EventType type, int key) {
    OM_Event e{};
    e.type = type;
    e.key = key;
    OM_Game_Handle(&e);
  }
  const char* wall() { return world_texture_name(world, world_edge(world, 1, 0)->texture); }

  SavedGlobals saved{SavedGlobals::kKeepStartUp};
  Folder f;
  std::string file = f.at("x.world");
  RV_Editor_Data* data = nullptr;
};

TEST_F(Drop, DroppedImagesAreAddedKeptBesideTheWorldAppliedAndUndoneInOneStep) {
  write(f.dir / "art" / "inside.tga", tga(6, 5, 3));
  write(f.dir.parent_path() / "elsewhere" / "my wall.bmp", bmp(20, 10, 4));
  write(f.dir / "notes.txt", "not an image");
  gameState = GAMEPLAY;  // a drop works in every state
  data->flag |= RV_EDITOR_EDGE_SELECTED;
  data->selectedSector = 1, data->selectedEdge = 0;
  buffer[0] = '\0';
  const std::string outside = (f.dir.parent_path() / "elsewhere" / "my wall.bmp").string();
  drop({f.at("art/inside.tga"), outside, f.at("notes.txt"), f.at("gone.png")});

  // Two textures, named after their files; the one from elsewhere copied
  // into textures/ under a name the format can hold; the first on the wall.
  ASSERT_EQ(world_image_count(world), 2u);
  EXPECT_STREQ(world_image(world, 0)->name, "inside");
  EXPECT_STREQ(world_image(world, 0)->path, "art/inside.tga");
  EXPECT_STREQ(world_image(world, 1)->name, "my_wall");
  EXPECT_STREQ(world_image(world, 1)->path, "textures/my_wall.bmp");
  EXPECT_EQ(read(f.dir / "textures" / "my_wall.bmp"), bmp(20, 10, 4));
  EXPECT_EQ(wrong(world_image(world, 1)->surface, 20, 10, 4), 0);
  EXPECT_STREQ(wall(), "inside");
  for (const char* said :
       {"notes.txt: not added: not an image", "gone.png: not added: no such file",
        "Added 2 textures: inside (art/inside.tga), my_wall (textures/my_wall.bmp)"})
    EXPECT_NE(strstr(buffer, said), nullptr) << said << " in " << buffer;

  // T goes through the built-in wall textures, then the world's own.
  gameState = EDITOR;
  press({OM_KEY_T});
  EXPECT_STREQ(wall(), "my_wall");
  press({OM_KEY_T});
  EXPECT_EQ(world_edge(world, 1, 0)->type, u32(OM_EDGE_COLOR));

  // An undo takes back each T, the next one the whole drop; a redo brings
  // it back.
  press({OM_KEY_CTRL, OM_KEY_Z}), press({OM_KEY_CTRL, OM_KEY_Z});
  EXPECT_STREQ(wall(), "inside");
  press({OM_KEY_CTRL, OM_KEY_Z});
  EXPECT_STREQ(wall(), "TEX_WWHITEWASH");
  EXPECT_EQ(world_texture_slot(world, "inside"), world_texture_slots(world));
  EXPECT_EQ(world_text(world).rfind("OMBRIX-WORLD 1\n", 0), 0u);
  press({OM_KEY_CTRL, OM_KEY_Y});
  EXPECT_STREQ(wall(), "inside");
  EXPECT_NE(world_text(world).find("image my_wall textures/my_wall.bmp\n"), std::string::npos);

  // The same file again is not copied twice; with no edge selected the
  // first goes on the sector's floor; names stay unique.
  data->flag &= ~RV_EDITOR_EDGE_SELECTED;
  drop({outside});
  ASSERT_EQ(world_image_count(world), 3u);
  EXPECT_STREQ(world_image(world, 2)->name, "my_wall_2");
  EXPECT_STREQ(world_image(world, 2)->path, "textures/my_wall.bmp");
  EXPECT_EQ(world_sector(world, 1)->floorTexture, world_image(world, 2)->surface);
  // Nothing usable: no step, nothing changed.
  reg steps = history_undo_steps(data->history);
  drop({f.at("notes.txt")});
  EXPECT_EQ(history_undo_steps(data->history), steps);
}

}  // namespace
