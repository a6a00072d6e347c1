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
  QStringList monitors;
  for (const MonitorFile& f : files) {
    // In one pass: the URI may hold "%5C" and the like.
    const QString monitor =
        QStringLiteral("{uri: %1, x: %2, y: %3, width: %4, height: %5}")
            .arg(UriLiteral(f.file), QString::number(f.rect.x()), QString::number(f.rect.y()),
                 QString::number(f.rect.width()), QString::number(f.rect.height()));
    if (f.primary) {
      monitors.prepend(monitor);
    } else {
      monitors << monitor;
    }
  }
  // Plasma numbers its screens in the order it first saw them, which need not be ours: each
  // desktop's picture is the one of the monitor at its screen's place. Plasma's rectangles are in
  // logical pixels, ours in device pixels; both keep the screen's top-left as Qt reports it, so
  // a monitor matches at the same top-left with the same proportions (a scale factor changes
  // only the size), or, where a whole layout is scaled, at the scaled top-left. Where no
  // monitor matches (or this Plasma cannot tell a screen's rectangle), the primary's picture
  // goes to screen 0 and the others follow in our order; a desktop of a screen beyond them, or
  // of none, gets the primary's.
  return DesktopsScript(
      QStringLiteral(
          "var monitors = [%1];\n"
          "function sameShape(m, g) {\n"
          "  return Math.abs(m.height - g.height * m.width / g.width) <= 2;\n"
          "}\n"
          "function monitorAt(screen) {\n"
          "  if (screen < 0 || typeof screenGeometry !== \"function\") {\n"
          "    return null;\n"
          "  }\n"
          "  var g = screenGeometry(screen);\n"
          "  if (!g || !(g.width > 0) || !(g.height > 0)) {\n"
          "    return null;\n"
          "  }\n"
          "  for (var j = 0; j < monitors.length; j++) {\n"
          "    var m = monitors[j];\n"
          "    if (Math.abs(m.x - g.x) <= 1 && Math.abs(m.y - g.y) <= 1 && sameShape(m, g)) {\n"
          "      return m;\n"
          "    }\n"
          "  }\n"
          "  for (var k = 0; k < monitors.length; k++) {\n"
          "    var n = monitors[k];\n"
          "    var scale = n.width / g.width;\n"
          "    if (Math.abs(n.x - g.x * scale) <= 2 && Math.abs(n.y - g.y * scale) <= 2 &&\n"
          "        sameShape(n, g)) {\n"
          "      return n;\n"
          "    }\n"
          "  }\n"
          "  return null;\n"
          "}\n")
          .arg(monitors.join(QStringLiteral(", "))),
      QStringLiteral("  var m = monitorAt(d.screen);\n"
                     "  var uri = m ? m.uri : d.screen >= 0 && d.screen < monitors.length ?\n"
                     "      monitors[d.screen].uri : monitors[0].uri;\n"));
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
