// Starts a program and pings its window the way a window manager does (_NET_WM_PING every
// 50 ms), to tell whether its event loop stays free. It waits for the window to be mapped, for a
// pixel of it to show the start colour, then for that pixel to change (the picture being loaded
// has landed), and pings half a second more. Prints how long the window took to map and the
// slowest answer (a ping never answered counts until the end), and fails when either is over
// its bound. Usage:
//   tessora_ping_window X Y RRGGBB VISIBLE_MS PING_MS -- PROGRAM [ARGS...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kPingEveryMs = 50;
constexpr long kAfterLandingMs = 500;
constexpr long kGiveUpMs = 60000;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The program's main window: mapped, named "Tessora" and taking part in the ping protocol (Qt
// names a hidden helper window of its own after the program too).
bool IsTessoraWindow(Display* display, Window window, Atom ping) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0 ||
      attributes.override_redirect != 0) {
    return false;
  }
  char* name = nullptr;
  const bool named = XFetchName(display, window, &name) != 0 && name != nullptr &&
                     std::strcmp(name, "Tessora") == 0;
  if (name != nullptr) {
    XFree(name);
  }
  Atom* protocols = nullptr;
  int count = 0;
  bool pings = false;
  if (named && XGetWMProtocols(display, window, &protocols, &count) != 0) {
    for (int i = 0; i < count; ++i) {
      pings = pings || protocols[i] == ping;
    }
    XFree(protocols);
  }
  return pings;
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

// Errors of a window that went away between two requests end nothing.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

struct Pings {
  std::map<long, Clock::time_point> sent;
  long next = 1;
  long answered = 0;
  long worstMs = 0;
};

void SendPing(Display* display, Window window, Atom protocols, Atom ping, Pings& pings) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping);
  event.xclient.data.l[1] = CurrentTime;
  event.xclient.data.l[2] = static_cast<long>(window);
  event.xclient.data.l[3] = pings.next;
  pings.sent[pings.next++] = Clock::now();
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
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
  const long visibleBound = std::atol(argv[4]);
  const long pingBound = std::atol(argv[5]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreErrors);
  const Window root = DefaultRootWindow(display);
  // Maps of top-level windows come with the substructure; the answers to pings are sent to the
  // root for its structure (Qt's choice) or its substructure (as the protocol asks).
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
  bool sawStart = false;
  long landedMs = -1;
  Pings pings;
  Clock::time_point nextPing = start;
  pollfd connection{XConnectionNumber(display), POLLIN, 0};
  while (MsSince(start) < kGiveUpMs &&
         (landedMs < 0 || MsSince(start) < landedMs + kAfterLandingMs)) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && window == 0 &&
          IsTessoraWindow(display, event.xmap.window, ping)) {
        window = event.xmap.window;
        visibleMs = MsSince(start);
      } else if (event.type == ClientMessage && event.xclient.message_type == protocols &&
                 static_cast<Atom>(event.xclient.data.l[0]) == ping) {
        const auto it = pings.sent.find(event.xclient.data.l[3]);
        if (it != pings.sent.end()) {
          const long ms = static_cast<long>(
              std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - it->second)
                  .count());
          pings.worstMs = ms > pings.worstMs ? ms : pings.worstMs;
          ++pings.answered;
          pings.sent.erase(it);
        }
      }
    }
    if (window != 0 && Clock::now() >= nextPing) {
      SendPing(display, window, protocols, ping, pings);
      nextPing += std::chrono::milliseconds(kPingEveryMs);
      const long pixel = PixelAt(display, window, x, y);
      if (!sawStart) {
        sawStart = pixel == startColour;
      } else if (landedMs < 0 && pixel != startColour && pixel >= 0) {
        landedMs = MsSince(start);
      }
    }
    poll(&connection, 1, 10);
  }
  for (const auto& unanswered : pings.sent) {
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - unanswered.second)
            .count());
    pings.worstMs = ms > pings.worstMs ? ms : pings.worstMs;
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XCloseDisplay(display);

  std::printf(
      "visible after %ld ms; picture landed after %ld ms; %ld pings, %ld answered, "
      "slowest answer %ld ms\n",
      visibleMs, landedMs, pings.next - 1, pings.answered, pings.worstMs);
  const bool ok =
      visibleMs >= 0 && visibleMs <= visibleBound && landedMs >= 0 && pings.worstMs <= pingBound;
  return ok ? 0 : 1;
}
