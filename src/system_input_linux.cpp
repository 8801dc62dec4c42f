// The Linux host's translation of SDL input into the events the Windows
// window delivers, and the tick timer's cadence. Nothing here needs a window.
#include <SDL.h>

#include <climits>
#include <cmath>
#include <cstring>

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

enum {
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_F1 = 0x70,
  VK_F10 = 0x79,
  VK_F13 = 0x7C,
  VK_NUMPAD0 = 0x60,
};

// Keys by position, named as on a US keyboard, as Windows numbers them.
static int position_key(int sc, int numlock) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return VK_F13 + (sc - SDL_SCANCODE_F13);
  // The keypad's digits and point, and what they are without Num Lock.
  static const int numpad[11][3] = {
      {SDL_SCANCODE_KP_0, 0x60, 0x2D},      {SDL_SCANCODE_KP_1, 0x61, 0x23},
      {SDL_SCANCODE_KP_2, 0x62, 0x28},      {SDL_SCANCODE_KP_3, 0x63, 0x22},
      {SDL_SCANCODE_KP_4, 0x64, 0x25},      {SDL_SCANCODE_KP_5, 0x65, 0x0C},
      {SDL_SCANCODE_KP_6, 0x66, 0x27},      {SDL_SCANCODE_KP_7, 0x67, 0x24},
      {SDL_SCANCODE_KP_8, 0x68, 0x26},      {SDL_SCANCODE_KP_9, 0x69, 0x21},
      {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x2E},
  };
  for (const auto& k : numpad)
    if (k[0] == sc) return numlock ? k[1] : k[2];
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_TAB: return 0x09;
    case SDL_SCANCODE_SPACE: return 0x20;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_NONUSHASH: return 0xDC;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_NONUSBACKSLASH: return 0xE2;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_SCROLLLOCK: return 0x91;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_RIGHT: return 0x27;
    case SDL_SCANCODE_LEFT: return 0x25;
    case SDL_SCANCODE_DOWN: return 0x28;
    case SDL_SCANCODE_UP: return 0x26;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x90;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_APPLICATION: return 0x5D;
    case SDL_SCANCODE_HELP: return 0x2F;
    case SDL_SCANCODE_SLEEP: return 0x5F;
    case SDL_SCANCODE_MUTE:
    case SDL_SCANCODE_AUDIOMUTE: return 0xAD;
    case SDL_SCANCODE_VOLUMEDOWN: return 0xAE;
    case SDL_SCANCODE_VOLUMEUP: return 0xAF;
    case SDL_SCANCODE_AUDIONEXT: return 0xB0;
    case SDL_SCANCODE_AUDIOPREV: return 0xB1;
    case SDL_SCANCODE_AUDIOSTOP: return 0xB2;
    case SDL_SCANCODE_AUDIOPLAY: return 0xB3;
    // Windows reports either key of a pair by one shared code.
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_LGUI: return 0x5B;
    case SDL_SCANCODE_RGUI: return 0x5C;
    default: return 0;
  }
}

static int virtual_key(i32 sym, i32 scancode, int numlock) {
  // Letters and digits go by what the layout prints on the key, as the
  // Windows codes do; other layouts' letters fall back to the key's place.
  if (sym >= 'a' && sym <= 'z') return sym - 'a' + 'A';
  if (sym >= '0' && sym <= '9') return sym;
  return position_key(scancode, numlock);
}

int OM_Host_VirtualKey(i32 sym, i32 scancode) { return virtual_key(sym, scancode, 1); }

int OM_Host_TranslateKey(const SDL_Event* in, OM_Event* out) {
  if (in->type != SDL_KEYDOWN && in->type != SDL_KEYUP) return 0;
  const SDL_Keysym& ks = in->key.keysym;
  int vk = virtual_key(ks.sym, ks.scancode, (ks.mod & KMOD_NUM) != 0);
  if (vk == 0) return 0;
  // Alt (without Ctrl, which makes AltGr) and F10 are the window's own menu
  // keys: Windows sends them as system keys, which the game never sees.
  bool alt = (ks.mod & KMOD_ALT) != 0 || vk == VK_MENU;
  bool ctrl = (ks.mod & KMOD_CTRL) != 0;
  if (!ctrl && (alt || vk == VK_F10)) return 0;
  memset(out, 0, sizeof *out);
  out->type = in->type == SDL_KEYDOWN ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP;
  out->key = vk & 0xFF;
  return 1;
}

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
