// Desktops set through their own command: stand-in commands first on PATH record what they get.
#include "platform/command_wallpaper.h"

#include <gtest/gtest.h>

#include "child_process.h"

namespace tessora {
namespace {

class CommandWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"swaymsg", "pcmanfm-qt", "pcmanfm", "swaybg"}) {
      ASSERT_TRUE(
          commands_.add(QLatin1String(name),
                        "printf '%s|' \"$(basename \"$0\")\" \"$@\" >> \"$(dirname \"$0\")/log\"\n"
                        "[ -z \"$STUB_FAIL\" ] || { echo \"$STUB_FAIL\"; exit 1; }\n"));
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

TEST_F(CommandWallpaperTest, LxqtAndLxdeKeepTheUsersMode) {
  ASSERT_TRUE(LxqtWallpaper().install(QStringLiteral("/w-1.bmp")).ok());
  ASSERT_TRUE(LxdeWallpaper().install(QStringLiteral("/w-2.bmp")).ok());
  EXPECT_EQ(Log(), QStringLiteral(
                       "pcmanfm-qt|--set-wallpaper|/w-1.bmp|pcmanfm|--set-wallpaper=/w-2.bmp|"));
}

// Several monitors: sway sets each output's picture in one command line; pcmanfm-qt and pcmanfm
// get the whole virtual desktop, in the mode that lays it over all screens as it is.
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
  CommandWallpaper lxqt = LxqtWallpaper();
  CommandWallpaper lxde = LxdeWallpaper();
  ASSERT_EQ(lxqt.spread(), MonitorSpread::Spanned);
  ASSERT_EQ(lxde.spread(), MonitorSpread::Spanned);
  ASSERT_TRUE(lxqt.installMonitors(spanned).ok());
  ASSERT_TRUE(lxde.installMonitors(spanned).ok());
  EXPECT_TRUE(
      Log().endsWith(QStringLiteral("pcmanfm-qt|--set-wallpaper|/all.bmp|--wallpaper-mode|stretch|"
                                    "pcmanfm|--set-wallpaper=/all.bmp|--wallpaper-mode=screen|")))
      << Log().toStdString();
  // swaybg runs detached: its arguments come when it has started.
  ASSERT_TRUE(SwaybgWallpaper().installMonitors(monitors).ok());
  const QString swaybg = QStringLiteral(
      "swaybg|-o|DP-1|-i|/m1.bmp|-m|fill|-o|*|-i|/m 2.bmp|-m|fill|-o|HDMI-A-1|-i|/m "
      "2.bmp|-m|fill|");
  EXPECT_TRUE(testing::WaitUntil([&] { return Log().endsWith(swaybg); }, 5000))
      << Log().toStdString();
}

TEST_F(CommandWallpaperTest, AFailingOrMissingCommandIsReported) {
  qputenv("STUB_FAIL", "no output matches");
  EXPECT_EQ(SwayWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("swaymsg failed (exit code 1): no output matches"));
  qputenv("PATH", QByteArray("/nonexistent"));
  EXPECT_EQ(LxqtWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("pcmanfm-qt is not installed"));
  EXPECT_EQ(SwaybgWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("swaybg is not installed"));
}

}  // namespace
}  // namespace tessora
