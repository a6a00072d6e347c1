#include "ui/preview_image.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "platform/bitmap_qimage.h"
#include "ui/drop_highlight.h"
#include "ui/source_panel.h"

namespace tessora {

PreviewImage::PreviewImage(QWidget* parent) : QLabel(parent) {
  // Moves without a pressed button must arrive too: they end the trip that arms a click mode.
  setMouseTracking(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAcceptDrops(true);
  setAccessibleName(QStringLiteral("Preview of the wallpaper"));
  setAccessibleDescription(
      QStringLiteral("The wallpaper as it will be set; a picture dropped here becomes the center "
                     "image"));
  dropHighlight_ = new DropHighlight(this);
}

void PreviewImage::showComposition(const Bitmap& preview, const Bitmap& composed) {
  composed_ = &composed;
  sharp_ = QPixmap();
  setPixmap(QPixmap::fromImage(ToQImage(preview)));
}

// Made at paint time: only then is the ratio of the screen the window is on known for sure (a
// Wayland window learns it once it is shown, and again whenever it moves to another output).
void PreviewImage::paintEvent(QPaintEvent* event) {
  const qreal ratio = devicePixelRatioF();
  if (ratio == 1.0 || composed_ == nullptr || composed_->empty() || pixmap().isNull()) {
    QLabel::paintEvent(event);
    return;
  }
  const QSize device(qRound(pixmap().width() * ratio), qRound(pixmap().height() * ratio));
  if (sharp_.size() != device) {
    Bitmap sharp(device.width(), device.height());
    sharp.stretchDraw(0, 0, device.width(), device.height(), *composed_);
    sharp_ = QPixmap::fromImage(ToQImage(sharp));
    sharp_.setDevicePixelRatio(ratio);
  }
  QPainter(this).drawPixmap(0, 0, sharp_);
}

void PreviewImage::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  switch (event->button()) {
    case Qt::LeftButton:
      emit mouseDown(MouseButton::Left, at.x(), at.y());
      break;
    case Qt::RightButton:
      emit mouseDown(MouseButton::Right, at.x(), at.y());
      break;
    case Qt::MiddleButton:
      emit mouseDown(MouseButton::Middle, at.x(), at.y());
      break;
    default:
      break;
  }
}

void PreviewImage::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMoved();
  event->accept();
}

// The biggest target in the window takes what the center panel takes.
void PreviewImage::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedPaths(*event->mimeData()).empty()) {
    event->acceptProposedAction();
    dropHighlight_->follow(true);
  }
}

void PreviewImage::dragLeaveEvent(QDragLeaveEvent* event) {
  dropHighlight_->follow(false);
  QLabel::dragLeaveEvent(event);
}

void PreviewImage::dropEvent(QDropEvent* event) {
  dropHighlight_->follow(false);
  const std::vector<std::string> paths = DroppedPaths(*event->mimeData());
  event->acceptProposedAction();
  emit filesDropped(paths);
}

}  // namespace tessora
