// Mouse editing in the map viewport: pan, zoom, picking, adding, splitting and dragging.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "collection.h"
#include "editor_commands.h"
#include "scene_support.h"
#include "surface.h"
#include "ui_console.h"

namespace {

using Selection = std::pair<int, int>;  // selected vertex and edge, -1 for none
using Point = std::pair<f32, f32>;
using Ends = std::pair<int, int>;

// Sector 0: (0,0) (2,0) (2,2) (0,2); sector 1: (6,0) (8,0) (8,2) (6,2); a
// 640 x 480 viewport at zoom 8 with pan (-2, -2), so that map point (mx, my)
// lies exactly under pixel ((mx + 2) * 80, (my + 2) * 60).
class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    const f32 v[][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {6, 0}, {8, 0}, {8, 2}, {6, 2}};
    w = make_world(v, 8);
    for (int base : {0, 4}) {
      OM_WorldEdge e[4];
      for (int k = 0; k < 4; ++k)
        e[k] = colour_edge((u16)(base + k), (u16)(base + (k + 1) % 4), 0xFF000000u + (u32)k);
      add_sector(w, 0.0f, 1.0f, nullptr, nullptr, e, 4);
    }
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    data.camera.object = {-2.0f, -2.0f, 8.0f, 0.0f};
    root.data = &data;
    OM_editor = &root;
    world = data.world = w;
  }
  void TearDown() override { free_world(w); }

  static int sx(f32 mx) { return (int)lroundf((mx + 2.0f) * 80.0f); }
  static int sy(f32 my) { return (int)lroundf((my + 2.0f) * 60.0f); }
  void send(OM_EventType type, OM_Mouse m) {
    OM_mouse.clicks = m.clicks;
    OM_Event e{};
    e.type = type;
    e.mouse = &m;
    EXPECT_EQ(view.HandleEvent(&view, view.super, &e), 0);
  }
  void press(f32 mx, f32 my, int clicks = 1) {
    send(OM_EVENT_MOUSE_BUTTON_DOWN, {sx(mx), sy(my), 0, 0, 0, OM_LMB, clicks});
  }
  void double_click(f32 mx, f32 my) {
    press(mx, my, 1);
    send(OM_EVENT_MOUSE_BUTTON_UP, {sx(mx), sy(my), 0, 0, 0, 0, 1});
    press(mx, my, 2);
  }
  void drag_to(f32 mx, f32 my, int clicks) {
    send(OM_EVENT_MOUSE_MOVE, {sx(mx), sy(my), 0, 0, 0, OM_LMB, clicks});
  }
  void push_vertex(f32 x, f32 y) {
    OM_WorldVertex v = {x, y};
    OM_Collection_Push(w->vertices, &v);
  }
  Point at(reg i) { return {world_vertex(w, i)->x, world_vertex(w, i)->y}; }
  Ends ends(int s, int k) { return {world_edge(w, s, k)->v1, world_edge(w, s, k)->v2}; }
  reg vertices() { return world_vertex_count(w); }
  reg edges(int s) { return sector_edge_count(world_sector(w, s)); }
  Selection selection() {
    return {data.flag & RV_EDITOR_VERTEX_SELECTED ? (int)data.selectedVertex : -1,
            data.flag & RV_EDITOR_EDGE_SELECTED ? (int)data.selectedEdge : -1};
  }

  SavedGlobals saved;
  OM_World* w = nullptr;
  RV_Editor_Data data{};
  OM_Widget root{};
  OM_Widget view = {
      &OM_Widget_Prototype, RV_Editor_Viewport_HandleEvent, nullptr, nullptr, 0, 0, 640, 480};
};

TEST_F(Editing, PickBoxesEdgeFootPointsAndTheLowestIndex) {
  push_vertex(2.5f, 2.5f);  // index 8, also within reach of (2.4, 2.4)
  const struct {
    f32 x, y;
    reg sector;
    Selection picked;
  } cases[] = {
      {2.75f, 2.0f, 0, {2, -1}},                             // the vertex box is closed above...
      {2.0f, 2.75f, 0, {2, -1}}, {2.0f, 1.25f, 0, {-1, 1}},  // ...and open below: an edge instead
      {1.25f, 2.0f, 0, {-1, 2}}, {2.4f, 2.4f, 0, {2, -1}},   // the lowest index wins
      {3.0f, 3.0f, 0, {8, -1}},  {5.0f, 5.0f, 0, {-1, -1}}, {1.0f, 0.5f, 0, {-1, 0}},
      {1.0f, 1.0f, 0, {-1, -1}},  // exactly 1.0 from edges 0 and 2: too far
      {2.8f, 0.2f, 0, {-1, 1}},   // beyond the end of edge 0: no foot point
      {-0.9f, 0.2f, 0, {-1, 0}},  // before its start: the foot point is (0, 0)
      {7.0f, 0.5f, 0, {-1, -1}},  // edges of unselected sectors are not picked
      {7.0f, 0.5f, 1, {-1, 0}},
  };
  for (const auto& c : cases) {
    data.selectedSector = c.sector;
    press(c.x, c.y);
    EXPECT_EQ(selection(), c.picked) << c.x << ", " << c.y;
    EXPECT_TRUE(c.picked.first < 0 || data.x == sx(c.x));
  }
  data.selectedSector = 0;
  double_click(-0.9f, 0.2f);  // splits at the clamped foot point
  ASSERT_EQ(vertices(), 10u);
  EXPECT_EQ(at(9), Point(0.0f, 0.0f));
}

TEST_F(Editing, SplitAppendsTheFirstHalfWithTheEdgesTypeAndPayload) {
  *world_edge(w, 0, 0) = portal_edge(0, 1, 1, 2);
  double_click(1.0f, 0.5f);
  ASSERT_EQ(vertices(), 9u);
  EXPECT_EQ(at(8), Point(1.0f, 0.0f));
  ASSERT_EQ(edges(0), 5u);
  EXPECT_EQ(ends(0, 0), Ends(8, 1));  // N -> B
  EXPECT_EQ(ends(0, 4), Ends(0, 8));  // A -> N, appended
  OM_WorldEdge* added = world_edge(w, 0, 4);
  EXPECT_EQ(added->type, (u32)OM_EDGE_PORTAL);
  EXPECT_EQ(added->portal_sector, 1);
  EXPECT_EQ(added->portal_edge, 2);
  EXPECT_EQ(ends(0, 1), Ends(1, 2));  // the rest stay where they were
  EXPECT_EQ(selection(), Selection(8, -1));
}

TEST_F(Editing, DoubleClickAddsOrGrabsAVertexAndDragSnapsUnlessShift) {
  double_click(3.3f, 4.1f);
  ASSERT_EQ(vertices(), 9u);
  EXPECT_NEAR(at(8).first, 3.3f, 1e-5f);  // added unsnapped
  EXPECT_NEAR(at(8).second, 4.1f, 1e-5f);
  EXPECT_EQ(selection(), Selection(8, -1));
  drag_to(3.3f, 4.1f, 2);
  EXPECT_EQ(at(8), Point(3.5f, 4.0f));
  keyboard.keys[OM_KEY_SHIFT] = 1;  // exactly under the pointer
  drag_to(3.3f, 4.1f, 2);
  EXPECT_NEAR(at(8).first, 3.3f, 1e-5f);
  EXPECT_NEAR(at(8).second, 4.1f, 1e-5f);
  keyboard.keys[OM_KEY_SHIFT] = 0;
  EXPECT_EQ(data.flag & RV_EDITOR_LINE_DRAGGED, 0);

  double_click(2.0f, 2.0f);  // on vertex 2: nothing added, vertex 2 drags
  drag_to(4.2f, 3.9f, 2);
  EXPECT_EQ(vertices(), 9u);
  EXPECT_EQ(at(2), Point(4.0f, 4.0f));

  press(4.0f, 4.0f);  // a single-click drag only shows a line to the pointer
  drag_to(5.0f, 3.0f, 1);
  EXPECT_EQ(at(2), Point(4.0f, 4.0f));
  EXPECT_TRUE(data.flag & RV_EDITOR_LINE_DRAGGED);
  EXPECT_EQ(data.x, sx(5.0f));
  EXPECT_EQ(data.y, sy(3.0f));
  send(OM_EVENT_MOUSE_BUTTON_UP, {0, 0, 0, 0, 0, 0, 1});
  EXPECT_EQ(data.flag & RV_EDITOR_LINE_DRAGGED, 0);
  EXPECT_EQ(selection(), Selection(2, -1));
}

TEST_F(Editing, WheelZoomStaysWithin8To64AndRightButtonPans) {
  const struct {
    f32 from;
    int wheel, turns;
    f32 to;
  } zooms[] = {{24, 120, 16, 8}, {8, 120, 1, 8}, {64, -1, 1, 64}, {20, 0, 1, 21}};  // 0: out
  for (const auto& z : zooms) {
    data.camera.object.z = z.from;
    for (int i = 0; i < z.turns; ++i) send(OM_EVENT_MOUSE_WHEEL, {0, 0, 0, 0, z.wheel, 0, 0});
    EXPECT_EQ(data.camera.object.z, z.to) << z.from << " " << z.wheel;
  }
  data.camera.object = {-12.0f, -4.0f, 24.0f, 0.0f};
  send(OM_EVENT_MOUSE_MOVE, {100, 100, 64, 0, 0, OM_RMB, 1});
  EXPECT_NEAR(data.camera.object.x, -12.0f + 2.4f, 1e-5f);
  EXPECT_EQ(data.camera.object.y, -4.0f);
  send(OM_EVENT_MOUSE_MOVE, {100, 100, 0, 48, 0, OM_LMB, 1});  // left only: no pan
  EXPECT_EQ(data.camera.object.y, -4.0f);
}

TEST_F(Editing, TheVertexLimitRefusesEditsAndSaysSo) {
  while (vertices() < RV_EDITOR_MAX_VERTICES) push_vertex(100.0f, 100.0f);
  buffer[0] = '\0';
  double_click(4.0f, 4.0f);
  EXPECT_EQ(vertices(), (reg)RV_EDITOR_MAX_VERTICES);
  EXPECT_EQ(selection(), Selection(-1, -1));
  double_click(1.0f, 0.5f);  // a split is refused too
  EXPECT_EQ(vertices(), (reg)RV_EDITOR_MAX_VERTICES);
  EXPECT_EQ(edges(0), 4u);
  EXPECT_EQ(ends(0, 0), Ends(0, 1));
  EXPECT_NE(strstr(buffer, "65536"), nullptr);
}

TEST_F(Editing, ANewWorldDropsTheSelectionBeforeAnyUse) {
  const f32 one[][2] = {{0, 0}};
  OM_World* other = make_world(one, 1);  // without sectors
  OM_Surface* surface = OM_CreateSurface(640, 480);
  OM_Mouse m = {sx(3.0f), sy(3.0f), 0, 0, 0, OM_LMB, 2};
  for (OM_EventType type : {OM_EVENT_MOUSE_MOVE, OM_EVENT_DRAW}) {
    data.world = w;
    world = other;
    data.flag = RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED | RV_EDITOR_LINE_DRAGGED;
    data.selectedVertex = 7;  // a drag or the line would reach past the vertices
    data.selectedSector = 1;
    OM_Event e{};
    e.type = type;
    if (type == OM_EVENT_DRAW) {
      e.surface = surface;
    } else {
      e.mouse = &m;
    }
    EXPECT_EQ(view.HandleEvent(&view, view.super, &e), 0);
    EXPECT_EQ(data.flag, 0) << type;
    EXPECT_EQ(data.selectedSector, 0u) << type;
    EXPECT_EQ(data.world, other) << type;
  }
  RV_Editor_WorldChanged(nullptr);  // harmless
  OM_DestroySurface(surface);
  free_world(other);
}

}  // namespace
