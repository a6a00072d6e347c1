#include "ui/glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>
#include <iterator>
#include <vector>

namespace tessora {
namespace {

QImage blank(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void drawClear(QPainter& p, const QColor& ink) {
  p.setPen(QPen(ink, 2.5, Qt::SolidLine, Qt::RoundCap));
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

void drawClickModes(QPainter& p, const QColor& ink) {
  p.setPen(QPen(ink, 1));
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

// The program icon is designed on a 32 x 32 grid: a white field of dots in diagonal rows,
// cycling through four colours, under a blue-framed square of a cyan-to-teal gradient. The
// bitmaps of every size and the scalable SVG are drawn from this one description.
constexpr int kIconGrid = 32;
constexpr int kIconDotStep = 4;
constexpr int kIconDotSize = 2;
const QColor kIconDotColors[] = {Qt::red, QColor(240, 220, 0), QColor(0, 170, 0), Qt::blue};
const QRect kIconFrame(6, 6, 20, 20);
constexpr int kIconFrameWidth = 2;
const QColor kIconFrameColor(0, 0, 160);
const QColor kIconSkyTop(200, 255, 255);
const QColor kIconSkyBottom(0, 96, 96);

struct IconDot {
  QPoint at;  // top-left corner of the dot's box
  QColor color;
};

std::vector<IconDot> iconDots() {
  std::vector<IconDot> dots;
  const int count = static_cast<int>(std::size(kIconDotColors));
  for (int y = 1; y < kIconGrid; y += kIconDotStep) {
    for (int x = (y / kIconDotStep) % 2 * (kIconDotStep / 2); x < kIconGrid; x += kIconDotStep) {
      dots.push_back({QPoint(x, y), kIconDotColors[((x + y) / kIconDotStep) % count]});
    }
  }
  return dots;
}

QString svgColor(const QColor& c) {
  return c.name(QColor::HexRgb);
}

}  // namespace

QImage GlyphImage(Glyph glyph, const QColor& ink) {
  QImage image = blank(16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, glyph == Glyph::Clear || glyph == Glyph::Resize);
  switch (glyph) {
    case Glyph::Clear:
      drawClear(p, ink);
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
      drawClickModes(p, ink);
      break;
    case Glyph::Wallpaper:
      drawWallpaper(p);
      break;
  }
  return image;
}

QImage ApplicationIconImage(int size) {
  QImage image = blank(size);
  QPainter p(&image);
  // The grid size itself is drawn pixel for pixel, as it always was; other sizes are the same
  // drawing scaled, smoothed so that the dots do not snap to uneven pixels.
  if (size != kIconGrid) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(static_cast<qreal>(size) / kIconGrid, static_cast<qreal>(size) / kIconGrid);
  }
  p.fillRect(0, 0, kIconGrid, kIconGrid, Qt::white);
  p.setPen(Qt::NoPen);
  for (const IconDot& dot : iconDots()) {
    p.setBrush(dot.color);
    p.drawEllipse(dot.at.x(), dot.at.y(), kIconDotSize, kIconDotSize);
  }
  QLinearGradient sky(kIconFrame.topLeft(),
                      kIconFrame.topLeft() + QPoint(kIconFrame.width(), kIconFrame.height()));
  sky.setColorAt(0, kIconSkyTop);
  sky.setColorAt(1, kIconSkyBottom);
  p.setPen(QPen(kIconFrameColor, kIconFrameWidth));
  p.setBrush(sky);
  p.drawRect(kIconFrame);
  return image;
}

std::string ApplicationIconSvg() {
  const qreal r = kIconDotSize / 2.0;
  QString svg = QStringLiteral(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                    "viewBox=\"0 0 %1 %1\">\n"
                    "<defs><linearGradient id=\"sky\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                    "y1=\"%3\" x2=\"%4\" y2=\"%5\"><stop offset=\"0\" stop-color=\"%6\"/>"
                    "<stop offset=\"1\" stop-color=\"%7\"/></linearGradient></defs>\n"
                    "<rect width=\"%1\" height=\"%1\" fill=\"#ffffff\"/>\n")
                    .arg(kIconGrid)
                    .arg(kIconFrame.left())
                    .arg(kIconFrame.top())
                    .arg(kIconFrame.left() + kIconFrame.width())
                    .arg(kIconFrame.top() + kIconFrame.height())
                    .arg(svgColor(kIconSkyTop), svgColor(kIconSkyBottom));
  for (const IconDot& dot : iconDots()) {
    svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n")
               .arg(dot.at.x() + r)
               .arg(dot.at.y() + r)
               .arg(r)
               .arg(svgColor(dot.color));
  }
  svg += QStringLiteral(
             "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"url(#sky)\" "
             "stroke=\"%5\" stroke-width=\"%6\"/>\n</svg>\n")
             .arg(kIconFrame.left())
             .arg(kIconFrame.top())
             .arg(kIconFrame.width())
             .arg(kIconFrame.height())
             .arg(svgColor(kIconFrameColor))
             .arg(kIconFrameWidth);
  return svg.toStdString();
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
