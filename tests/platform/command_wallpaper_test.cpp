// Desktops set through their own command: stand-in commands first on PATH record what they get.
#include "platform/command_wallpaper.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "child_process.h"
#include "platform/pcmanfm_qt_wallpaper.h"
#include "platform/swaybg_wallpaper.h"
#include "platform/x11_headers.h"
#include "platform/x11_root_wallpaper.h"

namespace tessora {
namespace {

// What the screen shows at a point (the root window with everything drawn over it).
QColor ScreenPixel(int x, int y) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    return QColor();
  }
  XImage* image = XGetImage(dpy, XDefaultRootWindow(dpy), x, y, 1, 1, 0xffffffffUL, ZPixmap);
  const unsigned long v = image != nullptr ? XGetPixel(image, 0, 0) : 0;
  if (image != nullptr) {
    XDestroyImage(image);
  }
  XCloseDisplay(dpy);
  return QColor(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                static_cast<int>(v & 0xFF));
}

class CommandWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"swaymsg", "pcmanfm-qt", "swaybg"}) {
      ASSERT_TRUE(
          commands_.add(QLatin1String(name),
                        "printf '%s|' \"$(basename \"$0\")\" \"$@\" >> \"$(dirname \"$0\")/log\"\n"
                        "[ -z \"$STUB_FAIL\" ] || { echo \"$STUB_FAIL\"; exit 1; }\n"
                        // swaybg stays up while it shows the picture
                        "[ \"$(basename \"$0\")\" != swaybg ] || exec sleep 2\n"));
    }
  }
  void TearDown() override { qunsetenv("STUB_FAIL"); }
  QString Log() const { return commands_.read(QStringLiteral("log")); }

  testing::StandInCommands commands_;
};

TEST_F(CommandWallpaperTest, SwayGetsTheQuotedPathForEveryOutput) {
  ASSERT_TRUE(SwayWallpaper().install(QStringLiteral("/home/u/T W \"1\".bmp")).ok());
  EXPECT_EQ(Log(), QStringLiteral("swaymsg|output|*|bg|\"/home/u/T W \\\"1\\\".bmp\"|fill|"));
}

// Without its desktop pcmanfm-qt stores nothing and says nothing; with it, a mode that hides the
// picture (a fresh user's is "none") is replaced, any other stays.
TEST_F(CommandWallpaperTest, LxqtNeedsItsDesktopAndAModeThatShowsThePicture) {
  testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  EXPECT_TRUE(QString::fromStdString(
                  PcmanfmQtWallpaper(bus.connection()).install(QStringLiteral("/w.bmp")).reason())
                  .startsWith(QLatin1String("no pcmanfm-qt desktop is running")));
  EXPECT_EQ(Log(), QString());
  QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
  ASSERT_TRUE(desktop.registerService(QStringLiteral("org.pcmanfm.PCManFM")));
  const QString conf =
      qEnvironmentVariable("XDG_CONFIG_HOME") + "/pcmanfm-qt/default/settings.conf";
  ASSERT_TRUE(QDir().mkpath(QFileInfo(conf).path()));
  const struct {
    const char* mode;  // nullptr: no settings file yet
    bool replaced;
  } cases[] = {
      {nullptr, true}, {"none", true}, {"color", true}, {"stretch", false}, {"tile", false}};
  for (const auto& c : cases) {
    QFile::remove(conf);
    if (c.mode != nullptr) {
      QFile f(conf);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QByteArray("[Desktop]\nWallpaperMode=") + c.mode + "\n");
    }
    const qsizetype before = Log().size();
    ASSERT_TRUE(PcmanfmQtWallpaper(bus.connection()).install(QStringLiteral("/w.bmp")).ok());
    EXPECT_EQ(Log().mid(before),
              QStringLiteral("pcmanfm-qt|--set-wallpaper=/w.bmp|%1")
                  .arg(c.replaced ? QStringLiteral("--wallpaper-mode=stretch|") : QString()))
        << (c.mode != nullptr ? c.mode : "no file");
  }
  QFile::remove(conf);
}

// The real pcmanfm-qt desktop on this run's X server, with a fresh profile (mode "none"): the
// picture, a BMP, must reach the screen; painting the root under it must fail and say why.
TEST(PcmanfmQtDesktop, ShowsTheWallpaperAndHidesTheRoot) {
  if (QStandardPaths::findExecutable(QStringLiteral("pcmanfm-qt")).isEmpty()) {
    GTEST_SKIP() << "pcmanfm-qt is not installed";
  }
  testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  const QByteArray oldBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());  // for pcmanfm-qt's own call
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  testing::ChildProcess desktop;
  ASSERT_TRUE(desktop.start(QStringLiteral("pcmanfm-qt"), {QStringLiteral("--desktop")}, env));
  const auto registered = [&bus] {
    return bus.connection()
        .interface()
        ->isServiceRegistered(QStringLiteral("org.pcmanfm.PCManFM"))
        .value();
  };
  ASSERT_TRUE(testing::WaitUntil(registered));
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("w.bmp"));
  QImage picture(64, 64, QImage::Format_RGB888);
  picture.fill(QColor(20, 120, 220));
  ASSERT_TRUE(picture.save(file, "BMP"));
  const Outcome installed = PcmanfmQtWallpaper(bus.connection()).install(file);
  EXPECT_TRUE(installed.ok()) << installed.reason();
  EXPECT_TRUE(testing::WaitUntil([] { return ScreenPixel(640, 400) == QColor(20, 120, 220); }))
      << ScreenPixel(640, 400).name().toStdString();
  EXPECT_EQ(X11RootWallpaper().install(file).reason(),
            "a desktop window (pcmanfm-qt) covers the root window");
  desktop.stop();
  qputenv("DBUS_SESSION_BUS_ADDRESS", oldBus);
}

// Several monitors: sway sets each output's picture in one command line; pcmanfm-qt gets the
// whole virtual desktop, in the mode that lays it over all screens as it is.
TEST_F(CommandWallpaperTest, SeveralMonitorsAreHandedOverAsEachDesktopKeepsThem) {
  const QList<MonitorFile> monitors = {
      MonitorFile{QStringLiteral("DP-1"), QRect(0, 0, 1920, 1080), QStringLiteral("/m1.bmp")},
      MonitorFile{QStringLiteral("HDMI-A-1"), QRect(1920, 0, 1080, 1920),
                  QStringLiteral("/m 2.bmp"), true}};
  const QList<MonitorFile> spanned = {
      MonitorFile{QString(), QRect(0, 0, 3000, 1920), QStringLiteral("/all.bmp"), true}};
  CommandWallpaper sway = SwayWallpaper();
  ASSERT_EQ(sway.spread(), MonitorSpread::PerMonitor);
  ASSERT_TRUE(sway.installMonitors(monitors).ok());
  EXPECT_EQ(Log(), QStringLiteral("swaymsg|output|*|bg|\"/m 2.bmp\"|fill|;|output|\"DP-1\"|bg|"
                                  "\"/m1.bmp\"|fill|;|output|\"HDMI-A-1\"|bg|\"/m 2.bmp\"|fill|"));
  testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
  ASSERT_TRUE(desktop.registerService(QStringLiteral("org.pcmanfm.PCManFM")));
  PcmanfmQtWallpaper lxqt(bus.connection());
  ASSERT_EQ(lxqt.spread(), MonitorSpread::Spanned);
  const Outcome lxqtInstalled = lxqt.installMonitors(spanned);
  ASSERT_TRUE(lxqtInstalled.ok()) << lxqtInstalled.reason();
  EXPECT_TRUE(Log().endsWith(
      QStringLiteral("pcmanfm-qt|--set-wallpaper=/all.bmp|--wallpaper-mode=stretch|")))
      << Log().toStdString();
  // swaybg runs detached: its arguments come when it has started.
  QTemporaryDir runtime;
  const Outcome swaybgStarted =
      SwaybgWallpaper(runtime.filePath(QStringLiteral("swaybg.pid"))).installMonitors(monitors);
  ASSERT_TRUE(swaybgStarted.ok()) << swaybgStarted.reason();
  const QString swaybg = QStringLiteral(
      "swaybg|-o|DP-1|-i|/m1.bmp|-m|fill|-o|*|-i|/m 2.bmp|-m|fill|-o|HDMI-A-1|-i|/m "
      "2.bmp|-m|fill|");
  EXPECT_TRUE(testing::WaitUntil([&] { return Log().endsWith(swaybg); })) << Log().toStdString();
}

TEST_F(CommandWallpaperTest, AFailingOrMissingCommandIsReported) {
  qputenv("STUB_FAIL", "no output matches");
  EXPECT_EQ(SwayWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            "swaymsg failed (exit code 1): no output matches");
  qputenv("PATH", QByteArray("/nonexistent"));
  EXPECT_EQ(SwaybgWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            "swaybg is not installed");
}

}  // namespace
}  // namespace tessora
