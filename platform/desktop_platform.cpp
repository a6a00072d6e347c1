// First desktop services: Qt's screen, clipboard and URL handling. Wallpaper installation and
// sound are not there yet: setWallpaper reports that, cues stay silent.
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <cstring>

#include "platform/services.h"

namespace tessora {
namespace {

QImage ToImage(const Bitmap& b) {
  QImage image(b.width(), b.height(), QImage::Format_RGB888);
  for (int y = 0; y < b.height(); ++y) {
    std::memcpy(image.scanLine(y), b.scanLine(y), b.stride());
  }
  return image;
}

Bitmap FromImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  Bitmap b(image.width(), image.height());
  for (int y = 0; y < b.height(); ++y) {
    std::memcpy(b.scanLine(y), image.constScanLine(y), b.stride());
  }
  return b;
}

class SilentSoundPlayer : public SoundPlayer {
 public:
  void play(const std::string&) override {}
};

class QtClipboard : public ImageClipboard {
 public:
  bool hasImage() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
  }
  std::optional<Bitmap> image() override {
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull()) {
      return std::nullopt;
    }
    return FromImage(image);
  }
  void setImage(const Bitmap& image) override {
    QGuiApplication::clipboard()->setImage(ToImage(image));
  }
  void clear() override { QGuiApplication::clipboard()->clear(); }
};

class NoWallpaperSetter : public WallpaperSetter {
 public:
  std::string wallpaperFolder() const override {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tessora/";
    QDir().mkpath(folder);
    return folder.toStdString();
  }
  WallpaperResult setWallpaper(const std::string&) override {
    return WallpaperResult{false, "no wallpaper service is known for this desktop"};
  }
};

class QtDesktopInfo : public DesktopInfo {
 public:
  DesktopGeometry geometry() const override {
    DesktopGeometry g;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
      g.workAreaKnown = false;
      return g;
    }
    // Composed in device pixels, so that a scaled screen gets a full-resolution picture.
    const qreal ratio = screen->devicePixelRatio();
    const QRect full = screen->geometry();
    const QRect available = screen->availableGeometry();
    auto physical = [ratio](int v) { return qRound(v * ratio); };
    g.screenWidth = physical(full.width());
    g.screenHeight = physical(full.height());
    g.workArea =
        Rect{physical(available.left() - full.left()), physical(available.top() - full.top()),
             physical(available.right() + 1 - full.left()),
             physical(available.bottom() + 1 - full.top())};
    return g;
  }
  TColor desktopColor() const override { return GetSysColor(COLOR_BACKGROUND); }
  bool fontInstalled(const std::string& family) const override {
    return QFontDatabase::families().contains(QString::fromStdString(family), Qt::CaseInsensitive);
  }
};

class QtShell : public Shell {
 public:
  bool openFolder(const std::string& folder) override {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
  }
  bool openDocument(const std::string& pathOrUrl) override {
    const QString s = QString::fromStdString(pathOrUrl);
    const QUrl url = s.contains(QStringLiteral("://")) ? QUrl(s) : QUrl::fromLocalFile(s);
    return QDesktopServices::openUrl(url);
  }
};

}  // namespace

Platform CreateDesktopPlatform() {
  Platform p;
  p.sound = std::make_unique<SilentSoundPlayer>();
  p.clipboard = std::make_unique<QtClipboard>();
  p.wallpaper = std::make_unique<NoWallpaperSetter>();
  p.desktop = std::make_unique<QtDesktopInfo>();
  p.shell = std::make_unique<QtShell>();
  return p;
}

}  // namespace tessora
