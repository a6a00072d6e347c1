#pragma once

#include <QColor>
#include <QFrame>
#include <vector>

#include "engine/color.h"

namespace tessora {

class ClickLabel;

/// The palette `PallettePanel` between the preview and the panels: the swatches of the two
/// colours the backgrounds are generated from, and the symbol that swaps them. Each is a button
/// the Tab key reaches.
class PaletteBar : public QFrame {
  Q_OBJECT

 public:
  explicit PaletteBar(QWidget* parent);

  /// The swatches show the document's two colours.
  void showColors(TColor color0, TColor color1);
  /// Where the symbol font is missing the swap symbol reads "<->", a little lower.
  void useTextSwapSymbol();
  /// The swatches and the swap symbol in reading order, for the window's Tab order.
  std::vector<QWidget*> tabOrder() const;

 signals:
  void color0Clicked();
  void color1Clicked();
  void swapClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ClickLabel* addSwatch(const char* name, int left);

  ClickLabel* swatches_[2];
  QColor colors_[2];  ///< invalid until the document's colours are shown
  ClickLabel* swap_;
};

}  // namespace tessora
