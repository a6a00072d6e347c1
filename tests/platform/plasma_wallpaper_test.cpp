// The Plasma back end against a stand-in plasmashell on a private bus that records the script.
#include "platform/plasma_wallpaper.h"

#include <gtest/gtest.h>

#include <QDBusContext>
#include <QJSEngine>

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

// Several monitors: one script gives each screen's desktop its own picture.
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
  EXPECT_TRUE(script.contains(
      QLatin1String("var monitors = [{uri: \"file:///w/b.bmp\", x: 1080, y: 0, width: 1920, "
                    "height: 1080}, {uri: \"file:///w/a.bmp\", x: 0, y: 0, width: 1080, "
                    "height: 1920}];")))
      << script.toStdString();
  EXPECT_TRUE(script.contains(QLatin1String("screenGeometry(screen)")));
  EXPECT_TRUE(script.contains(QLatin1String("d.writeConfig(\"Image\", uri);")));
}

// A screen as Plasma's desktop script sees it: its number and its rectangle in logical pixels.
struct PlasmaScreen {
  int number;
  QRect geometry;
};

// Runs the script in Qt's JavaScript engine, as plasmashell does, with desktops() and
// screenGeometry() standing in for Plasma's; yields each desktop's picture in the order of
// `desktops`, or the error the script met.
QStringList RunScript(const QString& script, const QList<PlasmaScreen>& desktops,
                      bool withGeometry = true) {
  QJSEngine engine;
  QString screens;
  QString geometries;
  for (const PlasmaScreen& s : desktops) {
    screens += QStringLiteral("%1, ").arg(s.number);
    geometries += QStringLiteral("\"%1\": {x: %2, y: %3, width: %4, height: %5}, ")
                      .arg(s.number)
                      .arg(s.geometry.x())
                      .arg(s.geometry.y())
                      .arg(s.geometry.width())
                      .arg(s.geometry.height());
  }
  const QString standIn =
      QStringLiteral(
          "var shown = [];\n"
          "var screens = [%1];\n"
          "var geometries = {%2};\n"
          "function desktops() {\n"
          "  return screens.map(function (screen, i) {\n"
          "    return {screen: screen, writeConfig: function (key, value) {\n"
          "      if (this.wallpaperPlugin === \"org.kde.image\" && key === \"Image\" &&\n"
          "          this.currentConfigGroup.join(\"/\") === \"Wallpaper/org.kde.image/General\") "
          "{\n"
          "        shown[i] = value;\n"
          "      }\n"
          "    }};\n"
          "  });\n"
          "}\n")
          .arg(screens, geometries) +
      (withGeometry
           ? QStringLiteral("function screenGeometry(screen) {\n"
                            "  return geometries[screen] || {x: 0, y: 0, width: 0, height: 0};\n"
                            "}\n")
           : QString());
  const QJSValue result = engine.evaluate(standIn + script + QStringLiteral("\nshown;"));
  if (result.isError()) {
    return {result.toString()};
  }
  QStringList shown;
  for (int i = 0; i < desktops.size(); ++i) {
    shown << result.property(i).toString();
  }
  return shown;
}

// Three monitors in a row: the primary 800x600, a 480x640 one beside it and a 600x800 one at
// the right, as Tessora lists them.
const QList<MonitorFile> kThree = {
    MonitorFile{QStringLiteral("DP-1"), QRect(0, 0, 800, 600), QStringLiteral("/w/p.bmp"), true},
    MonitorFile{QStringLiteral("DP-2"), QRect(800, 0, 480, 640), QStringLiteral("/w/s.bmp")},
    MonitorFile{QStringLiteral("DP-3"), QRect(1280, 0, 600, 800), QStringLiteral("/w/t.bmp")}};

TEST(PlasmaScreensScript, ScreensNumberedInOurOrderGetTheirPictures) {
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(kThree), {{0, QRect(0, 0, 800, 600)},
                                                               {1, QRect(800, 0, 480, 640)},
                                                               {2, QRect(1280, 0, 600, 800)}}),
            (QStringList{"file:///w/p.bmp", "file:///w/s.bmp", "file:///w/t.bmp"}));
}

// Plasma numbers screens in the order it first saw them: the monitors were plugged in the other
// way round, and each desktop still gets the picture of the monitor at its place.
TEST(PlasmaScreensScript, ScreensPluggedInAnotherOrderGetTheirOwnPictures) {
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(kThree), {{0, QRect(1280, 0, 600, 800)},
                                                               {1, QRect(0, 0, 800, 600)},
                                                               {2, QRect(800, 0, 480, 640)}}),
            (QStringList{"file:///w/t.bmp", "file:///w/p.bmp", "file:///w/s.bmp"}));
}

// Scaled by 2: Plasma's rectangles are half our device pixels at the same top-left (X11 with
// Qt's scale factors, Wayland), or half everything where the whole layout is scaled.
TEST(PlasmaScreensScript, AScaleFactorStillMatchesEachScreen) {
  const QList<MonitorFile> scaled = {
      MonitorFile{QStringLiteral("DP-1"), QRect(0, 0, 1600, 1200), QStringLiteral("/w/p.bmp"),
                  true},
      MonitorFile{QStringLiteral("DP-2"), QRect(1600, 0, 960, 1280), QStringLiteral("/w/s.bmp")}};
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(scaled),
                      {{0, QRect(1600, 0, 480, 640)}, {1, QRect(0, 0, 800, 600)}}),
            (QStringList{"file:///w/s.bmp", "file:///w/p.bmp"}));
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(scaled),
                      {{0, QRect(800, 0, 480, 640)}, {1, QRect(0, 0, 800, 600)}}),
            (QStringList{"file:///w/s.bmp", "file:///w/p.bmp"}));
}

// Where nothing matches, or this Plasma cannot tell a screen's rectangle, the primary's picture
// goes to screen 0 and the others follow in our order; a desktop without a screen, or of a
// screen beyond ours, gets the primary's.
TEST(PlasmaScreensScript, UnmatchedScreensKeepTheOrder) {
  const QList<PlasmaScreen> turned = {{0, QRect(0, 0, 600, 800)},
                                      {1, QRect(600, 0, 640, 480)},
                                      {2, QRect(1240, 0, 800, 600)},
                                      {3, QRect(2040, 0, 100, 100)},
                                      {-1, QRect()}};
  const QStringList inOrder = {"file:///w/p.bmp", "file:///w/s.bmp", "file:///w/t.bmp",
                               "file:///w/p.bmp", "file:///w/p.bmp"};
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(kThree), turned), inOrder);
  EXPECT_EQ(RunScript(PlasmaWallpaper::ScreensScript(kThree),
                      {{0, QRect(1280, 0, 600, 800)},
                       {1, QRect(0, 0, 800, 600)},
                       {2, QRect(800, 0, 480, 640)},
                       {3, QRect()},
                       {-1, QRect()}},
                      false),
            inOrder);
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
  const QString screens = PlasmaWallpaper::ScreensScript(
      {MonitorFile{QString(), QRect(7, 0, 3, 4), QStringLiteral("/a\"b\\c';d%1.bmp"), true}});
  EXPECT_TRUE(screens.contains(
      QLatin1String("{uri: \"file:///a%22b%5Cc';d%251.bmp\", x: 7, y: 0, width: 3, height: 4}")))
      << screens.toStdString();
  EXPECT_EQ(RunScript(screens, {{0, QRect(7, 0, 3, 4)}}),
            QStringList{"file:///a%22b%5Cc';d%251.bmp"});
}

}  // namespace
}  // namespace tessora

#include "plasma_wallpaper_test.moc"
