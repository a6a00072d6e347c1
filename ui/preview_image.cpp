#include "ui/preview_image.h"

#include <QMouseEvent>

namespace tessora {

PreviewImage::PreviewImage(QWidget* parent) : QLabel(parent) {
  // Moves without a pressed button must arrive too: they end the trip that arms a click mode.
  setMouseTracking(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
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
