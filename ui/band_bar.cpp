#include "ui/band_bar.h"

#include <QMouseEvent>
#include <QPainter>

namespace tessora {

BandBar::BandBar(QWidget* band0, int band0Width, QWidget* band1, int band1Width, int width,
                 QWidget* parent)
    : QWidget(parent),
      band0_(band0),
      band1_(band1),
      band0Width_(band0Width),
      band1Width_(band1Width) {
  band0_->setParent(this);
  band1_->setParent(this);
  setFixedWidth(width);
  arrange();
}

void BandBar::setBand1OnOwnRow(bool ownRow) {
  if (ownRow == ownRow_) {
    return;
  }
  ownRow_ = ownRow;
  arrange();
  emit changed();
}

QRect BandBar::band1Rect() const {
  return ownRow_ ? QRect(0, kRowHeight, width(), kRowHeight)
                 : QRect(band0Width_, 0, band1Width_, kRowHeight);
}

// The bar sizes itself to its rows, as the panel's path label sits where a second row goes.
void BandBar::arrange() {
  setFixedHeight(ownRow_ ? 2 * kRowHeight : kRowHeight);
  band0_->setGeometry(kGripWidth + 2, 0, band0Width_ - kGripWidth - 2, kRowHeight);
  const QRect r = band1Rect();
  band1_->setGeometry(r.x() + kGripWidth, r.y(), r.width() - kGripWidth, r.height());
  update();
}

void BandBar::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter p(this);
  p.setPen(palette().color(QPalette::Mid));
  for (const QRect& band : {QRect(0, 0, band0Width_, kRowHeight), band1Rect()}) {
    for (int x = band.x() + 3; x < band.x() + kGripWidth - 2; x += 3) {
      p.drawLine(x, band.y() + 3, x, band.bottom() - 3);
    }
  }
}

void BandBar::mousePressEvent(QMouseEvent* event) {
  const QRect grip = band1Rect().adjusted(0, 0, kGripWidth - band1Rect().width(), 0);
  dragging_ = event->button() == Qt::LeftButton && grip.contains(event->position().toPoint());
}

void BandBar::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_) {
    dragging_ = false;
    setBand1OnOwnRow(event->position().y() >= kRowHeight);
  }
}

}  // namespace tessora
