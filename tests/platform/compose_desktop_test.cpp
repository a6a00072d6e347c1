// The built tessora-compose on this run's X server: the desktop gives the size when none is asked
// for, and --set-wallpaper installs the result on the root window.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>

#include <unistd.h>

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <random>

#include "child_process.h"
#include "imageio/image_files.h"
#include "platform/swaybg_wallpaper.h"
#include "platform/x11_headers.h"
#include "support/pictures.h"
#include "support/root_window.h"

namespace tessora {
namespace {

struct ToolRun {
  int status = -1;
  QString err;
};

// extra: variables set for this run only.
QProcessEnvironment ToolEnvironment(const QMap<QString, QString>& extra) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // No desktop of its own: the portal (no session bus here) fails, the root window remains.
  env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
  env.remove(QStringLiteral("DESKTOP_SESSION"));
  for (auto it = extra.begin(); it != extra.end(); ++it) {
    env.insert(it.key(), it.value());
  }
  return env;
}

ToolRun Compose(const QStringList& args, const QMap<QString, QString>& extra = {}) {
  QProcess p;
  p.setProcessEnvironment(ToolEnvironment(extra));
  p.start(QStringLiteral(TESSORA_COMPOSE_EXE), args);
  ToolRun r;
  if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit) {
    r.status = p.exitCode();
  }
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

TColor RootPixel(int x, int y) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    return clNone;
  }
  XImage* image = XGetImage(dpy, XDefaultRootWindow(dpy), x, y, 1, 1, 0xffffffffUL, ZPixmap);
  const unsigned long v = image != nullptr ? XGetPixel(image, 0, 0) : 0;
  if (image != nullptr) {
    XDestroyImage(image);
  }
  XCloseDisplay(dpy);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// On a desktop of several RandR monitors (landscape and upright, of different sizes, with a
// gap, one scaled by 2), --set-wallpaper without a size shows on each monitor exactly what
// --size of that monitor in device pixels composes: the generated background generated for it,
// the center placed on it.
TEST(ComposeOnTheDesktop, EveryMonitorShowsTheCompositionOfItsOwnSize) {
  if (!testing::RandrMonitors::available()) {
    GTEST_SKIP() << "needs xrandr";
  }
  QTemporaryDir dir;
  const QString center = dir.filePath(QStringLiteral("center.bmp"));
  SaveComposed(center.toStdString(), SaveFormat::Bmp, testing::PatternBitmap(90, 60));
  const QStringList commands = {"--color1", "#e02010",  "--color2", "#1020e0",  "--background",
                                "vertical", "--center", center,     "--sizing", "height=0.5"};
  const struct {
    QStringList names;
    QList<QRect> rects;
    QByteArray scales;  // QT_SCREEN_SCALE_FACTORS for the tool's helper
  } layouts[] = {
      {{"LEFT", "RIGHT"}, {QRect(0, 0, 800, 500), QRect(800, 0, 480, 800)}, {}},
      {{"ONE", "TWO", "THREE"},
       {QRect(0, 0, 500, 400), QRect(520, 0, 400, 500), QRect(920, 500, 360, 300)},
       {}},
      {{"LEFT", "RIGHT"}, {QRect(0, 0, 800, 500), QRect(800, 0, 480, 800)}, "LEFT=1;RIGHT=2"},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.names.join(QLatin1Char(',')).toStdString() + " " +
                 layout.scales.toStdString());
    testing::RandrMonitors monitors(layout.names, layout.rects);
    ASSERT_TRUE(monitors.ok());
    qputenv("QT_SCREEN_SCALE_FACTORS", layout.scales);
    const ToolRun r = Compose(commands + QStringList{"--set-wallpaper"});
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const QRect& rect : layout.rects) {
      const QString single = dir.filePath(QStringLiteral("single.bmp"));
      const QString size = QStringLiteral("%1x%2").arg(rect.width()).arg(rect.height());
      ASSERT_EQ(Compose(commands + QStringList{"--size", size, "-o", single}).status, 0);
      EXPECT_TRUE(
          testing::SamePicture(testing::RootRegion(rect.x(), rect.y(), rect.width(), rect.height()),
                               testing::LoadPicture(single.toStdString())))
          << "monitor at " << rect.x() << "," << rect.y();
    }
  }
}

TEST(ComposeOnTheDesktop, WithoutASizeTheScreenGivesIt) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("desk.bmp"));
  const ToolRun r = Compose(
      {QStringLiteral("--deep-color"), QStringLiteral("#204060"), QStringLiteral("-o"), out});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const Bitmap b = testing::LoadPicture(out.toStdString());
  // This run's X server has one 1280 x 800 screen and no panels.
  EXPECT_EQ(b.width(), 1280);
  EXPECT_EQ(b.height(), 800);
  EXPECT_EQ(b.pixel(640, 400), RGB(0x20, 0x40, 0x60));
}

TEST(ComposeOnTheDesktop, SetWallpaperReachesTheRootWindow) {
  const ToolRun r =
      Compose({QStringLiteral("--size"), QStringLiteral("1280x800"), QStringLiteral("--deep-color"),
               QStringLiteral("#a03010"), QStringLiteral("--set-wallpaper")});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(RootPixel(5, 5), RGB(0xa0, 0x30, 0x10));
  EXPECT_EQ(RootPixel(1270, 790), RGB(0xa0, 0x30, 0x10));
  // Quiet means quiet: not even the notes of the desktop libraries in the helper.
  const ToolRun quiet = Compose({"-q", "--size", "64x48", "--set-wallpaper"},
                                {{QStringLiteral("XDG_RUNTIME_DIR"), QString()}});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, QString());
}

// A DISPLAY left over from another session: the user hears that the desktop cannot be reached,
// on one line, not that a helper died of a signal.
TEST(ComposeOnTheDesktop, AnUnreachableDisplayIsToldNotCrashedOn) {
  QTemporaryDir home;
  const ToolRun r =
      Compose({QStringLiteral("--size"), QStringLiteral("8x8"), QStringLiteral("--set-wallpaper")},
              {{"DISPLAY", ":9997"}, {"XDG_DATA_HOME", home.path()}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, QStringLiteral("Wallpaper could not be set: the desktop cannot be reached: "
                                  "could not connect to display :9997\n"));
}

// A window manager's start-up runs --restore: the root shows the last wallpaper again, whatever
// painted it since; with no wallpaper ever set, the user is told so.
TEST(ComposeOnTheDesktop, RestorePaintsTheLastWallpaperAgain) {
  QTemporaryDir data;
  const QMap<QString, QString> home{{"XDG_DATA_HOME", data.path()}};
  ToolRun r = Compose({QStringLiteral("--restore")}, home);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains(QLatin1String("no wallpaper has been set yet")))
      << r.err.toStdString();
  r = Compose({"--size", "1280x800", "--deep-color", "#3060c0", "--set-wallpaper"}, home);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_NE(dpy, nullptr);
  XSetWindowBackground(dpy, XDefaultRootWindow(dpy), 0x00ff00);  // a restarted session's root
  XClearWindow(dpy, XDefaultRootWindow(dpy));
  XCloseDisplay(dpy);
  ASSERT_EQ(RootPixel(7, 7), RGB(0, 0xff, 0));
  r = Compose({QStringLiteral("--restore")}, home);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(RootPixel(7, 7), RGB(0x30, 0x60, 0xc0));
}

// What the well-known names of a wallpaper folder hold, file by file, for two monitors; with
// `through` "current/", what the set `current` names holds.
QMap<QString, QByteArray> SetFiles(const QString& folder, const QString& through = QString()) {
  QMap<QString, QByteArray> files;
  for (const char* name : {"Tessora Wallpaper.bmp", "Tessora Wallpaper monitor 1.bmp",
                           "Tessora Wallpaper monitor 2.bmp", "Tessora Wallpaper recipe.txt",
                           "Tessora Wallpaper tile.bmp"}) {
    QFile f(folder + QStringLiteral("/tessora/") + through + QLatin1String(name));
    files[QLatin1String(name)] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  return files;
}

// Whether each monitor shows its file of the set in `folder`.
bool RootShowsSet(const QString& folder, const QList<QRect>& rects) {
  bool same = true;
  for (int i = 0; i < rects.size(); ++i) {
    const QRect& r = rects[i];
    const QString file =
        folder + QStringLiteral("/tessora/Tessora Wallpaper monitor %1.bmp").arg(i + 1);
    same = testing::SamePicture(testing::RootRegion(r.x(), r.y(), r.width(), r.height()),
                                testing::LoadPicture(file.toStdString())) &&
           same;
  }
  return same;
}

// Two monitors, and two wallpapers for them.
struct TwoSets {
  const QList<QRect> rects{QRect(0, 0, 320, 200), QRect(320, 0, 200, 320)};
  testing::RandrMonitors monitors{{"LEFT", "RIGHT"}, rects};
  const QStringList first{"--color1",     "#e02010", "--color2",       "#1020e0",
                          "--background", "halo",    "--set-wallpaper"};
  const QStringList second{"--color1",     "#10e020", "--color2",       "#e0e010",
                           "--background", "halo",    "--set-wallpaper"};
};

// Tells when a set starts the first copy it hands the desktop in `folder`: the desktop is about
// to be given the set.
class HandOverWatch {
 public:
  explicit HandOverWatch(const QString& folder) : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_CREATE);
  }
  HandOverWatch(const HandOverWatch&) = delete;
  HandOverWatch& operator=(const HandOverWatch&) = delete;
  ~HandOverWatch() { ::close(fd_); }
  bool wait(int timeoutMs) {
    static const QRegularExpression copy(
        QStringLiteral("Tessora Wallpaper( monitor \\d+)?-\\d+\\."));
    QElapsedTimer timer;
    timer.start();
    for (qint64 left = timeoutMs; left > 0; left = timeoutMs - timer.elapsed()) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, static_cast<int>(left)) <= 0) {
        continue;
      }
      alignas(inotify_event) char events[4096];
      const ssize_t n = ::read(fd_, events, sizeof events);
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
        inotify_event event{};
        std::memcpy(&event, events + at, sizeof event);
        const char* name = events + at + sizeof event;
        if (event.len > 0 && copy.match(QString::fromUtf8(name)).hasMatch()) {
          return true;
        }
        at += static_cast<ssize_t>(sizeof event + event.len);
      }
    }
    return false;
  }

 private:
  int fd_;
};

// Whether a process of the group `group` still runs (a zombie waiting to be collected does not).
bool GroupRuns(pid_t group) {
  const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (const QString& pid : pids) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
      continue;
    }
    const QByteArray line = stat.readAll();
    // After the command's name: state, parent, group.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z") {
      return true;
    }
  }
  return false;
}

// A set killed at any moment (at random, or just as the desktop is handed the set; the tool and
// its helper at once, as the end of a session does, or the tool alone) leaves `current` naming
// the set the screen shows, the last one the desktop took, never one it did not take; the
// well-known names show a whole set; a restore hands exactly the current one over again, and no
// more copies are left than the shown and the previous set's.
TEST(ComposeOnTheDesktop, ASetKilledAnywhereLeavesTheScreenShowingTheCurrentSet) {
  if (!testing::RandrMonitors::available()) {
    GTEST_SKIP() << "needs xrandr";
  }
  TwoSets sets;
  ASSERT_TRUE(sets.monitors.ok());
  QTemporaryDir firstHome;
  QTemporaryDir secondHome;
  QTemporaryDir home;
  QElapsedTimer timer;
  timer.start();
  ASSERT_EQ(Compose(sets.first, {{"XDG_DATA_HOME", firstHome.path()}}).status, 0);
  const int runMs = static_cast<int>(timer.elapsed());
  ASSERT_EQ(Compose(sets.second, {{"XDG_DATA_HOME", secondHome.path()}}).status, 0);
  const QString homes[] = {firstHome.path(), secondHome.path()};
  const QMap<QString, QByteArray> whole[] = {SetFiles(homes[0]), SetFiles(homes[1])};
  ASSERT_NE(whole[0], whole[1]);
  const auto which = [&whole](const QMap<QString, QByteArray>& files) {
    return files == whole[0] ? 0 : files == whole[1] ? 1 : -1;
  };
  const auto onScreen = [&homes, &sets] {
    return RootShowsSet(homes[0], sets.rects) ? 0 : RootShowsSet(homes[1], sets.rects) ? 1 : -1;
  };
  const QMap<QString, QString> data{{"XDG_DATA_HOME", home.path()}};
  ASSERT_EQ(Compose(sets.first, data).status, 0);
  const struct {
    const char* when;
    bool atHandOver;
    bool toolAlone;
  } kills[] = {
      {"at random", false, false},
      {"as the desktop is handed the set", true, false},
      {"at random, the tool alone", false, true},
      {"as the desktop is handed the set, the tool alone", true, true},
  };
  std::mt19937 random(20261208);
  int current = 0;
  for (int run = 0; run < 24; ++run) {
    const auto& kill = kills[run % 4];
    SCOPED_TRACE(QStringLiteral("run %1, killed %2").arg(run).arg(kill.when).toStdString());
    HandOverWatch handOver(home.path() + QStringLiteral("/tessora"));
    QProcess tool;
    tool.setProcessEnvironment(ToolEnvironment(data));
    // A session of its own, so that the tool and its helper go together.
    const int before = current;
    const int setting = 1 - before;
    QStringList args{QStringLiteral(TESSORA_COMPOSE_EXE)};
    args << (setting == 1 ? sets.second : sets.first);
    tool.start(QStringLiteral("setsid"), args);
    ASSERT_TRUE(tool.waitForStarted());
    if (kill.atHandOver) {
      EXPECT_TRUE(handOver.wait(10000));
    } else {
      QThread::msleep(random() % static_cast<unsigned>(runMs + runMs / 4 + 1));
    }
    const auto pid = static_cast<pid_t>(tool.processId());
    if (kill.toolAlone || ::kill(-pid, SIGKILL) != 0) {
      ::kill(pid, SIGKILL);
    }
    tool.waitForFinished();
    ASSERT_TRUE(testing::WaitUntil([pid] { return !GroupRuns(pid); }, 10000));
    EXPECT_NE(which(SetFiles(home.path())), -1);
    current = which(SetFiles(home.path(), QStringLiteral("current/")));
    ASSERT_NE(current, -1);
    const int shown = onScreen();
    if (shown != current) {
      // Only a desktop that took the set in the instant before the kill, before the tool heard
      // its answer, shows a set ahead of `current` (never one killed as it is being handed the
      // set); the next restore shows the current one again.
      EXPECT_FALSE(kill.atHandOver);
      EXPECT_EQ(shown, setting) << "the screen shows " << shown << ", current names " << current;
      EXPECT_EQ(current, before);
      ASSERT_EQ(Compose({QStringLiteral("--restore")}, data).status, 0);
      EXPECT_EQ(onScreen(), current);
    }
  }
  const ToolRun r = Compose({QStringLiteral("--restore")}, data);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(SetFiles(home.path()), whole[current]);
  EXPECT_TRUE(RootShowsSet(home.path(), sets.rects));
  const QStringList copies = QDir(home.path() + QStringLiteral("/tessora"))
                                 .entryList({QStringLiteral("Tessora Wallpaper*-*.bmp")});
  EXPECT_LE(copies.size(), 4) << copies.join(QLatin1Char(' ')).toStdString();
}

// A small file system of its own, unmounted again at the end; ok() is false where mounting is
// not permitted.
class SmallDisk {
 public:
  explicit SmallDisk(const char* size) {
    const QByteArray options = QByteArray("size=") + size;
    ok_ = dir_.isValid() && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                                    options.constData()) == 0;
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (ok_) {
      ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
  }
  bool ok() const { return ok_; }
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  bool ok_ = false;
};

// A disk with room for a set and its copies, but not for a second set beside it: the second
// fails with the system's reason, is never said to be set, and leaves the first whole, shown and
// restorable.
TEST(ComposeOnTheDesktop, ASetOnAFullDiskFailsWithTheReasonAndLeavesTheSetBefore) {
  if (!testing::RandrMonitors::available()) {
    GTEST_SKIP() << "needs xrandr";
  }
  SmallDisk disk("2m");
  if (!disk.ok()) {
    GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  }
  TwoSets sets;
  ASSERT_TRUE(sets.monitors.ok());
  const QMap<QString, QString> data{{"XDG_DATA_HOME", disk.path()}};
  ToolRun r = Compose(sets.first, data);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const QMap<QString, QByteArray> first = SetFiles(disk.path());
  r = Compose(sets.second, data);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains(QLatin1String(": No space left on device\n"))) << r.err.toStdString();
  EXPECT_FALSE(r.err.contains(QLatin1String("Wallpaper has been set"))) << r.err.toStdString();
  EXPECT_EQ(SetFiles(disk.path()), first);
  EXPECT_TRUE(RootShowsSet(disk.path(), sets.rects));
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_NE(dpy, nullptr);
  XSetWindowBackground(dpy, XDefaultRootWindow(dpy), 0x00ff00);
  XClearWindow(dpy, XDefaultRootWindow(dpy));
  XCloseDisplay(dpy);
  r = Compose({QStringLiteral("--restore")}, data);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(RootShowsSet(disk.path(), sets.rects));
}

// The record of the running swaybg: its pid and picture.
QStringList SwaybgRecord(const QString& runtime) {
  QFile f(runtime + QStringLiteral("/tessora-swaybg.pid"));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))
                                     : QStringList();
}

// A wlroots compositor other than sway: swaybg (a stand-in that talks on its output and stays,
// as the real one does) is left running, and only ours started before are ended: the one the
// record names, and one showing a picture of ours that a stale record no longer names.
TEST(ComposeOnTheDesktop, SwaybgIsLeftRunningAloneAndOnlyOurOldOneIsEnded) {
  testing::StandInCommands commands;
  ASSERT_TRUE(commands.add(
      QStringLiteral("swaybg"),
      "echo 'swaybg: log line'\n"
      "exec /usr/bin/python3 -c 'import os, sys; os.execv(sys.executable, [\"swaybg\", \"-c\", "
      "\"import time; time.sleep(600)\"] + sys.argv[1:])' \"$@\" 2>>\"$(dirname \"$0\")/err\"\n"));
  QTemporaryDir runtime;
  // A session of this test's own: the tool takes every swaybg of the same WAYLAND_DISPLAY for
  // one of this session's, and another run of this test at the same time has its own.
  const QMap<QString, QString> wayland{
      {"WAYLAND_DISPLAY", QStringLiteral("wayland-tessora-test-%1").arg(::getpid())},
      {"XDG_CURRENT_DESKTOP", "Hyprland"},
      {"XDG_RUNTIME_DIR", runtime.path()}};
  const QStringList args{"--size", "64x48", "--deep-color", "#102030", "--set-wallpaper"};
  testing::ChildProcess stranger;  // a process a stale record may name
  ASSERT_TRUE(stranger.start(QStringLiteral("sleep"), {QStringLiteral("600")}));
  QList<QStringList> records;
  for (int run = 0; run < 3; ++run) {
    if (run == 2) {  // the record names someone else's process: it must be left alone
      QFile f(runtime.filePath(QStringLiteral("tessora-swaybg.pid")));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QStringLiteral("%1\n%2\n").arg(stranger.pid()).arg(records[1][1]).toUtf8());
    }
    const ToolRun r = Compose(args, wayland);
    records << SwaybgRecord(runtime.path());
    ASSERT_EQ(r.status, 0) << r.err.toStdString() << run << commands.read("err").toStdString();
    EXPECT_FALSE(r.err.contains(QLatin1String("log line"))) << r.err.toStdString();
    ASSERT_GE(records.back().size(), 2);
    // The stand-in goes through a shell and two starts of python before its command line reads
    // as swaybg's, which a busy machine may take seconds for; the real one is swaybg at once.
    ASSERT_TRUE(testing::WaitUntil([&] {
      return IsSwaybgShowing(records.back()[0].toLongLong(), records.back()[1]);
    })) << "run "
        << run << ": no swaybg showing " << records.back()[1].toStdString();
  }
  const auto alive = [&records](int run) {
    return IsSwaybgShowing(records[run][0].toLongLong(), records[run][1]);
  };
  EXPECT_TRUE(testing::WaitUntil([&] { return !alive(0); }));
  EXPECT_TRUE(testing::WaitUntil([&] { return !alive(1); }));
  EXPECT_TRUE(alive(2));
  EXPECT_EQ(stranger.process()->state(), QProcess::Running);
  for (int run = 1; run < 3; ++run) {
    ::kill(static_cast<pid_t>(records[run][0].toLongLong()), SIGTERM);
  }
}

// A headless sway of its own, run as an unprivileged user (sway refuses root), as the
// wlroots compositor swaybg draws on.
class HeadlessSway {
 public:
  HeadlessSway() {
    for (const char* tool : {"sway", "swaybg", "grim", "setpriv"}) {
      if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
        why_ = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
        return;
      }
    }
    QFile config(dir_.filePath(QStringLiteral("config")));
    if (::geteuid() != 0 || !config.open(QIODevice::WriteOnly) ||
        config.write("output HEADLESS-1 resolution 320x200\n") < 0 ||
        ::chown(QFile::encodeName(dir_.path()).constData(), 65534, 65534) != 0) {
      why_ = QStringLiteral("needs root to run sway as another user");
      return;
    }
    config.close();
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    sway_.start(
        QStringLiteral("setpriv"),
        {"--reuid=65534", "--regid=65534", "--clear-groups", "sway", "-c", config.fileName()}, env);
    testing::WaitUntil([this] { return !socket().isEmpty(); });
    if (socket().isEmpty()) {
      why_ = QStringLiteral("sway did not start");
    }
  }
  const QString& why() const { return why_; }
  QMap<QString, QString> environment() const {
    return {{"WAYLAND_DISPLAY", socket()}, {"XDG_RUNTIME_DIR", dir_.path()}};
  }
  // What the compositor shows at a point, read with grim.
  QColor pixel(int x, int y) const {
    QProcess grim;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    grim.setProcessEnvironment(env);
    grim.start(QStringLiteral("grim"),
               {QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-")});
    grim.waitForFinished(10000);
    return QImage::fromData(grim.readAllStandardOutput(), "PNG").pixelColor(x, y);
  }

 private:
  QString socket() const {
    const QStringList names =
        QDir(dir_.path()).entryList({QStringLiteral("wayland-?")}, QDir::System);
    return names.isEmpty() ? QString() : names.first();
  }
  QTemporaryDir dir_;
  testing::ChildProcess sway_;
  QString why_;
};

// The real swaybg on a real wlroots compositor: each install shows the new picture and the
// instance that showed the one before is gone.
TEST(ComposeOnTheDesktop, SwaybgShowsEachWallpaperOnAWlrootsCompositor) {
  HeadlessSway sway;
  if (!sway.why().isEmpty()) {
    GTEST_SKIP() << sway.why().toStdString();
  }
  QMap<QString, QString> env = sway.environment();
  env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("river"));
  QList<QStringList> records;
  for (const char* colour : {"#1478dc", "#dc7814"}) {
    const ToolRun r =
        Compose({"--size", "320x200", "--deep-color", colour, "--set-wallpaper"}, env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(testing::WaitUntil([&] { return sway.pixel(160, 100) == QColor(colour); }))
        << colour << " shows " << sway.pixel(160, 100).name().toStdString();
    records << SwaybgRecord(env.value(QStringLiteral("XDG_RUNTIME_DIR")));
    ASSERT_GE(records.back().size(), 2);
  }
  EXPECT_TRUE(testing::WaitUntil(
      [&] { return !IsSwaybgShowing(records[0][0].toLongLong(), records[0][1]); }));
  EXPECT_TRUE(IsSwaybgShowing(records[1][0].toLongLong(), records[1][1]));
}

}  // namespace
}  // namespace tessora
