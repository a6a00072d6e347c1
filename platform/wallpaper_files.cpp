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

Outcome CopyTo(const QString& from, const QString& to) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly)) {
    return FailedWith(QStringLiteral("cannot read %1: %2").arg(from, in.errorString()));
  }
  QSaveFile out(to);
  if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit()) {
    return FailedWith(QStringLiteral("cannot write %1: %2").arg(to, out.errorString()));
  }
  return Outcome::Done();
}

Outcome SaveAsPng(const QString& from, const QString& to) {
  const QImage image(from);
  if (image.isNull()) {
    return FailedWith(QStringLiteral("cannot read %1").arg(from));
  }
  QSaveFile out(to);
  if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit()) {
    return FailedWith(QStringLiteral("cannot write %1").arg(to));
  }
  return Outcome::Done();
}

}  // namespace

OutcomeOf<QString> WallpaperFiles::prepare(const QString& picture, bool asPng) {
  const QFileInfo info(picture);
  const QString base = info.completeBaseName();
  const std::map<int, QString> existing = FreshNames(info.absolutePath(), base);
  lastNumber_ = std::max(existing.empty() ? 0 : existing.rbegin()->first, lastNumber_) + 1;
  const QString fresh = QDir(info.absolutePath())
                            .filePath(QStringLiteral("%1-%2.%3")
                                          .arg(base)
                                          .arg(lastNumber_)
                                          .arg(asPng ? QStringLiteral("png") : info.suffix()));
  const Outcome written = asPng ? SaveAsPng(picture, fresh) : CopyTo(picture, fresh);
  return written.ok() ? OutcomeOf<QString>::Done(fresh)
                      : OutcomeOf<QString>::Failed(written.reason());
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
