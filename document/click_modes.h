#pragma once

#include <cstdint>

namespace tessora {

/// What a press on the preview does.
enum class ClickMode : std::uint8_t {
  PickColors = 0,
  MarkTransparent = 1,
  ResizeHeight = 2,
  ResizeWidth = 3,
};

/// The preview's armed click mode: armed from the menu, it ends when the pointer, having been over
/// the preview since, moves over the window's bare surface.
class ClickModes {
 public:
  ClickMode mode() const { return mode_; }
  /// Whether the pointer has been over the preview since the mode was armed.
  bool previewEntered() const { return previewEntered_; }
  void arm(ClickMode mode) {
    mode_ = mode;
    previewEntered_ = false;
  }
  void pointerOverPreview() { previewEntered_ = true; }
  /// The pointer over the bare surface; true when that ended an armed mode.
  bool pointerOverSurface() {
    if (!previewEntered_ || mode_ == ClickMode::PickColors) {
      return false;
    }
    mode_ = ClickMode::PickColors;
    return true;
  }

 private:
  ClickMode mode_ = ClickMode::PickColors;
  bool previewEntered_ = false;
};

}  // namespace tessora
