// The map viewport's transforms, snapping, grid and sector drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "collection.h"
#include "draw.h"
#include "object_player.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;
const u32 kBlack = 0xFF000000, kFill = 0xFF113311, kHighlight = 0xFFFF0066;

// The start view (pan (-12, -4), zoom 24) of a 640 x 464 viewport, with the
// game camera at (4, 4).
class Viewport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(surface, nullptr);
    data.camera.object = {-12.0f, -4.0f, 24.0f, 0.0f};
    root.data = &data;
    OM_editor = &root;
    game_camera.object = {4.0f, 4.0f, 0.0f, 0.0f};
    OM_camera = &game_camera;
    player = &hero;
    world = nullptr;
    relative_map_mode = 0;
    OM_FillRect(surface, 0, 0, surface->w, surface->h, kBlack);
  }
  void TearDown() override {
    OM_DestroySurface(surface);
    free_world(w);
  }
  u32 px(int x, int y) { return surface->data[x + surface->step * y]; }
  void to_screen(f32* x, f32* y) { RV_Editor_Viewport_ViewportToScreen(&view, &data.camera, x, y); }
  u32 at(f32 mx, f32 my) {
    to_screen(&mx, &my);
    return px((int)mx, (int)my);
  }
  Pixels pixels_of(u32 color) {
    Pixels out;
    for (int y = 0; y < surface->h; ++y)
      for (int x = 0; x < surface->w; ++x)
        if (px(x, y) == color) out.insert({x, y});
    return out;
  }
  Pixels filled() {
    OM_FillRect(surface, 0, 0, surface->w, surface->h, kBlack);
    OM_Editor_Viewport_DrawSectors(&view, surface, &data.camera, world);
    return pixels_of(kFill);
  }

  SavedGlobals saved;
  OM_World* w = nullptr;
  RV_Editor_Data data{};
  OM_Widget root{};
  OM_Widget view = {
      &OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent, nullptr, nullptr, 0, 16, 640, 464};
  Camera game_camera{};
  Player hero{};
  OM_Surface* surface = OM_CreateSurface(640, 464);
};

TEST_F(Viewport, TransformsMapTheStartViewAndInvertInBothModes) {
  f32 x = 4.0f, y = 4.0f;
  to_screen(&x, &y);
  EXPECT_NEAR(x, 106.6667f, 1e-3f);
  EXPECT_EQ(y, 232.0f);
  EXPECT_EQ((int)x, 106);
  x = 12.0f;
  y = 4.0f;
  to_screen(&x, &y);
  EXPECT_EQ(x, 320.0f);
  EXPECT_EQ(y, 232.0f);

  const f32 points[][2] = {{4, 4}, {0, 0}, {-3.25f, 7.5f}, {12, 4}, {100.5f, -20}};
  game_camera.object.angle = 0.7f;
  for (int mode = 0; mode < 2; ++mode) {
    relative_map_mode = mode;
    for (auto& p : points) {
      x = p[0];
      y = p[1];
      to_screen(&x, &y);
      RV_Editor_Viewport_ScreenToViewport(&view, &data.camera, &x, &y);
      EXPECT_NEAR(x, p[0], 1e-3f) << "mode " << mode;
      EXPECT_NEAR(y, p[1], 1e-3f) << "mode " << mode;
    }
  }
  // Relative mode turns what lies ahead of the camera upward.
  data.camera.object.x = data.camera.object.y = 0.0f;
  for (f32 angle : {0.0f, 1.0f, -2.5f}) {
    game_camera.object.angle = angle;
    x = 4.0f + 3.0f * cosf(angle);
    y = 4.0f + 3.0f * sinf(angle);
    to_screen(&x, &y);
    EXPECT_NEAR(x, 320.0f, 1e-3f) << angle;
    EXPECT_LT(y, 232.0f) << angle;
  }
}

TEST(Snapping, HalfStepsRoundAwayFromZero) {
  const f32 cases[][2] = {
      {0.25f, 0.5f}, {-0.25f, -0.5f}, {0.74f, 0.5f}, {0.76f, 1.0f}, {1.0f, 1.0f}};
  for (auto& c : cases) {
    f32 x = c[0], y = c[0];
    OM_SnapToGrid(&x, &y, 0.5f, 0.5f);
    EXPECT_EQ(x, c[1]) << c[0];
    EXPECT_EQ(y, c[1]) << c[0];
  }
}

TEST_F(Viewport, GridDotsSitOnWholeMapCoordinatesAtEveryZoom) {
  const struct {
    f32 zoom, pan_y;
    size_t columns, rows;
  } cases[] = {
      {8, -4, 8, 8}, {9, -4, 8, 8}, {64, -4, 64, 64}, {24, -4.5f, 24, 23}, {24, -4, 24, 24}};
  for (const auto& c : cases) {
    OM_FillRect(surface, 0, 0, surface->w, surface->h, kBlack);
    data.camera.object = {-12.0f, c.pan_y, c.zoom, 0.0f};
    OM_Editor_Viewport_DrawGrid(&view, surface, &data.camera);
    std::set<int> xs, ys;
    Pixels dots = pixels_of(0xFF333333);
    for (auto& p : dots) {
      xs.insert(p.first);
      ys.insert(p.second);
    }
    EXPECT_EQ(xs.size(), c.columns) << "zoom " << c.zoom;
    EXPECT_EQ(ys.size(), c.rows) << "zoom " << c.zoom;
    EXPECT_EQ(dots.size(), c.columns * c.rows) << "zoom " << c.zoom;
  }
  // The start view, drawn last: map (12, 4) is the centre, (13, 5) lies at
  // (320 + 26.67, 232 + 19.33).
  EXPECT_EQ(px(320, 232), 0xFF333333u);
  EXPECT_EQ(px(346, 251), 0xFF333333u);
  EXPECT_EQ(px(321, 232), kBlack);
}

TEST_F(Viewport, FillAfterASplitStillCoversTheSectorsShape) {
  const f32 v[][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  world = data.world = w = make_world(v, 4);
  OM_WorldEdge e[] = {colour_edge(0, 1, 1), colour_edge(1, 2, 1), colour_edge(2, 3, 1),
                      colour_edge(3, 0, 1)};
  add_sector(w, 0.0f, 1.0f, nullptr, nullptr, e, 4);
  data.camera.object = {-4.0f, -2.0f, 12.0f, 0.0f};
  Pixels before = filled();
  EXPECT_EQ(at(2.0f, 2.0f), kFill);
  EXPECT_EQ(at(6.0f, 2.0f), kBlack);
  ASSERT_GT(before.size(), 1000u);
  // Split edge 1 at (4, 2) as the editor does: the edge now runs from the
  // new vertex and the first half is appended.
  OM_WorldVertex n = {4.0f, 2.0f};
  OM_Collection_Push(w->vertices, &n);
  OM_WorldEdge added = colour_edge(1, 4, 1);
  OM_Collection_Push(world_sector(w, 0)->edges, &added);
  world_edge(w, 0, 1)->v1 = 4;
  world_changed(w);
  EXPECT_EQ(filled(), before);
}

TEST_F(Viewport, VertexLabelsShowTheWholeIndex) {
  OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  OM_Font* font = s ? OM_LoadFont(s) : nullptr;
  OM_ReleaseStream(s);
  ASSERT_NE(font, nullptr);
  OM_font = font;
  const f32 none[][2] = {{0, 0}};
  w = make_world(none, 0);
  OM_WorldVertex v = {-1000.0f, -1000.0f};
  for (int i = 0; i < 10000; ++i) OM_Collection_Push(w->vertices, &v);
  v = {10.0f, 2.0f};  // vertex 10000, on screen
  OM_Collection_Push(w->vertices, &v);
  data.flag = RV_EDITOR_VERTEX_SELECTED;
  data.selectedVertex = 10000;
  OM_Editor_Viewport_DrawVertices(&view, surface, &data.camera, w);
  f32 x = 10.0f, y = 2.0f;
  to_screen(&x, &y);
  EXPECT_EQ(px((int)x - 4, (int)y - 4), kHighlight);  // the selected vertex's square
  // "V10000" beside it: every one of the six characters has pixels in its cell.
  int lx = (int)(x + 4.0f), ly = (int)(y + 4.0f);
  for (int c = 0; c < 6; ++c) {
    int lit = 0;
    for (int gy = 0; gy < 8; ++gy)
      for (int gx = 0; gx < 8; ++gx) lit += px(lx + 8 * c + gx, ly + gy) == kHighlight;
    EXPECT_GT(lit, 0) << "character " << c;
  }
  OM_DestroyFont(font);
}

}  // namespace
