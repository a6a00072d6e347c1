#include "platform/plasma_wallpaper.h"

#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include "platform/dbus_call.h"

namespace tessora {

QString PlasmaWallpaper::Script(const QString& file) {
  // A JSON string is a valid JavaScript string literal, whatever the path holds.
  QByteArray literal =
      QJsonDocument(QJsonArray{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)})
          .toJson(QJsonDocument::Compact);
  literal = literal.mid(1, literal.size() - 2);
  // FillMode is left alone: the user's style stays.
  return QStringLiteral(
             "var uri = %1;\n"
             "var all = desktops();\n"
             "for (var i = 0; i < all.length; i++) {\n"
             "  var d = all[i];\n"
             "  d.wallpaperPlugin = \"org.kde.image\";\n"
             "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
             "  d.writeConfig(\"Image\", uri);\n"
             "}\n")
      .arg(QString::fromUtf8(literal));
}

Outcome PlasmaWallpaper::install(const QString& file) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
      QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
  call.setArguments({Script(file)});
  const QDBusMessage reply = CallAndWait(bus_, call);
  // plasmashell refuses with "Widgets are locked" under a kiosk lock, among others.
  if (reply.type() == QDBusMessage::ErrorMessage) {
    return Outcome::Failed(QStringLiteral("plasmashell: %1").arg(reply.errorMessage()));
  }
  return Outcome::Done();
}

}  // namespace tessora
