#pragma once

#include <QFrame>

#include "engine/color.h"

namespace tessora {

class ClickLabel;

/// The palette `PallettePanel` between the preview and the panels: the swatches of the two
/// colours the backgrounds are generated from, and the symbol that swaps them.
class PaletteBar : public QFrame {
  Q_OBJECT

 public:
  explicit PaletteBar(QWidget* parent);

  /// The swatches show the document's two colours.
  void showColors(TColor color0, TColor color1);
  /// Where the symbol font is missing the swap symbol reads "<->", a little lower.
  void useTextSwapSymbol();

 signals:
  void color0Clicked();
  void color1Clicked();
  void swapClicked();

 private:
  ClickLabel* addSwatch(const char* name, int left);

  ClickLabel* swatches_[2];
  ClickLabel* swap_;
};

}  // namespace tessora
