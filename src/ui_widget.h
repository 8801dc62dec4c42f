// Prototype-based widgets: one behaviour function per kind, children routed
// by position for the mouse and drawn into clipped windows of the parent.
#pragma once

#include "event.h"

struct OM_Collection;
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

OM_Widget* OM_CreateWidget(OM_Widget* prototype);
void OM_DestroyWidget(OM_Widget* widget);
int OM_Widget_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
