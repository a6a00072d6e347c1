#include "platform/xfce_wallpaper.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

#include "platform/dbus_call.h"
#include "platform/pixbuf_formats.h"

namespace tessora {
namespace {

const QString kChannel = QStringLiteral("xfce4-desktop");
const QString kImageKey = QStringLiteral("/last-image");
const QString kStyleKey = QStringLiteral("/image-style");
constexpr int kStyleNone = 0;  // shows no picture at all
constexpr int kStyleZoomed = 5;

QDBusMessage XfconfCall(const char* method, const QVariantList& args) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
      QStringLiteral("org.xfce.Xfconf"), QLatin1String(method));
  call.setArguments(args);
  return call;
}

Outcome ReplyOutcome(const QDBusMessage& reply) {
  return reply.type() == QDBusMessage::ErrorMessage
             ? FailedWith(QStringLiteral("xfconf: %1").arg(reply.errorMessage()))
             : Outcome::Done();
}

Outcome SetProperty(const QDBusConnection& bus, const QString& property, const QVariant& value) {
  return ReplyOutcome(CallAndWait(
      bus,
      XfconfCall("SetProperty", {kChannel, property, QVariant::fromValue(QDBusVariant(value))})));
}

// The backdrop entries as "property -> value".
OutcomeOf<QVariantMap> ReadBackdrop(const QDBusConnection& bus) {
  const QDBusMessage reply =
      CallAndWait(bus, XfconfCall("GetAllProperties", {kChannel, QStringLiteral("/backdrop")}));
  if (reply.type() == QDBusMessage::ErrorMessage) {
    // A channel without properties answers with an error too: treat it as empty.
    return reply.errorName().startsWith(QLatin1String("org.xfce.Xfconf.Error"))
               ? OutcomeOf<QVariantMap>::Done(QVariantMap())
               : OutcomeOf<QVariantMap>::Failed(ReplyOutcome(reply).reason());
  }
  return OutcomeOf<QVariantMap>::Done(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
}

// Every monitor's and workspace's picture entry.
QStringList ImageProperties(const QVariantMap& properties, const QStringList& monitors) {
  QStringList images;
  for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
    if (it.key().endsWith(kImageKey)) {
      images << it.key();
    }
  }
  // A fresh installation has no entries until the user opens the desktop settings once.
  if (images.isEmpty()) {
    for (QString monitor : monitors) {
      monitor.remove(QLatin1Char(' '));
      images << QStringLiteral("/backdrop/screen0/monitor%1/workspace0%2").arg(monitor, kImageKey);
    }
  }
  return images;
}

// The monitor an entry belongs to: "DP-1" of "/backdrop/screen0/monitorDP-1/workspace0/...".
QString MonitorOfEntry(const QString& entry) {
  const QString marker = QStringLiteral("/monitor");
  const qsizetype from = entry.indexOf(marker);
  if (from < 0) {
    return QString();
  }
  const qsizetype start = from + marker.size();
  return entry.mid(start, entry.indexOf(QLatin1Char('/'), start) - start);
}

// Picture entries for the monitors among `monitors` that have none yet, on every workspace the
// others have one for. xfdesktop writes a monitor's entries only some time after it first shows
// it, so a monitor plugged in lately would otherwise keep its old picture.
QStringList MissingMonitorEntries(const QStringList& images, const QStringList& monitors) {
  QStringList known;
  QStringList workspaces;
  for (const QString& image : images) {
    known << MonitorOfEntry(image);
    const QString workspace = image.section(QLatin1Char('/'), -2, -2);
    if (workspace.startsWith(QLatin1String("workspace")) && !workspaces.contains(workspace)) {
      workspaces << workspace;
    }
  }
  if (workspaces.isEmpty()) {
    workspaces << QStringLiteral("workspace0");
  }
  QStringList missing;
  for (QString monitor : monitors) {
    monitor.remove(QLatin1Char(' '));
    if (monitor.isEmpty() || known.contains(monitor)) {
      continue;
    }
    for (const QString& workspace : workspaces) {
      missing
          << QStringLiteral("/backdrop/screen0/monitor%1/%2%3").arg(monitor, workspace, kImageKey);
    }
  }
  return missing;
}

Outcome Verify(const QDBusConnection& bus, const QString& property, const QString& file) {
  const QDBusMessage check = CallAndWait(bus, XfconfCall("GetProperty", {kChannel, property}));
  if (check.type() == QDBusMessage::ErrorMessage) {
    return ReplyOutcome(check);
  }
  const QVariant stored = check.arguments().value(0).value<QDBusVariant>().variant();
  return stored.toString() == file
             ? Outcome::Done()
             : FailedWith(QStringLiteral("xfconf did not keep %1").arg(property));
}

QString FileForEntry(const QString& entry, const QList<MonitorFile>& files) {
  const QString monitor = MonitorOfEntry(entry);
  for (const MonitorFile& f : files) {
    if (QString(f.name).remove(QLatin1Char(' ')) == monitor && !monitor.isEmpty()) {
      return f.file;
    }
  }
  bool isIndex = false;
  const int index = monitor.toInt(&isIndex);
  if (isIndex && index >= 0 && index < files.size()) {
    return files[index].file;
  }
  // An entry of a monitor not connected now: it shows the primary's when it comes back.
  for (const MonitorFile& f : files) {
    if (f.primary) {
      return f.file;
    }
  }
  return files.front().file;
}

}  // namespace

// xfdesktop decodes the wallpaper with gdk-pixbuf.
bool XfceWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

Outcome XfceWallpaper::install(const QString& file) {
  return setImages(monitors_, [&file](const QString&) { return file; });
}

Outcome XfceWallpaper::installMonitors(const QList<MonitorFile>& files) {
  QStringList names;
  for (const MonitorFile& f : files) {
    names << f.name;
  }
  return setImages(
      names, [&files](const QString& entry) { return FileForEntry(entry, files); }, true);
}

Outcome XfceWallpaper::setImages(const QStringList& monitors,
                                 const std::function<QString(const QString& entry)>& fileFor,
                                 bool everyMonitor) {
  const OutcomeOf<QVariantMap> backdrop = ReadBackdrop(bus_);
  if (!backdrop.ok()) {
    return Outcome::Failed(backdrop.reason());
  }
  const QVariantMap& properties = backdrop.value();
  QStringList images = ImageProperties(properties, monitors);
  if (everyMonitor) {
    images << MissingMonitorEntries(images, monitors);
  }
  if (images.isEmpty()) {
    return FailedWith(QStringLiteral("no monitor to set"));
  }
  for (const QString& image : images) {
    if (Outcome set = SetProperty(bus_, image, fileFor(image)); !set.ok()) {
      return set;
    }
    const QString style = image.left(image.size() - kImageKey.size()) + kStyleKey;
    const QVariant current = properties.value(style);
    if (!current.isValid() || current.toInt() == kStyleNone) {
      if (Outcome set = SetProperty(bus_, style, kStyleZoomed); !set.ok()) {
        return set;
      }
    }
  }
  return Verify(bus_, images.first(), fileFor(images.first()));
}

}  // namespace tessora
