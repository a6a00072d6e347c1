#pragma once

#include <string>

namespace tessora {

/// The custom tile-scaling factor a press on the tile panel picks, and the captions of the two
/// menu entries that use it.
class CustomScale {
 public:
  /// A press at x on a panel `panelWidth` wide: the factor becomes x / panelWidth.
  void pick(int x, int panelWidth);
  bool armed() const { return armed_; }
  float fraction() const { return fraction_; }
  /// "shrink to N%" and "grow by N%" once picked, "(click on panel...)" before.
  std::string shrinkCaption() const;
  std::string growCaption() const;

 private:
  float fraction_ = 0;
  bool armed_ = false;
};

}  // namespace tessora
