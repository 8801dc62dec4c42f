// The host: the process entry, the one window, and the translation of the
// window system's messages into events for the game core.
#pragma once

#include "event.h"
#include "types.h"

struct OM_Surface;

// The record reused for the init, tick, draw, quit and mouse events; key
// events are built on the stack instead.
extern OM_Event event;
// The frame buffer the game core handed back through the init event. The
// core owns it and releases it on the quit event.
extern OM_Surface* fb;
// Receiver of every event the host sends: the game core's entry point. Tests
// put a recorder in its place to see exactly what the host delivers.
extern int (*OM_Host_Target)(OM_Event* event);

// Sends a key-up through OM_Host_Target for every key keyboard.keys holds:
// the window is losing the keyboard and will not see those keys go up.
void OM_Host_ReleaseKeys();

// Pointer capture in gameplay, the same on both hosts: after every event it
// delivers, a host updates its "escaped" flag with OM_Input_Escaped and
// captures the pointer exactly while OM_Input_CaptureWanted says so. While
// captured, OM_mouse stays at the window's centre, where the game re-centres
// its cursor, and the movement goes to OM_Input_Motion instead.

#ifdef _WIN32

#include <windows.h>

// Describes fb's pixels to the blit: 32 bits, top-down (negative height),
// sized by every WM_SIZE.
extern BITMAPINFO bmi;

LRESULT CALLBACK OM_WndProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

#else

union SDL_Event;

// Ticks keep the phase of a periodic timer, but a late loop gets one tick,
// never a burst: at most one is ever pending, as with a message timer.
struct OM_HostTimer {
  uint64_t next;  // milliseconds at which the next tick is due
  u32 period;     // milliseconds between ticks
};

enum {
  OM_HOST_TICK_MS = 8,
  OM_HOST_WHEEL_DELTA = 120,  // one wheel notch, in the units the game expects
};

// Starts the timer so that its first tick is due one period after `now`.
void OM_HostTimer_Start(OM_HostTimer* t, uint64_t now, u32 period);
// 1 if a tick is due at `now`; the next one is then due at the first period
// boundary after `now`, so the ticks missed by a slow frame are dropped.
int OM_HostTimer_Due(OM_HostTimer* t, uint64_t now);
// Milliseconds to wait before the next tick is due (0 when it already is).
u32 OM_HostTimer_Wait(const OM_HostTimer* t, uint64_t now);

// The Windows virtual-key code of a key (SDL key symbol and scancode), or 0
// for a key that has none. Letters and digits follow the symbol the layout
// gives them and fall back to their position; the rest go by position.
int OM_Host_VirtualKey(i32 sym, i32 scancode);
// A key-down or key-up as the window would deliver it: payload cleared, the
// 8-bit virtual-key code. Returns 0 for no event: keys without a code and
// system keys (F10, and anything pressed or released while Alt is held
// without Ctrl), which the window keeps to itself, except the key-up of a
// key `held` (keyboard.keys, or null) has down: a key-down that reached the
// game always gets its key-up.
int OM_Host_TranslateKey(const SDL_Event* in, const u8* held, OM_Event* out);
// Applies an SDL mouse event to the host's mouse record the way the window
// does and returns the event type to send, or -1 when the SDL event is not
// a mouse message (or a wheel turn without a vertical part).
int OM_Host_TranslateMouse(const SDL_Event* in, OM_Mouse* mouse);
// The same for a captured pointer: positions are taken as (cx, cy), the
// window's centre, and a motion's relative movement is returned in *dx, *dy
// (0 for every other event).
int OM_Host_TranslateCapturedMouse(const SDL_Event* in, OM_Mouse* mouse, int cx, int cy, int* dx,
                                   int* dy);

// Decodes a .ico file (24- or 32-bit entries; the largest one wins) into a
// new surface, 0xAARRGGBB with the AND mask as alpha. Null when no entry can
// be read safely.
OM_Surface* OM_Host_DecodeIcon(const u8* data, reg size);

// The files of one drop, gathered from SDL's drop-begin, drop-file and
// drop-complete events; a file that comes with no drop-begin (an SDL that
// has none) is a drop of its own.
struct OM_HostDrop {
  char** paths;  // each and the list malloc'd; released by OM_Host_EndDrop
  i32 count;
  i32 capacity;
  bool open;  // between a drop-begin and its drop-complete
};
// Takes an SDL drop event, and frees the text SDL gave with it. Returns 1
// when `drop` holds a finished drop of at least one file, to send as
// OM_EVENT_FILES_DROPPED and then end; 0 otherwise (other events too).
int OM_Host_GatherDrop(const SDL_Event* in, OM_HostDrop* drop);
// Releases the gathered paths: the next drop starts empty.
void OM_Host_EndDrop(OM_HostDrop* drop);
// Sends a finished drop to OM_Host_Target in `record` and ends it; the
// receiver's result.
int OM_Host_SendDrop(OM_Event* record, OM_HostDrop* drop);

#endif
