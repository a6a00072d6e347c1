#include "platform/qt_clipboard.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

#include "platform/bitmap_qimage.h"

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

}  // namespace

QtImageClipboard::QtImageClipboard() {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &QtImageClipboard::refresh);
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) {
              refresh();
            }
          });
  refresh();
}

void QtImageClipboard::refresh() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  hasImage_ = data != nullptr && (data->hasImage() || !ImageFileIn(data).isEmpty());
}

std::optional<Bitmap> QtImageClipboard::image() {
  QImage image = QGuiApplication::clipboard()->image();
  if (image.isNull()) {
    const QString file = ImageFileIn(QGuiApplication::clipboard()->mimeData());
    if (!file.isEmpty()) {
      image.load(file);
    }
  }
  if (image.isNull()) {
    return std::nullopt;
  }
  return FromQImage(image);
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
