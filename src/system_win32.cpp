// The Windows host: WinMain, the window procedure and the message loop.
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command_line.h"
#include "ombrix.h"
#include "surface.h"
#include "system.h"

OM_Event event;
OM_Surface* fb;
int (*OM_Host_Target)(OM_Event* event) = OM_Game_Handle;

BITMAPINFO bmi = {{sizeof(BITMAPINFOHEADER), 0, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};

static const char* const OM_WINDOW_CLASS = "OM_WND";
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX: a fixed size, so the client area
// always matches the frame buffer.
static const DWORD OM_WINDOW_STYLE = 0x00CA0000;
static const WORD OM_ICON_ID = 32512;

// Pointer capture in gameplay: the pointer is hidden, clipped to the client
// area and put back at its centre after every move, so its movement never
// stops at an edge. (Raw input would need the clip and the hidden pointer as
// well; re-centring is what behaves the same on Windows and under wine.)
static bool focused;   // the window has the keyboard
static int escaped;    // Escape freed the pointer in gameplay
static bool captured;  // the pointer is clipped, hidden and re-centred

// Shows the system's text for the thread's last error. Whatever the error
// happens to be is what the box says: nothing here sets it.
static void show_error_box() {
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&text), 0, nullptr);
  MessageBoxA(nullptr, text ? text : "", "An error occurred", MB_ICONERROR);
  LocalFree(text);
}

static int send_event(OM_EventType type) {
  event.type = type;
  return OM_Host_Target(&event);
}

// The client area's centre, where the game re-centres its cursor.
static POINT centre() {
  POINT c = {fb ? fb->w / 2 : 0, fb ? fb->h / 2 : 0};
  return c;
}

static void recentre(HWND hWnd) {
  POINT c = centre();
  if (ClientToScreen(hWnd, &c)) SetCursorPos(c.x, c.y);
}

// Clips the pointer to the client area, or frees it (null).
static void clip(HWND hWnd) {
  RECT r;
  if (!hWnd || !GetClientRect(hWnd, &r)) return;
  MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  ClipCursor(&r);
}

static void release_capture() {
  if (!captured) return;
  captured = false;
  ClipCursor(nullptr);
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
}

// Applies the capture rule after an event was delivered (null: none, the
// focus changed).
static void sync_capture(HWND hWnd, const OM_Event* delivered) {
  escaped = OM_Input_Escaped(escaped, gameState, delivered);
  bool wanted = hWnd && fb && OM_Input_CaptureWanted(focused, gameState, escaped);
  if (wanted == captured) return;
  if (!wanted) {
    release_capture();
    return;
  }
  captured = true;
  clip(hWnd);
  SetCursor(nullptr);
  recentre(hWnd);
  POINT c = centre();
  OM_mouse.x = c.x;
  OM_mouse.y = c.y;
}

static void send_key(HWND hWnd, OM_EventType type, WPARAM wParam) {
  OM_Event key;
  memset(&key, 0, sizeof key);
  key.type = type;
  key.key = static_cast<int>(wParam & 0xFF);
  OM_Host_Target(&key);
  sync_capture(hWnd, &key);
}

void OM_Host_ReleaseKeys() { OM_Input_ReleaseKeys(OM_Host_Target); }

// Messages WM_MOUSEMOVE (0x200) to WM_XBUTTONUP (0x20C).
static void send_mouse(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_MOUSEWHEEL) {
    OM_mouse.wheel = static_cast<int16_t>(HIWORD(wParam));
    OM_Input_Wheel(OM_mouse.wheel);
    event.type = OM_EVENT_MOUSE_WHEEL;
  } else {
    int x = static_cast<int16_t>(LOWORD(lParam));
    int y = static_cast<int16_t>(HIWORD(lParam));
    if (captured) {
      // The way from the centre is the movement; the pointer goes back
      // there, and the record stays where the game's cursor is.
      POINT c = centre();
      if (x != c.x || y != c.y) {
        OM_Input_Motion(x - c.x, y - c.y);
        recentre(hWnd);
      }
      x = c.x;
      y = c.y;
    }
    OM_mouse.dx = x - OM_mouse.x;
    OM_mouse.dy = y - OM_mouse.y;
    OM_mouse.x = x;
    OM_mouse.y = y;
    // MK_LBUTTON 1 and MK_RBUTTON 2 keep their bits; MK_MBUTTON 0x10 becomes 4.
    OM_mouse.buttons = static_cast<int>((wParam & 3) | ((wParam >> 2) & 4));
    switch (msg) {
      case WM_MOUSEMOVE: event.type = OM_EVENT_MOUSE_MOVE; break;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        OM_mouse.clicks = 1;
        event.type = OM_EVENT_MOUSE_BUTTON_DOWN;
        break;
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDBLCLK:
        OM_mouse.clicks = 2;
        event.type = OM_EVENT_MOUSE_BUTTON_DOWN;
        break;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP: event.type = OM_EVENT_MOUSE_BUTTON_UP; break;
      default: event.type = OM_EVENT_UNKNOWN; break;  // the side buttons
    }
  }
  event.mouse = &OM_mouse;
  OM_Host_Target(&event);
  sync_capture(hWnd, &event);
}

static void paint(HWND hWnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hWnd, &ps);
  event.surface = fb;
  if (send_event(OM_EVENT_DRAW) == 0 && fb && dc) {
    // The paint DC is clipped to the invalid region, so blitting the whole
    // frame updates exactly that region, pixel for pixel.
    int w = bmi.bmiHeader.biWidth;
    int h = -bmi.bmiHeader.biHeight;
    StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, fb->data, &bmi, DIB_RGB_COLORS, SRCCOPY);
  }
  EndPaint(hWnd, &ps);
}

// The client size, but never more than the frame buffer holds: the blit
// reads bmi's rows straight out of fb.
static void resize(LPARAM lParam) {
  LONG w = LOWORD(lParam);
  LONG h = HIWORD(lParam);
  if (fb && w > fb->w) w = fb->w;
  if (fb && h > fb->h) h = fb->h;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;
}

static char* code_page_text(const wchar_t* wide);

// Files dropped from the desktop, in the code page the core opens files in;
// a name with no place in it could not be opened and is left out.
static void send_drop(HDROP hDrop) {
  const UINT n = DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
  char** paths = static_cast<char**>(calloc(n ? n : 1, sizeof(char*)));
  i32 count = 0;
  for (UINT i = 0; paths && i < n; i++) {
    const UINT length = DragQueryFileW(hDrop, i, nullptr, 0);
    wchar_t* wide = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (wide && DragQueryFileW(hDrop, i, wide, length + 1) == length) {
      char* text = code_page_text(wide);
      if (text) paths[count++] = text;
    }
    free(wide);
  }
  DragFinish(hDrop);
  if (count > 0) {
    OM_Drop files = {count, paths};
    event.drop = &files;
    send_event(OM_EVENT_FILES_DROPPED);
    event.drop = nullptr;  // the paths go with the drop
  }
  for (i32 i = 0; i < count; i++) free(paths[i]);
  free(paths);
}

LRESULT CALLBACK OM_WndProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (Msg >= WM_MOUSEMOVE && Msg <= WM_XBUTTONUP) {
    send_mouse(hWnd, Msg, wParam, lParam);
    return DefWindowProcA(hWnd, Msg, wParam, lParam);
  }
  switch (Msg) {
    case WM_CREATE:
      SetTimer(hWnd, 0, 8, nullptr);
      DragAcceptFiles(hWnd, TRUE);  // images dropped on the map become textures
      return 0;
    case WM_DROPFILES: send_drop(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_TIMER:
      if (send_event(OM_EVENT_TICK) == 0) RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE);
      sync_capture(hWnd, &event);
      return 0;
    case WM_PAINT: paint(hWnd); return 0;
    case WM_SIZE: resize(lParam); return 0;
    case WM_DESTROY: {
      focused = false;
      release_capture();
      int result = send_event(OM_EVENT_QUIT);
      fb = nullptr;  // released by the quit handler
      PostQuitMessage(result);
      return 0;
    }
    case WM_KEYDOWN: send_key(hWnd, OM_EVENT_KEYBOARD_KEY_DOWN, wParam); return 0;
    case WM_KEYUP: send_key(hWnd, OM_EVENT_KEYBOARD_KEY_UP, wParam); return 0;
    case WM_SYSKEYUP:
      // A key let go while Alt is down comes as a system key; the game that
      // holds it still gets its key-up, or it would walk on.
      if ((wParam & 0xFF) < 255 && keyboard.keys[wParam & 0xFF])
        send_key(hWnd, OM_EVENT_KEYBOARD_KEY_UP, wParam);
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    case WM_SETFOCUS:
      focused = true;
      sync_capture(hWnd, nullptr);
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    case WM_KILLFOCUS:
      // Keys let go elsewhere never come back as key-ups.
      focused = false;
      OM_Host_ReleaseKeys();
      sync_capture(hWnd, nullptr);
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    case WM_SETCURSOR:
      if (captured && LOWORD(lParam) == HTCLIENT) {
        SetCursor(nullptr);
        return TRUE;
      }
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    case WM_MOVE:
      if (captured) clip(hWnd);  // the clip follows the window
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    default: return DefWindowProcA(hWnd, Msg, wParam, lParam);
  }
}

// Runs the window until it is closed; the result is the quit handler's, or 1
// when the window cannot be made.
static int run_window(HINSTANCE hInstance, int nShowCmd) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = OM_WndProc;
  wc.hInstance = hInstance;
  wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(OM_ICON_ID));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.lpszClassName = OM_WINDOW_CLASS;
  if (!RegisterClassA(&wc)) return 1;

  RECT r = {0, 0, fb->w, fb->h};
  int x = 0, y = 0, w = fb->w, h = fb->h;
  if (AdjustWindowRect(&r, OM_WINDOW_STYLE, FALSE)) {
    w = r.right - r.left;
    h = r.bottom - r.top;
    x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  }
  MSG msg;
  memset(&msg, 0, sizeof msg);
  HWND hWnd = CreateWindowExA(0, OM_WINDOW_CLASS, OM_WINDOW_CLASS, OM_WINDOW_STYLE, x, y, w, h,
                              nullptr, nullptr, hInstance, nullptr);
  if (!hWnd) {
    msg.wParam = 1;
  } else {
    ShowWindow(hWnd, nShowCmd);
    // No TranslateMessage: the game reads key codes, never characters.
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
      if (got == -1) {
        msg.wParam = 1;
        break;
      }
      DispatchMessageA(&msg);
    }
  }
  // Keep the error that ended the run for the box, if there is one.
  DWORD error = GetLastError();
  UnregisterClassA(OM_WINDOW_CLASS, hInstance);
  SetLastError(error);
  return static_cast<int>(msg.wParam);
}

// `wide` in the code page the file functions (CreateFileA and the rest)
// take, in a block to free(); null when a character has no place in it: a
// name with '?' in its stead would open another file, or none.
static char* code_page_text(const wchar_t* wide) {
  const bool utf8 = GetACP() == CP_UTF8;  // holds every character
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lost = FALSE;
  BOOL* lossy = utf8 ? nullptr : &lost;  // UTF-8 takes no such question
  int size = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, lossy);
  if (size <= 0 || lost) return nullptr;
  char* text = static_cast<char*>(malloc(static_cast<reg>(size)));
  if (text &&
      (WideCharToMultiByte(CP_ACP, flags, wide, -1, text, size, nullptr, lossy) != size || lost)) {
    free(text);
    text = nullptr;
  }
  return text;
}

// Reads the arguments after the program's name and, when they ask for the
// window, hands the world-file ones to the core. lpCmdLine is in the code
// page already but unsplit; the system's own splitting (quotes hold spaces,
// backslashes escape quotes) works on the wide command line.
static OM_Command read_arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  // The arguments, then room for the world-file ones among them.
  const char** args =
      wide && count > 1
          ? static_cast<const char**>(calloc(2 * static_cast<reg>(count - 1), sizeof(char*)))
          : nullptr;
  int passed = args ? count - 1 : 0;
  for (int i = 0; i < passed; i++) args[i] = code_page_text(wide[i + 1]);
  OM_Command command = OM_ParseCommandLine(passed, args, args + passed);
  if (command.action == OM_COMMAND_RUN) OM_SetArguments(command.count, args + passed);
  for (int i = 0; i < passed; i++) free(const_cast<char*>(args[i]));
  free(args);
  LocalFree(wide);
  return command;
}

static bool write_all(HANDLE to, const char* text) {
  for (DWORD left = static_cast<DWORD>(strlen(text)), written = 0; left > 0; left -= written) {
    if (!WriteFile(to, text, left, &written, nullptr) || written == 0) return false;
    text += written;
  }
  return true;
}

// Prints what the command line asked for instead of a window; the exit
// code. A program without a console window of its own gets its output
// redirected to a file or a pipe as standard handles; started from a
// console, it writes to that console (cmd does not wait for such a program:
// its prompt is back first); started from Explorer or a shortcut, it has
// neither, and a box shows the text.
static int answer(const OM_Command& c) {
  static char text[4096];
  const bool refused = c.action == OM_COMMAND_REFUSE;
  if (c.action == OM_COMMAND_VERSION)
    snprintf(text, sizeof text, "%s", OM_CommandLine_Version());
  else if (c.action == OM_COMMAND_HELP)
    snprintf(text, sizeof text, "%s%s", OM_CommandLine_Help(),
             "The sample world: examples\\sample.world beside ombrix.exe\n"
             "The README: README.md beside it; the world format: docs\\world-format.md\n");
  else
    snprintf(text, sizeof text, "%s", c.message);
  HANDLE to = GetStdHandle(refused ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  HANDLE console = INVALID_HANDLE_VALUE;
  if ((!to || to == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    to = console;
  }
  bool shown = true;
  if (to && to != INVALID_HANDLE_VALUE)
    shown = write_all(to, text);
  else
    MessageBoxA(nullptr, text, "ombrix", refused ? MB_ICONERROR : MB_ICONINFORMATION);
  if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
  // Text that never reached its reader is no success.
  return !shown ? 1 : refused ? 2 : 0;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
  (void)hPrevInstance;
  (void)lpCmdLine;
  OM_Command command = read_arguments();
  if (command.action != OM_COMMAND_RUN) return answer(command);
  // The image loader decodes through COM on this thread.
  CoInitialize(nullptr);
  int result = send_event(OM_EVENT_INIT);
  if (result == 0) {
    fb = event.surface;
    result = run_window(hInstance, nShowCmd);
  }
  if (result != 0) show_error_box();
  return result;
}
