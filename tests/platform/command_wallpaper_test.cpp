// Desktops set through their own command: stand-in commands first on PATH record what they get.
#include "platform/command_wallpaper.h"

#include <gtest/gtest.h>

#include "child_process.h"

namespace tessora {
namespace {

class CommandWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"swaymsg", "pcmanfm-qt", "pcmanfm"}) {
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
