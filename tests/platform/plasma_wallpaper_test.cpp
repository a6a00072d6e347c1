// The Plasma back end against a stand-in plasmashell on a private bus that records the script.
#include "platform/plasma_wallpaper.h"

#include <gtest/gtest.h>

#include <QDBusContext>

#include "child_process.h"

namespace tessora {
namespace {

class FakePlasmaShell : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

 public:
  explicit FakePlasmaShell(bool locked) : locked_(locked) {}
  QStringList scripts;

 public Q_SLOTS:
  QString evaluateScript(const QString& script) {
    scripts << script;
    if (locked_) {
      sendErrorReply(QDBusError::Failed, QStringLiteral("Widgets are locked"));
    }
    return QString();
  }

 private:
  bool locked_;
};

class PlasmaWallpaperTest : public ::testing::Test {
 protected:
  void Serve(bool locked) {
    service_ = bus_.connect(QStringLiteral("plasma"));
    shell_ = std::make_unique<FakePlasmaShell>(locked);
    ASSERT_TRUE(service_.registerObject(QStringLiteral("/PlasmaShell"), shell_.get(),
                                        QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service_.registerService(QStringLiteral("org.kde.plasmashell")));
  }
  testing::PrivateBus bus_;
  QDBusConnection service_{QString()};
  std::unique_ptr<FakePlasmaShell> shell_;
};

TEST_F(PlasmaWallpaperTest, EveryDesktopGetsTheImagePluginAndTheUri) {
  ASSERT_TRUE(bus_.ok());
  Serve(false);
  ASSERT_TRUE(PlasmaWallpaper(bus_.connection()).install(QStringLiteral("/home/u/T W-1.bmp")).ok());
  ASSERT_EQ(shell_->scripts.size(), 1);
  const QString script = shell_->scripts.first();
  EXPECT_TRUE(script.contains(QLatin1String("var uri = \"file:///home/u/T%20W-1.bmp\";")));
  EXPECT_TRUE(script.contains(QLatin1String("desktops()")));
  EXPECT_TRUE(script.contains(QLatin1String("d.wallpaperPlugin = \"org.kde.image\";")));
  EXPECT_TRUE(script.contains(
      QLatin1String("d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];")));
  EXPECT_TRUE(script.contains(QLatin1String("d.writeConfig(\"Image\", uri);")));
  EXPECT_FALSE(script.contains(QLatin1String("FillMode")));
}

// Several monitors: each screen's desktop gets its own picture, Plasma's screen 0 the primary's.
TEST_F(PlasmaWallpaperTest, EveryScreenGetsItsOwnPicture) {
  ASSERT_TRUE(bus_.ok());
  Serve(false);
  PlasmaWallpaper plasma(bus_.connection());
  ASSERT_EQ(plasma.spread(), MonitorSpread::PerMonitor);
  ASSERT_TRUE(plasma
                  .installMonitors({MonitorFile{QStringLiteral("DP-1"), QRect(0, 0, 1080, 1920),
                                                QStringLiteral("/w/a.bmp")},
                                    MonitorFile{QStringLiteral("DP-2"), QRect(1080, 0, 1920, 1080),
                                                QStringLiteral("/w/b.bmp"), true}})
                  .ok());
  ASSERT_EQ(shell_->scripts.size(), 1);
  const QString script = shell_->scripts.first();
  EXPECT_TRUE(
      script.contains(QLatin1String("var uris = [\"file:///w/b.bmp\", \"file:///w/a.bmp\"];")))
      << script.toStdString();
  EXPECT_TRUE(script.contains(QLatin1String("uris[d.screen]")));
  EXPECT_TRUE(script.contains(QLatin1String("d.writeConfig(\"Image\", uri);")));
}

TEST_F(PlasmaWallpaperTest, ARefusingShellIsReportedWithItsReason) {
  ASSERT_TRUE(bus_.ok());
  Serve(true);
  EXPECT_EQ(PlasmaWallpaper(bus_.connection()).install(QStringLiteral("/w.bmp")).reason(),
            "plasmashell: Widgets are locked");
}

TEST(PlasmaWallpaperScript, QuotesInThePathStayInsideTheString) {
  const QString script = PlasmaWallpaper::Script(QStringLiteral("/a\"b\\c';d.bmp"));
  EXPECT_TRUE(script.contains(QLatin1String("var uri = \"file:///a%22b%5Cc';d.bmp\";")))
      << script.toStdString();
}

}  // namespace
}  // namespace tessora

#include "plasma_wallpaper_test.moc"
