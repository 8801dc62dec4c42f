// Asks an X window to close as a window manager's close button does, for the e2e scripts.
//
// It sends a WM_DELETE_WINDOW client message.
//
//   x11_close WINDOW_ID
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (!display) return 2;
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = strtoul(argv[1], nullptr, 0);
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  int sent = XSendEvent(display, e.xclient.window, False, NoEventMask, &e);
  XSync(display, False);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
