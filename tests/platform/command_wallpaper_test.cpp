// Desktops set through their own command: stand-in commands first on PATH record what they get.
#include "platform/command_wallpaper.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

TEST_F(CommandWallpaperTest, LxdeKeepsTheUsersMode) {
  ASSERT_TRUE(LxdeWallpaper().install(QStringLiteral("/w-2.bmp")).ok());
  EXPECT_EQ(Log(), QStringLiteral("pcmanfm|--set-wallpaper=/w-2.bmp|"));
}

// Without its desktop pcmanfm-qt stores nothing and says nothing; with it, a mode that hides the
// picture (a fresh user's is "none") is replaced, any other stays.
TEST_F(CommandWallpaperTest, LxqtNeedsItsDesktopAndAModeThatShowsThePicture) {
  testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  EXPECT_TRUE(PcmanfmQtWallpaper(bus.connection())
                  .install(QStringLiteral("/w.bmp"))
                  .reason()
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

TEST_F(CommandWallpaperTest, AFailingOrMissingCommandIsReported) {
  qputenv("STUB_FAIL", "no output matches");
  EXPECT_EQ(SwayWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("swaymsg failed (exit code 1): no output matches"));
  qputenv("PATH", QByteArray("/nonexistent"));
  EXPECT_EQ(LxdeWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("pcmanfm is not installed"));
  EXPECT_EQ(SwaybgWallpaper().install(QStringLiteral("/w.bmp")).reason(),
            QStringLiteral("swaybg is not installed"));
}

}  // namespace
}  // namespace tessora
