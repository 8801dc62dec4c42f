// The Linux host: an SDL2 window run like the Windows one. The loop takes
// input first, then a pending paint, then the tick timer, which is the order
// in which the Windows message queue hands them out, so the game sees the
// same sequence of events on both systems.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "command_line.h"
#include "ombrix.h"
#include "stream_linux.h"
#include "surface.h"
#include "system.h"

OM_Event event;
OM_Surface* fb;

namespace {

SDL_Window* window;
SDL_Surface* frame;  // fb's pixels as SDL sees them
bool invalid;        // a paint is pending
bool minimised;      // an empty client area: nothing to paint
bool focused;        // the window has the keyboard
int escaped;         // Escape freed the pointer in gameplay
bool captured;       // relative mouse mode: hidden, held inside, unlimited

int send_event(OM_EventType type) {
  event.type = type;
  return OM_Host_Target(&event);
}

void invalidate() {
  if (!minimised) invalid = true;
}

void paint() {
  invalid = false;
  event.surface = fb;
  if (send_event(OM_EVENT_DRAW) != 0) return;
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (!target) return;
  SDL_Rect area = {0, 0, fb->w, fb->h};
  SDL_BlitSurface(frame, &area, target, &area);
  SDL_UpdateWindowSurface(window);
}

// The icon is the Windows program's icon resource, .ico file and all.
void set_icon() {
  const OM_EmbeddedResource* icon = OM_FindEmbeddedResource("ICON", "32512");
  if (!icon) return;
  OM_Surface* image = OM_Host_DecodeIcon(icon->data, icon->size);
  if (!image) return;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(image->data, image->w, image->h, 32,
                                                      image->step * 4, SDL_PIXELFORMAT_ARGB8888);
  if (s) SDL_SetWindowIcon(window, s);  // SDL keeps its own copy
  SDL_FreeSurface(s);
  OM_DestroySurface(image);
}

// Applies the capture rule after an event was delivered (null: none, the
// focus changed). SDL's relative mode hides the pointer, keeps it in the
// window and reports raw movement, which never stops at the screen's edge.
void sync_capture(const OM_Event* delivered) {
  escaped = OM_Input_Escaped(escaped, gameState, delivered);
  bool wanted = window && OM_Input_CaptureWanted(focused, gameState, escaped);
  if (wanted == captured) return;
  // A capture SDL refuses is tried again after the next event.
  if (SDL_SetRelativeMouseMode(wanted ? SDL_TRUE : SDL_FALSE) != 0 && wanted) return;
  captured = wanted;
  if (captured) {
    // Where the game's re-centred cursor is: the next move starts there.
    OM_mouse.x = fb->w / 2;
    OM_mouse.y = fb->h / 2;
  }
}

void release_capture() {
  if (captured) SDL_SetRelativeMouseMode(SDL_FALSE);
  captured = false;
}

void send_mouse(const SDL_Event& e) {
  int dx = 0, dy = 0, type;
  if (captured)
    type = OM_Host_TranslateCapturedMouse(&e, &OM_mouse, fb->w / 2, fb->h / 2, &dx, &dy);
  else
    type = OM_Host_TranslateMouse(&e, &OM_mouse);
  if (type < 0) return;
  if (dx || dy) OM_Input_Motion(dx, dy);
  if (type == OM_EVENT_MOUSE_WHEEL) OM_Input_Wheel(OM_mouse.wheel);
  event.mouse = &OM_mouse;
  send_event(static_cast<OM_EventType>(type));
  sync_capture(&event);
}

void gather_drop(const SDL_Event& e) {
  static OM_HostDrop drop;
  if (OM_Host_GatherDrop(&e, &drop)) OM_Host_SendDrop(&event, &drop);
}

// Returns false once the window is gone; *result is then the quit handler's.
bool handle(const SDL_Event& e, int* result) {
  switch (e.type) {
    case SDL_QUIT:
      release_capture();
      *result = send_event(OM_EVENT_QUIT);
      fb = nullptr;  // released by the quit handler
      return false;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          // Closing destroys the window; the quit event comes with it.
          release_capture();
          *result = send_event(OM_EVENT_QUIT);
          fb = nullptr;
          return false;
        case SDL_WINDOWEVENT_MINIMIZED:
          minimised = true;
          invalid = false;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          focused = true;
          sync_capture(nullptr);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // Keys let go elsewhere never come back as key-ups.
          focused = false;
          OM_Host_ReleaseKeys();
          sync_capture(nullptr);
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
          minimised = false;
          invalidate();
          break;
        default: break;
      }
      return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      OM_Event key;
      if (!OM_Host_TranslateKey(&e, keyboard.keys, &key)) return true;
      OM_Host_Target(&key);
      sync_capture(&key);
      return true;
    }
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE: gather_drop(e); return true;
    default: send_mouse(e); return true;
  }
}

int run_loop() {
  OM_HostTimer ticks;
  OM_HostTimer_Start(&ticks, SDL_GetTicks64(), OM_HOST_TICK_MS);
  int result = 0;
  for (;;) {
    SDL_Event e;
    if (SDL_PollEvent(&e)) {
      if (!handle(e, &result)) return result;
      continue;
    }
    if (invalid) {
      paint();
      continue;
    }
    uint64_t now = SDL_GetTicks64();
    if (OM_HostTimer_Due(&ticks, now)) {
      if (send_event(OM_EVENT_TICK) == 0) invalidate();
      sync_capture(&event);
      continue;
    }
    // Sleep rather than SDL_WaitEventTimeout: its X11 wake-up message can
    // reach the window after it is destroyed, and Xlib then ends the
    // process with a BadWindow error. Input waits at most one tick.
    SDL_Delay(OM_HostTimer_Wait(&ticks, now));
  }
}

// A start that failed after SDL came up: SDL is shut down again, since its
// message box cannot be shown through a video driver that shows nothing
// (it faults), and the reason, which may be SDL's own text, is kept first.
int give_up(const char* why, const char** reason) {
  static char kept[256];
  snprintf(kept, sizeof kept, "%s", why ? why : "");
  *reason = kept;
  SDL_FreeSurface(frame);
  frame = nullptr;
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
  return 1;
}

// Runs the window until it is closed. A window that cannot be made is a
// failed start: 1, with SDL's reason left for the error box.
int run_window(const char** reason) {
  // A double-click as Windows counts it: within 500 ms and 2 pixels.
  SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_TIME, "500");
  SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "2");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // A 1:1 copy needs no GPU: without this SDL may put the window surface on
  // an OpenGL texture, which on a software GL costs milliseconds a frame.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *reason = SDL_GetError();
    return 1;
  }
  // With no display SDL falls back to drivers that show nothing: a window
  // nobody can see or close is a failed start, unless asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!SDL_GetHint(SDL_HINT_VIDEODRIVER) && driver &&
      (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0))
    return give_up("There is no display to show the window on.", reason);
  window = SDL_CreateWindow("OM_WND", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, fb->w, fb->h,
                            SDL_WINDOW_HIDDEN);
  // The window ignores the alpha byte, so the pixels are read as XRGB.
  frame = SDL_CreateRGBSurfaceWithFormatFrom(fb->data, fb->w, fb->h, 32, fb->step * 4,
                                             SDL_PIXELFORMAT_RGB888);
  if (!window || !frame) return give_up(SDL_GetError(), reason);
  set_icon();
  SDL_StopTextInput();                       // keys only: the game never reads characters
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);  // images dropped on the map become textures
  SDL_ShowWindow(window);
  int result = run_loop();
  SDL_FreeSurface(frame);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return result;
}

// The reason goes to the terminal as well: a box on a screen nobody watches
// (a test run, a remote session) must not be the only trace of it.
void show_error_box(const char* text) {
  fprintf(stderr, "An error occurred: %s\n", text);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "An error occurred", text, nullptr);
}

// Where `cmake --install` and the Debian package put what --help points to.
const char kInstalledFiles[] =
    "The sample world: " OM_DATA_DIR
    "/ombrix/examples/sample.world\n"
    "The README and the world format: " OM_DOC_DIR "/ (and: man 6 ombrix)\n";

// Prints what the command line asked for instead of a window; the exit code.
int answer(const OM_Command& c) {
  FILE* to = c.action == OM_COMMAND_REFUSE ? stderr : stdout;
  if (c.action == OM_COMMAND_VERSION) {
    fputs(OM_CommandLine_Version(), to);
  } else if (c.action == OM_COMMAND_HELP) {
    fputs(OM_CommandLine_Help(), to);
    fputs(kInstalledFiles, to);
  } else {
    fputs(c.message, to);
  }
  // Text that never reached the terminal or the file is no success.
  if (fflush(to) != 0 || ferror(to)) return 1;
  return c.action == OM_COMMAND_REFUSE ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  SDL_SetMainReady();
  const int count = argc > 1 ? argc - 1 : 0;
  std::vector<const char*> files(static_cast<reg>(count));
  OM_Command command = OM_ParseCommandLine(count, count ? argv + 1 : nullptr, files.data());
  if (command.action != OM_COMMAND_RUN) return answer(command);
  // The world's file, if one is named; the core says on its console what
  // it makes of the rest.
  OM_SetArguments(command.count, files.data());
  errno = 0;
  const char* reason = nullptr;
  int result = send_event(OM_EVENT_INIT);
  if (result == 0) {
    fb = event.surface;
    result = run_window(&reason);
  }
  if (result != 0) {
    // Like the Windows box, the text is the system's last error, whatever
    // it happens to be, unless SDL said why the window failed.
    if (!reason) reason = errno ? strerror(errno) : "The program could not start.";
    show_error_box(reason);
  }
  return result;
}
