// The one record every receiver gets: host -> game core -> widget tree.
#pragma once

#include "types.h"

struct OM_Surface;

enum OM_EventType : i32 {
  OM_EVENT_UNKNOWN = 0,
  OM_EVENT_INIT = 1,
  OM_EVENT_TICK = 2,
  OM_EVENT_DRAW = 3,
  OM_EVENT_QUIT = 4,
  OM_EVENT_AUDIO_FILL = 5,  // reserved: nothing sends it
  OM_EVENT_KEYBOARD_KEY_DOWN = 6,
  OM_EVENT_KEYBOARD_KEY_UP = 7,
  OM_EVENT_MOUSE_MOVE = 8,
  OM_EVENT_MOUSE_WHEEL = 9,
  OM_EVENT_MOUSE_BUTTON_DOWN = 10,
  OM_EVENT_MOUSE_BUTTON_UP = 11,
  OM_EVENT_RESIZE = 12,         // reserved: nothing sends it
  OM_EVENT_FILES_DROPPED = 13,  // files dropped on the window: event->drop
};

enum OM_MouseButton : i32 {
  OM_LMB = 1,
  OM_RMB = 2,
  OM_MMB = 4,
};

struct OM_Mouse {
  i32 x;
  i32 y;
  i32 dx;
  i32 dy;
  i32 wheel;    // rotation of the latest wheel message, platform units
  i32 buttons;  // OM_MouseButton bits held after the message
  i32 clicks;   // 1 after a single press, 2 after a double-click press
};

// One drop of one or more files, in the order the desktop gave them. The
// paths are in the encoding the platform's file functions take (as the
// command line's are) and live only while the event is handled.
struct OM_Drop {
  i32 count;
  const char* const* paths;
};

struct OM_Event {
  OM_EventType type;
  union {
    OM_Surface* surface;
    OM_Mouse* mouse;
    const OM_Drop* drop;
    int key;   // virtual-key code, low 8 bits
    f64 time;  // kept for the design (it sizes the payload); nothing fills or reads it
  };
};
