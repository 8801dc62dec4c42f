#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ombrix.h"
#include "surface.h"
#include "system.h"

namespace {

SDL_Event key(Uint32 type, SDL_Keycode sym, SDL_Scancode sc, Uint16 mod = KMOD_NUM) {
  SDL_Event e;
  memset(&e, 0, sizeof e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = sc;
  e.key.keysym.mod = mod;
  return e;
}

// The 8 payload bytes of an event, to see that nothing but the key is set.
uint64_t payload(const OM_Event& e) {
  uint64_t p;
  memcpy(&p, &e.time, sizeof p);
  return p;
}

TEST(HostKeys, GameKeysGetTheirWindowsCodes) {
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_w, SDL_SCANCODE_W), 0x57);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_a, SDL_SCANCODE_A), 0x41);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_z, SDL_SCANCODE_Z), 0x5A);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_0, SDL_SCANCODE_0), 0x30);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_9, SDL_SCANCODE_9), 0x39);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_TAB, SDL_SCANCODE_TAB), 0x09);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_SPACE, SDL_SCANCODE_SPACE), 0x20);
  // Either Shift is 0x10 and either Ctrl 0x11: the game tests one slot.
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT), 0x10);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 0x10);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_LCTRL, SDL_SCANCODE_LCTRL), 0x11);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_RCTRL, SDL_SCANCODE_RCTRL), 0x11);
  // Keys the game does not read still get their codes; unknown ones none.
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 0x0D);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_F24, SDL_SCANCODE_F24), 0x87);
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0);
}

TEST(HostKeys, LayoutsDecideLettersLikeWindows) {
  // AZERTY: the key in Q's place prints A, and A is what Windows reports.
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_a, SDL_SCANCODE_Q), 0x41);
  // Its digit row prints symbols; Windows still reports the digits.
  EXPECT_EQ(OM_Host_VirtualKey(SDLK_AMPERSAND, SDL_SCANCODE_1), 0x31);
  // A Cyrillic layout: the letter goes by the key's place.
  EXPECT_EQ(OM_Host_VirtualKey(0x0444, SDL_SCANCODE_A), 0x41);
}

TEST(HostKeys, KeyEventsCarryTheCodeAndNothingElse) {
  OM_Event out;
  memset(&out, 0xFF, sizeof out);
  SDL_Event down = key(SDL_KEYDOWN, SDLK_w, SDL_SCANCODE_W);
  ASSERT_EQ(OM_Host_TranslateKey(&down, &out), 1);
  EXPECT_EQ(out.type, OM_EVENT_KEYBOARD_KEY_DOWN);
  EXPECT_EQ(payload(out), 0x57u);

  // Auto-repeat is another key-down with the same code.
  down.key.repeat = 1;
  ASSERT_EQ(OM_Host_TranslateKey(&down, &out), 1);
  EXPECT_EQ(out.type, OM_EVENT_KEYBOARD_KEY_DOWN);
  EXPECT_EQ(out.key, 0x57);

  SDL_Event up = key(SDL_KEYUP, SDLK_w, SDL_SCANCODE_W);
  ASSERT_EQ(OM_Host_TranslateKey(&up, &out), 1);
  EXPECT_EQ(out.type, OM_EVENT_KEYBOARD_KEY_UP);
  EXPECT_EQ(payload(out), 0x57u);

  // Ctrl+S reaches the game as two plain key-downs.
  SDL_Event ctrl = key(SDL_KEYDOWN, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_LCTRL);
  ASSERT_EQ(OM_Host_TranslateKey(&ctrl, &out), 1);
  EXPECT_EQ(out.key, 0x11);
  SDL_Event s = key(SDL_KEYDOWN, SDLK_s, SDL_SCANCODE_S, KMOD_LCTRL);
  ASSERT_EQ(OM_Host_TranslateKey(&s, &out), 1);
  EXPECT_EQ(out.key, 0x53);
}

TEST(HostKeys, SystemKeysAndUnknownKeysSendNothing) {
  OM_Event out;
  SDL_Event alt = key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT);
  EXPECT_EQ(OM_Host_TranslateKey(&alt, &out), 0);
  SDL_Event alt_up = key(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE);
  EXPECT_EQ(OM_Host_TranslateKey(&alt_up, &out), 0);
  SDL_Event alt_w = key(SDL_KEYDOWN, SDLK_w, SDL_SCANCODE_W, KMOD_RALT);
  EXPECT_EQ(OM_Host_TranslateKey(&alt_w, &out), 0);
  SDL_Event f10 = key(SDL_KEYDOWN, SDLK_F10, SDL_SCANCODE_F10);
  EXPECT_EQ(OM_Host_TranslateKey(&f10, &out), 0);
  SDL_Event unknown = key(SDL_KEYDOWN, SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN);
  EXPECT_EQ(OM_Host_TranslateKey(&unknown, &out), 0);
  SDL_Event text;
  memset(&text, 0, sizeof text);
  text.type = SDL_TEXTINPUT;
  EXPECT_EQ(OM_Host_TranslateKey(&text, &out), 0);

  // With Ctrl as well (AltGr), keys are ordinary again.
  SDL_Event altgr_w = key(SDL_KEYDOWN, SDLK_w, SDL_SCANCODE_W, KMOD_RALT | KMOD_LCTRL);
  ASSERT_EQ(OM_Host_TranslateKey(&altgr_w, &out), 1);
  EXPECT_EQ(out.key, 0x57);
}

TEST(HostKeys, KeypadFollowsNumLock) {
  OM_Event out;
  SDL_Event kp8 = key(SDL_KEYDOWN, SDLK_KP_8, SDL_SCANCODE_KP_8, KMOD_NUM);
  ASSERT_EQ(OM_Host_TranslateKey(&kp8, &out), 1);
  EXPECT_EQ(out.key, 0x68);
  kp8.key.keysym.mod = KMOD_NONE;
  ASSERT_EQ(OM_Host_TranslateKey(&kp8, &out), 1);
  EXPECT_EQ(out.key, 0x26);  // up
  SDL_Event point = key(SDL_KEYDOWN, SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NONE);
  ASSERT_EQ(OM_Host_TranslateKey(&point, &out), 1);
  EXPECT_EQ(out.key, 0x2E);  // delete
}

class HostMouse : public ::testing::Test {
 protected:
  void SetUp() override { memset(&m, 0, sizeof m); }
  int motion(int x, int y, Uint32 state = 0) {
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = state;
    return OM_Host_TranslateMouse(&e, &m);
  }
  int button(Uint32 type, Uint8 which, int x, int y, Uint8 clicks = 1) {
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = clicks;
    e.button.x = x;
    e.button.y = y;
    return OM_Host_TranslateMouse(&e, &m);
  }
  int wheel(int y, float precise, Uint32 direction = SDL_MOUSEWHEEL_NORMAL, int x = 0) {
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.x = x;
    e.wheel.y = y;
    e.wheel.preciseY = precise;
    e.wheel.direction = direction;
    return OM_Host_TranslateMouse(&e, &m);
  }
  OM_Mouse m;
};

TEST_F(HostMouse, MovesCarryPositionDeltaAndHeldButtons) {
  EXPECT_EQ(motion(100, 50), OM_EVENT_MOUSE_MOVE);
  EXPECT_EQ(m.x, 100);
  EXPECT_EQ(m.y, 50);
  EXPECT_EQ(m.dx, 100);  // the first move is measured from 0
  EXPECT_EQ(m.dy, 50);
  EXPECT_EQ(motion(90, 70, SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_MMASK), 8);
  EXPECT_EQ(m.dx, -10);
  EXPECT_EQ(m.dy, 20);
  EXPECT_EQ(m.buttons, OM_LMB | OM_RMB | OM_MMB);
  motion(90, 70, SDL_BUTTON_RMASK | SDL_BUTTON_X1MASK);
  EXPECT_EQ(m.buttons, OM_RMB);  // side buttons have no bit
  EXPECT_EQ(m.dx, 0);
  // A drag that leaves the window goes on with positions outside it, in
  // the 16 bits Windows carries them in.
  motion(-20, 100000, SDL_BUTTON_LMASK);
  EXPECT_EQ(m.x, -20);
  EXPECT_EQ(m.y, 32767);
}

TEST_F(HostMouse, DoubleClickIsDownOneUpDownTwoUp) {
  const int expected_type[4] = {OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_BUTTON_UP,
                                OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_BUTTON_UP};
  const int expected_clicks[4] = {1, 1, 2, 2};  // the up keeps the press's count
  const int expected_buttons[4] = {OM_LMB, 0, OM_LMB, 0};
  int got[4];
  got[0] = button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20, 1);
  int clicks[4], buttons[4];
  clicks[0] = m.clicks, buttons[0] = m.buttons;
  got[1] = button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 10, 20, 1);
  clicks[1] = m.clicks, buttons[1] = m.buttons;
  got[2] = button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20, 2);
  clicks[2] = m.clicks, buttons[2] = m.buttons;
  got[3] = button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 10, 20, 2);
  clicks[3] = m.clicks, buttons[3] = m.buttons;
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(got[i], expected_type[i]) << i;
    EXPECT_EQ(clicks[i], expected_clicks[i]) << i;
    EXPECT_EQ(buttons[i], expected_buttons[i]) << i;
  }
  // SDL keeps counting a fast third and fourth click; Windows starts over.
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20, 3);
  EXPECT_EQ(m.clicks, 1);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20, 4);
  EXPECT_EQ(m.clicks, 2);
  // A move leaves the count alone.
  motion(11, 20, SDL_BUTTON_LMASK);
  EXPECT_EQ(m.clicks, 2);
}

TEST_F(HostMouse, ButtonsCombineAndReleaseSeparately) {
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6);
  EXPECT_EQ(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 7, 6), OM_EVENT_MOUSE_BUTTON_DOWN);
  EXPECT_EQ(m.buttons, OM_LMB | OM_RMB);
  EXPECT_EQ(m.dx, 2);  // a press moves the record too
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 7, 6);
  EXPECT_EQ(m.buttons, 7);
  EXPECT_EQ(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 7, 6), OM_EVENT_MOUSE_BUTTON_UP);
  EXPECT_EQ(m.buttons, OM_RMB | OM_MMB);
}

TEST_F(HostMouse, SideButtonsAreUnknownWithThePositionUpdated) {
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1, 1);
  EXPECT_EQ(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 30, 40, 2), OM_EVENT_UNKNOWN);
  EXPECT_EQ(m.x, 30);
  EXPECT_EQ(m.y, 40);
  EXPECT_EQ(m.dx, 29);
  EXPECT_EQ(m.buttons, OM_LMB);
  EXPECT_EQ(m.clicks, 1);
  EXPECT_EQ(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_X2, 31, 40), OM_EVENT_UNKNOWN);
  EXPECT_EQ(m.buttons, OM_LMB);
}

TEST_F(HostMouse, WheelChangesOnlyTheWheel) {
  motion(200, 100, SDL_BUTTON_LMASK);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 200, 100, 2);
  OM_Mouse before = m;
  EXPECT_EQ(wheel(1, 1.0f), OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(m.wheel, 120);  // one notch forward
  OM_Mouse after = m;
  after.wheel = before.wheel;
  EXPECT_EQ(memcmp(&after, &before, sizeof m), 0);

  EXPECT_EQ(wheel(-2, -2.0f), OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(m.wheel, -240);
  EXPECT_EQ(wheel(1, 1.0f, SDL_MOUSEWHEEL_FLIPPED), OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(m.wheel, -120);  // "natural" scrolling reports the turn reversed
  EXPECT_EQ(wheel(0, 0.25f), OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(m.wheel, 30);  // a fine wheel's part of a notch
  EXPECT_EQ(wheel(1000, 1000.0f), OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(m.wheel, 32767);

  // Sideways only: no vertical wheel message at all.
  EXPECT_EQ(wheel(0, 0.0f, SDL_MOUSEWHEEL_NORMAL, 3), -1);
  EXPECT_EQ(m.wheel, 32767);
}

TEST_F(HostMouse, OtherEventsAreNotMouseMessages) {
  SDL_Event e;
  memset(&e, 0, sizeof e);
  e.type = SDL_KEYDOWN;
  EXPECT_EQ(OM_Host_TranslateMouse(&e, &m), -1);
  e.type = SDL_WINDOWEVENT;
  EXPECT_EQ(OM_Host_TranslateMouse(&e, &m), -1);
}

TEST(HostTimer, TicksEveryPeriodWithAtMostOnePending) {
  OM_HostTimer t;
  OM_HostTimer_Start(&t, 1000, 8);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1000), 8u);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1007), 0);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1008), 1);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1008), 0);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1010), 6u);
  // A 40 ms frame: one tick comes at once, the missed ones are dropped and
  // the next keeps the timer's phase.
  EXPECT_EQ(OM_HostTimer_Due(&t, 1050), 1);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1050), 0);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1055), 0);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1055), 1u);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1056), 1);
  EXPECT_EQ(OM_HostTimer_Wait(&t, 1100), 0u);
  // A zero period would spin: it counts as one millisecond.
  OM_HostTimer_Start(&t, 0, 0);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1), 1);
  EXPECT_EQ(OM_HostTimer_Due(&t, 1), 0);
}

}  // namespace
