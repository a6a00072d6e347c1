"""Drives the real window on an X server of its own as a user without a mouse or with a screen
reader would, and checks what they get. Run by reachable_window_test.sh, which sets up the
program folder, the display and, for `names`, the session and accessibility buses.

Modes:
  names     every control the accessibility tree shows has a name (what a screen reader says)
  keyboard  Ctrl+O, a typed path and Enter show the picture; Alt+M, Enter sets the wallpaper
  close     a close request ends the process promptly, without warnings
"""
import os
import struct
import subprocess
import sys
import time
import zlib

PROGRAM, PIXEL, WORK = sys.argv[2], sys.argv[3], sys.argv[4]
# Where the settings put the window (no window manager frames it) and its preview's middle.
WINDOW_LEFT, WINDOW_TOP = 30, 40
PREVIEW_MIDDLE = (WINDOW_LEFT + 172, WINDOW_TOP + 150)
# A point of the screen the window does not cover: the wallpaper shows there once it is set.
BARE_SCREEN = (1000, 740)
DEEP_COLOUR = "18 52 86"  # the settings' deep background colour


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


# As tests/support/wait.sh: generous, since a busy machine may take seconds for what takes
# milliseconds when idle; a wait ends as soon as its condition holds.
PATIENCE = float(os.environ.get("TESSORA_PATIENCE", "30"))


def wait_for(what, probe, seconds=PATIENCE):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.1)
    fail("waited %g s for %s" % (seconds, what))


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


def window(name):
    found = xdotool("search", "--onlyvisible", "--name", "^%s$" % name)
    return found[0] if found else None


def pixel(x, y):
    return subprocess.run([PIXEL, str(x), str(y)], capture_output=True, text=True).stdout.strip()


def shown_windows(program):
    """The program's windows on the screen now: its main window, and a menu once it opens."""
    return len(xdotool("search", "--onlyvisible", "--pid", str(program.pid)))


def start():
    log = open(os.path.join(WORK, "program.log"), "w")
    program = subprocess.Popen([PROGRAM], stdout=log, stderr=subprocess.STDOUT)
    wait_for("the window", lambda: window("Tessora"))
    return program


def open_from_keyboard(path):
    """Ctrl+O, the path typed into the dialog, Enter."""
    xdotool("windowfocus", "--sync", window("Tessora"))
    xdotool("key", "ctrl+o")
    dialog = wait_for("the open dialog", lambda: window("Open a center image"))
    xdotool("windowfocus", "--sync", dialog)
    xdotool("type", "--delay", "20", path)
    xdotool("key", "Return")


def write_png(path, width, height, rgb):
    row = b"\0" + bytes(rgb) * width
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def names():
    import pyatspi

    program = start()

    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Tessora" and app.childCount > 0:
                return app
        return None

    app = wait_for("the window in the accessibility tree", application)

    def walk(node, path):
        yield node, path
        for child in node:
            if child is not None:
                yield from walk(child, path + [child.getRoleName()])

    # What is shown must say what it is; layout boxes (fillers) are not read out.
    unnamed = []
    shown = 0
    for node, path in walk(app, []):
        if not node.getState().contains(pyatspi.STATE_SHOWING) or node.getRole() in (
                pyatspi.ROLE_FILLER, pyatspi.ROLE_APPLICATION):
            continue
        shown += 1
        if not node.name.strip():
            unnamed.append(" > ".join(path))
    # A picture that does not load: the report is a notification a reader reads out, naming the
    # file and the reason besides the one word the label shows.
    bad = os.path.join(WORK, "notes.png")
    with open(bad, "w") as f:
        f.write("not a picture")
    open_from_keyboard(bad)

    def report():
        for node, _ in walk(app, []):
            if (node.getRole() == pyatspi.ROLE_NOTIFICATION and
                    node.getState().contains(pyatspi.STATE_SHOWING)):
                return node
        return None

    notice = wait_for("the report of the bad file", report)
    said = (notice.name, notice.description)
    program.terminate()
    if said[0] != "INVALID" or not said[1].startswith(bad + ": "):
        fail("the report reads %r, %r" % said)
    if shown < 20:
        fail("only %d objects in the tree: the bridge did not expose the window" % shown)
    if unnamed:
        fail("%d of %d shown objects have no name:\n  %s" % (len(unnamed), shown,
                                                            "\n  ".join(unnamed)))
    print("%d shown objects, every one named" % shown)


def keyboard():
    picture = os.path.join(WORK, "red.png")
    write_png(picture, 64, 48, (255, 0, 0))
    program = start()
    before = pixel(*BARE_SCREEN)
    open_from_keyboard(picture)
    wait_for("the picture in the preview", lambda: pixel(*PREVIEW_MIDDLE) == "255 0 0")
    xdotool("windowfocus", "--sync", window("Tessora"))
    windows = shown_windows(program)
    xdotool("key", "alt+m")
    wait_for("the menu", lambda: shown_windows(program) > windows)
    xdotool("key", "Return")  # the menu's first item: Set as Wallpaper
    wait_for("the wallpaper on the screen (was %s)" % before,
             lambda: pixel(*BARE_SCREEN) == DEEP_COLOUR)
    program.terminate()
    print("picture opened and wallpaper set from the keyboard")


def sound_events():
    """With a sound server of the test's own, pactl subscribed to it and the file it writes its
    events to; None without one."""
    if not os.environ.get("PULSE_SERVER"):
        return None
    path = os.path.join(WORK, "sound-events.log")
    events = subprocess.Popen(["pactl", "subscribe"], stdout=open(path, "w"),
                              stderr=subprocess.DEVNULL)
    volume = [40]

    # pactl tells nothing when it has subscribed: the sink's volume changes until it reports a
    # change.
    def subscribed():
        with open(path) as f:
            if "'change' on sink #" in f.read():
                return True
        volume[0] = 90 - volume[0]
        subprocess.run(["pactl", "set-sink-volume", "@DEFAULT_SINK@", "%d%%" % volume[0]],
                       capture_output=True)
        return False

    wait_for("pactl to report the sound server's events", subscribed)
    return events, path


def close():
    events = sound_events()
    program = start()
    if events:  # the close request comes while the start-up's cue plays

        def cue_started():
            with open(events[1]) as f:
                return "'new' on sink-input" in f.read()

        wait_for("the start-up's cue on the sound server", cue_started)
        events[0].terminate()
    wid = int(window("Tessora"))
    asked = time.monotonic()
    subprocess.run([sys.executable, "-c", SEND_DELETE, str(wid)], check=True)
    try:
        program.wait(timeout=10)
    except subprocess.TimeoutExpired:
        program.kill()
        fail("still running 10 s after the close request")
    took = time.monotonic() - asked
    with open(os.path.join(WORK, "program.log")) as f:
        log = f.read()
    print("ended %.3f s after the close request" % took)
    if "Unexpected null receiver" in log:
        fail("stray warning at close:\n" + log)
    # The process must end within half a second; three times that here, for a loaded machine.
    if took > 1.5:
        fail("took %.3f s to end" % took)


# Sends WM_DELETE_WINDOW to a window, as a window manager's close button does.
SEND_DELETE = r"""
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
d = x.XOpenDisplay(None)
e = Event()
e.xclient.type = 33  # ClientMessage
e.xclient.window = int(sys.argv[1])
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, e.xclient.window, 0, 0, ctypes.byref(e))
# A round trip, not a flush: the X server may drop what a client sent just before it hung up.
x.XSync(d, 0)
"""

{"names": names, "keyboard": keyboard, "close": close}[sys.argv[1]]()
