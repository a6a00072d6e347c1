#include "platform/wallpaper_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <map>

namespace tessora {
namespace {

// The fresh names of one picture, by number.
std::map<int, QString> FreshNames(const QString& dir, const QString& base) {
  const QRegularExpression pattern(
      QStringLiteral("^%1-(\\d+)\\.(bmp|png)$").arg(QRegularExpression::escape(base)));
  std::map<int, QString> names;
  const QStringList entries = QDir(dir).entryList(QDir::Files);
  for (const QString& entry : entries) {
    const QRegularExpressionMatch m = pattern.match(entry);
    if (m.hasMatch()) {
      names[m.captured(1).toInt()] = QDir(dir).filePath(entry);
    }
  }
  return names;
}

// "Tessora Wallpaper-3.bmp" belongs to "Tessora Wallpaper".
QString BaseOfFresh(const QFileInfo& fresh) {
  const QString name = fresh.completeBaseName();
  return name.left(name.lastIndexOf(QLatin1Char('-')));
}

bool CopyTo(const QString& from, const QString& to, QString* error) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot read %1: %2").arg(from, in.errorString());
    return false;
  }
  QSaveFile out(to);
  if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit()) {
    *error = QStringLiteral("cannot write %1: %2").arg(to, out.errorString());
    return false;
  }
  return true;
}

}  // namespace

QString WallpaperFiles::prepare(const QString& picture, bool asPng, int* lastNumber,
                                QString* error) {
  const QFileInfo info(picture);
  const QString base = info.completeBaseName();
  const std::map<int, QString> existing = FreshNames(info.absolutePath(), base);
  const int next = std::max(existing.empty() ? 0 : existing.rbegin()->first, *lastNumber) + 1;
  *lastNumber = next;
  const QString fresh = QDir(info.absolutePath())
                            .filePath(QStringLiteral("%1-%2.%3")
                                          .arg(base)
                                          .arg(next)
                                          .arg(asPng ? QStringLiteral("png") : info.suffix()));
  if (!asPng) {
    return CopyTo(picture, fresh, error) ? fresh : QString();
  }
  const QImage image(picture);
  if (image.isNull()) {
    *error = QStringLiteral("cannot read %1").arg(picture);
    return QString();
  }
  QSaveFile out(fresh);
  if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit()) {
    *error = QStringLiteral("cannot write %1").arg(fresh);
    return QString();
  }
  return fresh;
}

void WallpaperFiles::accepted(const QString& accepted) {
  const QFileInfo info(accepted);
  std::map<int, QString> names = FreshNames(info.absolutePath(), BaseOfFresh(info));
  const QString acceptedPath = info.absoluteFilePath();
  int seenNewer = 0;  // the accepted one and the one shown before it stay
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (seenNewer == 0 && QFileInfo(it->second).absoluteFilePath() != acceptedPath) {
      continue;  // a newer name than the accepted one: not ours to judge
    }
    if (++seenNewer > 2) {
      QFile::remove(it->second);
    }
  }
}

void WallpaperFiles::rejected(const QString& fresh) {
  QFile::remove(fresh);
}

}  // namespace tessora
