// The portal back end against a stand-in for the portal service on a private bus: it answers
// the way xdg-desktop-portal does (a request object, then its Response signal) and records
// what it was handed.
#include "platform/portal_wallpaper.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "child_process.h"

namespace tessora {
namespace {

using testing::PrivateBus;

enum class Answer { Grant, Deny, Never };

class FakeRequest : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

 public:
  explicit FakeRequest(bool* closed) : closed_(closed) {}
 public Q_SLOTS:
  void Close() { *closed_ = true; }

 private:
  bool* closed_;
};

class FakePortal : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Wallpaper")
  Q_PROPERTY(uint version READ version)

 public:
  FakePortal(QDBusConnection bus, Answer answer) : bus_(std::move(bus)), answer_(answer) {}
  uint version() const { return 1; }

  bool takesFiles = true;  // false: an old portal, with the URI method only
  QByteArray received;     // the file's bytes, read through the descriptor
  QString uri;
  QString refusal;  // set: the URI method fails with this error name and no message
  QVariantMap options;
  bool closed = false;

 public Q_SLOTS:
  QDBusObjectPath SetWallpaperFile(const QString&, const QDBusUnixFileDescriptor& fd,
                                   const QVariantMap& opts) {
    if (!takesFiles) {
      sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"));
      return QDBusObjectPath();
    }
    QFile file;
    if (file.open(fd.fileDescriptor(), QIODevice::ReadOnly)) {
      received = file.readAll();
    }
    return respond(opts);
  }
  QDBusObjectPath SetWallpaperURI(const QString&, const QString& u, const QVariantMap& opts) {
    if (!refusal.isEmpty()) {
      sendErrorReply(refusal, QString());
      return QDBusObjectPath();
    }
    uri = u;
    return respond(opts);
  }

 private:
  QDBusObjectPath respond(const QVariantMap& opts) {
    options = opts;
    QString sender = message().service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                               .arg(sender, opts.value(QStringLiteral("handle_token")).toString());
    request_ = std::make_unique<FakeRequest>(&closed);
    bus_.registerObject(handle, request_.get(), QDBusConnection::ExportAllSlots);
    if (answer_ != Answer::Never) {
      const uint code = answer_ == Answer::Grant ? 0 : 2;
      QTimer::singleShot(10, this, [this, handle, code] {
        QDBusMessage signal = QDBusMessage::createSignal(
            handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << code << QVariantMap();
        bus_.send(signal);
      });
    }
    return QDBusObjectPath(handle);
  }

  QDBusConnection bus_;
  Answer answer_;
  std::unique_ptr<FakeRequest> request_;
};

class PortalWallpaperTest : public ::testing::Test {
 protected:
  void Serve(Answer answer) {
    service_ = bus_.connect(QStringLiteral("portal"));
    portal_ = std::make_unique<FakePortal>(service_, answer);
    ASSERT_TRUE(service_.registerObject(
        QStringLiteral("/org/freedesktop/portal/desktop"), portal_.get(),
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(service_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
  }
  QString File() {
    const QString path = dir_.filePath(QStringLiteral("Tessora Wallpaper-1.bmp"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BMpicture");
    return path;
  }

  PrivateBus bus_;
  QDBusConnection service_{QString()};
  std::unique_ptr<FakePortal> portal_;
  QTemporaryDir dir_;
};

TEST_F(PortalWallpaperTest, HandsTheFileItselfAndSucceedsWhenGranted) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Grant);
  PortalWallpaper portal(bus_.connection(), 5000);
  EXPECT_TRUE(portal.install(File()).ok());
  EXPECT_EQ(portal_->received, QByteArray("BMpicture"));
  EXPECT_EQ(portal_->options.value(QStringLiteral("set-on")).toString(),
            QStringLiteral("background"));
  EXPECT_FALSE(portal_->options.value(QStringLiteral("show-preview")).toBool());
}

TEST_F(PortalWallpaperTest, AnOldPortalGetsTheFileUri) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Grant);
  portal_->takesFiles = false;
  EXPECT_TRUE(PortalWallpaper(bus_.connection(), 5000).install(File()).ok());
  EXPECT_TRUE(portal_->received.isEmpty());
  EXPECT_EQ(portal_->uri, QUrl::fromLocalFile(File()).toString(QUrl::FullyEncoded));
}

TEST_F(PortalWallpaperTest, ARefusalIsReported) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Deny);
  EXPECT_EQ(PortalWallpaper(bus_.connection(), 5000).install(File()).reason(),
            "the desktop refused the request");
}

// Once taken for success, which left the user told the wallpaper was set.
TEST_F(PortalWallpaperTest, AnErrorWithoutAMessageFailsUnderTheErrorsName) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Grant);
  portal_->takesFiles = false;
  portal_->refusal = QStringLiteral("org.freedesktop.portal.Error.NotAllowed");
  EXPECT_EQ(PortalWallpaper(bus_.connection(), 5000).install(File()).reason(),
            portal_->refusal.toStdString());
}

// A portal whose back end cannot ask its question never answers: the wait ends, the request is
// closed, and while it lasted the user was told, once, outside the report.
TEST_F(PortalWallpaperTest, NoAnswerIsAnnouncedThenEndsAtTheTimeoutAndClosesTheRequest) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Never);
  QStringList notices;
  PortalWallpaper portal(bus_.connection(), PortalWallpaper::kNoticeAfterMs + 300,
                         [&notices](const QString& text) { notices << text; });
  QElapsedTimer clock;
  clock.start();
  const QString result = QString::fromStdString(portal.install(File()).reason());
  EXPECT_TRUE(result.startsWith(QLatin1String("no answer within"))) << result.toStdString();
  EXPECT_FALSE(result.contains(QLatin1String("permission")));
  EXPECT_LT(clock.elapsed(), 4000);
  EXPECT_EQ(notices, QStringList{QStringLiteral("asking the desktop for permission…")});
  EXPECT_TRUE(testing::WaitUntil([this] { return portal_->closed; }));
}

// Unanswered requests once held the next method back for two minutes.
TEST(PortalWallpaperTimeout, EndsWellBeforeTwoMinutes) {
  EXPECT_LE(PortalWallpaper::kAnswerTimeoutMs, 30000);
  EXPECT_GT(PortalWallpaper::kAnswerTimeoutMs, 10 * PortalWallpaper::kNoticeAfterMs);
}

TEST_F(PortalWallpaperTest, AQuickAnswerIsNotAnnounced) {
  ASSERT_TRUE(bus_.ok());
  Serve(Answer::Grant);
  QStringList notices;
  PortalWallpaper portal(bus_.connection(), 5000,
                         [&notices](const QString& text) { notices << text; });
  EXPECT_TRUE(portal.install(File()).ok());
  EXPECT_TRUE(notices.isEmpty());
}

TEST_F(PortalWallpaperTest, APortalWithoutTheWallpaperInterfaceIsReported) {
  ASSERT_TRUE(bus_.ok());
  service_ = bus_.connect(QStringLiteral("portal"));
  QObject empty;
  ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &empty));
  ASSERT_TRUE(service_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
  EXPECT_TRUE(
      QString::fromStdString(PortalWallpaper(bus_.connection(), 300).install(File()).reason())
          .startsWith(QLatin1String("no Wallpaper interface")));
}

TEST(PortalWallpaperNoBus, ReportsTheMissingBus) {
  EXPECT_EQ(PortalWallpaper(QDBusConnection(QStringLiteral("none")))
                .install(QStringLiteral("/f"))
                .reason(),
            "no session bus");
}

}  // namespace
}  // namespace tessora

#include "portal_wallpaper_test.moc"
