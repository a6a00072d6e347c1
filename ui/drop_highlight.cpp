#include "ui/drop_highlight.h"

#include <QPainter>

namespace tessora {

namespace {
constexpr int kFrameWidth = 2;
}  // namespace

DropHighlight::DropHighlight(QWidget* parent) : QWidget(parent) {
  setObjectName(parent->objectName() + QStringLiteral("DropHighlight"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

void DropHighlight::follow(bool dragOver) {
  if (dragOver) {
    // The parent may have been resized since; the frame covers it as it is now.
    setGeometry(parentWidget()->rect());
    raise();
  }
  setVisible(dragOver);
}

void DropHighlight::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QPen pen(palette().color(QPalette::Highlight), kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.drawRect(QRectF(rect()).adjusted(kFrameWidth / 2.0, kFrameWidth / 2.0, -kFrameWidth / 2.0,
                                     -kFrameWidth / 2.0));
}

}  // namespace tessora
