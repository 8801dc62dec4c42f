#include "ui_console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "draw.h"
#include "ombrix.h"

char buffer[2048];
char newestMessage[256];

OM_Widget OM_Console_Prototype =
    OM_Widget_MakePrototype(&OM_Widget_Prototype, OM_Console_HandleEvent);

// A message's last line with text in it becomes the newest; a message of
// nothing but line feeds (a spacer) leaves the newest as it was.
static void keep_newest(const char* str) {
  const char* end = str + strlen(str);
  while (end > str && (end[-1] == '\n' || end[-1] == '\r')) --end;
  if (end == str) return;
  const char* begin = end;
  while (begin > str && begin[-1] != '\n') --begin;
  const reg capacity = sizeof newestMessage - 1;
  reg n = reg(end - begin);
  reg at = 0;
  if (n > capacity) {
    memcpy(newestMessage, "...", 3);
    at = 3;
    begin = end - (capacity - at);
    n = capacity - at;
  }
  memcpy(newestMessage + at, begin, n);
  newestMessage[at + n] = '\0';
}

// Appends str and a line feed, as "%s\n" would, never writing past the last
// byte of buffer. The write position is where the text's NUL stands, so it
// can never run past the end; a message that does not fit keeps its first
// characters and the rest (line feed included) is dropped.
void OM_Print(const char* str) {
  const reg capacity = sizeof buffer;
  reg i = strnlen(buffer, capacity);
  if (i >= capacity) {  // someone wrote over the terminator: put it back
    i = capacity - 1;
    buffer[i] = '\0';
  }
  if (!str) str = "";
  keep_newest(str);
  reg room = capacity - 1 - i;
  reg n = strlen(str);
  if (n > room) n = room;
  memcpy(buffer + i, str, n);
  i += n;
  if (i < capacity - 1) buffer[i++] = '\n';
  buffer[i] = '\0';
}

void OM_PrintFormat(const char* format, ...) {
  char line[600];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  OM_Print(line);
}

int OM_Console_HandleEvent(OM_Widget* self, OM_Widget* super, OM_Event* event) {
  if (event->type != OM_EVENT_DRAW) return super->HandleEvent(self, super->super, event);
  if (event->surface) {
    OM_FillRect(event->surface, 0, 0, self->w, self->h, 0xFF111111);
    OM_DrawText(event->surface, buffer, 0, 0, OM_font, 0xFFFFFFFF);
  }
  super->HandleEvent(self, super->super, event);
  return 0;
}
