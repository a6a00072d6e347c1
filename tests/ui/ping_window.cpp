// Starts a program and pings its window as a window manager does (_NET_WM_PING every 50 ms), to
// tell whether its event loop stays free. Pings go on until a pixel of the window has shown the
// start colour and then changed (the picture being loaded has landed), and half a second more.
// Prints how long the window took to map and the slowest answer (an unanswered ping counts until
// the end); fails when either is over its bound. Usage:
//   tessora_ping_window X Y RRGGBB VISIBLE_MS PING_MS -- PROGRAM [ARGS...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The main window takes part in the ping protocol; Qt's helper windows do not.
bool AnswersPings(Display* display, Window window, Atom ping) {
  Atom* protocols = nullptr;
  int count = 0;
  if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
    return false;
  }
  const bool found = std::find(protocols, protocols + count, ping) != protocols + count;
  XFree(protocols);
  return found;
}

long PixelAt(Display* display, Window window, int x, int y) {
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) {
    return -1;
  }
  const long pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return pixel;
}

// A window that goes away between two requests ends nothing.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8 || std::strcmp(argv[6], "--") != 0) {
    std::fprintf(stderr, "usage: %s X Y RRGGBB VISIBLE_MS PING_MS -- PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  const int x = std::atoi(argv[1]);
  const int y = std::atoi(argv[2]);
  const long startColour = std::strtol(argv[3], nullptr, 16);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreErrors);
  const Window root = DefaultRootWindow(display);
  // Top-level maps come with the root's substructure; Qt sends its answers for the root's
  // structure, the protocol asks for its substructure.
  XSelectInput(display, root, SubstructureNotifyMask | StructureNotifyMask);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  XSync(display, False);

  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[7], nullptr, nullptr, argv + 7, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[7]);
    return 1;
  }
  Window window = 0;
  long visibleMs = -1;
  long landedMs = -1;
  bool sawStart = false;
  std::map<long, Clock::time_point> unanswered;
  long sent = 0;
  long worstMs = 0;
  Clock::time_point nextPing = start;
  pollfd connection{XConnectionNumber(display), POLLIN, 0};
  while (MsSince(start) < 60000 && (landedMs < 0 || MsSince(start) < landedMs + 500)) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && window == 0 &&
          AnswersPings(display, event.xmap.window, ping)) {
        window = event.xmap.window;
        visibleMs = MsSince(start);
      } else if (event.type == ClientMessage && event.xclient.message_type == protocols &&
                 static_cast<Atom>(event.xclient.data.l[0]) == ping) {
        const auto it = unanswered.find(event.xclient.data.l[3]);
        if (it != unanswered.end()) {
          worstMs = std::max(worstMs, MsSince(it->second));
          unanswered.erase(it);
        }
      }
    }
    if (window != 0 && Clock::now() >= nextPing) {
      nextPing += std::chrono::milliseconds(50);
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = protocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(ping);
      event.xclient.data.l[2] = static_cast<long>(window);
      event.xclient.data.l[3] = ++sent;  // comes back unchanged in the answer
      unanswered[sent] = Clock::now();
      XSendEvent(display, window, False, NoEventMask, &event);
      XFlush(display);
      const long pixel = PixelAt(display, window, x, y);
      if (!sawStart) {
        sawStart = pixel == startColour;
      } else if (landedMs < 0 && pixel >= 0 && pixel != startColour) {
        landedMs = MsSince(start);
      }
    }
    poll(&connection, 1, 10);
  }
  for (const auto& ping_sent : unanswered) {
    worstMs = std::max(worstMs, MsSince(ping_sent.second));
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XCloseDisplay(display);
  std::printf(
      "visible after %ld ms; picture landed after %ld ms; %ld pings, %ld answered, "
      "slowest answer %ld ms\n",
      visibleMs, landedMs, sent, sent - static_cast<long>(unanswered.size()), worstMs);
  return visibleMs >= 0 && visibleMs <= std::atol(argv[4]) && landedMs >= 0 &&
                 worstMs <= std::atol(argv[5])
             ? 0
             : 1;
}
