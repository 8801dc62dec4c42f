#include "ui_widget.h"

#include <gtest/gtest.h>

#include <vector>

#include "collection.h"
#include "surface.h"

namespace {

// What one widget saw of one event.
struct Seen {
  OM_Widget* widget;
  OM_EventType type;
  OM_Surface surface;  // copy of the sub-surface it was given (draw)
  OM_Mouse mouse;      // copy of the mouse record it was given
  OM_Mouse* mouse_ptr;
};

std::vector<Seen> g_seen;
OM_Widget* g_root;

// Records the event, then lets the base route it on to its own children.
int recorder(OM_Widget* self, OM_Widget* super, OM_Event* e) {
  Seen s{};
  s.widget = self;
  s.type = e->type;
  if (e->type == OM_EVENT_DRAW && e->surface) s.surface = *e->surface;
  if (e->type >= OM_EVENT_MOUSE_MOVE && e->type <= OM_EVENT_MOUSE_BUTTON_UP && e->mouse) {
    s.mouse = *e->mouse;
    s.mouse_ptr = e->mouse;
  }
  if (e->type != OM_EVENT_INIT && e->type != OM_EVENT_QUIT) g_seen.push_back(s);
  int r = super->HandleEvent(self, super->super, e);
  // Children scribble on their copies: the parent must not see it.
  if (self != g_root && e->type == OM_EVENT_MOUSE_BUTTON_DOWN && e->mouse) e->mouse->x = -999;
  return r;
}

OM_Widget g_recorder_proto = {&OM_Widget_Prototype, recorder, nullptr, nullptr, 0, 0, 0, 0};

OM_Widget* make(int x, int y, int w, int h) {
  OM_Widget proto = g_recorder_proto;
  proto.x = x;
  proto.y = y;
  proto.w = w;
  proto.h = h;
  return OM_CreateWidget(&proto);
}

void add(OM_Widget* parent, OM_Widget* child) { OM_Collection_Push(parent->childs, &child); }

int send(OM_Widget* w, OM_Event* e) { return w->HandleEvent(w, w->super, e); }

int send_mouse(OM_Widget* w, OM_EventType type, OM_Mouse* m) {
  OM_Event e{};
  e.type = type;
  e.mouse = m;
  int r = send(w, &e);
  EXPECT_EQ(e.mouse, m);  // put back before returning
  return r;
}

const Seen* seen_by(OM_Widget* w) {
  for (const Seen& s : g_seen)
    if (s.widget == w) return &s;
  return nullptr;
}

class Widgets : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    fb = OM_CreateSurface(640, 480);
    root = make(0, 0, 640, 480);
    g_root = root;
    ASSERT_NE(fb, nullptr);
    ASSERT_NE(root, nullptr);
  }
  void TearDown() override {
    for (OM_Widget* w : owned) OM_DestroyWidget(w);
    OM_DestroyWidget(root);
    OM_DestroySurface(fb);
  }
  OM_Widget* child(OM_Widget* parent, int x, int y, int w, int h) {
    OM_Widget* c = make(x, y, w, h);
    EXPECT_NE(c, nullptr);
    add(parent, c);
    owned.push_back(c);
    return c;
  }
  void draw() {
    g_seen.clear();
    OM_Event e{};
    e.type = OM_EVENT_DRAW;
    e.surface = fb;
    EXPECT_EQ(send(root, &e), 0);
    EXPECT_EQ(e.surface, fb);  // put back before returning
  }
  OM_Surface* fb = nullptr;
  OM_Widget* root = nullptr;
  std::vector<OM_Widget*> owned;
};

TEST_F(Widgets, CreationCopiesThePrototypeAndBuildsAnEmptyChildList) {
  OM_Widget* w = make(3, 4, 5, 6);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->super, &OM_Widget_Prototype);
  EXPECT_EQ(w->HandleEvent, recorder);
  EXPECT_EQ(w->x, 3);
  EXPECT_EQ(w->h, 6);
  ASSERT_NE(w->childs, nullptr);
  EXPECT_EQ(w->childs->length, 0u);
  EXPECT_EQ(w->childs->elementSize, sizeof(OM_Widget*));
  OM_DestroyWidget(w);
  OM_DestroyWidget(nullptr);
  EXPECT_EQ(OM_CreateWidget(nullptr), nullptr);
}

int failing_init(OM_Widget*, OM_Widget*, OM_Event* e) { return e->type == OM_EVENT_INIT ? 3 : 0; }

TEST_F(Widgets, AFailingInitYieldsNull) {
  OM_Widget proto = {&OM_Widget_Prototype, failing_init, nullptr, nullptr, 0, 0, 0, 0};
  EXPECT_EQ(OM_CreateWidget(&proto), nullptr);
  // Without a behaviour there is no init at all: no child list either.
  OM_Widget inert = {};
  OM_Widget* w = OM_CreateWidget(&inert);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->childs, nullptr);
  OM_DestroyWidget(w);
}

TEST_F(Widgets, ChildAtTheCornerGetsAClippedWindowOfTheParent) {
  OM_Widget* k = child(root, 600, 460, 100, 50);
  draw();
  const Seen* s = seen_by(k);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->surface.w, 40);
  EXPECT_EQ(s->surface.h, 20);
  EXPECT_EQ(s->surface.data, fb->data + 600 + 640 * 460);
  EXPECT_EQ(s->surface.step, 640);
  EXPECT_EQ(s->surface.size, fb->size);
  EXPECT_EQ(s->surface.bits, 4);
}

TEST_F(Widgets, ChildBeyondTheRightEdgeGetsANegativeWidth) {
  OM_Widget* k = child(root, 700, 0, 100, 50);
  draw();
  ASSERT_NE(seen_by(k), nullptr);
  EXPECT_EQ(seen_by(k)->surface.w, -60);
}

TEST_F(Widgets, ChildAtNegativeCoordinatesIsClippedOnTheLeftAndTop) {
  OM_Widget* k = child(root, -10, -5, 30, 20);
  OM_Widget* gone = child(root, -50, 10, 30, 20);
  OM_Widget* below = child(root, 0, 900, 30, 20);
  draw();
  const Seen* s = seen_by(k);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->surface.w, 20);
  EXPECT_EQ(s->surface.h, 15);
  EXPECT_EQ(s->surface.data, fb->data);  // never before the parent's first pixel
  ASSERT_NE(seen_by(gone), nullptr);
  EXPECT_LE(seen_by(gone)->surface.w, 0);
  const OM_Surface& b = seen_by(below)->surface;
  EXPECT_LE(b.h, 0);
  EXPECT_GE(b.data, fb->data);
  EXPECT_LE(b.data, fb->data + 640 * 480);
}

TEST_F(Widgets, GrandchildrenAreTranslatedThroughEachLevel) {
  OM_Widget* k = child(root, 10, 10, 100, 100);
  OM_Widget* g = child(k, 2, 3, 20, 20);
  draw();
  ASSERT_NE(seen_by(g), nullptr);
  EXPECT_EQ(seen_by(g)->surface.data, fb->data + 12 + 640 * 13);
  EXPECT_EQ(seen_by(g)->surface.w, 20);

  g_seen.clear();
  OM_Mouse m = {12, 13, 4, 5, 120, OM_LMB, 2};
  send_mouse(root, OM_EVENT_MOUSE_BUTTON_DOWN, &m);
  const Seen* s = seen_by(g);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->mouse.x, 0);
  EXPECT_EQ(s->mouse.y, 0);
  EXPECT_EQ(s->mouse.dx, 4);
  EXPECT_EQ(s->mouse.dy, 5);
  EXPECT_EQ(s->mouse.wheel, 120);
  EXPECT_EQ(s->mouse.buttons, OM_LMB);
  EXPECT_EQ(s->mouse.clicks, 2);
  // The children scribbled on their copies; the sender's record is intact.
  EXPECT_EQ(m.x, 12);
  EXPECT_EQ(m.y, 13);
}

TEST_F(Widgets, MouseGoesOnlyToChildrenUnderThePointInAddedOrder) {
  OM_Widget* a = child(root, 5, 5, 10, 20);
  OM_Widget* b = child(root, 0, 0, 20, 30);  // overlaps a
  OM_Widget* far = child(root, 300, 300, 10, 10);
  OM_Mouse m = {10, 20, 0, 0, 0, 0, 1};
  send_mouse(root, OM_EVENT_MOUSE_MOVE, &m);
  ASSERT_EQ(g_seen.size(), 3u);  // the root, then a, then b
  EXPECT_EQ(g_seen[1].widget, a);
  EXPECT_EQ(g_seen[1].mouse.x, 5);
  EXPECT_EQ(g_seen[1].mouse.y, 15);
  EXPECT_EQ(g_seen[2].widget, b);
  EXPECT_EQ(seen_by(far), nullptr);

  // The right and bottom edges are outside.
  g_seen.clear();
  OM_Mouse edge = {15, 6, 0, 0, 0, 0, 1};
  send_mouse(root, OM_EVENT_MOUSE_BUTTON_UP, &edge);
  EXPECT_EQ(seen_by(a), nullptr);
  EXPECT_NE(seen_by(b), nullptr);
}

TEST_F(Widgets, WheelAndOtherEventsReachEveryChildUntranslated) {
  OM_Widget* a = child(root, 5, 5, 10, 10);
  OM_Widget* b = child(root, 500, 400, 10, 10);
  OM_Mouse m = {1, 2, 0, 0, -120, 0, 1};
  OM_Event e{};
  e.type = OM_EVENT_MOUSE_WHEEL;
  e.mouse = &m;
  send(root, &e);
  EXPECT_EQ(e.mouse, &m);
  ASSERT_EQ(g_seen.size(), 3u);
  for (const Seen& s : g_seen) EXPECT_EQ(s.type, OM_EVENT_MOUSE_WHEEL);
  EXPECT_NE(seen_by(a), nullptr);
  EXPECT_NE(seen_by(b), nullptr);

  g_seen.clear();
  OM_Event tick{};
  tick.type = OM_EVENT_TICK;
  EXPECT_EQ(send(root, &tick), 0);
  EXPECT_EQ(g_seen.size(), 3u);
}

TEST_F(Widgets, NullEntriesAndInertChildrenAreSkipped) {
  OM_Widget* none = nullptr;
  OM_Collection_Push(root->childs, &none);
  OM_Widget inert = {};
  inert.w = inert.h = 100;
  OM_Widget* p = &inert;
  OM_Collection_Push(root->childs, &p);
  OM_Widget* a = child(root, 0, 0, 100, 100);
  draw();
  EXPECT_NE(seen_by(a), nullptr);
  OM_Mouse m = {1, 1, 0, 0, 0, 0, 1};
  send_mouse(root, OM_EVENT_MOUSE_BUTTON_DOWN, &m);
}

TEST_F(Widgets, EventsWithoutPayloadOrChildListAreHarmless) {
  child(root, 0, 0, 10, 10);
  OM_Event e{};
  e.type = OM_EVENT_DRAW;  // no surface
  EXPECT_EQ(send(root, &e), 0);
  e.type = OM_EVENT_MOUSE_MOVE;  // no mouse record
  EXPECT_EQ(send(root, &e), 0);
  OM_Widget bare = OM_Widget_Prototype;  // never initialised: no child list
  e.type = OM_EVENT_TICK;
  EXPECT_EQ(send(&bare, &e), 0);
}

}  // namespace
