#include "platform/x11_root_wallpaper.h"

#include <QImage>
#include <QPainter>
#include <QSysInfo>
#include <algorithm>
#include <optional>

#include "platform/x11_headers.h"

namespace tessora {
namespace {

// Xlib calls exit() on X errors by default; the setter only wants to know they happened.
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

// X errors are noted, not fatal, for the scope's life.
class QuietErrors {
 public:
  QuietErrors() : previous_(XSetErrorHandler(IgnoreXError)) {}
  ~QuietErrors() { XSetErrorHandler(previous_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  XErrorHandler previous_;
};

class DisplayConnection {
 public:
  explicit DisplayConnection(const QByteArray& name)
      : dpy_(XOpenDisplay(name.isEmpty() ? nullptr : name.constData())) {}
  ~DisplayConnection() {
    if (dpy_ != nullptr) {
      XCloseDisplay(dpy_);
    }
  }
  DisplayConnection(const DisplayConnection&) = delete;
  DisplayConnection& operator=(const DisplayConnection&) = delete;
  Display* get() const { return dpy_; }

 private:
  Display* dpy_;
};

// The picture centred on every monitor, over black.
QImage RootPicture(const QImage& picture, const QSize& root, const QList<QRect>& monitors) {
  QImage canvas(root, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  const QList<QRect> areas =
      monitors.isEmpty() ? QList<QRect>{QRect(QPoint(0, 0), root)} : monitors;
  for (const QRect& area : areas) {
    QRect target(QPoint(0, 0), picture.size());
    target.moveCenter(area.center());
    painter.setClipRect(area);
    painter.drawImage(target.topLeft(), picture);
  }
  painter.end();
  return canvas;
}

// A pixmap id from a root property, or 0.
Pixmap ReadPixmapProperty(Display* dpy, Window root, Atom property, Atom pixmapType) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  Pixmap result = 0;
  if (XGetWindowProperty(dpy, root, property, 0, 1, False, pixmapType, &type, &format, &count,
                         &remaining, &data) == Success &&
      type == pixmapType && format == 32 && count == 1 && data != nullptr) {
    result = *reinterpret_cast<Pixmap*>(data);
  }
  if (data != nullptr) {
    XFree(data);
  }
  return result;
}

// Uploads the picture; XPutImage splits it into requests the server accepts.
Pixmap Upload(Display* dpy, Window root, Visual* visual, unsigned depth, QImage& picture) {
  const auto width = static_cast<unsigned>(picture.width());
  const auto height = static_cast<unsigned>(picture.height());
  const Pixmap pixmap = XCreatePixmap(dpy, root, width, height, depth);
  XImage* image =
      XCreateImage(dpy, visual, depth, ZPixmap, 0, reinterpret_cast<char*>(picture.bits()), width,
                   height, 32, static_cast<int>(picture.bytesPerLine()));
  // Our bytes are in host order; Xlib swaps them when the server's order differs.
  image->byte_order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
  GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
  XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, width, height);
  XFreeGC(dpy, gc);
  image->data = nullptr;  // QImage owns the pixels
  XDestroyImage(image);
  return pixmap;
}

// Whether window w is a mapped desktop window (a file manager's desktop, a desktop shell); its
// class name goes to `owner`.
bool IsShownDesktopWindow(Display* dpy, Window w, Atom typeAtom, Atom desktopType, QString& owner) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(dpy, w, &attributes) == 0 || attributes.map_state != IsViewable) {
    return false;
  }
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  bool desktop = false;
  if (XGetWindowProperty(dpy, w, typeAtom, 0, 16, False, XA_ATOM, &type, &format, &count,
                         &remaining, &data) == Success &&
      type == XA_ATOM && format == 32 && data != nullptr) {
    const auto* types = reinterpret_cast<const Atom*>(data);
    desktop = std::find(types, types + count, desktopType) != types + count;
  }
  if (data != nullptr) {
    XFree(data);
  }
  XClassHint hint{nullptr, nullptr};
  if (desktop && XGetClassHint(dpy, w, &hint) != 0) {
    owner = QString::fromLocal8Bit(hint.res_class != nullptr ? hint.res_class : hint.res_name);
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return desktop;
}

// The clients a window manager lists on the root, deep as their frames may be.
QList<Window> ClientList(Display* dpy, Window root) {
  QList<Window> found;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  const Atom list = XInternAtom(dpy, "_NET_CLIENT_LIST", True);
  if (list != None &&
      XGetWindowProperty(dpy, root, list, 0, 4096, False, XA_WINDOW, &type, &format, &count,
                         &remaining, &data) == Success &&
      type == XA_WINDOW && format == 32 && data != nullptr) {
    const auto* windows = reinterpret_cast<const Window*>(data);
    found = QList<Window>(windows, windows + count);
  }
  if (data != nullptr) {
    XFree(data);
  }
  return found;
}

// The windows a desktop window may be: the listed clients, root's children and, under a
// reparenting window manager, their children.
QList<Window> CandidateWindows(Display* dpy, Window root) {
  QList<Window> found = ClientList(dpy, root);
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(dpy, root, &rootReturn, &parent, &children, &count) == 0) {
    return found;
  }
  for (unsigned i = 0; i < count; ++i) {
    found << children[i];
    Window* inner = nullptr;
    unsigned innerCount = 0;
    if (XQueryTree(dpy, children[i], &rootReturn, &parent, &inner, &innerCount) != 0) {
      found.append(QList<Window>(inner, inner + innerCount));
      if (inner != nullptr) {
        XFree(inner);
      }
    }
  }
  if (children != nullptr) {
    XFree(children);
  }
  return found;
}

// A desktop draws its own window over the root: a root pixmap would never be seen. Empty when
// none is shown, else the name of its owner.
std::optional<QString> CoveringDesktop(Display* dpy, Window root) {
  const Atom typeAtom = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", True);
  const Atom desktopType = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", True);
  if (typeAtom == None || desktopType == None) {
    return std::nullopt;  // nobody ever named the type: no such window
  }
  for (Window w : CandidateWindows(dpy, root)) {
    QString owner;
    if (IsShownDesktopWindow(dpy, w, typeAtom, desktopType, owner)) {
      return owner.isEmpty() ? QStringLiteral("unnamed") : owner;
    }
  }
  return std::nullopt;
}

// Whether `id` names a pixmap. The properties are anyone's to write: a window's id there (or one
// of nothing at all) must not make us close another program's connection.
bool IsPixmap(Display* dpy, Drawable id) {
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  XWindowAttributes attributes{};
  return XGetGeometry(dpy, id, &root, &x, &y, &width, &height, &border, &depth) != 0 &&
         XGetWindowAttributes(dpy, id, &attributes) == 0;
}

// Makes pixmap the root's background and announces it.
void ShowOnRoot(Display* dpy, Window root, Pixmap pixmap) {
  const Atom pixmapType = XInternAtom(dpy, "PIXMAP", False);
  const Atom rootId = XInternAtom(dpy, "_XROOTPMAP_ID", False);
  const Atom esetrootId = XInternAtom(dpy, "ESETROOT_PMAP_ID", False);
  // The previous setter kept its pixmap alive after it left; when both properties name it,
  // killing its client frees it (two differing ids mean someone else owns one of them). Errors
  // are quiet here: the caller's scope holds them.
  const Pixmap old = ReadPixmapProperty(dpy, root, rootId, pixmapType);
  if (old != 0 && old == ReadPixmapProperty(dpy, root, esetrootId, pixmapType) &&
      IsPixmap(dpy, old)) {
    XKillClient(dpy, old);
  }
  for (Atom property : {rootId, esetrootId}) {
    XChangeProperty(dpy, root, property, pixmapType, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
  }
  XSetWindowBackgroundPixmap(dpy, root, pixmap);
  XClearWindow(dpy, root);
  // The pixmap must outlive this connection; it is never reused after this.
  XSetCloseDownMode(dpy, RetainPermanent);
  XSync(dpy, False);
}

}  // namespace

std::optional<QString> ShownDesktopWindow(const QByteArray& display) {
  DisplayConnection connection(display);
  if (connection.get() == nullptr) {
    return std::nullopt;
  }
  const QuietErrors quiet;
  return CoveringDesktop(connection.get(), XDefaultRootWindow(connection.get()));
}

Outcome X11RootWallpaper::install(const QString& file) {
  const QImage loaded(file);
  if (loaded.isNull()) {
    return FailedWith(QStringLiteral("cannot read %1").arg(file));
  }
  return show([&](const QSize& root) {
    return RootPicture(loaded.convertToFormat(QImage::Format_RGB32), root, monitors_);
  });
}

Outcome X11RootWallpaper::installMonitors(const QList<MonitorFile>& files) {
  QList<QImage> loaded;
  for (const MonitorFile& f : files) {
    loaded << QImage(f.file);
    if (loaded.back().isNull()) {
      return FailedWith(QStringLiteral("cannot read %1").arg(f.file));
    }
  }
  return show([&](const QSize& root) {
    QImage canvas(root, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    for (int i = 0; i < files.size(); ++i) {
      painter.setClipRect(files[i].rect);
      painter.drawImage(files[i].rect.topLeft(), loaded[i]);
    }
    painter.end();
    return canvas;
  });
}

Outcome X11RootWallpaper::show(const std::function<QImage(const QSize& root)>& paint) {
  DisplayConnection connection(display_);
  Display* dpy = connection.get();
  if (dpy == nullptr) {
    return FailedWith(QStringLiteral("cannot open the X display"));
  }
  const QuietErrors quiet;  // windows may vanish while we look at them
  const int screen = XDefaultScreen(dpy);
  const Window root = XRootWindow(dpy, screen);
  if (const std::optional<QString> desktop = CoveringDesktop(dpy, root)) {
    return FailedWith(QStringLiteral("a desktop window (%1) covers the root window").arg(*desktop));
  }
  Visual* visual = XDefaultVisual(dpy, screen);
  const int depth = XDefaultDepth(dpy, screen);
  // Format_RGB32's 0xffRRGGBB words are the pixel values of such a visual.
  if ((depth != 24 && depth != 32) || visual->red_mask != 0xff0000 ||
      visual->green_mask != 0xff00 || visual->blue_mask != 0xff) {
    return FailedWith(QStringLiteral("unsupported root visual (depth %1)").arg(depth));
  }
  QImage picture = paint(QSize(XDisplayWidth(dpy, screen), XDisplayHeight(dpy, screen)));
  ShowOnRoot(dpy, root, Upload(dpy, root, visual, static_cast<unsigned>(depth), picture));
  return Outcome::Done();
}

}  // namespace tessora
