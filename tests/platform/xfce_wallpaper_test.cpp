// The XFCE back end against a real xfconfd, started on demand by a private session bus whose
// configuration folder is a temporary one.
#include "platform/xfce_wallpaper.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QTemporaryDir>
#include <QVariantMap>

#include "child_process.h"
#include "platform/dbus_call.h"

namespace tessora {
namespace {

using testing::PrivateBus;

class XfceWallpaperTest : public ::testing::Test {
 protected:
  // xfconfd is started on demand, and starts slowly on a busy machine: it is waited for here,
  // not within the timeout of the first call the code under test makes.
  void SetUp() override {
    ASSERT_TRUE(bus_.ok());
    const QString why = bus_.activate(QStringLiteral("org.xfce.Xfconf"));
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
  }

  static QProcessEnvironment Environment(const QTemporaryDir& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    return env;
  }

  QDBusMessage Xfconf(const char* method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
        QStringLiteral("org.xfce.Xfconf"), QLatin1String(method));
    call.setArguments(args);
    return CallAndWait(bus_.connection(), call);
  }
  void Set(const QString& property, const QVariant& value) {
    ASSERT_EQ(Xfconf("SetProperty", {QStringLiteral("xfce4-desktop"), property,
                                     QVariant::fromValue(QDBusVariant(value))})
                  .type(),
              QDBusMessage::ReplyMessage);
  }
  QVariant Get(const QString& property) {
    const QDBusMessage reply = Xfconf("GetProperty", {QStringLiteral("xfce4-desktop"), property});
    return reply.type() == QDBusMessage::ReplyMessage
               ? reply.arguments().value(0).value<QDBusVariant>().variant()
               : QVariant();
  }

  QTemporaryDir config_;
  PrivateBus bus_{Environment(config_)};
};

TEST_F(XfceWallpaperTest, EveryMonitorAndWorkspaceGetsThePicture) {
  const QString a = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace0");
  const QString b = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace1");
  const QString c = QStringLiteral("/backdrop/screen0/monitoreDP-1/workspace0");
  Set(a + "/last-image", QStringLiteral("/old/a.png"));
  Set(b + "/last-image", QStringLiteral("/old/b.png"));
  Set(c + "/last-image", QStringLiteral("/old/c.png"));
  Set(a + "/image-style", 2);  // tiled: the user's choice stays
  Set(b + "/image-style", 0);  // none would hide the picture

  XfceWallpaper xfce(bus_.connection(), {QStringLiteral("ignored")});
  const QString file = QStringLiteral("/home/u/Tessora Wallpaper-2.bmp");
  ASSERT_TRUE(xfce.install(file).ok());
  for (const QString& workspace : {a, b, c}) {
    EXPECT_EQ(Get(workspace + "/last-image").toString(), file) << workspace.toStdString();
  }
  EXPECT_EQ(Get(a + "/image-style").toInt(), 2);
  EXPECT_EQ(Get(b + "/image-style").toInt(), 5);
  EXPECT_EQ(Get(c + "/image-style").toInt(), 5);
  EXPECT_FALSE(
      Get(QStringLiteral("/backdrop/screen0/monitorignored/workspace0/last-image")).isValid());
}

TEST_F(XfceWallpaperTest, AFreshSetupGetsAnEntryPerMonitor) {
  // Fresh: xfconfd knows no backdrop entry (an empty channel is an error to it). Had it some from
  // elsewhere, they would get the picture instead of the monitors': this names them.
  const QDBusMessage before =
      Xfconf("GetAllProperties", {QStringLiteral("xfce4-desktop"), QStringLiteral("/backdrop")});
  const QVariantMap entries = before.type() == QDBusMessage::ReplyMessage
                                  ? qdbus_cast<QVariantMap>(before.arguments().value(0))
                                  : QVariantMap();
  ASSERT_TRUE(entries.isEmpty()) << "entries before the set: "
                                 << entries.keys().join(QLatin1Char(' ')).toStdString();
  XfceWallpaper xfce(bus_.connection(), {QStringLiteral("Virtual 1"), QStringLiteral("DP-2")});
  const QString file = QStringLiteral("/home/u/Tessora Wallpaper-1.bmp");
  ASSERT_TRUE(xfce.install(file).ok());
  EXPECT_EQ(
      Get(QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace0/last-image")).toString(),
      file);
  EXPECT_EQ(Get(QStringLiteral("/backdrop/screen0/monitorDP-2/workspace0/last-image")).toString(),
            file);
  EXPECT_EQ(Get(QStringLiteral("/backdrop/screen0/monitorDP-2/workspace0/image-style")).toInt(), 5);
}

// Several monitors: each monitor's entries, on every workspace, get that monitor's picture, found
// by connector name or, in old setups, by index; a monitor not connected now gets the primary's.
TEST_F(XfceWallpaperTest, EveryMonitorGetsItsOwnPicture) {
  const struct {
    const char* entry;
    const char* expected;
  } entries[] = {
      {"/backdrop/screen0/monitorHDMI-1/workspace0", "/w/hdmi.bmp"},
      {"/backdrop/screen0/monitorHDMI-1/workspace3", "/w/hdmi.bmp"},
      {"/backdrop/screen0/monitorVirtual1/workspace0", "/w/virtual.bmp"},
      {"/backdrop/screen0/monitor1/workspace0", "/w/virtual.bmp"},
      {"/backdrop/screen0/monitorDP-9/workspace0", "/w/virtual.bmp"},
  };
  for (const auto& e : entries) {
    Set(QLatin1String(e.entry) + "/last-image", QStringLiteral("/old.png"));
  }
  XfceWallpaper xfce(bus_.connection(), {});
  const QList<MonitorFile> files = {
      MonitorFile{QStringLiteral("HDMI-1"), QRect(0, 0, 1920, 1080), QStringLiteral("/w/hdmi.bmp")},
      MonitorFile{QStringLiteral("Virtual 1"), QRect(1920, 0, 1080, 1920),
                  QStringLiteral("/w/virtual.bmp"), true}};
  ASSERT_EQ(xfce.spread(), MonitorSpread::PerMonitor);
  ASSERT_TRUE(xfce.installMonitors(files).ok());
  for (const auto& e : entries) {
    EXPECT_EQ(Get(QLatin1String(e.entry) + "/last-image").toString(), QLatin1String(e.expected))
        << e.entry;
  }
}

// xfdesktop writes the entries of a monitor some time after it shows it: a monitor without any
// yet gets its own, on each workspace the others have, and then its own picture.
TEST_F(XfceWallpaperTest, AMonitorWithoutEntriesGetsItsOwn) {
  for (const char* workspace : {"workspace0", "workspace2"}) {
    Set(QStringLiteral("/backdrop/screen0/monitorDUMMY0/%1/last-image").arg(workspace),
        QStringLiteral("/old.png"));
  }
  XfceWallpaper xfce(bus_.connection(), {});
  ASSERT_TRUE(xfce.installMonitors({MonitorFile{QStringLiteral("DUMMY0"), QRect(0, 0, 800, 600),
                                                QStringLiteral("/w/0.bmp"), true},
                                    MonitorFile{QStringLiteral("DUMMY1"), QRect(800, 0, 480, 640),
                                                QStringLiteral("/w/1.bmp")}})
                  .ok());
  for (const char* workspace : {"workspace0", "workspace2"}) {
    const QString monitor0 = QStringLiteral("/backdrop/screen0/monitorDUMMY0/") + workspace;
    const QString monitor1 = QStringLiteral("/backdrop/screen0/monitorDUMMY1/") + workspace;
    EXPECT_EQ(Get(monitor0 + "/last-image").toString(), QStringLiteral("/w/0.bmp")) << workspace;
    EXPECT_EQ(Get(monitor1 + "/last-image").toString(), QStringLiteral("/w/1.bmp")) << workspace;
    EXPECT_EQ(Get(monitor1 + "/image-style").toInt(), 5) << workspace;
  }
  EXPECT_FALSE(
      Get(QStringLiteral("/backdrop/screen0/monitorDUMMY1/workspace1/last-image")).isValid());
}

TEST(XfceWallpaperNoBus, ReportsWhyNot) {
  const QDBusConnection none(QStringLiteral("no such connection"));
  EXPECT_FALSE(XfceWallpaper(none, {QStringLiteral("x")}).install(QStringLiteral("/f")).ok());
}

}  // namespace
}  // namespace tessora
