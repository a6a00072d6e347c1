#pragma once

namespace tessora {

/// The parts of the document a window shows, one bit each, so that a command can tell all it
/// changed at once.
enum DocumentPart : unsigned {
  kTilePicture = 1U << 0,    ///< the background source's picture
  kCenterPicture = 1U << 1,  ///< the center image's picture and whether it is shown
  kPreview = 1U << 2,        ///< the stretched composition
  kTools = 1U << 3,          ///< which source tools are enabled
  kCaptions = 1U << 4,       ///< each source's path or generated-background caption
  kClickMode = 1U << 5,      ///< the armed click mode of the preview
  kColors = 1U << 6,         ///< the two palette colours
  kTileScale = 1U << 7,      ///< the custom tile-scaling factor
  kRecentLists = 1U << 8,    ///< the lists of recent pictures and their selections
  kAllParts = (1U << 9) - 1,
};
/// A set of DocumentPart bits.
using DocumentParts = unsigned;

/// Notified when what the window shows changes. The window mirrors the document in its widgets;
/// the command-line tool ignores it.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  /// A command ended having changed `parts`: told once per command, when the outermost one ends,
  /// so a view redraws exactly those parts from the document.
  virtual void Changed(DocumentParts parts) = 0;
};

}  // namespace tessora
