#include "platform/wallpaper_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <system_error>
#include <vector>

#include "common/atomic_file.h"
#include "common/file_descriptor.h"

namespace tessora {
namespace {

// "Tessora Wallpaper monitor 2" and "Tessora Wallpaper" are pictures of one wallpaper.
QString WallpaperOf(const QString& base) {
  static const QRegularExpression monitor(QStringLiteral(" monitor \\d+$"));
  return QString(base).remove(monitor);
}

// The fresh names of a wallpaper's pictures (the whole one's and each monitor's), by number.
// Every entry counts (a folder or link of such a name would make a copy of that number fail);
// with `copiesOnly`, only the plain files a set made.
std::multimap<int, QString> FreshNames(const QString& dir, const QString& wallpaper,
                                       bool copiesOnly) {
  const QRegularExpression pattern(QStringLiteral("^%1( monitor \\d+)?-(\\d+)\\.(bmp|png)$")
                                       .arg(QRegularExpression::escape(wallpaper)));
  std::multimap<int, QString> names;
  const QFileInfoList entries = QDir(dir).entryInfoList(QDir::AllEntries | QDir::System |
                                                        QDir::Hidden | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    const QRegularExpressionMatch m = pattern.match(entry.fileName());
    if (m.hasMatch() && (!copiesOnly || (entry.isFile() && !entry.isSymLink()))) {
      names.emplace(m.captured(2).toInt(), entry.filePath());
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

QString SystemReason(int error) {
  return QString::fromStdString(std::generic_category().message(error));
}

// The largest file a picture of ours can be: a BMP of the largest bitmap is about 1.5 GiB.
constexpr std::int64_t kMaxPictureBytes = std::int64_t{2} << 30;

// Opens a picture to be handed over; refuses what cannot be one of ours (a FIFO would block the
// set for ever, a huge file fill the disk with copies) before reading a byte of it.
OutcomeOf<int> OpenPicture(const QString& path, struct stat& st) {
  using Result = OutcomeOf<int>;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return Result::Failed(
        QStringLiteral("cannot read %1: %2").arg(path, SystemReason(errno)).toStdString());
  }
  QString wrong;
  if (::fstat(fd, &st) != 0) {
    wrong = SystemReason(errno);
  } else if (!S_ISREG(st.st_mode)) {
    wrong = QStringLiteral("it is not a regular file");
  } else if (st.st_size > kMaxPictureBytes) {
    wrong = QStringLiteral("at %1 MB it is larger than any wallpaper Tessora writes")
                .arg(st.st_size >> 20);
  }
  if (!wrong.isEmpty()) {
    ::close(fd);
    return Result::Failed(QStringLiteral("cannot read %1: %2").arg(path, wrong).toStdString());
  }
  return Result::Done(fd);
}

// What the desktop is handed is checked once it is in place: a short copy would show black.
Outcome CheckWritten(const QString& to, std::int64_t size) {
  struct stat st {};
  if (::stat(QFile::encodeName(to).constData(), &st) != 0 || st.st_size != size) {
    return FailedWith(QStringLiteral("cannot write %1: it is not whole").arg(to));
  }
  return Outcome::Done();
}

Outcome WriteFailed(const QString& to, const AtomicFile& out) {
  const std::string reason = out.failureReason();
  return FailedWith(QStringLiteral("cannot write %1: %2")
                        .arg(to, reason.empty() ? QStringLiteral("the write failed")
                                                : QString::fromStdString(reason)));
}

// The copy streams through a small buffer, whatever the picture's size, and is written whole or
// not at all.
Outcome CopyTo(const QString& from, const QString& to) {
  struct stat st {};
  const OutcomeOf<int> opened = OpenPicture(from, st);
  if (!opened.ok()) {
    return opened.outcome();
  }
  const FileDescriptor in(opened.value());
  AtomicFile out(to.toStdString());
  if (!out.open()) {
    return WriteFailed(to, out);
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  std::int64_t copied = 0;
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return FailedWith(QStringLiteral("cannot read %1: %2").arg(from, SystemReason(errno)));
    }
    if (n == 0) {
      break;
    }
    if (!out.write(buffer.data(), static_cast<std::size_t>(n))) {
      return WriteFailed(to, out);
    }
    copied += n;
  }
  if (copied != st.st_size) {
    return FailedWith(QStringLiteral("cannot read %1: it changed while it was copied").arg(from));
  }
  if (!out.commit()) {
    return WriteFailed(to, out);
  }
  return CheckWritten(to, copied);
}

Outcome SaveAsPng(const QString& from, const QString& to) {
  struct stat st {};
  const OutcomeOf<int> opened = OpenPicture(from, st);
  if (!opened.ok()) {
    return opened.outcome();
  }
  QFile file;
  if (!file.open(opened.value(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(opened.value());
    return FailedWith(QStringLiteral("cannot read %1").arg(from));
  }
  QImage image;
  if (!image.load(&file, nullptr)) {
    return FailedWith(QStringLiteral("cannot read %1").arg(from));
  }
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
    return FailedWith(QStringLiteral("cannot write %1: the picture cannot be encoded").arg(to));
  }
  AtomicFile out(to.toStdString());
  if (!out.open() || !out.write(png.constData(), static_cast<std::size_t>(png.size())) ||
      !out.commit()) {
    return WriteFailed(to, out);
  }
  return CheckWritten(to, png.size());
}

}  // namespace

OutcomeOf<QStringList> WallpaperFiles::prepare(const QStringList& pictures, bool asPng) {
  for (const QString& picture : pictures) {
    const QFileInfo info(picture);
    const std::multimap<int, QString> existing =
        FreshNames(info.absolutePath(), WallpaperOf(info.completeBaseName()), false);
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
      FreshNames(info.absolutePath(), WallpaperOf(BaseOfFresh(info)), true);
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
