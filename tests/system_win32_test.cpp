// The Windows host: window messages turned into events and mouse records, and a real window's life.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ombrix.h"
#include "scene_support.h"
#include "surface.h"
#include "system.h"
#include "ui_widget.h"

namespace {

// What the host handed the game core, copied at the moment of the call.
struct Sent {
  OM_EventType type;
  uint64_t payload;
  bool is_global;  // the host's reused record rather than one on the stack
  std::vector<int> mouse;
};
std::vector<Sent> sent;
int reply;

std::vector<int> Fields(const OM_Mouse& m) {
  return {m.x, m.y, m.dx, m.dy, m.wheel, m.buttons, m.clicks};
}
int Record(OM_Event* e) {
  Sent s = {e->type, 0, e == &event, {}};
  memcpy(&s.payload, &e->time, sizeof s.payload);
  if (e == &event && e->mouse == &OM_mouse) s.mouse = Fields(OM_mouse);
  sent.push_back(s);
  return reply;
}
LRESULT Msg(UINT m, WPARAM w = 0, LPARAM l = 0, HWND h = nullptr) { return OM_WndProc(h, m, w, l); }
LPARAM At(int x, int y) { return MAKELPARAM((WORD)(short)x, (WORD)(short)y); }

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    OM_Host_Target = Record;
    fb = nullptr;
    sent.clear();
    reply = 0;
    memset(&OM_mouse, 0, sizeof OM_mouse);
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
    UnregisterClassA("OM_WND_TEST", GetModuleHandleA(nullptr));
  }
  // A real window of the host's procedure with a 640x480 client area at
  // (100, 100) of the screen, and a frame buffer for it; null without a display.
  HWND open_window() {
    WNDCLASSA wc = {CS_DBLCLKS, OM_WndProc, 0,       0,       GetModuleHandleA(nullptr),
                    nullptr,    nullptr,    nullptr, nullptr, "OM_WND_TEST"};
    EXPECT_NE(RegisterClassA(&wc), 0);
    RECT outer = {0, 0, 640, 480};
    AdjustWindowRect(&outer, 0x00CA0000, FALSE);
    window = CreateWindowExA(0, "OM_WND_TEST", "", 0x00CA0000, 100, 100, outer.right - outer.left,
                             outer.bottom - outer.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);  // hidden windows are never invalid
    return window;
  }
  HWND window = nullptr;  // destroyed at the end unless the test did
  SavedGlobals saved;     // the host's receiver, record, frame buffer and bitmap header too
};

// One session of mouse messages and the record after each (x, y, dx, dy,
// wheel, buttons, clicks); type -1: nothing is sent. Shift, Ctrl and side
// flags are no buttons; the middle one is 4. A double-click is down(1), up, down(2), up; moves
// keep the count. Side buttons are unknown with the position updated; the
// side double-click is beyond the range. The wheel's lParam is in screen
// coordinates: it changes only the wheel.
TEST_F(Host, MouseMessagesUpdateTheRecordAndSendOneEventEach) {
  const int move = OM_EVENT_MOUSE_MOVE, down = OM_EVENT_MOUSE_BUTTON_DOWN,
            up = OM_EVENT_MOUSE_BUTTON_UP, L = MK_LBUTTON;
  const WPARAM held = MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_XBUTTON1,
               x1 = MAKEWPARAM(MK_XBUTTON1, XBUTTON1), notch = MAKEWPARAM(MK_RBUTTON, -120);
  const struct {
    UINT msg;
    WPARAM w;
    LPARAM l;
    int type;
    std::vector<int> after;
  } script[] = {
      {WM_MOUSEMOVE, 0, At(100, 50), move, {100, 50, 100, 50, 0, 0, 0}},  // counted from 0
      {WM_MOUSEMOVE, held, At(90, 60), move, {90, 60, -10, 10, 0, 3, 0}},
      {WM_MOUSEMOVE, MK_MBUTTON, At(-3, -4), move, {-3, -4, -93, -64, 0, 4, 0}},  // signed
      {WM_LBUTTONDOWN, L, At(10, 20), down, {10, 20, 13, 24, 0, 1, 1}},
      {WM_LBUTTONUP, 0, At(10, 20), up, {10, 20, 0, 0, 0, 0, 1}},
      {WM_LBUTTONDBLCLK, L, At(10, 20), down, {10, 20, 0, 0, 0, 1, 2}},
      {WM_LBUTTONUP, 0, At(10, 20), up, {10, 20, 0, 0, 0, 0, 2}},
      {WM_MOUSEMOVE, L, At(11, 20), move, {11, 20, 1, 0, 0, 1, 2}},
      {WM_RBUTTONDOWN, L | MK_RBUTTON, At(12, 20), down, {12, 20, 1, 0, 0, 3, 1}},
      {WM_XBUTTONDOWN, x1 | L, At(7, 9), OM_EVENT_UNKNOWN, {7, 9, -5, -11, 0, 1, 1}},
      {WM_XBUTTONDBLCLK, x1, At(8, 9), -1, {7, 9, -5, -11, 0, 1, 1}},
      {WM_MOUSEWHEEL, notch, At(900, 700), OM_EVENT_MOUSE_WHEEL, {7, 9, -5, -11, -120, 1, 1}}};
  for (const auto& step : script) {
    size_t before = sent.size(), i = &step - script;
    Msg(step.msg, step.w, step.l);
    EXPECT_EQ(Fields(OM_mouse), step.after) << "step " << i;
    ASSERT_EQ(sent.size(), before + (step.type != -1)) << "step " << i;
    if (step.type == -1) continue;
    EXPECT_EQ(sent.back().type, step.type) << "step " << i;
    EXPECT_EQ(sent.back().mouse, step.after) << "step " << i;  // in the shared record
  }
}

TEST_F(Host, KeysAreMaskedToEightBitsOnTheStackSystemKeysAreNotSent) {
  event.type = OM_EVENT_TICK;
  EXPECT_EQ(Msg(WM_KEYDOWN, 0x100 | OM_KEY_W, 0x00110001), 0);
  EXPECT_EQ(Msg(WM_KEYDOWN, OM_KEY_W, 0x40110001), 0);  // auto-repeat
  EXPECT_EQ(Msg(WM_KEYUP, 0xFF, 0xC0110001), 0);
  Msg(WM_SYSKEYDOWN, VK_F10, 0x20440001);
  Msg(WM_SYSKEYUP, VK_MENU, 0xC0380001);
  Msg(WM_CHAR, 'w', 0);
  ASSERT_EQ(sent.size(), 3u);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(sent[i].type, i < 2 ? OM_EVENT_KEYBOARD_KEY_DOWN : OM_EVENT_KEYBOARD_KEY_UP);
    EXPECT_EQ(sent[i].payload,
              i < 2 ? unsigned(OM_KEY_W) : 0xFFu);  // the rest of the payload cleared
    EXPECT_FALSE(sent[i].is_global);
  }
  EXPECT_EQ(event.type, OM_EVENT_TICK);  // the shared record is left alone
}

// A key the game holds gets its key-up even as a system key (let go while
// Alt is down); other system keys stay the window's. Losing the focus
// sends a key-up for every held key, since their real ones go elsewhere.
TEST_F(Host, HeldKeysAreLetGoOnSystemKeyUpsAndFocusLoss) {
  memset(keyboard.keys, 0, sizeof keyboard.keys);
  keyboard.keys['W'] = keyboard.keys[VK_CONTROL] = 1;
  Msg(WM_SYSKEYUP, 'Q', 0xC0100001);
  Msg(WM_SYSKEYDOWN, 'W', 0x20110001);
  Msg(WM_SYSKEYUP, 'W', 0xE0110001);
  Msg(WM_KILLFOCUS);
  const int up = OM_EVENT_KEYBOARD_KEY_UP;
  std::vector<std::vector<int>> got;
  for (const Sent& e : sent) got.push_back({e.type, int(e.payload)});
  EXPECT_EQ(got, (std::vector<std::vector<int>>{{up, 'W'}, {up, VK_CONTROL}, {up, 'W'}}));
}

// The width and a negative height for rows top-down; the blit reads bmi's
// rows from fb, so never more than it has.
TEST_F(Host, SizeMessagesDescribeATopDownBitmapNoLargerThanTheFrameBuffer) {
  auto size = [](int w, int h) {
    EXPECT_EQ(Msg(WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h)), 0);
    return std::vector<LONG>{bmi.bmiHeader.biWidth, bmi.bmiHeader.biHeight};
  };
  EXPECT_EQ(size(640, 480), (std::vector<LONG>{640, -480}));
  EXPECT_EQ(size(0, 0), (std::vector<LONG>{0, 0}));  // minimised
  OM_Surface* small = fb = OM_CreateSurface(64, 32);
  EXPECT_EQ(size(40000, 600), (std::vector<LONG>{64, -32}));
  OM_DestroySurface(small);
  EXPECT_TRUE(sent.empty());
}

// A real window of the host's procedure: creation starts the timer, a tick
// asks for a paint, a paint draws and validates, destroy quits.
TEST_F(Host, WindowLifecycle) {
  HWND w = open_window();
  if (!w) GTEST_SKIP() << "no display to make windows on";
  OM_Surface* frame = fb = OM_CreateSurface(640, 480);
  MSG m;
  bool ticked = false;
  for (DWORD start = GetTickCount(); !ticked && GetTickCount() - start < 2000; Sleep(1))
    ticked = PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE);
  EXPECT_TRUE(ticked) << "no 8 ms timer";
  // A vetoed tick asks for no paint; even a vetoed draw ends the paint.
  ValidateRect(w, nullptr);
  sent.clear();
  for (int veto : {1, 0}) {
    reply = veto;
    Msg(WM_TIMER, 0, 0, w);
    EXPECT_EQ(GetUpdateRect(w, nullptr, FALSE) != 0, !veto);
  }
  reply = 1;
  Msg(WM_PAINT, 0, 0, w);
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1].type, OM_EVENT_TICK);
  EXPECT_EQ(sent[2].type, OM_EVENT_DRAW);
  EXPECT_EQ(event.surface, frame);
  reply = 7;
  DestroyWindow(w);
  window = nullptr;
  EXPECT_EQ(sent.back().type, OM_EVENT_QUIT);
  EXPECT_EQ(fb, nullptr);  // the core released it
  OM_DestroySurface(frame);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
}

// What the core publishes on the next tick, seen by a stand-in editor.
int seenDelta[2];
int SeeTick(OM_Widget*, OM_Widget*, OM_Event* e) {
  if (e->type == OM_EVENT_TICK) seenDelta[0] = mouse.delta.x, seenDelta[1] = mouse.delta.y;
  return 0;
}

bool ClippedTo(const RECT& expected) {
  RECT r;
  return GetClipCursor(&r) && EqualRect(&r, &expected);
}

// A real window in gameplay: the focus captures the pointer (clipped to the
// client area, at its centre); a move is reported to the core and the
// pointer goes back, the record staying at the centre. Escape frees it, a
// left click takes it back, leaving gameplay and losing the focus free it.
TEST_F(Host, WindowCapturesThePointerInGameplay) {
  HWND w = open_window();
  if (!w) GTEST_SKIP() << "no display to make windows on";
  OM_Surface* frame = fb = OM_CreateSurface(640, 480);
  RECT screen;
  GetClipCursor(&screen);  // nothing clipped yet
  RECT client;
  GetClientRect(w, &client);
  MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
  POINT centre = {client.left + 320, client.top + 240};
  auto clipped = [&] { return ClippedTo(client); };
  auto at_centre = [&] {
    POINT p;
    GetCursorPos(&p);
    return p.x == centre.x && p.y == centre.y;
  };

  gameState = GAMEPLAY;
  Msg(WM_SETFOCUS, 0, 0, w);
  EXPECT_TRUE(clipped());
  EXPECT_TRUE(at_centre());
  OM_Widget fake = {};
  fake.HandleEvent = SeeTick;
  OM_editor = &fake;
  player = nullptr;
  OM_Event tick = {};
  tick.type = OM_EVENT_TICK;
  OM_Game_Handle(&tick);  // nothing left from before
  Msg(WM_MOUSEMOVE, 0, At(330, 235), w);
  EXPECT_EQ(Fields(OM_mouse), (std::vector<int>{320, 240, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sent.back().mouse, Fields(OM_mouse));
  EXPECT_TRUE(at_centre());
  OM_Game_Handle(&tick);
  EXPECT_TRUE(seenDelta[0] == -10 && seenDelta[1] == 5) << seenDelta[0] << " " << seenDelta[1];

  Msg(WM_KEYDOWN, VK_ESCAPE, 0x00010001, w);
  EXPECT_TRUE(ClippedTo(screen));
  Msg(WM_MOUSEMOVE, 0, At(330, 235), w);  // free: moves where it is
  EXPECT_EQ(OM_mouse.x, 330);
  Msg(WM_LBUTTONDOWN, MK_LBUTTON, At(330, 235), w);
  EXPECT_TRUE(clipped());
  gameState = EDITOR_PREVIEW;  // Tab, as the core would have switched
  Msg(WM_TIMER, 0, 0, w);
  EXPECT_TRUE(ClippedTo(screen));
  gameState = GAMEPLAY;
  Msg(WM_TIMER, 0, 0, w);
  EXPECT_TRUE(clipped());
  Msg(WM_KILLFOCUS, 0, 0, w);
  EXPECT_TRUE(ClippedTo(screen));
  DestroyWindow(w);
  window = nullptr;
  OM_DestroySurface(frame);
}

std::vector<std::string> dropped;
int RecordDrop(OM_Event* e) {
  if (e->type == OM_EVENT_FILES_DROPPED && e == &event)
    for (i32 i = 0; i < e->drop->count; i++) dropped.push_back(e->drop->paths[i]);
  return 0;
}

// Every name of a drop arrives in order, in the code page, as one event;
// a name the code page cannot hold is left out, and a drop of nothing else
// sends nothing.
TEST_F(Host, DroppedFilesArriveAsOneEventInOrder) {
  OM_Host_Target = RecordDrop;
  dropped.clear();
  HostDrop({"C:\\a b\\x.png", "y.jpg"});
  EXPECT_EQ(dropped, (std::vector<std::string>{"C:\\a b\\x.png", "y.jpg"}));
  dropped.clear();
  if (GetACP() != CP_UTF8) {
    HostDrop({"\xe4\xb8\xad\xe6\x96\x87.png"});
    EXPECT_TRUE(dropped.empty());
  }
}

}  // namespace
