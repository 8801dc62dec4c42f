// Prototype-based widgets: one behaviour function per kind, children routed
// by position for the mouse and drawn into clipped windows of the parent.
#pragma once

#include "event.h"

struct OM_Collection;
struct OM_Surface;
struct OM_Widget;

typedef int (*OM_Widget_Handler)(OM_Widget* self, OM_Widget* super, OM_Event* event);

struct OM_Widget {
  OM_Widget* super;
  OM_Widget_Handler HandleEvent;
  void* data;
  OM_Collection* childs;  // of OM_Widget*, created by the base init
  int x, y;
  int w, h;
};

extern OM_Widget OM_Widget_Prototype;

// A prototype record: behaviour and base filled, every other field zero.
constexpr OM_Widget OM_Widget_MakePrototype(OM_Widget* super, OM_Widget_Handler handler) {
  return OM_Widget{super, handler, nullptr, nullptr, 0, 0, 0, 0};
}

// The one way an event enters a widget: its behaviour is called with the
// widget's own prototype as `super`. A null widget, or one without a
// behaviour, handles nothing and gives 0.
int OM_Widget_Dispatch(OM_Widget* widget, OM_Event* event);
// Sends `widget` a fresh event of `type`: payload cleared to zero, then
// `surface` (may be null) as the payload.
int OM_Widget_Send(OM_Widget* widget, OM_EventType type, OM_Surface* surface);

OM_Widget* OM_CreateWidget(OM_Widget* prototype);
void OM_DestroyWidget(OM_Widget* widget);
int OM_Widget_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
