#include "ui_widget.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "collection.h"
#include "surface.h"

OM_Widget OM_Widget_Prototype = OM_Widget_MakePrototype(nullptr, OM_Widget_HandleEvent);

int OM_Widget_Dispatch(OM_Widget* widget, OM_Event* event) {
  if (!widget || !widget->HandleEvent) return 0;
  return widget->HandleEvent(widget, widget->super, event);
}

int OM_Widget_Send(OM_Widget* widget, OM_EventType type, OM_Surface* surface) {
  OM_Event e;
  memset(&e, 0, sizeof e);
  e.type = type;
  e.surface = surface;
  return OM_Widget_Dispatch(widget, &e);
}

OM_Widget* OM_CreateWidget(OM_Widget* prototype) {
  if (!prototype) return nullptr;
  OM_Widget* w = static_cast<OM_Widget*>(malloc(sizeof(OM_Widget)));
  if (!w) return nullptr;
  *w = *prototype;
  if (OM_Widget_Send(w, OM_EVENT_INIT, nullptr) != 0) {
    free(w);
    return nullptr;
  }
  return w;
}

void OM_DestroyWidget(OM_Widget* widget) {
  if (!widget) return;
  OM_Widget_Send(widget, OM_EVENT_QUIT, nullptr);
  free(widget);
}

// Children are read afresh on every step: a child may add siblings while it
// handles an event, which can move the list's storage.
static OM_Widget* child_at(OM_Widget* self, reg index) {
  if (!self->childs || index >= self->childs->length) return nullptr;
  return static_cast<OM_Widget**>(self->childs->data)[index];
}

static int clamp_to_int(long long v) {
  if (v < INT_MIN) return INT_MIN;
  if (v > INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

// The part of the parent that child k covers, clipped on all four sides: a
// child hanging off the left or top edge gets only the part inside the
// parent, starting at the parent's edge, so it never writes outside it. The
// size may come out zero or negative, which draws nothing.
static OM_Surface child_surface(const OM_Surface* p, const OM_Widget* k) {
  long long left = k->x > 0 ? k->x : 0;
  long long top = k->y > 0 ? k->y : 0;
  long long right = static_cast<long long>(k->x) + k->w;
  long long bottom = static_cast<long long>(k->y) + k->h;
  if (right > p->w) right = p->w;
  if (bottom > p->h) bottom = p->h;
  OM_Surface s = *p;
  s.w = clamp_to_int(right - left);
  s.h = clamp_to_int(bottom - top);
  // The first pixel is (left, top) whenever that lies within the parent's
  // rows; an empty window further out keeps the parent's own first pixel.
  u8* base = reinterpret_cast<u8*>(p->data);
  if (left <= p->w && top < p->h) {
    s.data =
        reinterpret_cast<u32*>(base + p->bits * (left + static_cast<long long>(p->step) * top));
  } else {
    s.data = p->data;
  }
  return s;
}

static void route_draw(OM_Widget* self, OM_Event* event) {
  OM_Surface* parent = event->surface;
  if (!parent) return;
  for (reg i = 0; self->childs && i < self->childs->length; i++) {
    OM_Widget* k = child_at(self, i);
    if (!k || !k->HandleEvent) continue;
    OM_Surface sub = child_surface(parent, k);
    event->surface = &sub;
    OM_Widget_Dispatch(k, event);
  }
  event->surface = parent;
}

static int contains(const OM_Widget* k, const OM_Mouse* m) {
  long long right = static_cast<long long>(k->x) + k->w;
  long long bottom = static_cast<long long>(k->y) + k->h;
  return k->x <= m->x && m->x < right && k->y <= m->y && m->y < bottom;
}

static void route_mouse(OM_Widget* self, OM_Event* event) {
  OM_Mouse* m = event->mouse;
  if (!m) return;
  for (reg i = 0; self->childs && i < self->childs->length; i++) {
    OM_Widget* k = child_at(self, i);
    if (!k || !k->HandleEvent || !contains(k, m)) continue;
    OM_Mouse local = *m;
    local.x = clamp_to_int(static_cast<long long>(m->x) - k->x);
    local.y = clamp_to_int(static_cast<long long>(m->y) - k->y);
    event->mouse = &local;
    OM_Widget_Dispatch(k, event);
    event->mouse = m;
  }
}

static void broadcast(OM_Widget* self, OM_Event* event) {
  for (reg i = 0; self->childs && i < self->childs->length; i++) {
    OM_Widget_Dispatch(child_at(self, i), event);
  }
}

int OM_Widget_HandleEvent(OM_Widget* self, OM_Widget*, OM_Event* event) {
  switch (event->type) {
    case OM_EVENT_INIT:
      self->childs = OM_CreateCollection(0, sizeof(OM_Widget*));
      return self->childs ? 0 : 1;
    case OM_EVENT_QUIT:
      OM_DestroyCollection(self->childs);
      self->childs = nullptr;
      return 0;
    case OM_EVENT_DRAW: route_draw(self, event); return 0;
    case OM_EVENT_MOUSE_MOVE:
    case OM_EVENT_MOUSE_BUTTON_DOWN:
    case OM_EVENT_MOUSE_BUTTON_UP: route_mouse(self, event); return 0;
    default: broadcast(self, event); return 0;
  }
}
