#include "ui/glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>

namespace tessora {
namespace {

QImage blank(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void drawClear(QPainter& p) {
  p.setPen(QPen(Qt::black, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(4, 4), QPointF(12, 12));
  p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void drawFolder(QPainter& p) {
  p.setPen(QColor(128, 96, 0));
  p.setBrush(QColor(240, 200, 60));
  p.drawPolygon(QPolygon(
      {QPoint(1, 4), QPoint(6, 4), QPoint(7, 5), QPoint(14, 5), QPoint(14, 13), QPoint(1, 13)}));
  p.setBrush(QColor(255, 230, 120));
  p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(14, 13), QPoint(1, 13)}));
}

void drawPaste(QPainter& p) {
  p.setPen(QColor(90, 60, 20));
  p.setBrush(QColor(180, 130, 60));
  p.drawRect(2, 2, 10, 13);
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(5, 1, 4, 3);
  p.setPen(QColor(60, 60, 120));
  p.setBrush(Qt::white);
  p.drawRect(7, 6, 8, 9);
  p.drawLine(9, 9, 13, 9);
  p.drawLine(9, 11, 13, 11);
}

void drawGradient(QPainter& p) {
  QLinearGradient shades(0, 1, 0, 15);
  shades.setColorAt(0, QColor(200, 255, 200));
  shades.setColorAt(1, QColor(0, 90, 0));
  p.setPen(QColor(0, 60, 0));
  p.setBrush(shades);
  p.drawRect(1, 1, 13, 13);
}

void drawResize(QPainter& p) {
  p.setPen(QColor(64, 64, 64));
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(0, 0, 15, 15);
  p.setBrush(QColor(230, 230, 230));
  p.drawRect(7, 7, 7, 7);
  p.setPen(QPen(QColor(220, 0, 0), 1.5));
  p.drawLine(QPointF(10, 10), QPointF(3, 3));
  p.drawLine(QPointF(3, 3), QPointF(7, 3));
  p.drawLine(QPointF(3, 3), QPointF(3, 7));
}

void drawClickModes(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(8, 0, 8, 3);
  QImage checks(2, 2, QImage::Format_RGB32);
  checks.setPixel(0, 0, qRgb(96, 96, 96));
  checks.setPixel(1, 1, qRgb(96, 96, 96));
  checks.setPixel(1, 0, qRgb(224, 224, 224));
  checks.setPixel(0, 1, qRgb(224, 224, 224));
  p.setBrush(QBrush(checks));
  p.drawRoundedRect(QRectF(3.5, 3.5, 9, 12), 4, 4);
  p.drawLine(8, 4, 8, 8);
}

void drawWallpaper(QPainter& p) {
  const QColor rings[] = {QColor(0, 0, 200), QColor(0, 170, 0), QColor(230, 200, 0),
                          QColor(220, 0, 0)};
  int inset = 0;
  for (const QColor& c : rings) {
    p.fillRect(inset, inset, 16 - 2 * inset, 16 - 2 * inset, c);
    inset += 2;
  }
}

// Dots in diagonal rows, cycling through the given colours.
void dotField(QPainter& p, int size, const QColor* colors, int count, int step) {
  p.setPen(Qt::NoPen);
  for (int y = 1; y < size; y += step) {
    for (int x = (y / step) % 2 * (step / 2); x < size; x += step) {
      p.setBrush(colors[((x + y) / step) % count]);
      p.drawEllipse(x, y, 2, 2);
    }
  }
}

}  // namespace

QImage GlyphImage(Glyph glyph) {
  QImage image = blank(16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, glyph == Glyph::Clear || glyph == Glyph::Resize);
  switch (glyph) {
    case Glyph::Clear:
      drawClear(p);
      break;
    case Glyph::Folder:
      drawFolder(p);
      break;
    case Glyph::Paste:
      drawPaste(p);
      break;
    case Glyph::Gradient:
      drawGradient(p);
      break;
    case Glyph::Resize:
      drawResize(p);
      break;
    case Glyph::ClickModes:
      drawClickModes(p);
      break;
    case Glyph::Wallpaper:
      drawWallpaper(p);
      break;
  }
  return image;
}

QImage ApplicationIconImage() {
  QImage image = blank(32);
  QPainter p(&image);
  p.fillRect(0, 0, 32, 32, Qt::white);
  const QColor dots[] = {Qt::red, QColor(240, 220, 0), QColor(0, 170, 0), Qt::blue};
  dotField(p, 32, dots, 4, 4);
  QLinearGradient sky(6, 6, 26, 26);
  sky.setColorAt(0, QColor(200, 255, 255));
  sky.setColorAt(1, QColor(0, 96, 96));
  p.setPen(QPen(QColor(0, 0, 160), 2));
  p.setBrush(sky);
  p.drawRect(6, 6, 20, 20);
  return image;
}

QImage WindowIconImage() {
  QImage image = blank(32);
  QPainter p(&image);
  p.fillRect(0, 0, 32, 32, QColor(160, 160, 160));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 0));
  for (const QPoint corner : {QPoint(2, 2), QPoint(27, 2), QPoint(2, 27), QPoint(27, 27)}) {
    p.drawEllipse(corner.x(), corner.y(), 3, 3);
  }
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0, 0, 120));
  p.setPen(QPen(QColor(0, 200, 0), 2, Qt::DotLine));
  p.drawEllipse(QRectF(3, 3, 26, 26));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(210, 210, 210));
  for (const QPoint at : {QPoint(10, 10), QPoint(19, 10), QPoint(10, 19), QPoint(19, 19)}) {
    p.drawRect(at.x(), at.y(), 3, 3);
  }
  p.setBrush(QColor(0, 230, 230));
  p.drawRect(14, 14, 4, 4);
  return image;
}

}  // namespace tessora
