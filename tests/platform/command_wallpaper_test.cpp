// Desktops set through their own command: stand-in commands first on PATH record what they get.
#include "platform/command_wallpaper.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace tessora {
namespace {

class CommandWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldPath_ = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir_.path()) + ":" + oldPath_);
    for (const char* name : {"swaymsg", "pcmanfm-qt", "pcmanfm"}) {
      const QString script = dir_.filePath(QLatin1String(name));
      QFile stub(script);
      ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
      stub.write(
          "#!/bin/sh\nprintf '%s|' \"$(basename \"$0\")\" \"$@\" >> \"$(dirname \"$0\")/log\"\n"
          "[ -z \"$STUB_FAIL\" ] || { echo \"$STUB_FAIL\"; exit 1; }\n");
      stub.close();
      QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }
  void TearDown() override {
    qputenv("PATH", oldPath_);
    qunsetenv("STUB_FAIL");
  }
  QString Log() {
    QFile log(dir_.filePath(QStringLiteral("log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
  }

  QTemporaryDir dir_;
  QByteArray oldPath_;
};

TEST_F(CommandWallpaperTest, SwayGetsTheQuotedPathForEveryOutput) {
  ASSERT_EQ(SwayWallpaper().install(QStringLiteral("/home/u/T W \"1\".bmp")), QString());
  EXPECT_EQ(Log(), QStringLiteral("swaymsg|output|*|bg|\"/home/u/T W \\\"1\\\".bmp\"|fill|"));
}

TEST_F(CommandWallpaperTest, LxqtAndLxdeKeepTheUsersMode) {
  ASSERT_EQ(LxqtWallpaper().install(QStringLiteral("/w-1.bmp")), QString());
  ASSERT_EQ(LxdeWallpaper().install(QStringLiteral("/w-2.bmp")), QString());
  EXPECT_EQ(Log(), QStringLiteral(
                       "pcmanfm-qt|--set-wallpaper|/w-1.bmp|pcmanfm|--set-wallpaper=/w-2.bmp|"));
}

TEST_F(CommandWallpaperTest, AFailingOrMissingCommandIsReported) {
  qputenv("STUB_FAIL", "no output matches");
  EXPECT_EQ(SwayWallpaper().install(QStringLiteral("/w.bmp")),
            QStringLiteral("swaymsg failed (exit code 1): no output matches"));
  qputenv("PATH", QByteArray("/nonexistent"));
  EXPECT_EQ(LxqtWallpaper().install(QStringLiteral("/w.bmp")),
            QStringLiteral("pcmanfm-qt is not installed"));
  EXPECT_EQ(SwaybgWallpaper().install(QStringLiteral("/w.bmp")),
            QStringLiteral("swaybg is not installed"));
}

}  // namespace
}  // namespace tessora
