// The first-person renderer: the reference at every vector level, worked pixels, broken input.
#include "render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "grid_support.h"
#include "math.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render_reference.h"
#include "scene_support.h"
#include "surface.h"
#include "world_session.h"

namespace {

const u32 kUntouched = 0x12345678, kRed = 0xFFFF0000, kMagenta = 0xFFFF00FF;
const u32 kBlack = 0xFF000000;  // heights mode's background
const u32 kDummyTag = 1, kWallTag = 2, kFlatTag = 3;
const f32 kPi = 3.14159265f, kFov = 1.134464f;

u32 texel(u32 tag, int u, int v) {
  return 0xFF000000u | tag << 16 | static_cast<u32>(v) << 8 | static_cast<u32>(u);
}
u32 tag_of(u32 pixel) { return (pixel >> 16) & 0xFF; }
u32 pixel(OM_Surface* s, int x, int y) { return s->data[x + s->step * y]; }

OM_Surface* blank(int w, int h) {
  OM_Surface* s = OM_CreateSurface(w, h);
  for (int i = 0; i < w * h; ++i) s->data[i] = kUntouched;
  return s;
}

// A w x h window one pixel in from the corner of a larger blank surface, so
// that rows are longer than the window and a stray write shows in the margin.
// Without the margin the window is the whole surface, and a stray access past
// its last pixel leaves the allocation.
struct Framed {
  OM_Surface* outer;
  OM_Surface window;
  Framed(int w, int h, int margin = 1)
      : outer(blank(w + 3 * margin, h + 2 * margin)), window(*outer) {
    window.data += margin * (1 + outer->step);
    window.w = w;
    window.h = h;
  }
  ~Framed() { OM_DestroySurface(outer); }
};

struct View {
  f32 x, y, z, angle;
  int sector;
};

// The start, through each of the three portals (the wrap-around one both
// ways), from above the ceiling and from the floor.
const View kViews[] = {
    {4.0f, 4.0f, 0.0f, 0.0f, 1},   {4.0f, 4.0f, 1.6f, 0.0f, 1}, {1.0f, 1.0f, 0.5f, 0.0f, 0},
    {4.0f, 1.0f, 0.8f, 0.0f, 2},   {0.5f, 1.0f, 0.5f, kPi, 0},  {3.5f, 3.0f, 0.3f, -1.2f, 1},
    {1.5f, 1.5f, 0.9f, 0.8f, 0},   {4.5f, 3.0f, 1.0f, 2.5f, 1}, {1.0f, 1.5f, 1.5f, -2.0f, 0},
    {3.2f, 2.5f, 0.2f, 100.0f, 1}, {4.9f, 0.2f, 1.9f, 0.3f, 2}, {2.2f, 4.2f, -0.4f, 1.3f, 1},
};

// The built-in world with textures whose texels name their tag and position.
class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    scene = load_world("WORLD_DEVEL");
    ASSERT_NE(scene, nullptr);
    use_pattern_textures(scene, wall, flat);
    world = scene;
    player = &thePlayer;
    OM_camera = &camera;
    dummyTexture = dummy;
    draw_portals = 1;
    interlace = 0;
  }
  void TearDown() override {
    release_world(scene);
    for (OM_Surface* s : {dummy, wall, flat}) OM_DestroySurface(s);
  }

  void place(f32 x, f32 y, f32 z, f32 angle, int sector) {
    camera.object = {x, y, z, angle};
    thePlayer.object = camera.object;
    thePlayer.sector = sector < 0 ? nullptr : world_sector(world, sector);
  }
  void place(const View& v) { place(v.x, v.y, v.z, v.angle, v.sector); }

  // Every vector level must draw exactly what the reference draws, and
  // nothing outside the target. The level in force comes back afterwards.
  void expect_reference_frame(int w, int h) {
    SavedGlobals levelInForce;
    Framed plain(w, h);
    reference_draw_game_viewport(&plain.window, 0, 1);
    for (int level = 0; level <= 2; ++level) {
      renderer_simd = level;
      Framed fast(w, h);
      draw_game_viewport(&fast.window);
      int n = (w + 3) * (h + 2);
      int i = 0;
      while (i < n && fast.outer->data[i] == plain.outer->data[i]) ++i;
      EXPECT_EQ(i, n) << "level " << level << ", " << w << " x " << h << ", first differing pixel ("
                      << i % (w + 3) - 1 << ", " << i / (w + 3) - 1 << ")";
    }
  }

  // Two interlaced calls at every vector level: each draws one half exactly
  // as the reference does, in whichever order the call counter gives, and
  // keeps the other half and everything outside the target, all of which
  // start as distinct pixels.
  void expect_interlaced_reference_frames(int w, int h, int margin = 1) {
    SavedGlobals restore;  // interlace and the vector level
    auto same = [](const Framed& a, const Framed& b) {
      return memcmp(a.outer->data, b.outer->data, a.outer->size) == 0;
    };
    interlace = 1;
    for (int level = 0; level <= 2; ++level) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", " << w << " x " << h);
      renderer_simd = level;
      Framed fast(w, h, margin), even(w, h, margin), odd(w, h, margin);
      for (Framed* f : {&fast, &even, &odd}) {
        for (int i = 0; i < f->outer->w * f->outer->h; ++i) f->outer->data[i] = 0x9E3779B9u * i;
      }
      reference_draw_game_viewport(&even.window, 0, 2);
      reference_draw_game_viewport(&odd.window, 1, 2);
      draw_game_viewport(&fast.window);
      bool evenFirst = same(fast, even);
      EXPECT_TRUE(evenFirst || same(fast, odd));
      Framed& both = evenFirst ? even : odd;
      reference_draw_game_viewport(&both.window, evenFirst ? 1 : 0, 2);
      draw_game_viewport(&fast.window);
      EXPECT_TRUE(same(fast, both));
    }
  }

  // Heights mode writes every pixel of the target, the same at every vector
  // level, whole or in two interlaced calls.
  void expect_whole_heights_frame(int w, int h) {
    SavedGlobals restore;
    heights_mode = 1;
    OM_Surface* frames[3];
    for (int level = 0; level <= 2; ++level) {
      renderer_simd = level;
      interlace = level > 0;
      frames[level] = blank(w, h);
      for (int call = 0; call <= interlace; ++call) draw_game_viewport(frames[level]);
    }
    size_t bytes = static_cast<size_t>(w) * h * 4;
    EXPECT_EQ(std::count(frames[0]->data, frames[0]->data + w * h, kUntouched), 0);
    EXPECT_EQ(memcmp(frames[0]->data, frames[1]->data, bytes), 0) << "SSE2";
    EXPECT_EQ(memcmp(frames[0]->data, frames[2]->data, bytes), 0) << "AVX2";
    for (OM_Surface* f : frames) OM_DestroySurface(f);
  }

  // `world` becomes two rooms, x 0 .. split and split .. end (y 0 .. 2),
  // joined by a portal at x = split and walled with `wall`.
  void make_strip(f32 split, f32 end, f32 farFloor, f32 farCeiling, OM_Surface* nearFloorTexture,
                  OM_Surface* farFloorTexture, OM_Surface* farCeilingTexture) {
    const f32 strip[][2] = {{0, 0}, {split, 0}, {split, 2}, {0, 2}, {end, 0}, {end, 2}};
    world = make_world(strip, 6);
    const OM_WorldEdge near[] = {textured_edge(0, 1, wall), portal_edge(1, 2, 1, 3),
                                 textured_edge(2, 3, wall), textured_edge(3, 0, wall)};
    const OM_WorldEdge far[] = {textured_edge(1, 4, wall), textured_edge(4, 5, wall),
                                textured_edge(5, 2, wall), portal_edge(2, 1, 0, 1)};
    add_sector(world, 0, 2, nearFloorTexture, flat, near, 4);
    add_sector(world, farFloor, farCeiling, farFloorTexture, farCeilingTexture, far, 4);
  }

  SavedGlobals saved;
  OM_Surface* dummy = make_pattern_texture(64, 64, kDummyTag);
  OM_Surface* wall = make_pattern_texture(64, 64, kWallTag);
  OM_Surface* flat = make_pattern_texture(64, 64, kFlatTag);
  OM_World* scene = nullptr;
  Player thePlayer = {};
  Camera camera = {{}, kFov, 128.0f, nullptr};
};

TEST_F(Render, MatchesTheReferenceInTheBuiltInWorld) {
  for (int portals = 0; portals <= 1; ++portals) {
    for (const View& v : kViews) {
      SCOPED_TRACE(testing::Message() << "camera (" << v.x << ", " << v.y << ") z " << v.z
                                      << " angle " << v.angle << " portals " << portals);
      draw_portals = portals;
      place(v);
      EXPECT_EQ(get_sector_at(world, v.x, v.y), thePlayer.sector);
      expect_reference_frame(640, 480);
      expect_reference_frame(320, 240);
    }
  }
  place(kViews[6]);
  for (int size : {1, 2, 3, 7, 33}) {
    expect_reference_frame(size, size * 2 + 1);
    expect_reference_frame(size * 3 + 1, size);
  }
  expect_reference_frame(640, 1100);  // taller than one band of rows
}

TEST_F(Render, WorkedPixels) {
  // Sector 0's edge 1 at distance 1 fills column 320 with u = 32 of the dummy.
  place(1, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  const int rows[][2] = {{0, 1}, {100, 14}, {240, 31}, {479, 62}};
  for (const auto& r : rows) EXPECT_EQ(pixel(s, 320, r[0]), texel(kDummyTag, 32, r[1])) << r[0];

  // A wall exactly at the view distance is not hit.
  OM_Surface* t = blank(640, 480);
  camera.view_distance = 1.0f;
  draw_game_viewport(t);
  for (int y = 0; y < 480; ++y) ASSERT_EQ(pixel(t, 320, y), kUntouched) << y;
  expect_reference_frame(640, 480);
  camera.view_distance = 128.0f;

  // The floor, drawn by OM_Render in gameplay.
  place(4, 4, 1.6f, 0, 1);
  OM_frameBuffer = s;
  gameState = GAMEPLAY;
  OM_Render();
  EXPECT_EQ(pixel(s, 320, 400), texel(kFlatTag, 0, 51));

  // From (4, 1) in sector 2 the wrap-around portal at x = 5 leads to sector
  // 0's x = 0 edge: its wall x = 2 shows 3 units away under sector 0's ceiling.
  place(4, 1, 0.5f, 0, 2);
  draw_game_viewport(s);
  f32 wallHeight = 320 / tanf(kFov / 2.0f) / 3.0f;
  int y0 = static_cast<int>(240 - wallHeight * 0.5f);
  int y1 = static_cast<int>(240 + wallHeight * 0.5f);
  EXPECT_EQ(tag_of(pixel(s, 320, y0 - 1)), kFlatTag);
  EXPECT_EQ(pixel(s, 320, y0) & 0xFF00FF, kDummyTag << 16 | 32u);
  EXPECT_EQ(tag_of(pixel(s, 320, y1 - 1)), kDummyTag);
  EXPECT_EQ(tag_of(pixel(s, 320, y1)), kFlatTag);
  OM_DestroySurface(s);
  OM_DestroySurface(t);
}

TEST_F(Render, InterlacingAlternatesAndCountsCallsWithoutASector) {
  place(4, 4, 1.6f, 0.3f, 1);
  interlace = 1;
  OM_Surface* a = blank(64, 48);
  OM_Surface* ref = blank(64, 48);
  draw_game_viewport(a);
  int parity = pixel(a, 0, 47) == kUntouched ? 1 : 0;
  reference_draw_game_viewport(ref, parity, 2);
  EXPECT_EQ(memcmp(a->data, ref->data, 64 * 48 * 4), 0);
  draw_game_viewport(a);  // the other half; the first stays
  reference_draw_game_viewport(ref, 1 - parity, 2);
  EXPECT_EQ(memcmp(a->data, ref->data, 64 * 48 * 4), 0);

  thePlayer.sector = nullptr;  // nothing drawn, the call still counts
  OM_Surface* b = blank(64, 48);
  draw_game_viewport(b);
  for (int i = 0; i < 64 * 48; ++i) ASSERT_EQ(b->data[i], kUntouched);
  thePlayer.sector = world_sector(world, 1);
  draw_game_viewport(b);  // the fourth call: the same half as the second
  EXPECT_EQ(pixel(b, parity, 10), kUntouched);
  EXPECT_NE(pixel(b, 1 - parity, 10), kUntouched);
  for (OM_Surface* s : {a, b, ref}) OM_DestroySurface(s);
}

// Chunks of every other column merge into the target's rows: whole chunks
// whose span of target columns just fits or just overhangs the right edge,
// narrow and odd widths, odd row counts, a target taller than one band and
// chunks in which some rays meet nothing.
TEST_F(Render, InterlacedHalvesMatchTheReference) {
  const int sizes[][2] = {{640, 480}, {320, 240}, {1, 5},   {2, 3},  {31, 9},   {32, 9},
                          {33, 10},   {63, 7},    {65, 11}, {97, 6}, {639, 13}, {64, 1100}};
  for (int view : {0, 3, 6}) {
    place(kViews[view]);
    for (const auto& size : sizes) expect_interlaced_reference_frames(size[0], size[1]);
  }
  // Only rays within about 0.43 rad of the wall's normal reach it.
  place(1, 1, 0.5f, 0, 0);
  camera.view_distance = 1.1f;
  expect_interlaced_reference_frames(640, 480);
  expect_interlaced_reference_frames(97, 6);
  // Targets that end where their allocation does.
  camera.view_distance = 128.0f;
  for (int w : {31, 33, 639}) expect_interlaced_reference_frames(w, 12, 0);
}

// Worlds, cameras and textures built to reach the renderer's degenerate
// divisions and lookups; the sanitizer build turns any NaN-to-int conversion
// or stray read into a failure.
TEST_F(Render, PurposeBuiltWorlds) {
  // Opposite sides of a 2 x 2 room linked: every ray hops until the bound.
  const f32 room[][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  world = make_world(room, 4);
  const OM_WorldEdge cycle[] = {portal_edge(0, 1, 0, 2), portal_edge(1, 2, 0, 3),
                                portal_edge(2, 3, 0, 0), portal_edge(3, 0, 0, 1)};
  add_sector(world, 0, 1, flat, flat, cycle, 4);
  place(1, 1, 0.5f, 0.4f, 0);
  OM_Surface* s = blank(80, 60);
  draw_game_viewport(s);
  for (int i = 0; i < 80 * 60; ++i) ASSERT_EQ(s->data[i], kUntouched);
  OM_DestroySurface(s);
  expect_reference_frame(80, 60);
  expect_whole_heights_frame(80, 60);
  draw_portals = 0;
  expect_reference_frame(80, 60);
  draw_portals = 1;
  free_world(world);

  // Edges shorter than one unit: both whole-unit extents are 0, and the
  // horizontal ones have no y extent at all.
  OM_Surface* odd = make_pattern_texture(3, 5, kWallTag);
  const f32 small[][2] = {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}, {0, 0.5f}};
  world = make_world(small, 4);
  const OM_WorldEdge edges[] = {textured_edge(0, 1, wall), textured_edge(1, 2, odd),
                                textured_edge(2, 3, wall), textured_edge(3, 0, nullptr)};
  add_sector(world, 0, 1, flat, flat, edges, 4);
  for (f32 angle : {-kPi / 2, 0.0f, kPi / 2, kPi, 0.7f}) {
    place(0.25f, 0.2f, 0.5f, angle, 0);
    expect_reference_frame(160, 120);
    expect_whole_heights_frame(160, 120);
  }
  free_world(world);
  OM_DestroySurface(odd);
}

TEST_F(Render, DegenerateCameras) {
  // Standing on sector 0's wall x = 2: distance 0, an infinite wall height.
  for (f32 angle : {0.0f, kPi, 0.3f}) {
    place(2, 1, 0.5f, angle, 0);
    expect_reference_frame(320, 240);
  }
  // Eye at the ceiling, above it, on the floor and below it.
  for (f32 z : {1.0f, 1.5f, 0.0f, -0.5f}) {
    place(1, 1.5f, z, 0.2f, 0);
    expect_reference_frame(320, 240);
    expect_whole_heights_frame(320, 240);
  }

  const f32 inf = std::numeric_limits<f32>::infinity();
  const f32 nan = std::numeric_limits<f32>::quiet_NaN();
  const f32 cases[][6] = {{1, 1, 1e30f, 0.3f, kFov, 128},  {1, 1, -1e30f, 0.3f, kFov, 128},
                          {1, 1, 0.5f, 0.3f, 0, 128},      {1, 1, 0.5f, 0.3f, 4.0f, 128},
                          {1, 1, 0.5f, 0.3f, kFov, 0},     {1, 1, 0.5f, 0.3f, kFov, 1e30f},
                          {nan, 1, 0.5f, 0.3f, kFov, 128}, {1, 1, nan, 0.3f, kFov, 128},
                          {1, 1, 0.5f, inf, kFov, 128},    {1, 1, 0.5f, 1e20f, kFov, 128},
                          {1, 1, 0.5f, 0.3f, nan, 128},    {1, 1, inf, 0.3f, kFov, 128}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c[0] << " " << c[2] << " " << c[3] << " " << c[4] << " " << c[5]);
    place(c[0], c[1], c[2], c[3], 0);
    camera.fov = c[4];
    camera.view_distance = c[5];
    expect_reference_frame(64, 48);
    expect_whole_heights_frame(64, 48);
  }
}

TEST_F(Render, BrokenEdgesAndTexturesOfAnySize) {
  place(1, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(640, 480);
  const OM_WorldEdge original = *world_edge(world, 0, 1);
  world_edge(world, 0, 1)->type = 7;  // unknown types are magenta
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 0), kMagenta);
  EXPECT_EQ(pixel(s, 320, 479), kMagenta);
  expect_reference_frame(320, 240);
  *world_edge(world, 0, 1) = portal_edge(1, 2, 9, 0);  // no sector 9: magenta, not followed
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 240), kMagenta);
  expect_reference_frame(320, 240);
  *world_edge(world, 0, 1) = portal_edge(1, 2, 1, 40);  // no edge 40
  expect_reference_frame(320, 240);
  draw_portals = 0;  // closed, a broken portal is just red
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 240), kRed);
  expect_reference_frame(320, 240);
  draw_portals = 1;
  *world_edge(world, 0, 1) = textured_edge(1, 99, nullptr);  // no vertex 99: not there
  expect_reference_frame(320, 240);
  *world_edge(world, 0, 1) = original;

  OM_Surface* one = make_pattern_texture(1, 1, 4);
  OM_Surface* wide = make_pattern_texture(70, 40, 5);
  OM_Surface* tall = make_pattern_texture(5, 3, 6);
  OM_Surface* empty = OM_CreateSurface(0, 0);
  world_sector(world, 0)->floorTexture = tall;
  world_sector(world, 0)->ceilingTexture = one;
  world_sector(world, 1)->floorTexture = wide;
  world_edge(world, 0, 1)->texture = wide;
  world_edge(world, 0, 0)->texture = one;
  world_edge(world, 0, 3)->texture = tall;
  for (const View& v : kViews) {
    place(v);
    expect_reference_frame(320, 240);
  }
  // An empty texture, or no dummy for a missing one, draws magenta.
  world_sector(world, 0)->ceilingTexture = empty;
  dummyTexture = nullptr;
  place(0.3f, 1, 0.5f, 0, 0);
  expect_reference_frame(320, 240);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 0), kMagenta);
  for (OM_Surface* t : {one, wide, tall, empty, s}) OM_DestroySurface(t);
}

// Column 320 looks along y = 1 at the far wall x = 6 of a strip of two rooms,
// x 0 .. 2 and 2 .. 6, joined at x = 2. From x = 3 the wall is 3 units away
// (167.4 pixels per unit of height), from x = 1 through the portal 5 (100.5).
// The classic look adds the floor height to the eye height and draws the
// floor rows as if at 0: a raised floor lower. Heights mode draws each
// floor at its height, and raising the eye, every floor and every ceiling
// together changes no pixel there.
TEST_F(Render, FloorsAppearAtTheirHeights) {
  make_strip(2, 6, 0, 2, flat, flat, flat);
  struct Case {
    const char* what;
    f32 x, eye, nearFloor, farFloor;
    int classic, heights;  // the far room's first floor row in column 320
  };
  const Case cases[] = {
      {"floor at 0", 3, 0.5f, 0, 0, 323, 323},
      {"raised floor", 3, 0.5f, 0, 0.25f, 365, 281},
      {"lowered floor", 3, 0.5f, 0, -0.25f, 281, 365},
      {"eye below the floor", 3, 0.5f, 0, 1.0f, 480, 156},
      {"through the portal: the far room's floor", 1, 0.5f, -1.0f, 0.25f, 315, 265},
  };
  auto floor_line = [](OM_Surface* s) {
    int y = s->h;
    while (y > 0 && tag_of(pixel(s, 320, y - 1)) == kFlatTag) --y;
    return y;
  };
  auto set_heights = [&](const Case& c, f32 lift) {
    place(c.x, 1, c.eye + lift, 0, c.x < 2 ? 0 : 1);
    world_sector(world, 0)->floorHeight = c.nearFloor + lift;
    world_sector(world, 1)->floorHeight = c.farFloor + lift;
    world_sector(world, 0)->ceilingHeight = world_sector(world, 1)->ceilingHeight = 2 + lift;
  };
  OM_Surface *a = blank(640, 480), *b = blank(640, 480);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    set_heights(c, 0);
    heights_mode = 0;
    draw_game_viewport(a);
    EXPECT_EQ(floor_line(a), c.classic);
    expect_reference_frame(640, 480);
    heights_mode = 1;
    draw_game_viewport(a);
    EXPECT_EQ(floor_line(a), c.heights);
    set_heights(c, 0.75f);
    draw_game_viewport(b);
    EXPECT_EQ(memcmp(a->data, b->data, 640 * 480 * 4), 0);
  }
  for (OM_Surface* s : {a, b}) OM_DestroySurface(s);
  free_world(world);
}

// The sample world's five rooms have five floor and four ceiling heights, so
// columns of one frame keep changing between them. The eye stands below a
// floor, exactly at one and above all.
TEST_F(Render, SeveralFloorHeightsMatchTheReference) {
  OM_World* sample = load_world(OM_SOURCE_DIR "/examples/sample.world");
  ASSERT_NE(sample, nullptr);
  use_pattern_textures(sample, wall, flat);
  world = sample;
  const View views[] = {
      {2, 2, 1, 0, 0},        {5.5f, 2, 0.3f, 0.1f, 0},   {8, 2, 0.25f, kPi, 1},
      {12, 2, 1.6f, 1.4f, 2}, {3, -1.5f, 0.3f, -2.0f, 3}, {3, 2, 1.2f, 1.2f, 0},
      {3, 5, 0.1f, -1.9f, 4}, {13, 3.5f, 4.5f, 2.6f, 2},
  };
  for (const View& v : views) {
    SCOPED_TRACE(testing::Message() << "camera (" << v.x << ", " << v.y << ") z " << v.z);
    place(v);
    ASSERT_EQ(get_sector_at(world, v.x, v.y), thePlayer.sector);
    expect_reference_frame(640, 480);
    expect_interlaced_reference_frames(320, 240);
  }
  place(views[0]);
  expect_reference_frame(640, 1100);
  release_world(sample);
}

}  // namespace

// ---- Heights mode ----------------------------------------------------------

// Random views of a world, the eye between floor and ceiling: x, y inside
// some room, found by get_sector_at.
template <class Each>
void random_views(OM_World* w, unsigned seed, int count, f32 size, f32 ceiling, Each each) {
  srand(seed);
  auto unit = [] { return static_cast<f32>(rand()) / static_cast<f32>(RAND_MAX); };
  for (int n = 0; n < count;) {
    f32 x = unit() * size, y = unit() * size;
    OM_WorldSector* s = get_sector_at(w, x, y);
    if (!s) continue;
    f32 eye = s->floorHeight +
              (0.02f + 0.96f * unit()) * (OM_MinF32(s->ceilingHeight, ceiling) - s->floorHeight);
    each(x, y, eye, (unit() - 0.5f) * 7.0f, static_cast<int>(world_sector_index(w, s)));
    ++n;
  }
}

// Where every room has floor 0 and the same ceiling and textures, heights
// mode draws the classic picture in every column the classic look draws
// (and, by expect_whole_heights_frame, at every level and interlaced).
TEST_F(Render, HeightsModeDrawsTheClassicPictureWhereNothingDiffers) {
  OM_World* grid = make_grid_world(8);
  OM_World* sample = load_world(OM_SOURCE_DIR "/examples/sample.world");
  ASSERT_TRUE(grid && sample);
  struct Uniform {
    OM_World* w;
    f32 size, ceiling;
  } worlds[] = {{scene, 6, 1.5f}, {grid, 8, 1.5f}, {sample, 14, 2.5f}};
  for (const Uniform& u : worlds) {
    use_pattern_textures(u.w, wall, flat);
    for (reg i = 0; i < world_sector_count(u.w); ++i) {
      world_sector(u.w, i)->floorHeight = 0;
      world_sector(u.w, i)->ceilingHeight = u.ceiling;
    }
    world = u.w;
    random_views(u.w, 19, 60, u.size, u.ceiling, [&](f32 x, f32 y, f32 z, f32 angle, int sector) {
      SCOPED_TRACE(testing::Message()
                   << "(" << x << ", " << y << ") z " << z << " angle " << angle);
      place(x, y, z, angle, sector);
      int w = sector % 2 ? 160 : 640, h = w * 3 / 4, differing = 0;
      OM_Surface *classic = blank(w, h), *heights = blank(w, h);
      draw_game_viewport(classic);
      heights_mode = 1;
      draw_game_viewport(heights);
      heights_mode = 0;
      for (int i = 0; i < w * h; ++i) {
        differing += classic->data[i % w] != kUntouched && heights->data[i] != classic->data[i];
      }
      EXPECT_EQ(differing, 0);
      expect_whole_heights_frame(w, h);
      for (OM_Surface* t : {classic, heights}) OM_DestroySurface(t);
    });
  }
  world = scene;
  release_world(grid);
  release_world(sample);
}

// A room x 0 .. 4 (floor 0, ceiling 2) joined at x = 4 to one x 4 .. 8 (floor
// 0.25, ceiling 1.5). From (1, 1) with the eye at 0.5, column 320 meets the
// portal at distance 3 (167.43 pixels per unit) and the far wall at 7
// (71.76): the upper step ends at 240 - 167.43 = 72.6, the lower one
// begins at 240 + 167.43 / 4 = 281.9 and ends where the near floor begins,
// 240 + 167.43 / 2 = 323.7; the far wall spans 240 -+ 71.76 down to 257.9.
TEST_F(Render, StepsBeginAndEndWhereTheyShould) {
  OM_Surface* nearFloor = make_pattern_texture(64, 64, 10);
  OM_Surface* farFloor = make_pattern_texture(64, 64, 11);
  OM_Surface* farCeiling = make_pattern_texture(64, 64, 12);
  OM_Surface* own = make_pattern_texture(64, 64, 13);
  make_strip(4, 8, 0.25f, 1.5f, nearFloor, farFloor, farCeiling);
  world->textures[2] = own;
  heights_mode = 1;
  OM_Surface* s = blank(640, 480);
  // Rows 0 .. 72 the upper step, then the far ceiling, the wall, the far
  // floor, the lower step (281 .. 323) and the near floor. The step's
  // texture rows count from its top, 16 to its 0.25 units, wherever the eye
  // is: an eye 0.125 higher puts the step 20.9 rows lower.
  const int bounds[] = {0, 72, 168, 257, 281, 323, 480};
  for (int portalStep : {0, 3}) {
    world_edge(world, 0, 1)->portal_step = static_cast<u16>(portalStep);
    u32 upper = portalStep ? 13 : 12, lower = portalStep ? 13 : 11;
    const u32 tags[] = {upper, 12, kWallTag, 11, lower, 10};
    place(1, 1, 0.5f, 0, 0);
    draw_game_viewport(s);
    for (int part = 0; part < 6; ++part) {
      for (int y = bounds[part]; y < bounds[part + 1]; ++y) {
        ASSERT_EQ(tag_of(pixel(s, 320, y)), tags[part]) << "row " << y << " step " << portalStep;
      }
    }
    for (int lift : {0, 21}) {
      place(1, 1, lift ? 0.625f : 0.5f, 0, 0);
      draw_game_viewport(s);
      EXPECT_EQ(pixel(s, 320, 281 + lift) & 0xFFFF00, lower << 16);
      EXPECT_EQ(pixel(s, 320, 322 + lift) & 0xFFFF00, lower << 16 | 15 << 8);
      EXPECT_NE(tag_of(pixel(s, 320, 323 + lift)), lower);
    }
  }
  world->textures[2] = nullptr;
  for (OM_Surface* t : {nearFloor, farFloor, farCeiling, own, s}) OM_DestroySurface(t);
  free_world(world);
}

// Heights mode writes every pixel of every column: rays that reach the view
// distance, or the hop bound across the large grid, end on the background.
// The vector levels and the interlaced halves agree with the plain full frame.
TEST_F(Render, HeightsModeLeavesNoOldPixels) {
  OM_World* sample = load_world(OM_SOURCE_DIR "/examples/sample.world");
  OM_World* grid = make_grid_world(255);
  ASSERT_TRUE(sample && grid);
  heights_mode = 1;
  struct Case {
    OM_World* w;
    f32 size;
    int views;
  } cases[] = {{sample, 14, 40}, {grid, 255, 12}};
  for (const Case& c : cases) {
    use_pattern_textures(c.w, wall, flat);
    world = c.w;
    random_views(c.w, 7, c.views, c.size, 10, [&](f32 x, f32 y, f32 z, f32 angle, int sector) {
      SCOPED_TRACE(testing::Message()
                   << "(" << x << ", " << y << ") z " << z << " angle " << angle);
      place(x, y, z, angle, sector);
      expect_whole_heights_frame(320, 240);
    });
  }
  thePlayer.sector = nullptr;  // outside every room: the background
  OM_Surface* s = blank(64, 48);
  draw_game_viewport(s);
  EXPECT_EQ(std::count(s->data, s->data + 64 * 48, kBlack), 64 * 48);
  OM_DestroySurface(s);
  world = scene;
  release_world(sample);
  release_world(grid);
}

// A U-shaped room whose arms a square room joins, entered a second time from
// it, and a room wound around a pillar, joined to itself along the cut: rays
// go on past where they came in, in both looks, and meet a wall.
TEST_F(Render, RoomsThatAreNotConvexHaveNoStaleColumns) {
  const f32 u[][2] = {{0, 0}, {2, 0}, {2, 2}, {4, 2}, {4, 0}, {6, 0}, {6, 4}, {0, 4}};
  OM_World* arms = make_world(u, 8);
  const OM_WorldEdge uRoom[] = {textured_edge(0, 1, wall), portal_edge(1, 2, 1, 3),
                                textured_edge(2, 3, wall), portal_edge(3, 4, 1, 1),
                                textured_edge(4, 5, wall), textured_edge(5, 6, wall),
                                textured_edge(6, 7, wall), textured_edge(7, 0, wall)};
  const OM_WorldEdge square[] = {textured_edge(1, 4, wall), portal_edge(4, 3, 0, 3),
                                 textured_edge(3, 2, wall), portal_edge(2, 1, 0, 1)};
  add_sector(arms, 0, 2, flat, flat, uRoom, 8);
  add_sector(arms, 0, 2, flat, flat, square, 4);
  const f32 r[][2] = {{3, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0},
                      {3, 2}, {2, 2}, {2, 4}, {4, 4}, {4, 2}};
  OM_World* ring = make_world(r, 10);
  const OM_WorldEdge around[] = {
      textured_edge(0, 1, wall), textured_edge(1, 2, wall), textured_edge(2, 3, wall),
      textured_edge(3, 4, wall), textured_edge(4, 0, wall), portal_edge(0, 5, 0, 11),
      textured_edge(5, 6, wall), textured_edge(6, 7, wall), textured_edge(7, 8, wall),
      textured_edge(8, 9, wall), textured_edge(9, 5, wall), portal_edge(5, 0, 0, 5)};
  add_sector(ring, 0, 2, flat, flat, around, 12);
  struct Case {
    OM_World* w;
    View view;
  } cases[] = {{arms, {1, 1, 0.5f, 0, 0}},      {arms, {5, 1, 0.5f, kPi, 0}},
               {arms, {3, 1, 0.5f, 0.2f, 1}},   {ring, {1.5f, 1, 0.5f, 0, 0}},
               {ring, {4.5f, 1, 0.5f, kPi, 0}}, {ring, {5, 3, 1.5f, -2.0f, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.view.x << ", " << c.view.y << ")");
    world = c.w;
    place(c.view);
    for (int look = 0; look <= 1; ++look) {
      heights_mode = look;
      OM_Surface* s = blank(320, 240);
      draw_game_viewport(s);
      // No old pixels, nor the background where a wall should be.
      EXPECT_EQ(std::count(s->data, s->data + 320 * 240, kUntouched), 0) << "heights " << look;
      EXPECT_EQ(std::count(s->data, s->data + 320 * 240, kBlack), 0) << "heights " << look;
      OM_DestroySurface(s);
    }
    heights_mode = 0;
    expect_reference_frame(320, 240);
  }
  world = scene;
  free_world(arms);
  free_world(ring);
}
