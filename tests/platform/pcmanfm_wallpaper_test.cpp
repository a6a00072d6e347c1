// LXDE: pcmanfm's desktop, played by a stand-in first on PATH whose command line reads as
// `pcmanfm --desktop ...` while it runs.
#include "platform/pcmanfm_wallpaper.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "child_process.h"
#include "platform/processes.h"

namespace tessora {
namespace {

TEST(PcmanfmDesktopItems, SetsThePictureAndKeepsTheRest) {
  const struct {
    const char* before;
    const char* after;
  } cases[] = {
      // a monitor pcmanfm has not written a file for yet
      {"", "[*]\nwallpaper_mode=stretch\nwallpaper=/w 1.bmp\n"},
      // a fresh profile shows only its colour
      {"[*]\nwallpaper_mode=color\nwallpaper_common=1\ndesktop_bg=#000000\n\n[a.desktop]\nx=1\n",
       "[*]\nwallpaper_mode=stretch\nwallpaper_common=1\ndesktop_bg=#000000\nwallpaper=/w "
       "1.bmp\n\n[a.desktop]\nx=1\n"},
      // the user's own style stays
      {"[*]\nwallpaper_mode=crop\nwallpaper=/old.jpg\n",
       "[*]\nwallpaper_mode=crop\nwallpaper=/w 1.bmp\n"},
      // one picture over all monitors would cut this monitor's
      {"[*]\nwallpaper_mode=screen\nwallpaper=/old.jpg\n",
       "[*]\nwallpaper_mode=stretch\nwallpaper=/w 1.bmp\n"},
      // a picture for each workspace: every one of them
      {"[*]\nwallpaper_mode=fit\nwallpaper_common=0\nwallpapers_configured=2\nwallpaper0=/a\n"
       "wallpaper1=/b\nwallpaper=/a\n",
       "[*]\nwallpaper_mode=fit\nwallpaper_common=0\nwallpapers_configured=2\nwallpaper0=/w "
       "1.bmp\nwallpaper1=/w 1.bmp\nwallpaper=/w 1.bmp\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PcmanfmDesktopItems(c.before, QStringLiteral("/w 1.bmp")).toStdString(), c.after)
        << c.before;
  }
  EXPECT_EQ(PcmanfmDesktopItems("[*]\nwallpaper_mode=tile\n", QStringLiteral(" a\\b.bmp")),
            "[*]\nwallpaper_mode=tile\nwallpaper=\\sa\\\\b.bmp\n");
}

// The pcmanfm desktops of this user on this display that run now.
QList<qint64> Desktops() {
  QList<qint64> pids;
  for (const ProcessInfo& p : UserProcesses()) {
    if (p.program() == "pcmanfm" && p.hasArgument("--desktop") && InThisSession(p.pid)) {
      pids << p.pid;
    }
  }
  return pids;
}

class PcmanfmWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Any command line is logged; one with --desktop stays up as the desktop, a shell whose
    // command line reads "pcmanfm -c SCRIPT ARGUMENTS" (started again, it drops -c SCRIPT).
    ASSERT_TRUE(commands_.add(
        QStringLiteral("pcmanfm"),
        "[ \"$1\" != -c ] || shift 2\n"
        "printf '%s|' pcmanfm \"$@\" >> \"$(dirname \"$0\")/log\"\n"
        "case \" $* \" in *' --desktop '*)\n"
        "  exec bash -c 'exec -a pcmanfm bash -c \"sleep 10; :\" \"$@\"' _ \"$@\" ;;\n"
        "esac\n"));
    folder_ = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/pcmanfm/T");
    QDir(folder_).removeRecursively();
  }
  void TearDown() override {
    for (qint64 pid : Desktops()) {
      ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
  }
  QString Log() const { return commands_.read(QStringLiteral("log")); }
  QString Items(int n) const {
    QFile f(folder_ + QStringLiteral("/desktop-items-%1.conf").arg(n));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

  testing::StandInCommands commands_;
  QString folder_;
};

// Without its desktop pcmanfm would start one that never ends: nothing is run.
TEST_F(PcmanfmWallpaperTest, RefusedAtOnceWithoutItsDesktop) {
  ASSERT_TRUE(Desktops().isEmpty());
  const QList<MonitorFile> two = {
      MonitorFile{QStringLiteral("A"), QRect(0, 0, 800, 600), QStringLiteral("/a.bmp"), true},
      MonitorFile{QStringLiteral("B"), QRect(800, 0, 480, 640), QStringLiteral("/b.bmp")}};
  for (const Outcome& o : {PcmanfmWallpaper().install(QStringLiteral("/w.bmp")),
                           PcmanfmWallpaper().installMonitors(two)}) {
    EXPECT_EQ(o.reason().rfind("pcmanfm is not running as the desktop: ", 0), 0U) << o.reason();
  }
  EXPECT_EQ(Log(), QString());
  qputenv("PATH", QByteArray("/nonexistent"));
  EXPECT_EQ(PcmanfmWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            "pcmanfm is not installed");
}

TEST_F(PcmanfmWallpaperTest, OneMonitorIsHandedToTheRunningDesktop) {
  testing::ChildProcess desktop;
  ASSERT_TRUE(desktop.start(QStringLiteral("pcmanfm"),
                            {QStringLiteral("--desktop"), QStringLiteral("--profile=T")}));
  ASSERT_TRUE(testing::WaitUntil([] { return !Desktops().isEmpty(); }));
  const Outcome o = PcmanfmWallpaper().install(QStringLiteral("/w-2.bmp"));
  ASSERT_TRUE(o.ok()) << o.reason();
  EXPECT_EQ(Log(),
            QStringLiteral("pcmanfm|--desktop|--profile=T|pcmanfm|--set-wallpaper=/w-2.bmp|"));
}

// Each monitor's file gets its picture, the primary's file 0; the desktop then starts again as
// it was started, and reads them all.
TEST_F(PcmanfmWallpaperTest, EveryMonitorGetsItsPictureAndTheDesktopReadsThem) {
  testing::ChildProcess desktop;
  ASSERT_TRUE(desktop.start(
      QStringLiteral("pcmanfm"),
      {QStringLiteral("--desktop"), QStringLiteral("--profile"), QStringLiteral("T")}));
  ASSERT_TRUE(testing::WaitUntil([] { return Desktops().size() == 1; }));
  const qint64 first = Desktops().front();
  ASSERT_TRUE(QDir().mkpath(folder_));
  QFile one(folder_ + QStringLiteral("/desktop-items-1.conf"));
  ASSERT_TRUE(one.open(QIODevice::WriteOnly));
  one.write("[*]\nwallpaper_mode=color\ndesktop_bg=#102030\n");
  one.close();
  const QList<MonitorFile> two = {
      MonitorFile{QStringLiteral("B"), QRect(800, 0, 480, 640), QStringLiteral("/b.bmp")},
      MonitorFile{QStringLiteral("A"), QRect(0, 0, 800, 600), QStringLiteral("/a.bmp"), true}};
  PcmanfmWallpaper lxde;
  ASSERT_EQ(lxde.spread(), MonitorSpread::PerMonitor);
  const Outcome o = lxde.installMonitors(two);
  ASSERT_TRUE(o.ok()) << o.reason();
  EXPECT_EQ(Items(0), QStringLiteral("[*]\nwallpaper_mode=stretch\nwallpaper=/a.bmp\n"));
  EXPECT_EQ(Items(1),
            QStringLiteral("[*]\nwallpaper_mode=stretch\ndesktop_bg=#102030\nwallpaper=/b.bmp\n"));
  EXPECT_EQ(Log(), QStringLiteral("pcmanfm|--desktop|--profile|T|pcmanfm|--desktop|--profile|T|"));
  const QList<qint64> now = Desktops();
  ASSERT_EQ(now.size(), 1);
  EXPECT_NE(now.front(), first);
}

}  // namespace
}  // namespace tessora
