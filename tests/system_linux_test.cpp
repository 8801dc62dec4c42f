// The Linux host: SDL input turned into the Windows key codes and mouse records, and its timer.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "keys.h"
#include "ombrix.h"
#include "scene_support.h"
#include "system.h"

namespace {

SDL_Event Ev(Uint32 type) {
  SDL_Event e;
  memset(&e, 0, sizeof e);
  e.type = type;
  return e;
}

// Key events carry the Windows code and nothing else; 0: no event. Either
// Shift is OM_KEY_SHIFT and either Ctrl OM_KEY_CTRL (the game tests one
// slot). AZERTY prints A on Q's key and symbols on the digits: Windows
// reports A and the digits; Cyrillic letters go by the key's place. System
// keys (Alt without Ctrl, F10), unknown keys and text are not sent; with
// Ctrl, Alt is AltGr. A key the game holds (slot; -1: no table of held keys)
// always gets its key-up, even when Alt is down by then; Alt combinations
// never become key-downs, held or not.
TEST(HostKeys, KeysGetTheWindowsCodesAndAHeldKeyAlwaysItsKeyUp) {
  const int dn = SDL_KEYDOWN, up = SDL_KEYUP, num = KMOD_NUM, no = KMOD_NONE, ctl = KMOD_LCTRL,
            alt = KMOD_RALT, lalt = KMOD_LALT, repeat = 1 << 16, w = OM_KEY_W, ralt = OM_KEY_ALT,
            f10 = OM_KEY_F10;
  const int keys[][6] = {{dn, SDLK_w, SDL_SCANCODE_W, num, -1, w},
                         {dn | repeat, SDLK_w, SDL_SCANCODE_W, num, 0, w},
                         {up, SDLK_w, SDL_SCANCODE_W, num, 0, w},
                         {dn, SDLK_9, SDL_SCANCODE_9, num, 0, OM_KEY_9},
                         {dn, SDLK_TAB, SDL_SCANCODE_TAB, num, 0, OM_KEY_TAB},
                         {dn, SDLK_SPACE, SDL_SCANCODE_SPACE, num, 0, OM_KEY_SPACE},
                         {dn, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, num, 0, OM_KEY_SHIFT},
                         {dn, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, num, 0, OM_KEY_SHIFT},
                         {dn, SDLK_LCTRL, SDL_SCANCODE_LCTRL, ctl, 0, OM_KEY_CTRL},
                         {up, SDLK_RCTRL, SDL_SCANCODE_RCTRL, no, 0, OM_KEY_CTRL},
                         {dn, SDLK_s, SDL_SCANCODE_S, ctl, 0, OM_KEY_S},
                         {dn, SDLK_a, SDL_SCANCODE_Q, num, 0, OM_KEY_A},
                         {dn, SDLK_AMPERSAND, SDL_SCANCODE_1, num, 0, OM_KEY_1},
                         {dn, 0x0444, SDL_SCANCODE_A, num, 0, OM_KEY_A},
                         {dn, SDLK_LALT, SDL_SCANCODE_LALT, lalt, -1, 0},
                         {dn, SDLK_w, SDL_SCANCODE_W, alt, -1, 0},
                         {dn, SDLK_w, SDL_SCANCODE_W, alt | ctl, 0, w},
                         {dn, SDLK_F10, SDL_SCANCODE_F10, num, -1, 0},
                         {dn, SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, num, 0, 0},
                         {SDL_TEXTINPUT, SDLK_w, SDL_SCANCODE_W, num, 0, 0},
                         {up, SDLK_w, SDL_SCANCODE_W, lalt, w, w},  // W, then Alt, then W let go
                         {up, SDLK_w, SDL_SCANCODE_W, lalt, 0, 0},
                         {dn, SDLK_w, SDL_SCANCODE_W, lalt, w, 0},
                         {up, SDLK_RALT, SDL_SCANCODE_RALT, alt, ralt, ralt},
                         {up, SDLK_RALT, SDL_SCANCODE_RALT, alt, 0, 0},
                         {up, SDLK_F10, SDL_SCANCODE_F10, 0, f10, f10}};
  for (const auto& k : keys) {
    SDL_Event in = Ev(k[0] & 0xFFFF);
    in.key.keysym.sym = k[1], in.key.keysym.scancode = SDL_Scancode(k[2]);
    in.key.keysym.mod = Uint16(k[3]), in.key.repeat = k[0] >> 16;
    in.key.state = in.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    u8 held[255] = {};
    if (k[4] > 0) held[k[4]] = 1;
    OM_Event out;
    memset(&out, 0xFF, sizeof out);
    ASSERT_EQ(OM_Host_TranslateKey(&in, k[4] < 0 ? nullptr : held, &out), k[5] != 0) << &k - keys;
    if (!k[5]) continue;
    EXPECT_EQ(out.type, in.type == dn ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP);
    uint64_t payload;
    memcpy(&payload, &out.time, sizeof payload);
    EXPECT_EQ(payload, uint64_t(k[5])) << &k - keys;
  }
}

std::vector<std::vector<int>> released;
int RecordKey(OM_Event* e) {
  released.push_back({e->type, e->key});
  return 0;
}

// Losing the focus: one key-up through the host's target for each held
// key, in code order, and nothing for the keys that are up.
TEST(HostKeys, ReleasingSendsAKeyUpForEveryHeldKey) {
  SavedGlobals saved;
  OM_Host_Target = RecordKey;
  released.clear();
  memset(keyboard.keys, 0, sizeof keyboard.keys);
  for (int k : {int(OM_KEY_W), int(OM_KEY_CTRL), 0, 254}) keyboard.keys[k] = 1;
  OM_Host_ReleaseKeys();
  const int up = OM_EVENT_KEYBOARD_KEY_UP;
  EXPECT_EQ(released, (std::vector<std::vector<int>>{
                          {up, 0}, {up, int(OM_KEY_CTRL)}, {up, int(OM_KEY_W)}, {up, 254}}));
}

SDL_Event Move(int x, int y, Uint32 state = 0) {
  SDL_Event e = Ev(SDL_MOUSEMOTION);
  e.motion.x = x, e.motion.y = y, e.motion.state = state;
  return e;
}
SDL_Event Press(Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1) {
  SDL_Event e = Ev(type);
  e.button.button = button, e.button.clicks = clicks, e.button.x = x, e.button.y = y;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  return e;
}
SDL_Event Wheel(int y, float fine, Uint32 direction = SDL_MOUSEWHEEL_NORMAL, int x = 0) {
  SDL_Event e = Ev(SDL_MOUSEWHEEL);
  e.wheel.x = x, e.wheel.y = y, e.wheel.preciseY = fine, e.wheel.direction = direction;
  return e;
}

// One session of mouse input and the record after each event (x, y, dx,
// dy, wheel, buttons, clicks); type -1: no mouse message. Side buttons have
// no bit. A double-click is down(1), up, down(2), up; SDL counts a third
// click on, Windows starts over; moves keep the count. Right pressed while
// left is held gives 3, a release drops only its button. Side buttons are
// unknown with only the position updated. The wheel changes only the
// wheel, 120 per notch ("natural" scrolling reversed), within 16 bits.
TEST(HostMouse, EventsUpdateTheRecordAsTheWindowDoes) {
  const Uint32 dn = SDL_MOUSEBUTTONDOWN, up = SDL_MOUSEBUTTONUP, L = SDL_BUTTON_LEFT;
  const int move = OM_EVENT_MOUSE_MOVE, pressed = OM_EVENT_MOUSE_BUTTON_DOWN,
            released = OM_EVENT_MOUSE_BUTTON_UP, wheel = OM_EVENT_MOUSE_WHEEL;
  const Uint32 all = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_MMASK | SDL_BUTTON_X1MASK;
  const struct {
    SDL_Event in;
    int type;
    std::vector<int> after;
  } script[] = {
      {Move(100, 50), move, {100, 50, 100, 50, 0, 0, 0}},  // the first move counts from 0
      {Move(90, 70, all), move, {90, 70, -10, 20, 0, 7, 0}},
      {Move(10, 20), move, {10, 20, -80, -50, 0, 0, 0}},
      {Press(dn, L, 10, 20, 1), pressed, {10, 20, 0, 0, 0, 1, 1}},
      {Press(up, L, 10, 20, 1), released, {10, 20, 0, 0, 0, 0, 1}},
      {Press(dn, L, 10, 20, 2), pressed, {10, 20, 0, 0, 0, 1, 2}},
      {Press(up, L, 10, 20, 2), released, {10, 20, 0, 0, 0, 0, 2}},
      {Press(dn, L, 10, 20, 3), pressed, {10, 20, 0, 0, 0, 1, 1}},
      {Move(11, 20, SDL_BUTTON_LMASK), move, {11, 20, 1, 0, 0, 1, 1}},
      {Press(dn, SDL_BUTTON_RIGHT, 13, 20, 2), pressed, {13, 20, 2, 0, 0, 3, 2}},
      {Press(up, L, 13, 20), released, {13, 20, 0, 0, 0, 2, 2}},
      {Press(dn, SDL_BUTTON_X1, 30, 40, 1), OM_EVENT_UNKNOWN, {30, 40, 17, 20, 0, 2, 2}},
      {Wheel(1, 1.0f), wheel, {30, 40, 17, 20, 120, 2, 2}},
      {Wheel(1, 1.0f, SDL_MOUSEWHEEL_FLIPPED), wheel, {30, 40, 17, 20, -120, 2, 2}},
      {Wheel(1000, 1000.0f), wheel, {30, 40, 17, 20, 32767, 2, 2}},
      {Wheel(0, 0.0f, SDL_MOUSEWHEEL_NORMAL, 3), -1, {30, 40, 17, 20, 32767, 2, 2}},  // sideways
      {Ev(SDL_KEYDOWN), -1, {30, 40, 17, 20, 32767, 2, 2}}};
  OM_Mouse m;
  memset(&m, 0, sizeof m);
  for (const auto& step : script) {
    EXPECT_EQ(OM_Host_TranslateMouse(&step.in, &m), step.type) << "step " << &step - script;
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.dx, m.dy, m.wheel, m.buttons, m.clicks}), step.after)
        << "step " << &step - script;
  }
}

// A captured pointer: every position is the window's centre, so the record
// stays where the game's cursor is, and a motion's relative movement is
// handed back for the mouse look. Buttons and the wheel work as ever.
TEST(HostMouse, ACapturedPointerStaysAtTheCentre) {
  OM_Mouse m;
  memset(&m, 0, sizeof m);
  m.x = 320, m.y = 240;
  SDL_Event far = Move(639, 0, SDL_BUTTON_LMASK);
  far.motion.xrel = 25, far.motion.yrel = -3;
  SDL_Event right = Press(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 470);
  const struct {
    SDL_Event in;
    int type, dx, dy;
    std::vector<int> after;  // x, y, dx, dy, wheel, buttons, clicks
  } script[] = {{far, OM_EVENT_MOUSE_MOVE, 25, -3, {320, 240, 0, 0, 0, 1, 0}},
                {right, OM_EVENT_MOUSE_BUTTON_DOWN, 0, 0, {320, 240, 0, 0, 0, 3, 1}},
                {Wheel(-1, -1.0f), OM_EVENT_MOUSE_WHEEL, 0, 0, {320, 240, 0, 0, -120, 3, 1}},
                {Ev(SDL_KEYDOWN), -1, 0, 0, {320, 240, 0, 0, -120, 3, 1}}};
  for (const auto& step : script) {
    int dx = 99, dy = 99;
    EXPECT_EQ(OM_Host_TranslateCapturedMouse(&step.in, &m, 320, 240, &dx, &dy), step.type);
    EXPECT_TRUE(dx == step.dx && dy == step.dy) << dx << " " << dy;
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.dx, m.dy, m.wheel, m.buttons, m.clicks}), step.after)
        << "step " << &step - script;
  }
}

// After a 40 ms frame one tick comes at once, the missed ones are dropped
// and the next keeps the phase; a zero period would spin: it counts as 1 ms.
TEST(HostTimer, TicksEveryPeriodWithAtMostOnePending) {
  OM_HostTimer t;
  OM_HostTimer_Start(&t, 1000, 8);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1000), 8u);
  std::vector<int> due;
  for (uint64_t now : {1007, 1008, 1008, 1050, 1050, 1055, 1056})
    due.push_back(OM_HostTimer_Due(&t, now));
  EXPECT_EQ(due, (std::vector<int>{0, 1, 0, 1, 0, 0, 1}));
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1060), 4u);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1100), 0u);  // overdue: no wrap-around
  OM_HostTimer_Start(&t, 0, 0);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1), 1);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1), 0);
}

// One script of SDL drop events and, after each, the files a finished drop
// delivers ("" nothing). Begin..complete is one drop; a file with no begin is
// a drop of its own; dragged text and an empty drop deliver nothing; a new
// begin forgets an unfinished drop. SDL's texts are freed as they come (the
// sanitizer build sees a leak or a double free).
TEST(HostDrop, FilesBetweenBeginAndCompleteAreOneDrop) {
  const struct {
    Uint32 type;
    const char* file;
    const char* delivered;
  } script[] = {{SDL_DROPBEGIN, nullptr, ""},
                {SDL_DROPFILE, "/a b/x.png", ""},
                {SDL_DROPTEXT, "words", ""},
                {SDL_DROPFILE, "y.jpg", ""},
                {SDL_DROPCOMPLETE, nullptr, "/a b/x.png|y.jpg"},
                {SDL_DROPFILE, "lone.bmp", "lone.bmp"},
                {SDL_DROPBEGIN, nullptr, ""},
                {SDL_DROPCOMPLETE, nullptr, ""},
                {SDL_DROPBEGIN, nullptr, ""},
                {SDL_DROPFILE, "lost.tga", ""},
                {SDL_DROPBEGIN, nullptr, ""},
                {SDL_DROPFILE, "kept.tga", ""},
                {SDL_MOUSEMOTION, nullptr, ""},
                {SDL_DROPCOMPLETE, nullptr, "kept.tga"}};
  OM_HostDrop drop = {};
  for (const auto& step : script) {
    SDL_Event e = Ev(step.type);
    if (step.type != SDL_MOUSEMOTION) e.drop.file = step.file ? SDL_strdup(step.file) : nullptr;
    std::string got;
    if (OM_Host_GatherDrop(&e, &drop)) {
      for (i32 i = 0; i < drop.count; i++) {
        if (i) got += '|';
        got += drop.paths[i];
      }
      OM_Host_EndDrop(&drop);
    }
    EXPECT_EQ(got, step.delivered) << "step " << &step - script;
  }
  OM_Host_EndDrop(&drop);
}

}  // namespace
