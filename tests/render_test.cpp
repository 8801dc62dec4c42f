#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "editor.h"
#include "object_camera.h"
#include "object_player.h"
#include "ombrix.h"
#include "render_reference.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "world.h"

namespace {

const u32 kUntouched = 0x12345678;
const u32 kDummyTag = 1, kWallTag = 2, kFlatTag = 3;
const f32 kPi = 3.14159265f;

u32 texel(u32 tag, int u, int v) {
  return 0xFF000000u | tag << 16 | static_cast<u32>(v) << 8 | static_cast<u32>(u);
}
u32 tag_of(u32 pixel) { return (pixel >> 16) & 0xFF; }

OM_Surface* blank(int w, int h) {
  OM_Surface* s = OM_CreateSurface(w, h);
  for (int i = 0; i < w * h; ++i) s->data[i] = kUntouched;
  return s;
}

u32 pixel(OM_Surface* s, int x, int y) { return s->data[x + s->step * y]; }

// Owns the hand-built scene and puts the renderer's globals back afterwards.
class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = {world, player, OM_camera, dummyTexture, draw_portals, interlace, renderer_simd};
    dummy = make_pattern_texture(64, 64, kDummyTag);
    wall = make_pattern_texture(64, 64, kWallTag);
    flat = make_pattern_texture(64, 64, kFlatTag);
    // The built-in world, its textures swapped for patterns that name the
    // texel they came from.
    scene = load_world("WORLD_DEVEL");
    ASSERT_NE(scene, nullptr);
    use_pattern_textures(scene, wall, flat);
    world = scene;
    memset(&thePlayer, 0, sizeof thePlayer);
    memset(&camera, 0, sizeof camera);
    camera.fov = 1.134464f;
    camera.view_distance = 128.0f;
    player = &thePlayer;
    OM_camera = &camera;
    dummyTexture = dummy;
    draw_portals = 1;
    interlace = 0;
  }
  void TearDown() override {
    world = saved.world;
    player = saved.player;
    OM_camera = saved.camera;
    dummyTexture = saved.dummy;
    draw_portals = saved.portals;
    interlace = saved.interlace;
    renderer_simd = saved.simd;
    release_world(scene);
    for (OM_Surface* s : {dummy, wall, flat}) OM_DestroySurface(s);
  }

  // The camera at (x, y), eye height z, heading angle, in sector `sector`.
  void place(f32 x, f32 y, f32 z, f32 angle, int sector) {
    camera.object = {x, y, z, angle};
    thePlayer.object = camera.object;
    thePlayer.sector = sector < 0 ? nullptr : world_sector(world, sector);
  }

  // Draws one full frame with the renderer and one with the reference on the
  // same background and expects them equal pixel for pixel.
  void expect_reference_frame(int w, int h) {
    OM_Surface* fast = blank(w, h);
    OM_Surface* plain = blank(w, h);
    draw_game_viewport(fast);
    reference_draw_game_viewport(plain, 0, 1);
    int differing = 0;
    for (int i = 0; i < w * h; ++i) {
      if (fast->data[i] != plain->data[i] && differing++ < 3) {
        ADD_FAILURE() << "pixel (" << i % w << ", " << i / w << "): " << std::hex << fast->data[i]
                      << " instead of " << plain->data[i];
      }
    }
    EXPECT_EQ(differing, 0);
    OM_DestroySurface(fast);
    OM_DestroySurface(plain);
  }

  struct {
    OM_World* world;
    Player* player;
    Camera* camera;
    OM_Surface* dummy;
    int portals, interlace, simd;
  } saved;
  OM_Surface *dummy, *wall, *flat;
  OM_World* scene;
  Player thePlayer;
  Camera camera;
};

struct View {
  f32 x, y, z, angle;
  int sector;
};

// Views of the built-in world: the start, through each of the three portals
// (the wrap-around one both ways), from above the ceiling and from the floor.
const View kViews[] = {
    {4, 4, 0, 0, 1},
    {4, 4, 1.6f, 0, 1},
    {1, 1, 0.5f, 0, 0},
    {4, 1, 0.8f, 0, 2},
    {0.5f, 1, 0.5f, kPi, 0},
    {3.5f, 3, 0.3f, -1.2f, 1},
    {1.5f, 1.5f, 0.9f, 0.8f, 0},
    {4.5f, 3, 1, 2.5f, 1},
    {1, 1.5f, 1.5f, -2, 0},
    {3.2f, 2.5f, 0.2f, 100, 1},
    {4.9f, 0.2f, 1.9f, 0.3f, 2},
    {2.2f, 4.2f, -0.4f, 1.3f, 1},
};

TEST_F(Render, MatchesTheReferenceInTheBuiltInWorld) {
  for (int portals = 0; portals <= 1; ++portals) {
    for (const View& v : kViews) {
      SCOPED_TRACE(testing::Message() << "camera (" << v.x << ", " << v.y << ") z " << v.z
                                      << " angle " << v.angle << " portals " << portals);
      draw_portals = portals;
      place(v.x, v.y, v.z, v.angle, v.sector);
      EXPECT_EQ(get_sector_at(world, v.x, v.y), thePlayer.sector);
      expect_reference_frame(640, 480);
      expect_reference_frame(320, 240);
    }
  }
}

TEST_F(Render, MatchesTheReferenceAtOddSizes) {
  place(1.5f, 1.5f, 0.9f, 0.8f, 0);
  for (int size : {1, 2, 3, 7, 33}) {
    SCOPED_TRACE(size);
    expect_reference_frame(size, size * 2 + 1);
    expect_reference_frame(size * 3 + 1, size);
  }
  expect_reference_frame(640, 1100);  // taller than one band of rows
}

TEST_F(Render, WorkedWallColumn) {
  place(1, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  // Sector 0's edge 1 at distance 1 fills the column; u = 32 of the dummy.
  EXPECT_EQ(pixel(s, 320, 0), texel(kDummyTag, 32, 1));
  EXPECT_EQ(pixel(s, 320, 100), texel(kDummyTag, 32, 14));
  EXPECT_EQ(pixel(s, 320, 240), texel(kDummyTag, 32, 31));
  EXPECT_EQ(pixel(s, 320, 479), texel(kDummyTag, 32, 62));
  OM_DestroySurface(s);
}

TEST_F(Render, WorkedFloorPixel) {
  place(4, 4, 1.6f, 0, 1);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 400), texel(kFlatTag, 0, 51));
  OM_DestroySurface(s);
}

TEST_F(Render, StartViewFloorSamplesOneTexel) {
  // Eye on the floor: the floor starts on the horizon row, where the
  // mapping divides 0 by 0 and samples texel (0, 0); below it zd is 0.
  place(4.3f, 4.1f, 0, 0, 1);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 100, 240), texel(kFlatTag, 0, 0));
  u32 under = texel(kFlatTag, 262 % 64, 275 % 64);  // u from y = 4.1, v from x = 4.3
  for (int x : {0, 320, 639}) {
    for (int y : {241, 400, 479}) EXPECT_EQ(pixel(s, x, y), under) << x << ", " << y;
  }
  OM_DestroySurface(s);
}

TEST_F(Render, WrapAroundPortalShowsTheFarSideAtTheWholeDistance) {
  // From (4, 1) in sector 2 the x = 5 portal leads to sector 0's x = 0 edge,
  // and sector 0's wall x = 2 appears 3 units away with sector 0's ceiling.
  place(4, 1, 0.5f, 0, 2);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  f32 wallHeight = 320 / tanf(1.134464f / 2.0f) / 3.0f;
  int y0 = static_cast<int>(240 - wallHeight * 0.5f);
  int y1 = static_cast<int>(240 + wallHeight * 0.5f);
  EXPECT_EQ(tag_of(pixel(s, 320, y0 - 1)), kFlatTag);
  EXPECT_EQ(tag_of(pixel(s, 320, y0)), kDummyTag);
  EXPECT_EQ(pixel(s, 320, y0) & 0xFF, 32u);  // u across the 2-unit edge at its middle
  EXPECT_EQ(tag_of(pixel(s, 320, y1 - 1)), kDummyTag);
  EXPECT_EQ(tag_of(pixel(s, 320, y1)), kFlatTag);

  // Closed, the portal is a red wall 1.8 units away under sector 2's
  // ceiling, 0.5 above the eye.
  draw_portals = 0;
  place(3.2f, 1, 1.5f, 0, 2);
  draw_game_viewport(s);
  f32 closedHeight = 320 / tanf(1.134464f / 2.0f) / 1.8f;
  int top = static_cast<int>(240 - closedHeight * 0.5f);
  EXPECT_EQ(pixel(s, 320, 240), 0xFFFF0000u);
  EXPECT_EQ(pixel(s, 320, top + 1), 0xFFFF0000u);
  EXPECT_EQ(tag_of(pixel(s, 320, top - 2)), kFlatTag);
  OM_DestroySurface(s);
}

TEST_F(Render, InterlacingAlternatesColumnsAcrossCalls) {
  place(4, 4, 1.6f, 0.3f, 1);
  interlace = 1;
  OM_Surface* a = blank(64, 48);
  draw_game_viewport(a);
  int parity = pixel(a, 0, 47) == kUntouched ? 1 : 0;
  for (int x = 0; x < 64; ++x) {
    EXPECT_EQ(pixel(a, x, 47) == kUntouched, x % 2 != parity) << x;
  }
  OM_Surface* ref = blank(64, 48);
  reference_draw_game_viewport(ref, parity, 2);
  EXPECT_EQ(memcmp(a->data, ref->data, 64 * 48 * 4), 0);

  // The next call fills the other half, the previous half stays.
  draw_game_viewport(a);
  reference_draw_game_viewport(ref, 1 - parity, 2);
  EXPECT_EQ(memcmp(a->data, ref->data, 64 * 48 * 4), 0);

  // Without a sector nothing is drawn, but the call still counts.
  thePlayer.sector = nullptr;
  OM_Surface* b = blank(64, 48);
  draw_game_viewport(b);
  for (int i = 0; i < 64 * 48; ++i) ASSERT_EQ(b->data[i], kUntouched);
  thePlayer.sector = world_sector(world, 1);
  draw_game_viewport(b);  // the fourth call: the same half as the second
  EXPECT_EQ(pixel(b, parity, 10), kUntouched);
  EXPECT_NE(pixel(b, 1 - parity, 10), kUntouched);

  interlace = 0;
  OM_Surface* c = blank(64, 48);
  draw_game_viewport(c);
  for (int x = 0; x < 64; ++x) EXPECT_NE(pixel(c, x, 10), kUntouched);
  for (OM_Surface* s : {a, b, c, ref}) OM_DestroySurface(s);
}

TEST_F(Render, WallExactlyAtViewDistanceIsNotHit) {
  place(1, 1, 0.5f, 0, 0);
  camera.view_distance = 1.0f;
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  for (int y = 0; y < 480; ++y) ASSERT_EQ(pixel(s, 320, y), kUntouched) << y;
  expect_reference_frame(640, 480);
  camera.view_distance = 1.0001f;
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 0), texel(kDummyTag, 32, 1));
  OM_DestroySurface(s);
}

TEST_F(Render, RenderDrawsTheGameViewInGameplay) {
  place(4, 4, 1.6f, 0, 1);
  OM_Surface* savedFrame = OM_frameBuffer;
  GameState savedState = gameState;
  OM_frameBuffer = blank(640, 480);
  gameState = GAMEPLAY;
  OM_Render();
  EXPECT_EQ(pixel(OM_frameBuffer, 320, 400), texel(kFlatTag, 0, 51));
  OM_DestroySurface(OM_frameBuffer);
  OM_frameBuffer = savedFrame;
  gameState = savedState;
}

// The built-in world as the program has it: its own textures and the real
// fallback texture.
class RenderRealTextures : public Render {
 protected:
  void SetUp() override {
    Render::SetUp();
    release_world(scene);
    scene = world = load_world("WORLD_DEVEL");
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->flatTexture, nullptr);
    OM_Stream* stream = OM_OpenStream("res://TEX_WDUMMY", OM_STREAM_READ);
    ASSERT_NE(stream, nullptr);
    realDummy = OM_LoadSurface(stream);
    OM_ReleaseStream(stream);
    ASSERT_NE(realDummy, nullptr);
    dummyTexture = realDummy;
  }
  void TearDown() override {
    Render::TearDown();
    OM_DestroySurface(realDummy);
  }
  OM_Surface* realDummy = nullptr;
};

TEST_F(RenderRealTextures, WorkedColumnAndFloorPixel) {
  place(1, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  const int rows[][2] = {{0, 1}, {100, 14}, {240, 31}, {479, 62}};
  for (const auto& r : rows) {
    EXPECT_EQ(pixel(s, 320, r[0]), pixel(realDummy, 32, r[1])) << "row " << r[0];
  }
  place(4, 4, 1.6f, 0, 1);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 400), pixel(world->flatTexture, 0, 51));
  OM_DestroySurface(s);
}

TEST_F(RenderRealTextures, MatchesTheReference) {
  for (int portals = 0; portals <= 1; ++portals) {
    for (const View& v : kViews) {
      SCOPED_TRACE(testing::Message() << "camera (" << v.x << ", " << v.y << ") z " << v.z
                                      << " angle " << v.angle << " portals " << portals);
      draw_portals = portals;
      place(v.x, v.y, v.z, v.angle, v.sector);
      expect_reference_frame(640, 480);
    }
  }
}

// Worlds built to hit the renderer's degenerate cases; run under the
// sanitizers these catch any NaN-to-int conversion or stray texel read.
class RenderEdgeCases : public Render {};

TEST_F(RenderEdgeCases, PortalCycleLeavesTheFrameAlone) {
  // A 2 x 2 room whose opposite sides are linked: every ray hops forever.
  const f32 v[][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  world = make_world(v, 4);
  const OM_WorldEdge e[] = {portal_edge(0, 1, 0, 2), portal_edge(1, 2, 0, 3),
                            portal_edge(2, 3, 0, 0), portal_edge(3, 0, 0, 1)};
  add_sector(world, 0, 1, flat, flat, e, 4);
  place(1, 1, 0.5f, 0.4f, 0);
  OM_Surface* s = blank(80, 60);
  draw_game_viewport(s);
  int touched = 0;
  for (int i = 0; i < 80 * 60; ++i) touched += s->data[i] != kUntouched;
  EXPECT_EQ(touched, 0);
  OM_DestroySurface(s);
  expect_reference_frame(80, 60);
  draw_portals = 0;
  expect_reference_frame(80, 60);
  free_world(world);
}

TEST_F(RenderEdgeCases, ShortHorizontalEdgesKeepTheTextureColumnInRange) {
  // Every edge is shorter than one unit, so both whole-unit extents are 0;
  // the horizontal ones have no y extent at all.
  OM_Surface* odd = make_pattern_texture(3, 5, kWallTag);
  const f32 v[][2] = {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}, {0, 0.5f}};
  world = make_world(v, 4);
  const OM_WorldEdge e[] = {textured_edge(0, 1, wall), textured_edge(1, 2, odd),
                            textured_edge(2, 3, wall), textured_edge(3, 0, nullptr)};
  add_sector(world, 0, 1, flat, flat, e, 4);
  for (f32 angle : {-kPi / 2, 0.0f, kPi / 2, kPi, 0.7f}) {
    place(0.25f, 0.2f, 0.5f, angle, 0);
    expect_reference_frame(160, 120);
  }
  place(0.26f, 0.2f, 0.5f, -kPi / 2, 0);
  OM_Surface* s = blank(160, 120);
  draw_game_viewport(s);
  // Centre column, y = 0 edge at x = 0.26: u = trunc(64 * 0.26 / 0.5) = 33.
  EXPECT_EQ(tag_of(pixel(s, 80, 60)), kWallTag);
  EXPECT_EQ(pixel(s, 80, 60) & 0xFF, 33u);
  OM_DestroySurface(s);
  OM_DestroySurface(odd);
  free_world(world);
}

TEST_F(RenderEdgeCases, CameraOnAnEdgeOrOnTheHorizon) {
  // Standing on sector 0's wall x = 2: distance 0, an infinite wall height.
  for (f32 angle : {0.0f, kPi, 0.3f}) {
    place(2, 1, 0.5f, angle, 0);
    expect_reference_frame(320, 240);
  }
  place(2, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(320, 240);
  draw_game_viewport(s);
  for (int y : {0, 120, 239}) EXPECT_EQ(pixel(s, 160, y), texel(kDummyTag, 32, 0)) << y;
  // Eye exactly at the ceiling, and above it: the ceiling reaches the horizon.
  for (f32 z : {1.0f, 1.5f, 0.0f, -0.5f}) {
    place(1, 1.5f, z, 0.2f, 0);
    expect_reference_frame(320, 240);
  }
  OM_DestroySurface(s);
}

TEST_F(RenderEdgeCases, UnknownEdgeTypesAndBrokenLinksAreMagenta) {
  world_edge(world, 0, 1)->type = 7;
  place(1, 1, 0.5f, 0, 0);
  OM_Surface* s = blank(640, 480);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 0), 0xFFFF00FFu);
  EXPECT_EQ(pixel(s, 320, 479), 0xFFFF00FFu);
  expect_reference_frame(320, 240);

  *world_edge(world, 0, 1) = portal_edge(1, 2, 9, 0);  // no sector 9
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 240), 0xFFFF00FFu);
  expect_reference_frame(320, 240);
  *world_edge(world, 0, 1) = portal_edge(1, 2, 1, 40);  // no edge 40
  expect_reference_frame(320, 240);
  draw_portals = 0;  // closed, a broken portal is just red
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 320, 240), 0xFFFF0000u);
  expect_reference_frame(320, 240);

  // Edges naming vertices that do not exist are not there for the ray.
  draw_portals = 1;
  *world_edge(world, 0, 1) = textured_edge(1, 99, nullptr);
  expect_reference_frame(320, 240);
  OM_DestroySurface(s);
}

TEST_F(RenderEdgeCases, TexturesOfAnySize) {
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
    place(v.x, v.y, v.z, v.angle, v.sector);
    expect_reference_frame(320, 240);
  }
  // An empty texture, or no dummy for a missing one, draws magenta.
  world_sector(world, 0)->ceilingTexture = empty;
  dummyTexture = nullptr;
  place(0.3f, 1, 0.5f, 0, 0);
  expect_reference_frame(320, 240);
  OM_Surface* s = blank(320, 240);
  draw_game_viewport(s);
  EXPECT_EQ(pixel(s, 160, 0), 0xFFFF00FFu);
  for (OM_Surface* t : {one, wide, tall, empty, s}) OM_DestroySurface(t);
}

TEST_F(RenderEdgeCases, ExtremeCamerasStayDefined) {
  const f32 inf = std::numeric_limits<f32>::infinity();
  const f32 nan = std::numeric_limits<f32>::quiet_NaN();
  struct Case {
    f32 x, y, z, angle, fov, distance;
  } cases[] = {
      {1, 1, 1e30f, 0.3f, 1.134464f, 128},  {1, 1, -1e30f, 0.3f, 1.134464f, 128},
      {1, 1, 0.5f, 0.3f, 0, 128},           {1, 1, 0.5f, 0.3f, 4.0f, 128},
      {1, 1, 0.5f, 0.3f, 1.134464f, 0},     {1, 1, 0.5f, 0.3f, 1.134464f, 1e30f},
      {nan, 1, 0.5f, 0.3f, 1.134464f, 128}, {1, 1, nan, 0.3f, 1.134464f, 128},
      {1, 1, 0.5f, inf, 1.134464f, 128},    {1, 1, 0.5f, 1e20f, 1.134464f, 128},
      {1, 1, 0.5f, 0.3f, nan, 128},         {1, 1, inf, 0.3f, 1.134464f, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.x << " " << c.z << " " << c.angle << " " << c.fov << " " << c.distance);
    place(c.x, c.y, c.z, c.angle, 0);
    camera.fov = c.fov;
    camera.view_distance = c.distance;
    expect_reference_frame(64, 48);
  }
  // A world far from the origin.
  const f32 v[][2] = {{1e9f, 1e9f}, {1e9f + 512, 1e9f}, {1e9f + 512, 1e9f + 512}};
  world = make_world(v, 3);
  const OM_WorldEdge e[] = {textured_edge(0, 1, wall), textured_edge(1, 2, wall),
                            textured_edge(2, 0, wall)};
  add_sector(world, 0, 1, flat, flat, e, 3);
  camera.fov = 1.134464f;
  camera.view_distance = 1e6f;
  place(1e9f + 300, 1e9f + 100, 0.5f, 0.5f, 0);
  expect_reference_frame(64, 48);
  free_world(world);
}

TEST_F(RenderEdgeCases, WindowSurfaceLeavesItsSurroundingsAlone) {
  OM_Surface* big = blank(100, 80);
  OM_Surface window = *big;
  window.data = big->data + 10 + 100 * 5;
  window.w = 50;
  window.h = 40;
  place(1.5f, 1.5f, 0.9f, 0.8f, 0);
  draw_game_viewport(&window);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 100; ++x) {
      bool inside = x >= 10 && x < 60 && y >= 5 && y < 45;
      ASSERT_EQ(pixel(big, x, y) != kUntouched, inside) << x << ", " << y;
    }
  }
  OM_Surface* plainBig = blank(100, 80);
  OM_Surface plain = window;
  plain.data = plainBig->data + 10 + 100 * 5;
  reference_draw_game_viewport(&plain, 0, 1);
  EXPECT_EQ(memcmp(big->data, plainBig->data, 100 * 80 * 4), 0);
  OM_DestroySurface(big);
  OM_DestroySurface(plainBig);
}

}  // namespace
