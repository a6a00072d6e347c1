#include <gtest/gtest.h>

#include <QColor>
#include <QRectF>
#include <QXmlStreamReader>
#include <cmath>
#include <vector>

#include "ui/glyphs.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

// Mean difference per channel between two pictures of one size.
double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y);
      const QColor q = b.pixelColor(x, y);
      sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
             std::abs(p.blue() - q.blue());
    }
  }
  return sum / (3.0 * a.width() * a.height());
}

double Number(const QXmlStreamReader& xml, const char* name) {
  return xml.attributes().value(QLatin1String(name)).toDouble();
}

// The desktop picks whichever size of the icon suits it, so every size and the SVG must show one
// drawing: each SVG dot has its colour where the largest bitmap has it, the SVG frame lies where
// the bitmap's frame is, and each smaller size looks like the largest one scaled down.
TEST(ApplicationIcon, EverySizeAndTheSvgShowOneDrawing) {
  App();
  const int large = 256;
  const QImage big = ApplicationIconImage(large);
  ASSERT_EQ(big.size(), QSize(large, large));

  QXmlStreamReader xml(QByteArray::fromStdString(ApplicationIconSvg()));
  double scale = 0;
  struct Dot {
    QPointF at;
    QColor color;
  };
  std::vector<Dot> dots;
  QRectF frame;
  QColor frameColor;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) {
      continue;
    }
    const QStringView name = xml.name();
    if (name == u"svg") {
      scale = large / Number(xml, "width");
    } else if (name == u"circle") {
      dots.push_back({QPointF(Number(xml, "cx"), Number(xml, "cy")),
                      QColor(xml.attributes().value(QLatin1String("fill")))});
    } else if (name == u"rect" && xml.attributes().hasAttribute(QLatin1String("stroke"))) {
      frame =
          QRectF(Number(xml, "x"), Number(xml, "y"), Number(xml, "width"), Number(xml, "height"));
      frameColor = QColor(xml.attributes().value(QLatin1String("stroke")));
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  ASSERT_GT(scale, 0);
  ASSERT_FALSE(dots.empty());
  ASSERT_TRUE(frame.isValid());

  auto at = [&](QPointF p) {
    return big.pixelColor(QPoint(int(p.x() * scale), int(p.y() * scale)));
  };
  int outside = 0;
  for (const Dot& dot : dots) {
    // Dots under the framed square are painted over, in both.
    if (!frame.adjusted(-2, -2, 2, 2).contains(dot.at)) {
      EXPECT_EQ(at(dot.at), dot.color) << dot.at.x() << "," << dot.at.y();
      ++outside;
    }
  }
  EXPECT_GT(outside, 0);
  for (const QPointF edge :
       {QPointF(frame.left(), frame.center().y()), QPointF(frame.center().x(), frame.bottom())}) {
    EXPECT_EQ(at(edge), frameColor) << edge.x() << "," << edge.y();
  }

  for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
    const QImage icon = ApplicationIconImage(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    const QImage scaled = big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanDifference(icon.convertToFormat(scaled.format()), scaled), 24) << size;
  }
}

}  // namespace
}  // namespace tessora::testing
