// The portal back end against the real xdg-desktop-portal, started on demand by a private bus,
// with a stand-in desktop back end (its Wallpaper and Access dialogs) living in this process.
#include <gtest/gtest.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include "child_process.h"
#include "platform/portal_wallpaper.h"

namespace tessora {
namespace {

using testing::PrivateBus;

enum class Choice { Grant, Deny, Never };

struct BackendLog {
  Choice choice = Choice::Grant;
  int questions = 0;
  QStringList uris;
  QList<QDBusMessage> unanswered;  // questions left without a reply, as a stuck dialog does
};

class FakeAccess : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Access")

 public:
  FakeAccess(QObject* parent, BackendLog* log) : QDBusAbstractAdaptor(parent), log_(log) {}

 public Q_SLOTS:
  uint AccessDialog(const QDBusObjectPath&, const QString&, const QString&, const QString&,
                    const QString&, const QString&, const QVariantMap&, const QDBusMessage& call,
                    QVariantMap& results) {
    ++log_->questions;
    results.clear();
    if (log_->choice == Choice::Never) {
      call.setDelayedReply(true);
      log_->unanswered << call;
      return 0;
    }
    return log_->choice == Choice::Grant ? 0 : 2;
  }

 private:
  BackendLog* log_;
};

class FakeWallpaper : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Wallpaper")

 public:
  FakeWallpaper(QObject* parent, BackendLog* log) : QDBusAbstractAdaptor(parent), log_(log) {}

 public Q_SLOTS:
  uint SetWallpaperURI(const QDBusObjectPath&, const QString&, const QString&, const QString& uri,
                       const QVariantMap&) {
    log_->uris << uri;
    return 0;
  }

 private:
  BackendLog* log_;
};

class RealPortalTest : public ::testing::Test {
 protected:
  static QProcessEnvironment Environment(const QTemporaryDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), dir.filePath(QStringLiteral("portals")));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("fake"));
    return env;
  }
  static bool WritePortalFile(const QTemporaryDir& dir) {
    QDir().mkpath(dir.filePath(QStringLiteral("portals")));
    QFile file(dir.filePath(QStringLiteral("portals/fake.portal")));
    return file.open(QIODevice::WriteOnly) &&
           file.write(
               "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.fake\n"
               "Interfaces=org.freedesktop.impl.portal.Wallpaper;"
               "org.freedesktop.impl.portal.Access;\nUseIn=fake\n") > 0;
  }

  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-desktop-portal"),
                                       {QStringLiteral("/usr/libexec")})
            .isEmpty()) {
      GTEST_SKIP() << "xdg-desktop-portal is not installed";
    }
    ASSERT_TRUE(portalFile_);
    ASSERT_TRUE(bus_.ok());
    service_ = bus_.connect(QStringLiteral("backend"));
    new FakeAccess(&backend_, &log_);
    new FakeWallpaper(&backend_, &log_);
    ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                        &backend_, QDBusConnection::ExportAdaptors));
    ASSERT_TRUE(
        service_.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.fake")));
    // xdg-desktop-portal starts slowly on a busy machine: it is waited for here, not within the
    // timeout of the first call the code under test makes.
    const QString why = bus_.activate(QStringLiteral("org.freedesktop.portal.Desktop"));
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    file_ = dir_.filePath(QStringLiteral("Tessora Wallpaper-1.bmp"));
    QFile file(file_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM");
  }

  QTemporaryDir dir_;
  bool portalFile_ = WritePortalFile(dir_);
  PrivateBus bus_{Environment(dir_)};
  QDBusConnection service_{QString()};
  QObject backend_;
  BackendLog log_;
  QString file_;
};

TEST_F(RealPortalTest, AGrantedRequestReachesTheDesktopBackend) {
  log_.choice = Choice::Grant;
  EXPECT_TRUE(PortalWallpaper(bus_.connection(), 10000).install(file_).ok());
  EXPECT_EQ(log_.questions, 1);
  ASSERT_EQ(log_.uris.size(), 1);
  EXPECT_TRUE(log_.uris.first().endsWith(QLatin1String("Tessora%20Wallpaper-1.bmp")))
      << log_.uris.first().toStdString();
  // The answer is remembered: no second question.
  EXPECT_TRUE(PortalWallpaper(bus_.connection(), 10000).install(file_).ok());
  EXPECT_EQ(log_.questions, 1);
  EXPECT_EQ(log_.uris.size(), 2);
}

TEST_F(RealPortalTest, ADeniedRequestIsReportedAndRemembered) {
  log_.choice = Choice::Deny;
  EXPECT_EQ(PortalWallpaper(bus_.connection(), 10000).install(file_).reason(),
            "the desktop refused the request");
  EXPECT_EQ(PortalWallpaper(bus_.connection(), 10000).install(file_).reason(),
            "the desktop refused the request");
  EXPECT_EQ(log_.questions, 1);
  EXPECT_TRUE(log_.uris.isEmpty());
}

TEST_F(RealPortalTest, AQuestionNeverAnsweredEndsAtTheTimeout) {
  log_.choice = Choice::Never;
  const QString result =
      QString::fromStdString(PortalWallpaper(bus_.connection(), 1500).install(file_).reason());
  EXPECT_TRUE(result.startsWith(QLatin1String("no answer within"))) << result.toStdString();
  EXPECT_TRUE(log_.uris.isEmpty());
}

}  // namespace
}  // namespace tessora

#include "real_portal_test.moc"
