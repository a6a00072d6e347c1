#include "ui/palette_bar.h"

#include "ui/click_label.h"
#include "ui/fonts.h"

namespace tessora {
namespace {

QColor toQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

}  // namespace

PaletteBar::PaletteBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("PallettePanel"));
  setGeometry(117, 235, 97, 20);
  swatches_[0] = addSwatch("ColorPanel0", 0);
  swatches_[1] = addSwatch("ColorPanel1", 64);
  connect(swatches_[0], &ClickLabel::clicked, this, &PaletteBar::color0Clicked);
  connect(swatches_[1], &ClickLabel::clicked, this, &PaletteBar::color1Clicked);
  swap_ = new ClickLabel(this);
  swap_->setObjectName(QStringLiteral("ColorSwitchStaticText"));
  swap_->setGeometry(38, 0, 22, 25);
  swap_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  swap_->setText(QStringLiteral("`"));
  QFont symbol(QStringLiteral("Webdings"));
  symbol.setPixelSize(21);
  swap_->setFont(symbol);
  connect(swap_, &ClickLabel::clicked, this, &PaletteBar::swapClicked);
}

ClickLabel* PaletteBar::addSwatch(const char* name, int left) {
  auto* swatch = new ClickLabel(this);
  swatch->setObjectName(QString::fromLatin1(name));
  swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  swatch->setAutoFillBackground(true);
  swatch->setGeometry(left, 0, 33, 20);
  return swatch;
}

void PaletteBar::showColors(TColor color0, TColor color1) {
  const TColor colors[] = {color0, color1};
  for (int i = 0; i < 2; ++i) {
    QPalette pal = swatches_[i]->palette();
    pal.setColor(QPalette::Window, toQColor(colors[i]));
    swatches_[i]->setPalette(pal);
  }
}

void PaletteBar::useTextSwapSymbol() {
  swap_->move(swap_->x(), swap_->y() + 4);
  swap_->setFont(FixedFont(12));
  swap_->setText(QStringLiteral("<->"));
}

}  // namespace tessora
