#include "ui/palette_bar.h"

#include <QEvent>
#include <QPainter>

#include "ui/click_label.h"
#include "ui/fonts.h"

namespace tessora {
namespace {

QColor toQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

/// What each swatch is called and its tooltip, first colour first.
const char* const kSwatchNames[2] = {"First color", "Second color"};
const char* const kSwatchTips[2] = {
    "Choose the first color of the generated backgrounds",
    "Choose the second color of the generated backgrounds",
};

}  // namespace

PaletteBar::PaletteBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("PallettePanel"));
  setGeometry(117, 235, 97, 20);
  setAccessibleName(QStringLiteral("Colors"));
  swatches_[0] = addSwatch("ColorPanel0", 0);
  swatches_[1] = addSwatch("ColorPanel1", 64);
  for (int i = 0; i < 2; ++i) {
    swatches_[i]->setAccessibleName(QString::fromLatin1(kSwatchNames[i]));
    swatches_[i]->setToolTip(QString::fromLatin1(kSwatchTips[i]));
  }
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
  swap_->setFocusPolicy(Qt::StrongFocus);
  swap_->setAccessibleName(QStringLiteral("Swap the colors"));
  swap_->setToolTip(QStringLiteral("Swap the two colors"));
  connect(swap_, &ClickLabel::clicked, this, &PaletteBar::swapClicked);
}

ClickLabel* PaletteBar::addSwatch(const char* name, int left) {
  auto* swatch = new ClickLabel(this);
  swatch->setObjectName(QString::fromLatin1(name));
  swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  swatch->setAutoFillBackground(true);
  swatch->setGeometry(left, 0, 33, 20);
  swatch->setFocusPolicy(Qt::StrongFocus);
  swatch->installEventFilter(this);
  return swatch;
}

void PaletteBar::showColors(TColor color0, TColor color1) {
  const TColor colors[] = {color0, color1};
  for (int i = 0; i < 2; ++i) {
    colors_[i] = toQColor(colors[i]);
    QPalette pal = swatches_[i]->palette();
    pal.setColor(QPalette::Window, colors_[i]);
    swatches_[i]->setPalette(pal);
    swatches_[i]->setAccessibleDescription(QStringLiteral("red %1, green %2, blue %3")
                                               .arg(colors_[i].red())
                                               .arg(colors_[i].green())
                                               .arg(colors_[i].blue()));
    swatches_[i]->update();
  }
}

// A swatch fills its inside with its colour itself: a style may paint a label's background from
// its own palette whatever the widget's says. The frame and the focus are the label's own.
bool PaletteBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint) {
    for (int i = 0; i < 2; ++i) {
      if (watched == swatches_[i] && colors_[i].isValid()) {
        QPainter(swatches_[i]).fillRect(swatches_[i]->rect(), colors_[i]);
      }
    }
  }
  return QFrame::eventFilter(watched, event);
}

std::vector<QWidget*> PaletteBar::tabOrder() const {
  return {swatches_[0], swap_, swatches_[1]};
}

void PaletteBar::useTextSwapSymbol() {
  swap_->move(swap_->x(), swap_->y() + 4);
  swap_->setFont(FixedFont(12));
  swap_->setText(QStringLiteral("<->"));
}

}  // namespace tessora
