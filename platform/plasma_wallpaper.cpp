#include "platform/plasma_wallpaper.h"

#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include "platform/dbus_call.h"

namespace tessora {

namespace {

// A JSON string is a valid JavaScript string literal, whatever the path holds.
QString UriLiteral(const QString& file) {
  QByteArray literal =
      QJsonDocument(QJsonArray{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)})
          .toJson(QJsonDocument::Compact);
  return QString::fromUtf8(literal.mid(1, literal.size() - 2));
}

// Sets every desktop's picture to `uri` as the script's lines before it compute it.
QString DesktopsScript(const QString& prelude, const QString& uriOfDesktop) {
  // FillMode is left alone: the user's style stays.
  return prelude +
         QStringLiteral(
             "var all = desktops();\n"
             "for (var i = 0; i < all.length; i++) {\n"
             "  var d = all[i];\n") +
         uriOfDesktop +
         QStringLiteral(
             "  d.wallpaperPlugin = \"org.kde.image\";\n"
             "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
             "  d.writeConfig(\"Image\", uri);\n"
             "}\n");
}

}  // namespace

QString PlasmaWallpaper::Script(const QString& file) {
  return DesktopsScript(QStringLiteral("var uri = %1;\n").arg(UriLiteral(file)), QString());
}

QString PlasmaWallpaper::ScreensScript(const QList<MonitorFile>& files) {
  QStringList uris;
  for (const MonitorFile& f : files) {
    if (f.primary) {
      uris.prepend(UriLiteral(f.file));
    } else {
      uris << UriLiteral(f.file);
    }
  }
  // A desktop of a screen beyond the known ones (or of none) gets the primary's picture.
  return DesktopsScript(
      QStringLiteral("var uris = [%1];\n").arg(uris.join(QStringLiteral(", "))),
      QStringLiteral("  var uri = d.screen >= 0 && d.screen < uris.length ? uris[d.screen] : "
                     "uris[0];\n"));
}

Outcome PlasmaWallpaper::install(const QString& file) {
  return run(Script(file));
}

Outcome PlasmaWallpaper::installMonitors(const QList<MonitorFile>& files) {
  return run(ScreensScript(files));
}

Outcome PlasmaWallpaper::run(const QString& script) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
      QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
  call.setArguments({script});
  const QDBusMessage reply = CallAndWait(bus_, call);
  // plasmashell refuses with "Widgets are locked" under a kiosk lock, among others.
  if (reply.type() == QDBusMessage::ErrorMessage) {
    return FailedWith(QStringLiteral("plasmashell: %1").arg(reply.errorMessage()));
  }
  return Outcome::Done();
}

}  // namespace tessora
