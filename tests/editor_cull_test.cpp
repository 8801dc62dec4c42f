// The map drawn with culling is the map drawn without it, pixel for pixel,
// and leaves the same selection: on the built-in world, on grids up to the
// largest and on a world of odd sectors, at pans and zooms that put sectors
// across the viewport's edges and vertices just outside it with their
// labels inside, turned and not, with sectors, edges and vertices selected,
// the drawing overlay and the link mark.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "collection.h"
#include "draw.h"
#include "editor_commands.h"
#include "grid_support.h"
#include "object_player.h"
#include "scene_support.h"
#include "stream.h"
#include "surface.h"
#include "world_edit.h"

namespace {

class MapCulling : public ::testing::Test {
 protected:
  void SetUp() override {
    OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
    font = s ? OM_LoadFont(s) : nullptr;
    OM_ReleaseStream(s);
    ASSERT_NE(font, nullptr);
    ASSERT_NE(surface, nullptr);
    OM_font = font;
    root.data = &data;
    OM_editor = &root;
    OM_camera = &gameCamera;
    gameCamera.attached_to = &hero.object;
    player = &hero;
    relative_map_mode = 0;
  }
  void TearDown() override {
    OM_DestroySurface(surface);
    OM_DestroyFont(font);
    OM_DestroyCollection(data.corners);
    release_world(w);
  }

  void use(OM_World* made) {
    ASSERT_NE(made, nullptr);
    release_world(w);
    world = data.world = w = made;
  }
  // The player stands at the map point, with its sector looked up.
  void stand(f32 x, f32 y, f32 angle) {
    hero.object = {x, y, 0.0f, angle};
    hero.sector = get_sector_at(w, x, y);
    gameCamera.object = hero.object;
  }
  // The view that puts map point (mx, my) at viewport pixel (px, py).
  void look_at(f32 mx, f32 my, f32 px, f32 py, f32 zoom, int relative = 0) {
    data.camera.object = {(px / 640.0f - 0.5f) * zoom - mx, (py / 464.0f - 0.5f) * zoom - my, zoom,
                          0.0f};
    relative_map_mode = relative;
  }

  std::vector<u32> frame(int culling, reg* selected) {
    mapCulling = culling;
    OM_FillRect(surface, 0, 0, surface->w, surface->h, 0xFF0000FF);
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = surface;
    RV_Editor_Viewport_HandleEvent(&view, view.super, &e);
    *selected = data.selectedSector;
    return std::vector<u32>(surface->data, surface->data + 640 * 464);
  }
  // Both ways from the same state; the culled frame must also show the map.
  void expect_same(const std::string& what) {
    const RV_Editor_Data before = data;
    reg plainSelected, culledSelected;
    const std::vector<u32> plain = frame(0, &plainSelected);
    data = before;
    const std::vector<u32> culled = frame(1, &culledSelected);
    EXPECT_EQ(culledSelected, plainSelected) << what;
    for (size_t i = 0; i < plain.size(); ++i) {
      if (plain[i] == culled[i]) continue;
      ADD_FAILURE() << what << ": pixel (" << i % 640 << ", " << i / 640 << ") is " << std::hex
                    << culled[i] << " culled, " << plain[i] << " drawn whole";
      return;
    }
  }

  SavedGlobals saved;
  OM_World* w = nullptr;
  OM_Font* font = nullptr;
  RV_Editor_Data data{};
  OM_Widget root{};
  OM_Widget view = {
      &OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent, nullptr, nullptr, 0, 16, 640, 464};
  Camera gameCamera{};
  Player hero{};
  OM_Surface* surface = OM_CreateSurface(640, 464);
};

struct Rng {
  uint64_t s;
  f32 unit() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return f32(s >> 40) / f32(1 << 24);
  }
  int below(int n) { return int(unit() * f32(n)) % n; }
};

// Fixed views that put edges and vertices at the viewport's sides, then
// random ones, turned or not, with random selections and switches.
TEST_F(MapCulling, FramesAreTheSameWithAndWithoutIt) {
  const struct {
    const char* name;
    OM_World* (*make)();
    f32 span;                // the map runs over 0..span on both axes (near enough)
    int zooms, randomViews;  // the whole largest grid is slow to draw
  } worlds[] = {
      {"built-in", world_builtin, 5, 3, 30},
      {"grid 30", [] { return make_grid_world(30); }, 30, 3, 30},
      {"grid 255", [] { return make_grid_world(255); }, 255, 1, 6},
      {"odd sectors", make_odd_world, 24, 3, 30},
  };
  for (const auto& c : worlds) {
    use(c.make());
    Rng rng{uint64_t(c.span * 1000)};
    stand(c.span * 0.4f, c.span * 0.3f, 0.3f);
    const f32 zooms[] = {24, 8, 64};
    for (f32 zoom : zooms) {
      if (zoom != zooms[0] && c.zooms == 1) continue;
      // Vertex (0, 0) a few pixels off each side: its square outside, its
      // label partly in; and corners of the map across the sides.
      // A side half a pixel off the surface still draws on its first column
      // or row (positions truncate toward zero).
      const f32 places[][2] = {{-6, 100},   {-30, 100},  {100, -6},      {100, -13},
                               {-20, -10},  {643, 200},  {200, 467},     {0.5f, 0.5f},
                               {-0.5f, 99}, {99, -0.5f}, {-0.9f, -0.9f}, {639.5f, 463.5f}};
      for (const auto& p : places) {
        look_at(0, 0, p[0], p[1], zoom);
        expect_same(std::string(c.name) + " zoom " + std::to_string(zoom) + " vertex at " +
                    std::to_string(p[0]) + "," + std::to_string(p[1]));
        look_at(c.span, c.span, p[0], p[1], zoom);
        expect_same(std::string(c.name) + " far corner at " + std::to_string(p[0]));
      }
    }
    for (int k = 0; k < c.randomViews; ++k) {
      look_at(rng.unit() * c.span, rng.unit() * c.span, rng.unit() * 640, rng.unit() * 464,
              8 + rng.unit() * 56, rng.below(3) == 0);
      stand(rng.unit() * c.span, rng.unit() * c.span, rng.unit() * 6.3f);
      const reg sectors = world_sector_count(w), vertices = world_vertex_count(w);
      data.selectedSector = reg(rng.below(int(sectors) + 1));
      data.flag = 0;
      if (rng.below(2)) data.flag |= RV_EDITOR_EDGE_SELECTED;
      data.selectedEdge = reg(rng.below(5));
      if (rng.below(2)) data.flag |= RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_LINE_DRAGGED;
      data.selectedVertex = reg(rng.below(int(vertices)));
      data.x = rng.below(640), data.y = rng.below(464);
      draw_portals = rng.below(3) != 0;
      drawVerticesLabel = rng.below(4) != 0;
      vertexSize = rng.below(4) ? 4 : rng.below(20);
      expect_same(std::string(c.name) + " random view " + std::to_string(k));
    }
    draw_portals = drawVerticesLabel = 1;
    vertexSize = 4;
  }
}

// Pass 1 skips the sector selected as it goes, as the loop over every
// sector always did: the old selection is left out unless the player's
// sector comes first and takes the selection before the loop reaches it.
TEST_F(MapCulling, TheSelectionFollowsThePlayerAsTheWholeLoopDid) {
  const f32 v[][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  OM_World* four = world_create();
  for (int s = 0; s < 4; ++s) {
    for (const auto& p : v) {
      OM_WorldVertex at = {p[0] + 2.0f * f32(s), p[1]};
      OM_Collection_Push(four->vertices, &at);
    }
    const u16 b = u16(4 * s);
    const OM_WorldEdge e[] = {colour_edge(b, b + 1, 0), colour_edge(b + 1, b + 2, 0),
                              colour_edge(b + 2, b + 3, 0), colour_edge(b + 3, b, 0)};
    add_sector(four, 0, 1, nullptr, nullptr, e, 4);
  }
  use(four);
  look_at(4, 0.5f, 320, 232, 12);
  const int none = -1, wayOut = 7;
  const int cases[][2] = {{2, 0}, {0, 2}, {1, 1}, {3, none}, {wayOut, 1}, {0, 3}, {3, 0}};
  for (const auto& c : cases) {
    for (int culling = 0; culling < 2; ++culling) {
      hero.sector = c[1] == none ? nullptr : world_sector(w, reg(c[1]));
      data.selectedSector = reg(c[0]);
      data.flag = 0;
      // The loop as it was, over every sector, after the viewport has
      // brought a selection past the last sector back to the first.
      reg selected = c[0] < 4 ? reg(c[0]) : 0;
      bool outlined[4] = {};
      for (reg i = 0; i < 4; ++i) {
        if (i == selected) continue;
        if (hero.sector == world_sector(w, i)) selected = i;
        outlined[i] = true;
      }
      reg got;
      std::vector<u32> pixels = frame(culling, &got);
      EXPECT_EQ(got, selected);
      for (reg i = 0; i < 4; ++i) {
        f32 x = 2.0f * f32(i), y = 0.5f;  // the middle of the square's left side
        RV_Editor_Viewport_ViewportToScreen(&view, &data.camera, &x, &y);
        const u32 want = i == selected ? 0xFFFFFFFF : outlined[i] ? 0xFF666666 : 0xFF000000;
        EXPECT_EQ(pixels[size_t(x) + 640 * size_t(y)], want)
            << "was " << c[0] << ", player in " << c[1] << ", sector " << i << ", culling "
            << culling;
      }
    }
  }
}

// The outline being drawn asks what lies under the pointer every frame:
// the corner it would add (on a vertex, on an edge, on the map) and the
// marked edge look the same either way, here on the largest grid.
TEST_F(MapCulling, TheDrawingOverlayAndTheMarkAreTheSame) {
  // A grid of squares of side 4, so that points can lie near an edge and
  // away from every vertex's pick box.
  use(make_grid_world(100));
  for (reg i = 0; i < world_vertex_count(w); ++i) {
    world_vertex(w, i)->x *= 4.0f;
    world_vertex(w, i)->y *= 4.0f;
  }
  world_changed(w);
  stand(322, 322, 0.0f);
  data.corners = OM_CreateCollection(8, sizeof(OM_Corner));
  const OM_Corner corners[] = {{OM_NEW_VERTEX, 317, 318.75f}, {90 * 101 + 90, 360, 360}};
  for (const OM_Corner& k : corners) OM_Collection_Push(data.corners, (void*)&k);
  data.flag = RV_EDITOR_DRAWING | RV_EDITOR_EDGE_MARKED;
  data.markSector = 80 * 100 + 80;
  data.markEdge = 1;
  data.pointerSeen = 1;
  // Centred inside the grid and on its left side; the pointer on a vertex,
  // beside an edge, on empty map, just outside the grid within an edge's
  // reach (where no sector's box holds it), inside near the grid's side,
  // and far beyond.
  const f32 centres[][2] = {{322, 322}, {2, 322}};
  const f32 pointers[][2] = {{320, 320},       {322, 320.02f}, {321.3f, 322.6f},
                             {-0.04f, 321.3f}, {0.3f, 322},    {-3, -2}};
  // With Shift held the point is not snapped: only an edge's reach finds it.
  for (int mode = 0; mode < 4; ++mode) {
    keyboard.keys[OM_KEY_SHIFT] = mode / 2;
    for (f32 zoom : {8.0f, 24.0f, 64.0f}) {
      for (const auto& c : centres) {
        look_at(c[0], c[1], 320, 232, zoom, mode % 2);
        for (const auto& p : pointers) {
          f32 x = p[0], y = p[1];
          RV_Editor_Viewport_ViewportToScreen(&view, &data.camera, &x, &y);
          data.pointerX = (int)x;
          data.pointerY = (int)y;
          expect_same("pointer at " + std::to_string(p[0]) + "," + std::to_string(p[1]) + " zoom " +
                      std::to_string(zoom) + " mode " + std::to_string(mode));
        }
      }
    }
  }
}

// An edit between frames is drawn at once: the index under the map is made
// again for the dragged vertex, the split edge and the deleted sector.
TEST_F(MapCulling, EditsShowInTheNextFrame) {
  use(make_grid_world(30));
  stand(10.5f, 10.5f, 0.0f);
  look_at(10, 10, 320, 232, 24);
  expect_same("before");
  for (f32 x : {10.4f, 11.3f, 13.0f, 10.2f}) {  // dragged: the index follows
    world_vertex(w, 10 * 31 + 10)->x = x;
    world_vertex_moved(w, 10 * 31 + 10);
    expect_same("a vertex dragged to " + std::to_string(x));
  }
  reg vertex;
  ASSERT_TRUE(world_split_edge(w, 10 * 30 + 10, 0, 10.7f, 10.0f, &vertex, nullptr, 0));
  world_vertex(w, vertex)->y = 9.5f;
  world_changed(w);
  expect_same("an edge split and pulled");
  ASSERT_TRUE(world_delete_sector(w, 10 * 30 + 9, nullptr, nullptr, 0));
  hero.sector = get_sector_at(w, hero.object.x, hero.object.y);
  expect_same("a sector deleted");
}

}  // namespace
