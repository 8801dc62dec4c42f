// The key codes of the whole program: Windows virtual-key values, which is
// what the host delivers in an event's `key` and what indexes
// keyboard.keys. The game core, the editor, the Linux host's translation
// and the tests all name keys from this one list.
#pragma once

enum OM_Key : int {
  OM_KEY_BACKSPACE = 0x08,
  OM_KEY_TAB = 0x09,
  OM_KEY_CLEAR = 0x0C,  // keypad 5 without Num Lock
  OM_KEY_ENTER = 0x0D,
  OM_KEY_SHIFT = 0x10,  // either Shift key
  OM_KEY_CTRL = 0x11,   // either Ctrl key
  OM_KEY_ALT = 0x12,    // either Alt key (VK_MENU)
  OM_KEY_PAUSE = 0x13,
  OM_KEY_CAPS_LOCK = 0x14,
  OM_KEY_ESCAPE = 0x1B,
  OM_KEY_SPACE = 0x20,
  OM_KEY_PAGE_UP = 0x21,
  OM_KEY_PAGE_DOWN = 0x22,
  OM_KEY_END = 0x23,
  OM_KEY_HOME = 0x24,
  OM_KEY_LEFT = 0x25,
  OM_KEY_UP = 0x26,
  OM_KEY_RIGHT = 0x27,
  OM_KEY_DOWN = 0x28,
  OM_KEY_PRINT_SCREEN = 0x2C,
  OM_KEY_INSERT = 0x2D,
  OM_KEY_DELETE = 0x2E,
  OM_KEY_HELP = 0x2F,
  OM_KEY_0 = 0x30,  // the digits run 0x30 .. 0x39, as their characters
  OM_KEY_1 = 0x31,
  OM_KEY_9 = 0x39,
  OM_KEY_A = 0x41,  // the letters run 0x41 .. 0x5A, as upper-case characters
  OM_KEY_B = 0x42,
  OM_KEY_C = 0x43,
  OM_KEY_D = 0x44,
  OM_KEY_E = 0x45,
  OM_KEY_F = 0x46,
  OM_KEY_H = 0x48,
  OM_KEY_L = 0x4C,
  OM_KEY_M = 0x4D,
  OM_KEY_N = 0x4E,
  OM_KEY_O = 0x4F,
  OM_KEY_Q = 0x51,
  OM_KEY_S = 0x53,
  OM_KEY_T = 0x54,
  OM_KEY_V = 0x56,
  OM_KEY_W = 0x57,
  OM_KEY_Y = 0x59,
  OM_KEY_Z = 0x5A,
  OM_KEY_LEFT_WINDOWS = 0x5B,
  OM_KEY_RIGHT_WINDOWS = 0x5C,
  OM_KEY_APPLICATION = 0x5D,
  OM_KEY_SLEEP = 0x5F,
  OM_KEY_NUMPAD0 = 0x60,  // keypad digits run 0x60 .. 0x69 with Num Lock
  OM_KEY_MULTIPLY = 0x6A,
  OM_KEY_ADD = 0x6B,
  OM_KEY_SUBTRACT = 0x6D,
  OM_KEY_DECIMAL = 0x6E,
  OM_KEY_DIVIDE = 0x6F,
  OM_KEY_F1 = 0x70,  // F1 .. F12 run 0x70 .. 0x7B
  OM_KEY_F10 = 0x79,
  OM_KEY_F13 = 0x7C,  // F13 .. F24 run 0x7C .. 0x87
  OM_KEY_NUM_LOCK = 0x90,
  OM_KEY_SCROLL_LOCK = 0x91,
  OM_KEY_VOLUME_MUTE = 0xAD,
  OM_KEY_VOLUME_DOWN = 0xAE,
  OM_KEY_VOLUME_UP = 0xAF,
  OM_KEY_MEDIA_NEXT = 0xB0,
  OM_KEY_MEDIA_PREVIOUS = 0xB1,
  OM_KEY_MEDIA_STOP = 0xB2,
  OM_KEY_MEDIA_PLAY = 0xB3,
  // Punctuation, named by the US layout's characters (VK_OEM_*).
  OM_KEY_SEMICOLON = 0xBA,
  OM_KEY_EQUALS = 0xBB,
  OM_KEY_COMMA = 0xBC,
  OM_KEY_MINUS = 0xBD,
  OM_KEY_PERIOD = 0xBE,
  OM_KEY_SLASH = 0xBF,
  OM_KEY_GRAVE = 0xC0,
  OM_KEY_LEFT_BRACKET = 0xDB,
  OM_KEY_BACKSLASH = 0xDC,
  OM_KEY_RIGHT_BRACKET = 0xDD,
  OM_KEY_APOSTROPHE = 0xDE,
  OM_KEY_EXTRA_BACKSLASH = 0xE2,  // the key beside left Shift on ISO keyboards
};
