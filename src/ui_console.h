// The message log shown at the bottom of the editor.
#pragma once

#include "ui_widget.h"

extern char buffer[2048];
extern OM_Widget OM_Console_Prototype;

void OM_Print(const char* str);
int OM_Console_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
