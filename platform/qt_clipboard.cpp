#include "platform/qt_clipboard.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

#include "platform/bitmap_qimage.h"
#include "platform/wayland_selection_watch.h"

namespace tessora {
namespace {

// File managers copy image files as a list of URLs, not as pictures.
QString ImageFileIn(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) {
    return QString();
  }
  const QList<QByteArray> formats = QImageReader::supportedImageFormats();
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() &&
        formats.contains(QFileInfo(url.toLocalFile()).suffix().toLower().toLatin1())) {
      return url.toLocalFile();
    }
  }
  return QString();
}

// Qt's readers, as a picture pasted from another program is read: QImage is safe on any thread.
std::optional<Bitmap> ReadPicture(const QString& file) {
  QImage image;
  if (!image.load(file)) {
    return std::nullopt;
  }
  return FromQImage(image);
}

bool OffersImageType(const QStringList& types) {
  const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
  for (const QString& type : types) {
    if (readable.contains(type.toLatin1())) {
      return true;
    }
  }
  return false;
}

}  // namespace

QtImageClipboard::QtImageClipboard() {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &QtImageClipboard::refresh);
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) {
              refresh();
            }
          });
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    watchWayland();
  }
  refresh();
}

QtImageClipboard::~QtImageClipboard() = default;

bool QtImageClipboard::followsEveryChange() const {
  return QGuiApplication::platformName() != QLatin1String("wayland") || wayland_ != nullptr;
}

void QtImageClipboard::watchWayland() {
  wayland_ = std::make_unique<WaylandSelectionWatch>();
  if (!wayland_->available()) {
    // Not silence: the user should know why the paste buttons lag behind other programs.
    qWarning(
        "Tessora: %s; the paste buttons follow a picture copied in another program only "
        "once the Tessora window is active again.",
        qUtf8Printable(wayland_->unavailableReason()));
    wayland_.reset();
    return;
  }
  connect(wayland_.get(), &WaylandSelectionWatch::selectionChanged, this,
          &QtImageClipboard::follow);
}

bool QtImageClipboard::hasImage() const {
  if (!limitation_.isEmpty()) {
    // Not silence: the user should know why the paste buttons lag behind other programs.
    qWarning(
        "Tessora: %s; the paste buttons follow a picture copied in another program only "
        "once the Tessora window is active again.",
        qUtf8Printable(limitation_));
    limitation_.clear();
  }
  return hasImage_;
}

void QtImageClipboard::follow(const QStringList& types, const QByteArray& uriList) {
  QMimeData offered;
  offered.setData(QStringLiteral("text/uri-list"), uriList);
  hasImage_ = OffersImageType(types) || !ImageFileIn(&offered).isEmpty();
}

void QtImageClipboard::refresh() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  hasImage_ = data != nullptr && (data->hasImage() || !ImageFileIn(data).isEmpty());
}

std::optional<Bitmap> QtImageClipboard::image() {
  const QImage image = QGuiApplication::clipboard()->image();
  if (image.isNull()) {
    const QString file = ImageFileIn(QGuiApplication::clipboard()->mimeData());
    return file.isEmpty() ? std::nullopt : ReadPicture(file);
  }
  return FromQImage(image);
}

std::optional<ImageClipboard::PictureFile> QtImageClipboard::imageFile() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || data->hasImage()) {
    return std::nullopt;
  }
  const QString file = ImageFileIn(data);
  if (file.isEmpty()) {
    return std::nullopt;
  }
  return PictureFile{file.toStdString(), [file] { return ReadPicture(file); }};
}

void QtImageClipboard::setImage(const Bitmap& image) {
  QGuiApplication::clipboard()->setImage(ToQImage(image));
  hasImage_ = true;
}

void QtImageClipboard::clear() {
  QGuiApplication::clipboard()->clear();
  hasImage_ = false;
}

}  // namespace tessora
