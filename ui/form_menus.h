#pragma once

#include "document/document.h"

class QAction;
class QMenu;

namespace tessora {

class TForm1;

/// The Options menu's check items, read by type rather than looked up by name.
struct OptionsMenu {
  QAction* useEntireDesktopArea = nullptr;  ///< "part of wallpaper under taskbar"
  QAction* soundEffects = nullptr;          ///< "sound effects"
  QAction* retainAspectRatio = nullptr;     ///< "retain aspect ratio"
  QAction* showAllTools = nullptr;          ///< "show all tools"

  /// The options as the items are checked.
  Options checked() const;
  /// Checks the items as `options` says.
  void check(const Options& options);
};

/// The window's menus: the menu bar's two menus and the four pop-ups, each built from one table
/// that names its items, captions, shortcuts, first states and handlers, and the key commands of
/// the window itself. The items the window reads or rewrites are kept here by type.
struct FormMenus {
  OptionsMenu options;
  QAction* sizingFull = nullptr;        ///< "full"
  QAction* centeredGradient = nullptr;  ///< "centered gradient (2c)"
  QAction* shrinkCustom = nullptr;      ///< the custom tile shrink
  QAction* growCustom = nullptr;        ///< the custom tile grow
  QMenu* sizingPopup = nullptr;
  QMenu* tileGradientPopup = nullptr;
  QMenu* csmPopup = nullptr;
  QMenu* tileResizePopup = nullptr;
  /// The window's own key commands, in no menu: a picture from the file dialog or the clipboard
  /// into a panel.
  QAction* openCenter = nullptr;
  QAction* openTile = nullptr;
  QAction* pasteCenter = nullptr;
  QAction* pasteTile = nullptr;

  /// "full" and "centered gradient (2c)" show exactly while "show all tools" is checked.
  void followShowAllTools();
  /// The custom scaling items as the document's factor makes them.
  void showCustomScale(const Document& document);
};

/// Builds the menus of `form` into its menu bar and as its pop-ups.
FormMenus BuildMenus(TForm1& form);

}  // namespace tessora
