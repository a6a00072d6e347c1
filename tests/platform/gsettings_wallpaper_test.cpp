// GSettings here is GLib's keyfile back end under the run's temporary XDG_CONFIG_HOME (set by
// main.cpp), with the schemas Debian installs for GNOME, Cinnamon and MATE.
#include "platform/gsettings_wallpaper.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/gio_headers.h"

namespace tessora {
namespace {

void SetString(const char* schema, const char* key, const char* value) {
  GSettings* settings = g_settings_new(schema);
  g_settings_set_string(settings, key, value);
  g_settings_sync();
  g_object_unref(settings);
}

QString Read(const GSettingsDesktop& desktop, const QByteArray& key) {
  return ReadGSettingsString(desktop.schema, key).value_or(QStringLiteral("<missing>"));
}

// What the keyfile back end wrote to disk: what another process would read.
QString KeyFile() {
  QFile file(qEnvironmentVariable("XDG_CONFIG_HOME") + "/glib-2.0/settings/keyfile");
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QString kFile = QStringLiteral("/home/u/.local/share/tessora/Tessora Wallpaper-7.bmp");
const QString kUri =
    QStringLiteral("file:///home/u/.local/share/tessora/Tessora%20Wallpaper-7.bmp");

TEST(GSettingsWallpaper, GnomeGetsTheUriInTheLightAndDarkKeys) {
  SetString("org.gnome.desktop.background", "picture-options", "centered");
  GSettingsWallpaper gnome(GnomeBackground());
  ASSERT_TRUE(gnome.install(kFile).ok());
  EXPECT_EQ(Read(GnomeBackground(), "picture-uri"), kUri);
  EXPECT_EQ(Read(GnomeBackground(), "picture-uri-dark"), kUri);
  EXPECT_EQ(Read(GnomeBackground(), "picture-options"), QStringLiteral("centered"));
  EXPECT_TRUE(KeyFile().contains(QStringLiteral("picture-uri-dark='%1'").arg(kUri)));
}

TEST(GSettingsWallpaper, AStyleThatHidesThePictureBecomesZoom) {
  SetString("org.gnome.desktop.background", "picture-options", "none");
  ASSERT_TRUE(GSettingsWallpaper(GnomeBackground()).install(kFile).ok());
  EXPECT_EQ(Read(GnomeBackground(), "picture-options"), QStringLiteral("zoom"));
}

TEST(GSettingsWallpaper, CinnamonGetsTheUri) {
  SetString("org.cinnamon.desktop.background", "picture-options", "scaled");
  ASSERT_TRUE(GSettingsWallpaper(CinnamonBackground()).install(kFile).ok());
  EXPECT_EQ(Read(CinnamonBackground(), "picture-uri"), kUri);
  EXPECT_EQ(Read(CinnamonBackground(), "picture-options"), QStringLiteral("scaled"));
  EXPECT_TRUE(KeyFile().contains(QLatin1String("[org/cinnamon/desktop/background]")));
}

TEST(GSettingsWallpaper, MateGetsAPlainPath) {
  SetString("org.mate.background", "picture-options", "stretched");
  ASSERT_TRUE(GSettingsWallpaper(MateBackground()).install(kFile).ok());
  EXPECT_EQ(Read(MateBackground(), "picture-filename"), kFile);
  EXPECT_EQ(Read(MateBackground(), "picture-options"), QStringLiteral("stretched"));
}

// Several monitors: these desktops take one picture for all screens, spread over them.
TEST(GSettingsWallpaper, SeveralMonitorsGetTheWholeDesktopSpanned) {
  for (const GSettingsDesktop& desktop :
       {GnomeBackground(), CinnamonBackground(), MateBackground()}) {
    SetString(desktop.schema.constData(), "picture-options", "zoom");
    GSettingsWallpaper method(desktop);
    ASSERT_EQ(method.spread(), MonitorSpread::Spanned);
    ASSERT_TRUE(
        method.installMonitors({MonitorFile{QString(), QRect(0, 0, 3000, 1920), kFile, true}}).ok())
        << desktop.name.toStdString();
    EXPECT_EQ(Read(desktop, desktop.pictureKey), desktop.plainPath ? kFile : kUri);
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("spanned"));
  }
}

// The user's style before a picture over several monitors made it "spanned" comes back with the
// next picture for one monitor, on every GSettings desktop.
TEST(GSettingsWallpaper, OneMonitorAgainGetsTheUsersStyleBack) {
  for (const GSettingsDesktop& desktop :
       {GnomeBackground(), CinnamonBackground(), MateBackground()}) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("Tessora Wallpaper-3.bmp"));
    const QString kept = folder.filePath(QString::fromLatin1(desktop.schema) + ".picture-options");
    SetString(desktop.schema.constData(), "picture-options", "centered");
    GSettingsWallpaper method(desktop);
    const QList<MonitorFile> two = {MonitorFile{QString(), QRect(0, 0, 1280, 640), file, true}};
    ASSERT_TRUE(method.installMonitors(two).ok()) << desktop.name.toStdString();
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("spanned"));
    ASSERT_TRUE(method.installMonitors(two).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("spanned"));
    ASSERT_TRUE(method.install(file).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("centered"))
        << desktop.name.toStdString();
    EXPECT_FALSE(QFile::exists(kept));
    ASSERT_TRUE(method.install(file).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("centered"));

    // A style the user picks while the picture is spanned is theirs and stays.
    ASSERT_TRUE(method.installMonitors(two).ok());
    SetString(desktop.schema.constData(), "picture-options", "scaled");
    ASSERT_TRUE(method.install(file).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("scaled"));

    // "spanned" chosen by the user with one monitor is theirs too.
    SetString(desktop.schema.constData(), "picture-options", "spanned");
    ASSERT_TRUE(method.installMonitors(two).ok());
    ASSERT_TRUE(method.install(file).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("spanned"));

    // What is kept in the file's place and is no style of the key's is left as it is.
    SetString(desktop.schema.constData(), "picture-options", "zoom");
    ASSERT_TRUE(method.installMonitors(two).ok());
    QFile junk(kept);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("sideways\n");
    junk.close();
    ASSERT_TRUE(method.install(file).ok());
    EXPECT_EQ(Read(desktop, "picture-options"), QStringLiteral("spanned"));
    EXPECT_FALSE(QFile::exists(kept));
  }
}

// What GLib falls back to without its dconf module: keys read back, nothing is stored.
TEST(GSettingsWallpaper, TheMemoryBackEndIsRefused) {
  GSettingsBackend* memory = g_memory_settings_backend_new();
  const Outcome outcome = GSettingsWallpaper(GnomeBackground(), memory).install(kFile);
  g_object_unref(memory);
  EXPECT_FALSE(outcome.ok());
  EXPECT_TRUE(QString::fromStdString(outcome.reason()).contains(QLatin1String("only in memory")))
      << outcome.reason();
}

TEST(GSettingsWallpaper, AMissingSchemaIsReportedNotFatal) {
  GSettingsDesktop missing = GnomeBackground();
  missing.name = QStringLiteral("Nowhere");
  missing.schema = "org.example.nowhere.background";
  EXPECT_EQ(GSettingsWallpaper(missing).install(kFile).reason(),
            "settings schema org.example.nowhere.background is not installed");
  GSettingsDesktop noKey = GnomeBackground();
  noKey.pictureKey = "picture-nowhere";
  EXPECT_EQ(GSettingsWallpaper(noKey).install(kFile).reason(),
            "settings schema org.gnome.desktop.background has no key "
            "picture-nowhere");
  EXPECT_FALSE(ReadGSettingsString("org.example.nowhere.background", "x").has_value());
}

}  // namespace
}  // namespace tessora
