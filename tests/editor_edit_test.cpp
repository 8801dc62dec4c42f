// Mouse editing in the map viewport: pan, zoom, picking, adding, splitting,
// dragging and placing the player, on worlds built by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "collection.h"
#include "editor.h"
#include "object_player.h"
#include "ombrix.h"
#include "ui_console.h"
#include "world.h"

namespace {

struct HandWorld {
  OM_World w;
  HandWorld() {
    w.vertices = OM_CreateCollection(4, sizeof(OM_WorldVertex));
    w.sectors = OM_CreateCollection(2, sizeof(OM_WorldSector));
  }
  ~HandWorld() {
    for (reg i = 0; i < w.sectors->length; ++i) OM_DestroyCollection(sector(i)->edges);
    OM_DestroyCollection(w.sectors);
    OM_DestroyCollection(w.vertices);
  }
  void vertex(f32 x, f32 y) {
    OM_WorldVertex v = {x, y};
    OM_Collection_Push(w.vertices, &v);
  }
  void loop(std::vector<u16> corners) {
    OM_WorldSector s{};
    s.edges = OM_CreateCollection(corners.size(), sizeof(OM_WorldEdge));
    for (reg k = 0; k < corners.size(); ++k) {
      OM_WorldEdge e{};
      e.v1 = corners[k];
      e.v2 = corners[(k + 1) % corners.size()];
      e.type = OM_EDGE_COLOR;
      e.color = 0xFF000000u + (u32)k;
      OM_Collection_Push(s.edges, &e);
    }
    OM_Collection_Push(w.sectors, &s);
  }
  OM_WorldSector* sector(reg i) { return &((OM_WorldSector*)w.sectors->data)[i]; }
  OM_WorldEdge* edge(reg s, reg k) { return &((OM_WorldEdge*)sector(s)->edges->data)[k]; }
  OM_WorldVertex vert(reg i) { return ((OM_WorldVertex*)w.vertices->data)[i]; }
  reg vertices() { return w.vertices->length; }
  reg edges(reg s) { return sector(s)->edges->length; }
};

// Sector 0: (0,0) (2,0) (2,2) (0,2); sector 1: (6,0) (8,0) (8,2) (6,2).
struct Rooms : HandWorld {
  Rooms() {
    vertex(0, 0);
    vertex(2, 0);
    vertex(2, 2);
    vertex(0, 2);
    vertex(6, 0);
    vertex(8, 0);
    vertex(8, 2);
    vertex(6, 2);
    loop({0, 1, 2, 3});
    loop({4, 5, 6, 7});
  }
};

// A 640 x 480 viewport at zoom 8 with pan (-2, -2): map point (mx, my) lies
// under pixel ((mx + 2) * 80, (my + 2) * 60), exactly for these values.
class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_editor = OM_editor;
    saved_world = world;
    saved_player = player;
    saved_camera = OM_camera;
    saved_mouse = OM_mouse;
    memset(keyboard.keys, 0, sizeof keyboard.keys);
    memset(&data, 0, sizeof data);
    data.camera.object = {-2.0f, -2.0f, 8.0f, 0.0f};
    root = OM_Widget{};
    root.data = &data;
    OM_editor = &root;
    view = RV_Editor_Viewport_Prototype;
    view.w = 640;
    view.h = 480;
    hero = Player{};
    player = &hero;
    game_camera = Camera{};
    game_camera.attached_to = &hero.object;
    OM_camera = &game_camera;
    world = &rooms.w;
    data.world = world;
  }
  void TearDown() override {
    OM_editor = saved_editor;
    world = saved_world;
    player = saved_player;
    OM_camera = saved_camera;
    OM_mouse = saved_mouse;
    memset(keyboard.keys, 0, sizeof keyboard.keys);
  }
  static int sx(f32 mx) { return (int)lroundf((mx + 2.0f) * 80.0f); }
  static int sy(f32 my) { return (int)lroundf((my + 2.0f) * 60.0f); }
  void send(OM_EventType type, OM_Mouse m) {
    OM_Event e{};
    e.type = type;
    e.mouse = &m;
    EXPECT_EQ(view.HandleEvent(&view, view.super, &e), 0);
  }
  void press(f32 mx, f32 my, int clicks = 1, int buttons = OM_LMB) {
    OM_mouse.clicks = clicks;
    send(OM_EVENT_MOUSE_BUTTON_DOWN, OM_Mouse{sx(mx), sy(my), 0, 0, 0, buttons, clicks});
  }
  void release() { send(OM_EVENT_MOUSE_BUTTON_UP, OM_Mouse{0, 0, 0, 0, 0, 0, OM_mouse.clicks}); }
  void double_click(f32 mx, f32 my) {
    press(mx, my, 1);
    release();
    press(mx, my, 2);
  }
  void move_to(f32 mx, f32 my, int buttons, int clicks) {
    send(OM_EVENT_MOUSE_MOVE, OM_Mouse{sx(mx), sy(my), 0, 0, 0, buttons, clicks});
  }
  bool vertex_selected(reg i) {
    return (data.flag & RV_EDITOR_VERTEX_SELECTED) && data.selectedVertex == i;
  }
  bool edge_selected(reg k) {
    return (data.flag & RV_EDITOR_EDGE_SELECTED) && data.selectedEdge == k;
  }

  Rooms rooms;
  RV_Editor_Data data;
  OM_Widget root, view;
  Player hero;
  Camera game_camera;
  OM_Widget* saved_editor;
  OM_World* saved_world;
  Player* saved_player;
  Camera* saved_camera;
  OM_Mouse saved_mouse;
};

TEST_F(Editing, VertexPickBoxIsOpenBelowAndClosedAbove) {
  press(2.75f, 2.0f);
  EXPECT_TRUE(vertex_selected(2));
  EXPECT_EQ(data.x, sx(2.75f));
  press(1.25f, 2.0f);  // just outside the box of (2, 2), on edge 2
  EXPECT_FALSE(data.flag & RV_EDITOR_VERTEX_SELECTED);
  press(2.0f, 1.25f);
  EXPECT_FALSE(data.flag & RV_EDITOR_VERTEX_SELECTED);
  press(2.0f, 2.75f);
  EXPECT_TRUE(vertex_selected(2));
}

TEST_F(Editing, LowestIndexAndVerticesWinOverEdges) {
  rooms.vertex(2.5f, 2.5f);  // index 8, also within reach of (2.4, 2.4)
  press(2.4f, 2.4f);
  EXPECT_TRUE(vertex_selected(2));
  EXPECT_FALSE(data.flag & RV_EDITOR_EDGE_SELECTED);
  press(3.0f, 3.0f);  // only vertex 8's box
  EXPECT_TRUE(vertex_selected(8));
  press(5.0f, 5.0f);  // nothing: the selection is cleared
  EXPECT_EQ(data.flag & (RV_EDITOR_VERTEX_SELECTED | RV_EDITOR_EDGE_SELECTED), 0);
}

TEST_F(Editing, EdgePickUsesTheFootPointOnTheSelectedSector) {
  press(1.0f, 0.5f);
  EXPECT_TRUE(edge_selected(0));
  press(1.0f, 1.0f);  // distance exactly 1: not picked (and 1.0 from edge 2 too)
  EXPECT_FALSE(data.flag & RV_EDITOR_EDGE_SELECTED);
  // Beyond the end of edge 0 and outside the box of (2, 0): edge 0 has no
  // foot point there, so edge 1, 0.8 away, is the first to be picked.
  press(2.8f, 0.2f);
  EXPECT_TRUE(edge_selected(1));
  press(-0.9f, 0.2f);  // before the start: the foot point is (0, 0)
  EXPECT_TRUE(edge_selected(0));
  press(7.0f, 0.5f);  // an edge of sector 1, which is not selected
  EXPECT_FALSE(data.flag & RV_EDITOR_EDGE_SELECTED);
  data.selectedSector = 1;
  press(7.0f, 0.5f);
  EXPECT_TRUE(edge_selected(0));
}

TEST_F(Editing, EdgePickReportsNoFootPointBeyondTheEnd) {
  // A sector holding the one edge (0, 0) -> (2, 0): in a closed outline
  // another edge would start at (2, 0) and be picked through its start.
  HandWorld open;
  open.vertex(0, 0);
  open.vertex(2, 0);
  OM_WorldSector s{};
  s.edges = OM_CreateCollection(1, sizeof(OM_WorldEdge));
  OM_WorldEdge e{};
  e.v2 = 1;
  OM_Collection_Push(s.edges, &e);
  OM_Collection_Push(open.w.sectors, &s);
  world = &open.w;
  press(2.8f, 0.2f);
  EXPECT_EQ(data.flag & RV_EDITOR_EDGE_SELECTED, 0);
  press(2.5f, 0.2f);  // inside the box of (2, 0): the vertex wins
  EXPECT_TRUE(vertex_selected(1));
  EXPECT_EQ(data.flag & RV_EDITOR_EDGE_SELECTED, 0);
  press(-0.9f, 0.2f);
  EXPECT_TRUE(edge_selected(0));
  double_click(-0.9f, 0.2f);
  EXPECT_EQ(open.vert(2).x, 0.0f);
  EXPECT_EQ(open.vert(2).y, 0.0f);
  EXPECT_EQ(open.edges(0), 2u);
}

TEST_F(Editing, DoubleClickOnAnEdgeSplitsItAtTheFootPoint) {
  OM_WorldEdge* e = rooms.edge(0, 0);
  e->type = OM_EDGE_PORTAL;  // the payload must travel with the appended half
  e->portal_sector = 1;
  e->portal_edge = 2;
  reg v = rooms.vertices();
  reg n = rooms.edges(0);
  double_click(1.0f, 0.5f);
  ASSERT_EQ(rooms.vertices(), v + 1);
  EXPECT_EQ(rooms.vert(v).x, 1.0f);
  EXPECT_EQ(rooms.vert(v).y, 0.0f);
  ASSERT_EQ(rooms.edges(0), n + 1);
  EXPECT_EQ(rooms.edge(0, 0)->v1, v);  // N -> B
  EXPECT_EQ(rooms.edge(0, 0)->v2, 1);
  EXPECT_EQ(rooms.edge(0, n)->v1, 0);  // A -> N, appended
  EXPECT_EQ(rooms.edge(0, n)->v2, v);
  EXPECT_EQ(rooms.edge(0, n)->type, (u32)OM_EDGE_PORTAL);
  EXPECT_EQ(rooms.edge(0, n)->portal_sector, 1);
  EXPECT_EQ(rooms.edge(0, n)->portal_edge, 2);
  EXPECT_EQ(rooms.edge(0, 1)->v1, 1);  // the rest stay where they were
  EXPECT_TRUE(vertex_selected(v));
  EXPECT_FALSE(data.flag & RV_EDITOR_EDGE_SELECTED);
  EXPECT_EQ(rooms.edges(1), 4u);
}

TEST_F(Editing, DoubleClickOnEmptyMapAddsOneVertexThenDragSnaps) {
  reg v = rooms.vertices();
  double_click(3.3f, 4.1f);
  ASSERT_EQ(rooms.vertices(), v + 1);
  EXPECT_NEAR(rooms.vert(v).x, 3.3f, 1e-5f);  // unsnapped
  EXPECT_NEAR(rooms.vert(v).y, 4.1f, 1e-5f);
  EXPECT_TRUE(vertex_selected(v));
  move_to(3.3f, 4.1f, OM_LMB, 2);
  EXPECT_EQ(rooms.vert(v).x, 3.5f);
  EXPECT_EQ(rooms.vert(v).y, 4.0f);
  keyboard.keys[0x10] = 1;  // Shift: exactly under the pointer
  move_to(3.3f, 4.1f, OM_LMB, 2);
  EXPECT_NEAR(rooms.vert(v).x, 3.3f, 1e-5f);
  EXPECT_NEAR(rooms.vert(v).y, 4.1f, 1e-5f);
  EXPECT_EQ(rooms.vertices(), v + 1);
  EXPECT_EQ(data.flag & RV_EDITOR_LINE_DRAGGED, 0);
}

TEST_F(Editing, DoubleClickOnAVertexDragsThatVertex) {
  double_click(2.0f, 2.0f);
  EXPECT_EQ(rooms.vertices(), 8u);
  move_to(4.2f, 3.9f, OM_LMB, 2);
  EXPECT_EQ(rooms.vert(2).x, 4.0f);
  EXPECT_EQ(rooms.vert(2).y, 4.0f);
}

TEST_F(Editing, SingleClickDragShowsALineAndMovesNothing) {
  press(2.0f, 2.0f);
  move_to(4.0f, 3.0f, OM_LMB, 1);
  EXPECT_EQ(rooms.vert(2).x, 2.0f);
  EXPECT_EQ(rooms.vert(2).y, 2.0f);
  EXPECT_TRUE(data.flag & RV_EDITOR_LINE_DRAGGED);
  EXPECT_EQ(data.x, sx(4.0f));
  EXPECT_EQ(data.y, sy(3.0f));
  release();
  EXPECT_EQ(data.flag & RV_EDITOR_LINE_DRAGGED, 0);
  EXPECT_TRUE(vertex_selected(2));  // the selection stays
}

TEST_F(Editing, WheelZoomStaysBetween8And64) {
  data.camera.object.z = 24.0f;
  OM_Mouse m{};
  m.wheel = 120;
  for (int i = 0; i < 16; ++i) send(OM_EVENT_MOUSE_WHEEL, m);
  EXPECT_EQ(data.camera.object.z, 8.0f);
  send(OM_EVENT_MOUSE_WHEEL, m);
  EXPECT_EQ(data.camera.object.z, 8.0f);
  m.wheel = -1;
  data.camera.object.z = 64.0f;
  send(OM_EVENT_MOUSE_WHEEL, m);
  EXPECT_EQ(data.camera.object.z, 64.0f);
  m.wheel = 0;  // not forward: one step out
  data.camera.object.z = 20.0f;
  send(OM_EVENT_MOUSE_WHEEL, m);
  EXPECT_EQ(data.camera.object.z, 21.0f);
}

TEST_F(Editing, RightButtonPansPixelForPixel) {
  data.camera.object = {-12.0f, -4.0f, 24.0f, 0.0f};
  send(OM_EVENT_MOUSE_MOVE, OM_Mouse{100, 100, 64, 0, 0, OM_RMB, 1});
  EXPECT_NEAR(data.camera.object.x, -12.0f + 2.4f, 1e-5f);
  EXPECT_EQ(data.camera.object.y, -4.0f);
  send(OM_EVENT_MOUSE_MOVE, OM_Mouse{100, 100, 0, 48, 0, OM_LMB, 1});  // left only: no pan
  EXPECT_EQ(data.camera.object.y, -4.0f);
}

TEST_F(Editing, CtrlClickPlacesThePlayerAndFindsItsSector) {
  data.flag = RV_EDITOR_VERTEX_SELECTED;
  data.selectedVertex = 3;
  keyboard.keys[0x11] = 1;
  hero.object.z = 1.5f;
  press(7.0f, 1.0f);
  EXPECT_EQ(hero.object.x, 7.0f);
  EXPECT_EQ(hero.object.y, 1.0f);
  EXPECT_EQ(hero.object.z, 0.0f);
  EXPECT_EQ(hero.sector, rooms.sector(1));
  EXPECT_TRUE(vertex_selected(3));  // the selection is not touched
  press(4.0f, 1.0f);                // between the rooms
  EXPECT_EQ(hero.object.x, 4.0f);
  EXPECT_EQ(hero.sector, nullptr);
  EXPECT_EQ(rooms.vertices(), 8u);
}

TEST_F(Editing, TheVertexLimitRefusesEditsAndSaysSo) {
  while (rooms.vertices() < RV_EDITOR_MAX_VERTICES) rooms.vertex(100.0f, 100.0f);
  buffer[0] = '\0';  // an empty console, whatever earlier tests printed
  size_t before = strlen(buffer);
  double_click(4.0f, 4.0f);
  EXPECT_EQ(rooms.vertices(), (reg)RV_EDITOR_MAX_VERTICES);
  EXPECT_EQ(data.flag & RV_EDITOR_VERTEX_SELECTED, 0);
  reg n = rooms.edges(0);
  double_click(1.0f, 0.5f);  // a split is refused too
  EXPECT_EQ(rooms.vertices(), (reg)RV_EDITOR_MAX_VERTICES);
  EXPECT_EQ(rooms.edges(0), n);
  EXPECT_EQ(rooms.edge(0, 0)->v1, 0);
  EXPECT_GT(strlen(buffer), before);
  EXPECT_NE(strstr(buffer + before, "65536"), nullptr);
}

TEST_F(Editing, ANewWorldDropsTheSelection) {
  press(2.0f, 2.0f);
  move_to(3.0f, 3.0f, OM_LMB, 1);
  ASSERT_TRUE(data.flag & RV_EDITOR_LINE_DRAGGED);
  HandWorld other;
  other.vertex(0, 0);
  world = &other.w;
  data.selectedSector = 1;
  // A drag on the new world must not move vertex 2, which it does not have.
  move_to(3.0f, 3.0f, OM_LMB, 2);
  EXPECT_EQ(data.flag, 0);
  EXPECT_EQ(data.selectedSector, 0u);
  EXPECT_EQ(other.vert(0).x, 0.0f);
  RV_Editor_WorldChanged(nullptr);  // harmless
}

}  // namespace
