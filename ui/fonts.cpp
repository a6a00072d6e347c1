#include "ui/fonts.h"

namespace tessora {

QFont SmallFont(int pixelSize) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

QFont FixedFont(int pointSize) {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(pointSize);
  return font;
}

}  // namespace tessora
