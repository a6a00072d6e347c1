#include "platform/portal_wallpaper.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

#include "platform/dbus_call.h"

namespace tessora {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kWallpaper = QStringLiteral("org.freedesktop.portal.Wallpaper");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// Waits for the Response signal of one portal request.
class ResponseWaiter : public QObject {
  Q_OBJECT

 public:
  explicit ResponseWaiter(QDBusConnection bus) : bus_(std::move(bus)) {}
  ~ResponseWaiter() override { unsubscribe(); }
  ResponseWaiter(const ResponseWaiter&) = delete;
  ResponseWaiter& operator=(const ResponseWaiter&) = delete;

  bool subscribe(const QString& handle) {
    if (handle == handle_) {
      return true;
    }
    unsubscribe();
    handle_ = handle;
    return bus_.connect(kPortal, handle_, kRequest, QStringLiteral("Response"), this,
                        SLOT(onResponse(uint, QVariantMap)));
  }
  bool answered() const { return answered_; }
  uint response() const { return response_; }
  // Runs the event loop until the answer or the timeout; `slow` runs once the answer has
  // kept us waiting for noticeMs.
  void wait(int timeoutMs, int noticeMs, const std::function<void()>& slow) {
    if (answered_) {
      return;
    }
    QTimer::singleShot(timeoutMs, &loop_, &QEventLoop::quit);
    QTimer notice;
    notice.setSingleShot(true);
    QObject::connect(&notice, &QTimer::timeout, &loop_, slow);
    notice.start(noticeMs);
    loop_.exec(QEventLoop::ExcludeUserInputEvents);
  }

 public Q_SLOTS:
  void onResponse(uint response, const QVariantMap&) {
    answered_ = true;
    response_ = response;
    loop_.quit();
  }

 private:
  void unsubscribe() {
    if (!handle_.isEmpty()) {
      bus_.disconnect(kPortal, handle_, kRequest, QStringLiteral("Response"), this,
                      SLOT(onResponse(uint, QVariantMap)));
    }
  }
  QDBusConnection bus_;
  QString handle_;
  QEventLoop loop_;
  bool answered_ = false;
  uint response_ = 0;
};

// The portal names the request object after our unique bus name and a token we choose, so we
// can listen before calling: an answer could otherwise arrive before we subscribed.
QString HandleFor(const QDBusConnection& bus, const QString& token) {
  QString sender = bus.baseService();
  sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
  return QStringLiteral("%1/request/%2/%3").arg(kPortalPath, sender, token);
}

QDBusMessage WallpaperCall(const char* method, const QVariant& target, const QString& token) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kPortal, kPortalPath, kWallpaper, QLatin1String(method));
  const QVariantMap options{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("show-preview"), false},
                            {QStringLiteral("set-on"), QStringLiteral("background")}};
  call.setArguments({QString(), target, options});
  return call;
}

// Newer portals take no file: URIs, so the file itself goes first.
QDBusMessage SendRequest(const QDBusConnection& bus, const QString& file, const QString& token) {
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    QDBusUnixFileDescriptor descriptor(fd);  // keeps its own duplicate
    ::close(fd);
    QDBusMessage reply =
        CallAndWait(bus, WallpaperCall("SetWallpaperFile", QVariant::fromValue(descriptor), token));
    if (reply.type() != QDBusMessage::ErrorMessage) {
      return reply;
    }
  }
  const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
  return CallAndWait(bus, WallpaperCall("SetWallpaperURI", uri, token));
}

Outcome ResponseOutcome(uint response) {
  switch (response) {
    case 0:
      return Outcome::Done();
    case 1:
      return FailedWith(QStringLiteral("the request was cancelled"));
    default:
      return FailedWith(QStringLiteral("the desktop refused the request"));
  }
}

}  // namespace

Outcome PortalWallpaper::probe() const {
  QDBusMessage call = QDBusMessage::createMethodCall(
      kPortal, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("Get"));
  call.setArguments({kWallpaper, QStringLiteral("version")});
  const QDBusMessage reply = CallAndWait(bus_, call);
  if (reply.type() != QDBusMessage::ErrorMessage) {
    return Outcome::Done();
  }
  if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
    return FailedWith(QStringLiteral("the portal did not answer"));
  }
  return FailedWith(QStringLiteral("no Wallpaper interface (%1)").arg(reply.errorMessage()));
}

Outcome PortalWallpaper::install(const QString& file) {
  if (!bus_.isConnected()) {
    return FailedWith(QStringLiteral("no session bus"));
  }
  if (Outcome probed = probe(); !probed.ok()) {
    return probed;
  }
  const QString token = QStringLiteral("tessora%1").arg(QRandomGenerator::global()->generate());
  ResponseWaiter waiter(bus_);
  waiter.subscribe(HandleFor(bus_, token));

  const QDBusMessage reply = SendRequest(bus_, file, token);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    // An error reply need not carry a message; its name still tells the user something.
    return FailedWith(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
  }
  // Old portals chose the handle themselves.
  QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
  if (handle.isEmpty()) {
    handle = HandleFor(bus_, token);
  }
  waiter.subscribe(handle);
  // There is no progress line in the report: the wait is told as it happens, and only when it
  // is long enough for the user to wonder.
  waiter.wait(answerTimeoutMs_, kNoticeAfterMs, [this] {
    const QString text = QStringLiteral("asking the desktop for permission…");
    if (notice_) {
      notice_(text);
    } else {
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
      std::fflush(stderr);
    }
  });
  if (!waiter.answered()) {
    // Some portal versions never answer when they cannot show their question.
    QDBusMessage close =
        QDBusMessage::createMethodCall(kPortal, handle, kRequest, QStringLiteral("Close"));
    CallAndWait(bus_, close, 1000);
    return FailedWith(QStringLiteral("no answer within %1 s").arg(answerTimeoutMs_ / 1000));
  }
  return ResponseOutcome(waiter.response());
}

}  // namespace tessora

#include "portal_wallpaper.moc"
