#include "ui/preview_image.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/bitmap_qimage.h"

namespace tessora {

PreviewImage::PreviewImage(QWidget* parent) : QLabel(parent) {
  // Moves without a pressed button must arrive too: they end the trip that arms a click mode.
  setMouseTracking(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
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

}  // namespace tessora
