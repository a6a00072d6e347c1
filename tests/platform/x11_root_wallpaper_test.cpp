#include "platform/x11_root_wallpaper.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "platform/x11_headers.h"

namespace tessora {
namespace {

int errorsSeen = 0;
int CountXError(Display*, XErrorEvent*) {
  ++errorsSeen;
  return 0;
}

// An Xlib client of the test's X server, reading what the setter left behind.
class RootReader {
 public:
  RootReader() : dpy_(XOpenDisplay(nullptr)) {}
  ~RootReader() {
    if (dpy_ != nullptr) {
      XCloseDisplay(dpy_);
    }
  }
  RootReader(const RootReader&) = delete;
  RootReader& operator=(const RootReader&) = delete;
  bool ok() const { return dpy_ != nullptr; }
  Window root() const { return XDefaultRootWindow(dpy_); }

  unsigned long pixmapProperty(const char* name) const {
    const Atom pixmapType = XInternAtom(dpy_, "PIXMAP", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    unsigned long id = 0;
    if (XGetWindowProperty(dpy_, root(), XInternAtom(dpy_, name, False), 0, 1, False, pixmapType,
                           &type, &format, &count, &remaining, &data) == Success &&
        type == pixmapType && format == 32 && count == 1) {
      id = *reinterpret_cast<unsigned long*>(data);
    }
    if (data != nullptr) {
      XFree(data);
    }
    return id;
  }

  // The root window's pixels as RGB values.
  QImage rootImage() const {
    const unsigned width = static_cast<unsigned>(XDisplayWidth(dpy_, 0));
    const unsigned height = static_cast<unsigned>(XDisplayHeight(dpy_, 0));
    XImage* image = XGetImage(dpy_, root(), 0, 0, width, height, 0xffffffffUL, ZPixmap);
    QImage result(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
      for (int x = 0; x < result.width(); ++x) {
        result.setPixel(x, y, static_cast<QRgb>(XGetPixel(image, x, y) | 0xff000000UL));
      }
    }
    XDestroyImage(image);
    return result;
  }

  bool pixmapExists(unsigned long id) const {
    XErrorHandler previous = XSetErrorHandler(CountXError);
    errorsSeen = 0;
    Window rootReturn = 0;
    int x = 0;
    int y = 0;
    unsigned w = 0;
    unsigned h = 0;
    unsigned border = 0;
    unsigned depth = 0;
    XGetGeometry(dpy_, id, &rootReturn, &x, &y, &w, &h, &border, &depth);
    XSync(dpy_, False);
    XSetErrorHandler(previous);
    return errorsSeen == 0;
  }

 private:
  Display* dpy_;
};

QImage Pattern(int width, int height, int seed) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixelColor(x, y, QColor((x * 7 + seed) % 256, (y * 3 + seed) % 256, (x + y) % 256));
    }
  }
  return image;
}

TEST(X11RootWallpaper, RootShowsThePictureAndBothPropertiesNameItsPixmap) {
  RootReader reader;
  ASSERT_TRUE(reader.ok());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("w.bmp"));
  const QImage picture = Pattern(1280, 800, 11);
  ASSERT_TRUE(picture.save(file, "BMP"));

  X11RootWallpaper setter;
  ASSERT_TRUE(setter.install(file).ok());

  const unsigned long pixmap = reader.pixmapProperty("_XROOTPMAP_ID");
  EXPECT_NE(pixmap, 0UL);
  EXPECT_EQ(reader.pixmapProperty("ESETROOT_PMAP_ID"), pixmap);
  EXPECT_TRUE(reader.pixmapExists(pixmap));
  EXPECT_EQ(reader.rootImage(), picture.convertToFormat(QImage::Format_RGB32));
}

TEST(X11RootWallpaper, ASecondInstallFreesTheFirstPixmap) {
  RootReader reader;
  ASSERT_TRUE(reader.ok());
  QTemporaryDir dir;
  const QString first = dir.filePath(QStringLiteral("1.bmp"));
  const QString second = dir.filePath(QStringLiteral("2.bmp"));
  ASSERT_TRUE(Pattern(1280, 800, 1).save(first, "BMP"));
  ASSERT_TRUE(Pattern(1280, 800, 99).save(second, "BMP"));

  X11RootWallpaper setter;
  ASSERT_TRUE(setter.install(first).ok());
  const unsigned long firstPixmap = reader.pixmapProperty("_XROOTPMAP_ID");
  ASSERT_TRUE(reader.pixmapExists(firstPixmap));
  ASSERT_TRUE(setter.install(second).ok());
  const unsigned long secondPixmap = reader.pixmapProperty("_XROOTPMAP_ID");
  EXPECT_NE(secondPixmap, firstPixmap);
  EXPECT_FALSE(reader.pixmapExists(firstPixmap));
  EXPECT_TRUE(reader.pixmapExists(secondPixmap));
  EXPECT_EQ(reader.rootImage().pixelColor(100, 50), Pattern(1280, 800, 99).pixelColor(100, 50));
}

// Anyone may write the two properties: when they name another program's window rather than a
// pixmap, that program must keep its connection.
TEST(X11RootWallpaper, AWindowNamedByBothPropertiesKeepsItsClient) {
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  const Window root = XDefaultRootWindow(other);
  const Window window = XCreateSimpleWindow(other, root, 0, 0, 10, 10, 0, 0, 0);
  const Atom pixmapType = XInternAtom(other, "PIXMAP", False);
  for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
    XChangeProperty(other, root, XInternAtom(other, name, False), pixmapType, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window), 1);
  }
  XSync(other, False);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("w.bmp"));
  ASSERT_TRUE(Pattern(10, 10, 5).save(file, "BMP"));
  ASSERT_TRUE(X11RootWallpaper().install(file).ok());
  RootReader reader;
  EXPECT_TRUE(reader.pixmapExists(window)) << "the window's client was killed";
  XDestroyWindow(other, window);
  XCloseDisplay(other);
}

TEST(X11RootWallpaper, CentresThePictureOnEveryMonitor) {
  RootReader reader;
  ASSERT_TRUE(reader.ok());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("small.bmp"));
  QImage small(100, 100, QImage::Format_RGB888);
  small.fill(QColor(200, 10, 10));
  ASSERT_TRUE(small.save(file, "BMP"));

  X11RootWallpaper setter(QByteArray(), {QRect(0, 0, 640, 800), QRect(640, 0, 640, 800)});
  ASSERT_TRUE(setter.install(file).ok());
  const QImage root = reader.rootImage();
  EXPECT_EQ(root.pixelColor(320, 400), QColor(200, 10, 10));
  EXPECT_EQ(root.pixelColor(960, 400), QColor(200, 10, 10));
  EXPECT_EQ(root.pixelColor(640, 400), QColor(0, 0, 0));
}

// A desktop (a file manager's desktop, a desktop shell) maps a window of the desktop type over
// the root: painting the root would show nothing, so the install must fail and say why.
TEST(X11RootWallpaper, AShownDesktopWindowMakesTheInstallFail) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("w.bmp"));
  ASSERT_TRUE(Pattern(10, 10, 0).save(file, "BMP"));
  const struct {
    bool desktopType;
    bool mapped;
    bool nested;  // deeper in frames than a walk looks: found through the client list
    bool covers;
  } cases[] = {{true, true, false, true},
               {true, false, false, false},
               {false, true, false, false},
               {true, true, true, true}};
  for (const auto& c : cases) {
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    const Window root = XDefaultRootWindow(dpy);
    Window parent = root;
    for (int level = 0; c.nested && level < 2; ++level) {
      parent = XCreateSimpleWindow(dpy, parent, 0, 0, 1280, 800, 0, 0, 0);
      XMapWindow(dpy, parent);
    }
    const Window w = XCreateSimpleWindow(dpy, parent, 0, 0, 1280, 800, 0, 0, 0);
    char name[] = "fm-desktop";
    char cls[] = "FakeDesktop";
    XClassHint hint{name, cls};
    XSetClassHint(dpy, w, &hint);
    const Atom type = XInternAtom(
        dpy, c.desktopType ? "_NET_WM_WINDOW_TYPE_DESKTOP" : "_NET_WM_WINDOW_TYPE_NORMAL", False);
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
    const Atom clients = XInternAtom(dpy, "_NET_CLIENT_LIST", False);
    XChangeProperty(dpy, root, clients, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&w), 1);
    if (c.mapped) {
      XMapWindow(dpy, w);
    }
    XSync(dpy, False);
    const Outcome outcome = X11RootWallpaper().install(file);
    XDeleteProperty(dpy, root, clients);
    XCloseDisplay(dpy);  // the windows go with their client
    EXPECT_EQ(outcome.ok(), !c.covers) << c.desktopType << c.mapped << c.nested;
    if (c.covers) {
      EXPECT_EQ(outcome.reason(), "a desktop window (FakeDesktop) covers the root window");
    }
  }
}

TEST(X11RootWallpaper, ReportsAnUnreadableFileOrDisplay) {
  EXPECT_FALSE(X11RootWallpaper().install(QStringLiteral("/nonexistent.bmp")).ok());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("w.bmp"));
  ASSERT_TRUE(Pattern(10, 10, 0).save(file, "BMP"));
  EXPECT_EQ(X11RootWallpaper(":4097").install(file).reason(), "cannot open the X display");
}

}  // namespace
}  // namespace tessora
