#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ombrix.h"
#include "surface.h"
#include "system.h"

namespace {

// What the host handed the game core, copied at the moment of the call.
struct Sent {
  OM_EventType type;
  uint64_t payload;
  bool is_global;  // the host's reused record rather than one on the stack
  OM_Mouse mouse;
};

std::vector<Sent> sent;
int reply;

int record(OM_Event* e) {
  Sent s;
  memset(&s, 0, sizeof s);
  s.type = e->type;
  memcpy(&s.payload, &e->time, sizeof s.payload);
  s.is_global = e == &event;
  if (e->type == OM_EVENT_UNKNOWN ||
      (e->type >= OM_EVENT_MOUSE_MOVE && e->type <= OM_EVENT_MOUSE_BUTTON_UP))
    s.mouse = *e->mouse;
  sent.push_back(s);
  return reply;
}

LRESULT msg(UINT m, WPARAM w = 0, LPARAM l = 0, HWND h = nullptr) { return OM_WndProc(h, m, w, l); }
LPARAM at(int x, int y) { return MAKELPARAM((WORD)(short)x, (WORD)(short)y); }

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_target = OM_Host_Target;
    OM_Host_Target = record;
    sent.clear();
    reply = 0;
    memset(&OM_mouse, 0, sizeof OM_mouse);
    saved_fb = fb;
    fb = nullptr;
  }
  void TearDown() override {
    OM_Host_Target = saved_target;
    fb = saved_fb;
    memset(&OM_mouse, 0, sizeof OM_mouse);
  }
  int (*saved_target)(OM_Event*);
  OM_Surface* saved_fb;
};

TEST_F(Host, MouseMovesCarryPositionDeltaAndButtons) {
  msg(WM_MOUSEMOVE, 0, at(100, 50));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, OM_EVENT_MOUSE_MOVE);
  EXPECT_TRUE(sent[0].is_global);
  EXPECT_EQ(event.mouse, &OM_mouse);
  EXPECT_EQ(sent[0].mouse.x, 100);
  EXPECT_EQ(sent[0].mouse.dx, 100);  // the first move is measured from 0
  EXPECT_EQ(sent[0].mouse.dy, 50);
  // Shift and Ctrl flags must not pass for buttons; the middle one maps to 4.
  msg(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_XBUTTON1, at(90, 60));
  EXPECT_EQ(OM_mouse.buttons, OM_LMB | OM_RMB);
  EXPECT_EQ(OM_mouse.dx, -10);
  msg(WM_MOUSEMOVE, MK_MBUTTON | MK_SHIFT, at(90, 60));
  EXPECT_EQ(OM_mouse.buttons, OM_MMB);
  EXPECT_EQ(OM_mouse.dx, 0);
  // Positions are signed 16-bit (a captured drag left of the window).
  msg(WM_MOUSEMOVE, 0, at(-3, -4));
  EXPECT_EQ(OM_mouse.x, -3);
  EXPECT_EQ(OM_mouse.dy, -64);
}

TEST_F(Host, DoubleClickIsDownOneUpDownTwoUp) {
  msg(WM_LBUTTONDOWN, MK_LBUTTON, at(10, 20));
  msg(WM_LBUTTONUP, 0, at(10, 20));
  msg(WM_LBUTTONDBLCLK, MK_LBUTTON, at(10, 20));
  msg(WM_LBUTTONUP, 0, at(10, 20));
  ASSERT_EQ(sent.size(), 4u);
  const OM_EventType types[4] = {OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_BUTTON_UP,
                                 OM_EVENT_MOUSE_BUTTON_DOWN, OM_EVENT_MOUSE_BUTTON_UP};
  const int clicks[4] = {1, 1, 2, 2};
  const int buttons[4] = {OM_LMB, 0, OM_LMB, 0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(sent[i].type, types[i]) << i;
    EXPECT_EQ(sent[i].mouse.clicks, clicks[i]) << i;
    EXPECT_EQ(sent[i].mouse.buttons, buttons[i]) << i;
  }
  msg(WM_MOUSEMOVE, 0, at(11, 20));
  EXPECT_EQ(OM_mouse.clicks, 2);  // moves keep how the last press was made
  msg(WM_RBUTTONDBLCLK, MK_RBUTTON, at(11, 20));
  EXPECT_EQ(OM_mouse.clicks, 2);
  msg(WM_MBUTTONDOWN, MK_MBUTTON, at(11, 20));
  EXPECT_EQ(OM_mouse.clicks, 1);
  msg(WM_MBUTTONDBLCLK, MK_MBUTTON, at(11, 20));
  EXPECT_EQ(sent.back().type, OM_EVENT_MOUSE_BUTTON_DOWN);
  EXPECT_EQ(OM_mouse.clicks, 2);
}

TEST_F(Host, RightPressWhileLeftHeldGivesBothButtons) {
  msg(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
  msg(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, at(6, 5));
  EXPECT_EQ(sent.back().type, OM_EVENT_MOUSE_BUTTON_DOWN);
  EXPECT_EQ(OM_mouse.buttons, 3);
  msg(WM_LBUTTONUP, MK_RBUTTON, at(6, 5));
  EXPECT_EQ(sent.back().type, OM_EVENT_MOUSE_BUTTON_UP);
  EXPECT_EQ(OM_mouse.buttons, OM_RMB);  // the released button is gone
  msg(WM_RBUTTONUP, 0, at(6, 5));
  EXPECT_EQ(OM_mouse.buttons, 0);
}

TEST_F(Host, WheelChangesOnlyTheWheel) {
  msg(WM_LBUTTONDBLCLK, MK_LBUTTON, at(30, 40));
  OM_Mouse before = OM_mouse;
  // The wheel's lParam holds screen coordinates: they must not be taken.
  msg(WM_MOUSEWHEEL, MAKEWPARAM(MK_RBUTTON, (WORD)-120), at(900, 700));
  EXPECT_EQ(sent.back().type, OM_EVENT_MOUSE_WHEEL);
  EXPECT_EQ(OM_mouse.wheel, -120);
  OM_Mouse after = OM_mouse;
  after.wheel = before.wheel;
  EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);
  msg(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), at(0, 0));
  EXPECT_EQ(OM_mouse.wheel, 240);
}

TEST_F(Host, SideButtonsAreUnknownWithThePositionUpdated) {
  msg(WM_LBUTTONDOWN, MK_LBUTTON, at(1, 1));
  msg(WM_XBUTTONDOWN, MAKEWPARAM(MK_LBUTTON | MK_XBUTTON1, XBUTTON1), at(7, 9));
  EXPECT_EQ(sent.back().type, OM_EVENT_UNKNOWN);
  EXPECT_EQ(OM_mouse.x, 7);
  EXPECT_EQ(OM_mouse.dy, 8);
  EXPECT_EQ(OM_mouse.buttons, OM_LMB);
  EXPECT_EQ(OM_mouse.clicks, 1);
  msg(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), at(7, 9));
  EXPECT_EQ(sent.back().type, OM_EVENT_UNKNOWN);
  // Outside the range: the side double-click and the sideways wheel.
  size_t n = sent.size();
  msg(WM_XBUTTONDBLCLK, MAKEWPARAM(0, XBUTTON1), at(8, 9));
  msg(WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), at(8, 9));
  EXPECT_EQ(sent.size(), n);
  EXPECT_EQ(OM_mouse.x, 7);
}

TEST_F(Host, KeysAreMaskedToEightBitsOnTheStack) {
  event.type = OM_EVENT_TICK;
  event.time = 1.5;
  EXPECT_EQ(msg(WM_KEYDOWN, 0x157, 0x00110001), 0);
  EXPECT_EQ(msg(WM_KEYDOWN, 0x57, 0x40110001), 0);  // auto-repeat
  EXPECT_EQ(msg(WM_KEYUP, 0xFF, 0xC0110001), 0);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].type, OM_EVENT_KEYBOARD_KEY_DOWN);
  EXPECT_EQ(sent[0].payload, 0x57u);  // the rest of the payload cleared
  EXPECT_FALSE(sent[0].is_global);
  EXPECT_EQ(sent[1].type, OM_EVENT_KEYBOARD_KEY_DOWN);
  EXPECT_EQ(sent[1].payload, 0x57u);
  EXPECT_EQ(sent[2].type, OM_EVENT_KEYBOARD_KEY_UP);
  EXPECT_EQ(sent[2].payload, 0xFFu);
  // The shared record is left as it was.
  EXPECT_EQ(event.type, OM_EVENT_TICK);
  EXPECT_EQ(event.time, 1.5);
  // System keys (Alt combinations, F10) are the window's own.
  msg(WM_SYSKEYDOWN, VK_F10, 0x20440001);
  msg(WM_SYSKEYUP, VK_MENU, 0xC0380001);
  msg(WM_CHAR, 'w', 0);
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(Host, SizeMessagesDescribeATopDownBitmap) {
  EXPECT_EQ(bmi.bmiHeader.biSize, 40u);
  EXPECT_EQ(bmi.bmiHeader.biPlanes, 1);
  EXPECT_EQ(bmi.bmiHeader.biBitCount, 32);
  EXPECT_EQ(bmi.bmiHeader.biCompression, (DWORD)BI_RGB);
  EXPECT_EQ(msg(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)), 0);
  EXPECT_EQ(bmi.bmiHeader.biWidth, 640);
  EXPECT_EQ(bmi.bmiHeader.biHeight, -480);
  msg(WM_SIZE, SIZE_MINIMIZED, 0);  // minimised: nothing to copy
  EXPECT_EQ(bmi.bmiHeader.biWidth, 0);
  EXPECT_EQ(bmi.bmiHeader.biHeight, 0);
  // The blit reads bmi's rows from fb: a client larger than fb must not
  // make it read past the buffer.
  OM_Surface* small = OM_CreateSurface(64, 32);
  fb = small;
  msg(WM_SIZE, SIZE_RESTORED, MAKELPARAM(40000, 600));
  EXPECT_EQ(bmi.bmiHeader.biWidth, 64);
  EXPECT_EQ(bmi.bmiHeader.biHeight, -32);
  OM_DestroySurface(small);
  EXPECT_TRUE(sent.empty());
}

// A real window of the host's own procedure: creation starts the timer, a
// tick asks for a paint, a paint draws and validates, destroy quits.
TEST_F(Host, WindowLifecycle) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = OM_WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OM_WND_TEST";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND w = CreateWindowExA(0, "OM_WND_TEST", "OM_WND_TEST", 0x00CA0000, 0, 0, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
  if (!w) {
    UnregisterClassA("OM_WND_TEST", wc.hInstance);
    GTEST_SKIP() << "no display to make windows on";
  }
  ShowWindow(w, SW_SHOWNOACTIVATE);  // hidden windows are never invalid
  OM_Surface* frame = OM_CreateSurface(640, 480);
  fb = frame;
  MSG m;
  bool ticked = false;
  for (DWORD start = GetTickCount(); !ticked && GetTickCount() - start < 2000;) {
    if (PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE))
      ticked = true;
    else
      Sleep(1);
  }
  EXPECT_TRUE(ticked) << "no 8 ms timer";

  ValidateRect(w, nullptr);
  sent.clear();
  reply = 1;  // a tick that vetoes the update asks for no paint
  msg(WM_TIMER, 0, 0, w);
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  reply = 0;
  msg(WM_TIMER, 0, 0, w);
  EXPECT_TRUE(GetUpdateRect(w, nullptr, FALSE));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].type, OM_EVENT_TICK);

  reply = 1;  // even a vetoed draw ends the paint
  msg(WM_PAINT, 0, 0, w);
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].type, OM_EVENT_DRAW);
  EXPECT_EQ(event.surface, frame);

  reply = 7;
  DestroyWindow(w);
  ASSERT_EQ(sent.back().type, OM_EVENT_QUIT);
  EXPECT_EQ(fb, nullptr);  // the core released it
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
  UnregisterClassA("OM_WND_TEST", wc.hInstance);
  OM_DestroySurface(frame);
}

}  // namespace
