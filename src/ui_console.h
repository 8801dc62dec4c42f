// The message log shown at the bottom of the editor.
#pragma once

#include "ui_widget.h"

extern char buffer[2048];
// The last line of text of the newest message, for the places that show
// just one (the toolbar). It is kept whatever happens to `buffer`, so a
// message still shows there once the console is full; a line too long for
// it keeps its end, after "...".
extern char newestMessage[256];
extern OM_Widget OM_Console_Prototype;

void OM_Print(const char* str);
// OM_Print of a printf format; a message longer than 600 bytes is cut.
void OM_PrintFormat(const char* format, ...) OM_FORMAT(1, 2);
int OM_Console_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event);
