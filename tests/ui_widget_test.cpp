// The widget base: creation, clipped drawing windows for children, and mouse routing.
#include "ui_widget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "collection.h"
#include "surface.h"

namespace {

// What one widget saw of one event: the window it was given to draw into,
// or its copy of the mouse record.
struct Seen {
  OM_Widget* widget;
  OM_Surface surface;
  OM_Mouse mouse;
};
std::vector<Seen> g_seen;
OM_Widget* g_root;

// Records the event, then lets the base route it on to its own children.
int recorder(OM_Widget* self, OM_Widget* super, OM_Event* e) {
  Seen s = {self, {}, {}};
  if (e->type == OM_EVENT_DRAW && e->surface) s.surface = *e->surface;
  if (e->type >= OM_EVENT_MOUSE_MOVE && e->type <= OM_EVENT_MOUSE_BUTTON_UP && e->mouse) {
    s.mouse = *e->mouse;
  }
  if (e->type != OM_EVENT_INIT && e->type != OM_EVENT_QUIT) g_seen.push_back(s);
  int r = super->HandleEvent(self, super->super, e);
  // Children scribble on their copies: the parent must not see it.
  if (self != g_root && e->type == OM_EVENT_MOUSE_BUTTON_DOWN && e->mouse) e->mouse->x = -999;
  return r;
}

const Seen* seen_by(OM_Widget* w) {
  for (const Seen& s : g_seen) {
    if (s.widget == w) return &s;
  }
  return nullptr;
}

class Widgets : public ::testing::Test {
 protected:
  void TearDown() override {
    for (OM_Widget* w : owned) OM_DestroyWidget(w);
    OM_DestroyWidget(root);
    OM_DestroySurface(fb);
  }
  static OM_Widget* make(int x, int y, int w, int h) {
    OM_Widget proto = {&OM_Widget_Prototype, recorder, nullptr, nullptr, x, y, w, h};
    return OM_CreateWidget(&proto);
  }
  OM_Widget* child(OM_Widget* parent, int x, int y, int w, int h) {
    owned.push_back(make(x, y, w, h));
    OM_Collection_Push(parent->childs, &owned.back());
    return owned.back();
  }
  // Sends to the root and expects the payload pointer put back.
  int send(OM_EventType type, OM_Mouse* m = nullptr) {
    g_seen.clear();
    OM_Event e = {};
    e.type = type;
    bool draw = type == OM_EVENT_DRAW;
    if (draw) {
      e.surface = fb;
    } else {
      e.mouse = m;
    }
    int r = root->HandleEvent(root, root->super, &e);
    EXPECT_TRUE(draw ? e.surface == fb : e.mouse == m);
    return r;
  }
  OM_Surface* fb = OM_CreateSurface(640, 480);
  OM_Widget* root = g_root = make(0, 0, 640, 480);
  std::vector<OM_Widget*> owned;
};

TEST_F(Widgets, CreationRunsInitAndYieldsNullWhenItFails) {
  EXPECT_EQ(root->super, &OM_Widget_Prototype);
  ASSERT_NE(root->childs, nullptr);
  EXPECT_EQ(root->childs->length, 0u);
  EXPECT_EQ(OM_CreateWidget(nullptr), nullptr);
  OM_DestroyWidget(nullptr);
  OM_Widget failing = {&OM_Widget_Prototype, nullptr, nullptr, nullptr, 0, 0, 0, 0};
  failing.HandleEvent = [](OM_Widget*, OM_Widget*, OM_Event* e) {
    return e->type == OM_EVENT_INIT ? 3 : 0;
  };
  EXPECT_EQ(OM_CreateWidget(&failing), nullptr);
  OM_Widget inert = {};  // no behaviour: no init, no child list
  OM_Widget* w = OM_CreateWidget(&inert);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->childs, nullptr);
  OM_DestroyWidget(w);
}

// Each child draws into a window of the parent's pixels, clipped on all four
// sides and never starting before the parent's first pixel.
TEST_F(Widgets, ChildrenDrawIntoClippedWindows) {
  const int cases[][7] = {
      // x, y, w, h, then the window's offset (-1: not checked) and size
      // (-1: empty).
      {600, 460, 100, 50, 600 + 640 * 460, 40, 20},
      {700, 0, 100, 50, -1, -60, 50},  // beyond the right edge: a negative width
      {-10, -5, 30, 20, 0, 20, 15},
      {-50, 10, 30, 20, -1, -1, -1},
      {0, 900, 30, 20, -1, -1, -1},
  };
  for (const auto& c : cases) child(root, c[0], c[1], c[2], c[3]);
  OM_Widget* grandchild = child(owned[0], 2, 3, 20, 20);
  EXPECT_EQ(send(OM_EVENT_DRAW), 0);
  for (size_t i = 0; i < 5; ++i) {
    const int* c = cases[i];
    const OM_Surface& s = seen_by(owned[i])->surface;
    EXPECT_GE(s.data, fb->data) << i;
    EXPECT_LE(s.data, fb->data + 640 * 480) << i;
    EXPECT_EQ(s.step, 640);
    if (c[4] >= 0) {
      EXPECT_EQ(s.data, fb->data + c[4]) << i;
    }
    if (c[5] == -1) {
      EXPECT_TRUE(s.w <= 0 || s.h <= 0) << i;
    } else {
      EXPECT_EQ(s.w, c[5]) << i;
      EXPECT_EQ(s.h, c[6]) << i;
    }
  }
  const OM_Surface& g = seen_by(grandchild)->surface;  // within the corner's window
  EXPECT_EQ(g.data, fb->data + 602 + 640 * 463);
  EXPECT_EQ(g.w, 20);
  EXPECT_EQ(g.h, 17);
}

TEST_F(Widgets, MouseGoesToChildrenUnderThePointTranslated) {
  OM_Widget* a = child(root, 10, 10, 100, 100);
  OM_Widget* g = child(a, 2, 3, 20, 20);
  OM_Widget* b = child(root, 0, 0, 20, 30);  // overlaps a, added after it
  OM_Widget* far = child(root, 300, 300, 10, 10);
  OM_Mouse m = {12, 13, 4, 5, 120, OM_LMB, 2};
  send(OM_EVENT_MOUSE_BUTTON_DOWN, &m);
  ASSERT_EQ(g_seen.size(), 4u);  // depth first, in added order
  EXPECT_EQ(g_seen[1].widget, a);
  EXPECT_EQ(g_seen[2].widget, g);
  EXPECT_EQ(g_seen[3].widget, b);
  EXPECT_EQ(seen_by(far), nullptr);
  const OM_Mouse atG = {0, 0, 4, 5, 120, OM_LMB, 2};
  EXPECT_EQ(memcmp(&g_seen[2].mouse, &atG, sizeof atG), 0);
  EXPECT_EQ(g_seen[1].mouse.x, 2);
  EXPECT_EQ(g_seen[1].mouse.y, 3);
  EXPECT_EQ(g_seen[3].mouse.x, 12);  // the children scribbled on their copies only
  EXPECT_EQ(m.x, 12);
  EXPECT_EQ(m.y, 13);

  for (OM_Mouse edge : {OM_Mouse{20, 12, 0, 0, 0, 0, 1}, OM_Mouse{12, 30, 0, 0, 0, 0, 1}}) {
    send(OM_EVENT_MOUSE_BUTTON_UP, &edge);  // b's right and bottom edges are outside
    EXPECT_EQ(seen_by(b), nullptr);
    EXPECT_NE(seen_by(a), nullptr);
  }
  // The wheel and everything else go to every child, untranslated.
  OM_Mouse wheel = {1, 2, 0, 0, -120, 0, 1};
  send(OM_EVENT_MOUSE_WHEEL, &wheel);
  ASSERT_EQ(g_seen.size(), 5u);
  for (const Seen& s : g_seen) EXPECT_EQ(memcmp(&s.mouse, &wheel, sizeof wheel), 0);
  EXPECT_EQ(send(OM_EVENT_TICK), 0);
  EXPECT_EQ(g_seen.size(), 5u);
}

TEST_F(Widgets, MissingChildrenHandlersAndPayloadsAreHarmless) {
  OM_Widget inert = {nullptr, nullptr, nullptr, nullptr, 0, 0, 100, 100};
  OM_Widget* odd[] = {nullptr, &inert};
  for (OM_Widget*& w : odd) OM_Collection_Push(root->childs, &w);
  OM_Widget* a = child(root, 0, 0, 100, 100);
  OM_Mouse m = {1, 1, 0, 0, 0, 0, 1};
  for (OM_EventType t : {OM_EVENT_DRAW, OM_EVENT_MOUSE_BUTTON_DOWN}) {
    send(t, &m);
    EXPECT_NE(seen_by(a), nullptr);
  }
  OM_Surface* surface = fb;
  fb = nullptr;  // a draw without a surface, a move without a mouse record
  EXPECT_EQ(send(OM_EVENT_DRAW), 0);
  EXPECT_EQ(send(OM_EVENT_MOUSE_MOVE), 0);
  fb = surface;
  OM_Widget bare = OM_Widget_Prototype;  // never initialised: no child list
  OM_Event e = {};
  e.type = OM_EVENT_TICK;
  EXPECT_EQ(bare.HandleEvent(&bare, bare.super, &e), 0);
}

}  // namespace
