// The Linux host's translation of SDL input into the events the Windows
// window delivers, and the tick timer's cadence. Nothing here needs a window.
#include <SDL.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "keys.h"
#include "ombrix.h"
#include "system.h"

int (*OM_Host_Target)(OM_Event* event) = OM_Game_Handle;

void OM_HostTimer_Start(OM_HostTimer* t, uint64_t now, u32 period) {
  t->period = period ? period : 1;
  t->next = now + t->period;
}

int OM_HostTimer_Due(OM_HostTimer* t, uint64_t now) {
  if (now < t->next) return 0;
  uint64_t late = now - t->next;
  t->next += (late / t->period + 1) * t->period;
  return 1;
}

u32 OM_HostTimer_Wait(const OM_HostTimer* t, uint64_t now) {
  return now >= t->next ? 0 : static_cast<u32>(t->next - now);
}

// Keys by position, named as on a US keyboard, as Windows numbers them.
static int position_key(int sc, int numlock) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return OM_KEY_A + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return OM_KEY_1 + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return OM_KEY_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return OM_KEY_F13 + (sc - SDL_SCANCODE_F13);
  // The keypad's digits and point, and what they are without Num Lock.
  static const int numpad[11][3] = {
      {SDL_SCANCODE_KP_0, OM_KEY_NUMPAD0 + 0, OM_KEY_INSERT},
      {SDL_SCANCODE_KP_1, OM_KEY_NUMPAD0 + 1, OM_KEY_END},
      {SDL_SCANCODE_KP_2, OM_KEY_NUMPAD0 + 2, OM_KEY_DOWN},
      {SDL_SCANCODE_KP_3, OM_KEY_NUMPAD0 + 3, OM_KEY_PAGE_DOWN},
      {SDL_SCANCODE_KP_4, OM_KEY_NUMPAD0 + 4, OM_KEY_LEFT},
      {SDL_SCANCODE_KP_5, OM_KEY_NUMPAD0 + 5, OM_KEY_CLEAR},
      {SDL_SCANCODE_KP_6, OM_KEY_NUMPAD0 + 6, OM_KEY_RIGHT},
      {SDL_SCANCODE_KP_7, OM_KEY_NUMPAD0 + 7, OM_KEY_HOME},
      {SDL_SCANCODE_KP_8, OM_KEY_NUMPAD0 + 8, OM_KEY_UP},
      {SDL_SCANCODE_KP_9, OM_KEY_NUMPAD0 + 9, OM_KEY_PAGE_UP},
      {SDL_SCANCODE_KP_PERIOD, OM_KEY_DECIMAL, OM_KEY_DELETE},
  };
  for (const auto& k : numpad)
    if (k[0] == sc) return numlock ? k[1] : k[2];
  switch (sc) {
    case SDL_SCANCODE_0: return OM_KEY_0;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return OM_KEY_ENTER;
    case SDL_SCANCODE_ESCAPE: return OM_KEY_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return OM_KEY_BACKSPACE;
    case SDL_SCANCODE_TAB: return OM_KEY_TAB;
    case SDL_SCANCODE_SPACE: return OM_KEY_SPACE;
    case SDL_SCANCODE_MINUS: return OM_KEY_MINUS;
    case SDL_SCANCODE_EQUALS: return OM_KEY_EQUALS;
    case SDL_SCANCODE_LEFTBRACKET: return OM_KEY_LEFT_BRACKET;
    case SDL_SCANCODE_RIGHTBRACKET: return OM_KEY_RIGHT_BRACKET;
    case SDL_SCANCODE_BACKSLASH: return OM_KEY_BACKSLASH;
    case SDL_SCANCODE_NONUSHASH: return OM_KEY_BACKSLASH;
    case SDL_SCANCODE_SEMICOLON: return OM_KEY_SEMICOLON;
    case SDL_SCANCODE_APOSTROPHE: return OM_KEY_APOSTROPHE;
    case SDL_SCANCODE_GRAVE: return OM_KEY_GRAVE;
    case SDL_SCANCODE_COMMA: return OM_KEY_COMMA;
    case SDL_SCANCODE_PERIOD: return OM_KEY_PERIOD;
    case SDL_SCANCODE_SLASH: return OM_KEY_SLASH;
    case SDL_SCANCODE_NONUSBACKSLASH: return OM_KEY_EXTRA_BACKSLASH;
    case SDL_SCANCODE_CAPSLOCK: return OM_KEY_CAPS_LOCK;
    case SDL_SCANCODE_PRINTSCREEN: return OM_KEY_PRINT_SCREEN;
    case SDL_SCANCODE_SCROLLLOCK: return OM_KEY_SCROLL_LOCK;
    case SDL_SCANCODE_PAUSE: return OM_KEY_PAUSE;
    case SDL_SCANCODE_INSERT: return OM_KEY_INSERT;
    case SDL_SCANCODE_HOME: return OM_KEY_HOME;
    case SDL_SCANCODE_PAGEUP: return OM_KEY_PAGE_UP;
    case SDL_SCANCODE_DELETE: return OM_KEY_DELETE;
    case SDL_SCANCODE_END: return OM_KEY_END;
    case SDL_SCANCODE_PAGEDOWN: return OM_KEY_PAGE_DOWN;
    case SDL_SCANCODE_RIGHT: return OM_KEY_RIGHT;
    case SDL_SCANCODE_LEFT: return OM_KEY_LEFT;
    case SDL_SCANCODE_DOWN: return OM_KEY_DOWN;
    case SDL_SCANCODE_UP: return OM_KEY_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return OM_KEY_NUM_LOCK;
    case SDL_SCANCODE_KP_DIVIDE: return OM_KEY_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return OM_KEY_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return OM_KEY_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return OM_KEY_ADD;
    case SDL_SCANCODE_APPLICATION: return OM_KEY_APPLICATION;
    case SDL_SCANCODE_HELP: return OM_KEY_HELP;
    case SDL_SCANCODE_SLEEP: return OM_KEY_SLEEP;
    case SDL_SCANCODE_MUTE:
    case SDL_SCANCODE_AUDIOMUTE: return OM_KEY_VOLUME_MUTE;
    case SDL_SCANCODE_VOLUMEDOWN: return OM_KEY_VOLUME_DOWN;
    case SDL_SCANCODE_VOLUMEUP: return OM_KEY_VOLUME_UP;
    case SDL_SCANCODE_AUDIONEXT: return OM_KEY_MEDIA_NEXT;
    case SDL_SCANCODE_AUDIOPREV: return OM_KEY_MEDIA_PREVIOUS;
    case SDL_SCANCODE_AUDIOSTOP: return OM_KEY_MEDIA_STOP;
    case SDL_SCANCODE_AUDIOPLAY: return OM_KEY_MEDIA_PLAY;
    // Windows reports either key of a pair by one shared code.
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return OM_KEY_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return OM_KEY_CTRL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return OM_KEY_ALT;
    case SDL_SCANCODE_LGUI: return OM_KEY_LEFT_WINDOWS;
    case SDL_SCANCODE_RGUI: return OM_KEY_RIGHT_WINDOWS;
    default: return 0;
  }
}

static int virtual_key(i32 sym, i32 scancode, int numlock) {
  // Letters and digits go by what the layout prints on the key, as the
  // Windows codes do; other layouts' letters fall back to the key's place.
  if (sym >= 'a' && sym <= 'z') return OM_KEY_A + (sym - 'a');
  if (sym >= '0' && sym <= '9') return OM_KEY_0 + (sym - '0');
  return position_key(scancode, numlock);
}

int OM_Host_VirtualKey(i32 sym, i32 scancode) { return virtual_key(sym, scancode, 1); }

int OM_Host_TranslateKey(const SDL_Event* in, const u8* held, OM_Event* out) {
  if (in->type != SDL_KEYDOWN && in->type != SDL_KEYUP) return 0;
  const SDL_Keysym& ks = in->key.keysym;
  int vk = virtual_key(ks.sym, ks.scancode, (ks.mod & KMOD_NUM) != 0);
  if (vk == 0) return 0;
  // Alt (without Ctrl, which makes AltGr) and F10 are the window's own menu
  // keys: Windows sends them as system keys, which the game never sees.
  // Their key-ups still reach a game that holds the key (W pressed, then
  // Alt, then W let go), or it would walk on.
  bool alt = (ks.mod & KMOD_ALT) != 0 || vk == OM_KEY_ALT;
  bool ctrl = (ks.mod & KMOD_CTRL) != 0;
  bool up = in->type == SDL_KEYUP;
  bool holding = up && held && (vk & 0xFF) < 255 && held[vk & 0xFF];
  if (!ctrl && (alt || vk == OM_KEY_F10) && !holding) return 0;
  memset(out, 0, sizeof *out);
  out->type = up ? OM_EVENT_KEYBOARD_KEY_UP : OM_EVENT_KEYBOARD_KEY_DOWN;
  out->key = vk & 0xFF;
  return 1;
}

void OM_Host_ReleaseKeys() { OM_Input_ReleaseKeys(OM_Host_Target); }

// Windows carries positions and wheel turns in signed 16-bit fields.
static int to_i16(long v) { return v < SHRT_MIN ? SHRT_MIN : v > SHRT_MAX ? SHRT_MAX : (int)v; }

static void move_to(OM_Mouse* m, int x, int y) {
  x = to_i16(x);
  y = to_i16(y);
  m->dx = x - m->x;
  m->dy = y - m->y;
  m->x = x;
  m->y = y;
}

static int button_bit(int sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return OM_LMB;
    case SDL_BUTTON_RIGHT: return OM_RMB;
    case SDL_BUTTON_MIDDLE: return OM_MMB;
    default: return 0;  // the side buttons have no bit
  }
}

int OM_Host_TranslateMouse(const SDL_Event* in, OM_Mouse* m) {
  switch (in->type) {
    case SDL_MOUSEMOTION: {
      move_to(m, in->motion.x, in->motion.y);
      u32 s = in->motion.state;
      m->buttons = ((s & SDL_BUTTON_LMASK) ? OM_LMB : 0) | ((s & SDL_BUTTON_RMASK) ? OM_RMB : 0) |
                   ((s & SDL_BUTTON_MMASK) ? OM_MMB : 0);
      return OM_EVENT_MOUSE_MOVE;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      move_to(m, in->button.x, in->button.y);
      int bit = button_bit(in->button.button);
      if (bit == 0) return OM_EVENT_UNKNOWN;
      if (in->type == SDL_MOUSEBUTTONUP) {
        m->buttons &= ~bit;
        return OM_EVENT_MOUSE_BUTTON_UP;
      }
      m->buttons |= bit;
      // SDL counts on (3, 4, ...) while the clicks keep coming; Windows
      // starts over after a double-click, so a third click is single again.
      m->clicks = in->button.clicks >= 2 && in->button.clicks % 2 == 0 ? 2 : 1;
      return OM_EVENT_MOUSE_BUTTON_DOWN;
    }
    case SDL_MOUSEWHEEL: {
      f32 turn = in->wheel.preciseY != 0.0f ? in->wheel.preciseY : (f32)in->wheel.y;
      if (in->wheel.direction == SDL_MOUSEWHEEL_FLIPPED) turn = -turn;
      f32 amount = turn * (f32)OM_HOST_WHEEL_DELTA;
      if (amount != amount) return -1;
      if (amount > 40000.0f) amount = 40000.0f;  // keeps the rounding in range
      if (amount < -40000.0f) amount = -40000.0f;
      long rounded = lroundf(amount);
      if (rounded == 0) return -1;  // sideways only: Windows sends another message
      m->wheel = to_i16(rounded);
      return OM_EVENT_MOUSE_WHEEL;
    }
    default: return -1;
  }
}

int OM_Host_TranslateCapturedMouse(const SDL_Event* in, OM_Mouse* m, int cx, int cy, int* dx,
                                   int* dy) {
  *dx = *dy = 0;
  SDL_Event e = *in;
  switch (e.type) {
    case SDL_MOUSEMOTION:
      *dx = e.motion.xrel;
      *dy = e.motion.yrel;
      e.motion.x = cx;
      e.motion.y = cy;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      e.button.x = cx;
      e.button.y = cy;
      break;
    default: break;
  }
  return OM_Host_TranslateMouse(&e, m);
}

// ==== Dropped files ====

static void keep_path(OM_HostDrop* drop, const char* file) {
  if (!file) return;
  if (drop->count == drop->capacity) {
    i32 capacity = drop->capacity ? drop->capacity * 2 : 4;
    void* grown = realloc(drop->paths, sizeof(char*) * static_cast<reg>(capacity));
    if (!grown) return;  // the files that fit are still delivered
    drop->paths = static_cast<char**>(grown);
    drop->capacity = capacity;
  }
  const reg size = strlen(file) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (!copy) return;
  memcpy(copy, file, size);
  drop->paths[drop->count++] = copy;
}

int OM_Host_GatherDrop(const SDL_Event* in, OM_HostDrop* drop) {
  switch (in->type) {
    case SDL_DROPBEGIN:
      OM_Host_EndDrop(drop);
      drop->open = true;
      return 0;
    case SDL_DROPFILE:
      keep_path(drop, in->drop.file);
      SDL_free(in->drop.file);
      return !drop->open && drop->count > 0;
    case SDL_DROPTEXT:  // dragged text is no file
      SDL_free(in->drop.file);
      return 0;
    case SDL_DROPCOMPLETE: drop->open = false; return drop->count > 0;
    default: return 0;
  }
}

void OM_Host_EndDrop(OM_HostDrop* drop) {
  for (i32 i = 0; i < drop->count; i++) free(drop->paths[i]);
  free(drop->paths);
  *drop = OM_HostDrop{};
}

int OM_Host_SendDrop(OM_Event* record, OM_HostDrop* drop) {
  OM_Drop files = {drop->count, drop->paths};
  record->type = OM_EVENT_FILES_DROPPED;
  record->drop = &files;
  int result = OM_Host_Target(record);
  record->drop = nullptr;  // the paths go with the drop
  OM_Host_EndDrop(drop);
  return result;
}
