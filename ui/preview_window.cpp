#include "ui/preview_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/bitmap_qimage.h"

namespace tessora {

PreviewWindow::PreviewWindow(Document& document, QWidget* parent)
    : QWidget(parent), document_(document), preview_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Tessora"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  preview_->setObjectName(QStringLiteral("MainImage"));
  preview_->setFixedSize(document_.layout().preview.width, document_.layout().preview.height);
  layout->addWidget(preview_);
  document_.setView(this);
  PreviewChanged(document_.PreviewBitmap());
}

void PreviewWindow::PreviewChanged(const Bitmap& preview) {
  preview_->setPixmap(QPixmap::fromImage(ToQImage(preview)));
}

DesktopGeometry PrimaryScreenGeometry() {
  DesktopGeometry g;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    g.workAreaKnown = false;
    return g;
  }
  // The wallpaper is composed in device pixels, so that a scaled screen gets a sharp picture.
  const qreal ratio = screen->devicePixelRatio();
  const QRect full = screen->geometry();
  const QRect available = screen->availableGeometry();
  auto physical = [ratio](int v) { return static_cast<int>(v * ratio + 0.5); };
  g.screenWidth = physical(full.width());
  g.screenHeight = physical(full.height());
  g.workArea = Rect{
      physical(available.left() - full.left()), physical(available.top() - full.top()),
      physical(available.right() + 1 - full.left()), physical(available.bottom() + 1 - full.top())};
  return g;
}

}  // namespace tessora
