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

// "Tessora Wallpaper monitor 2" and "Tessora Wallpaper" are pictures of one wallpaper.
QString WallpaperOf(const QString& base) {
  static const QRegularExpression monitor(QStringLiteral(" monitor \\d+$"));
  return QString(base).remove(monitor);
}

// The fresh names of a wallpaper's pictures (the whole one's and each monitor's), by number.
std::multimap<int, QString> FreshNames(const QString& dir, const QString& wallpaper) {
  const QRegularExpression pattern(QStringLiteral("^%1( monitor \\d+)?-(\\d+)\\.(bmp|png)$")
                                       .arg(QRegularExpression::escape(wallpaper)));
  std::multimap<int, QString> names;
  const QStringList entries = QDir(dir).entryList(QDir::Files);
  for (const QString& entry : entries) {
    const QRegularExpressionMatch m = pattern.match(entry);
    if (m.hasMatch()) {
      names.emplace(m.captured(2).toInt(), QDir(dir).filePath(entry));
    }
  }
  return names;
}

// "Tessora Wallpaper monitor 2-3.bmp" is number 3 of "Tessora Wallpaper monitor 2".
QString BaseOfFresh(const QFileInfo& fresh) {
  const QString name = fresh.completeBaseName();
  return name.left(name.lastIndexOf(QLatin1Char('-')));
}

int NumberOfFresh(const QFileInfo& fresh) {
  const QString name = fresh.completeBaseName();
  return name.mid(name.lastIndexOf(QLatin1Char('-')) + 1).toInt();
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

OutcomeOf<QStringList> WallpaperFiles::prepare(const QStringList& pictures, bool asPng) {
  for (const QString& picture : pictures) {
    const QFileInfo info(picture);
    const std::multimap<int, QString> existing =
        FreshNames(info.absolutePath(), WallpaperOf(info.completeBaseName()));
    lastNumber_ = std::max(existing.empty() ? 0 : existing.rbegin()->first, lastNumber_);
  }
  ++lastNumber_;
  QStringList made;
  for (const QString& picture : pictures) {
    const QFileInfo info(picture);
    const QString fresh = QDir(info.absolutePath())
                              .filePath(QStringLiteral("%1-%2.%3")
                                            .arg(info.completeBaseName())
                                            .arg(lastNumber_)
                                            .arg(asPng ? QStringLiteral("png") : info.suffix()));
    const Outcome written = asPng ? SaveAsPng(picture, fresh) : CopyTo(picture, fresh);
    if (!written.ok()) {
      rejected(made);
      return OutcomeOf<QStringList>::Failed(written.reason());
    }
    made << fresh;
  }
  return OutcomeOf<QStringList>::Done(made);
}

void WallpaperFiles::accepted(const QStringList& shown) {
  if (shown.isEmpty()) {
    return;
  }
  const QFileInfo info(shown.front());
  const int number = NumberOfFresh(info);
  const std::multimap<int, QString> names =
      FreshNames(info.absolutePath(), WallpaperOf(BaseOfFresh(info)));
  // The install shown before this one: the highest number below it.
  auto previous = names.lower_bound(number);
  const int before = previous == names.begin() ? number : std::prev(previous)->first;
  for (auto it = names.begin(); it != names.end() && it->first < before; ++it) {
    QFile::remove(it->second);
  }
}

void WallpaperFiles::rejected(const QStringList& fresh) {
  for (const QString& f : fresh) {
    QFile::remove(f);
  }
}

}  // namespace tessora
