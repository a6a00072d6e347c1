#pragma once

#include "engine/rect.h"

namespace tessora {

/// A control's place: left and top within its parent, width and height.
struct Place {
  int left, top, width, height;
};

/// Where the parts of one source panel go, within the panel.
struct PanelPlaces {
  Place panel;  ///< within the window's client area
  int band0Width;
  int band1Width;
  int toolRowWidth;
  Place pathLabel;
  Place imageFrame;
  Place image;  ///< within the image frame
};

/// The window's geometry, the one table the window builds itself from and the document renders
/// for (the tool renders exactly as the window would).
namespace window_geometry {
inline constexpr int kClientWidth = 346;
inline constexpr int kClientHeight = 433;
/// The preview, within the main panel at the top of the window.
inline constexpr Place kPreview{1, 1, 344, 231};
/// The tile panel (0) and the center panel (1).
inline constexpr PanelPlaces kPanels[2] = {
    {{9, 260, 161, 170}, 142, 17, 129, {8, 32, 145, 25}, {6, 60, 148, 100}, {4, 1, 144, 88}},
    {{180, 260, 151, 170}, 129, 20, 116, {6, 32, 145, 25}, {6, 60, 158, 100}, {1, 1, 139, 88}},
};
}  // namespace window_geometry

/// Sizes of the window's controls that the composition depends on.
struct Layout {
  /// The background panel: the size of a cleared tile.
  Size tilePanel{window_geometry::kPanels[0].panel.width, window_geometry::kPanels[0].panel.height};
  /// The preview the wallpaper is stretched into.
  Size preview{window_geometry::kPreview.width, window_geometry::kPreview.height};
  /// The center panel's picture frame: decides the sizing axis.
  Size centerFrame{window_geometry::kPanels[1].image.width,
                   window_geometry::kPanels[1].image.height};
};

}  // namespace tessora
