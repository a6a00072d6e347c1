#pragma once

#include <QColor>
#include <QImage>
#include <string>

namespace tessora {

/// The shared 16 x 16 glyphs of the tool buttons and the "Set as Wallpaper" item; the same glyph
/// stands for the same kind of command on both panels.
enum class Glyph {
  Clear = 0,       ///< black cross
  Folder = 1,      ///< yellow folder
  Paste = 2,       ///< clipboard with a sheet
  Gradient = 3,    ///< green shades, light at the top
  Resize = 4,      ///< grey window, inner window, red arrow to the top-left corner
  ClickModes = 5,  ///< mouse with its cable, grey checkered body
  Wallpaper = 6,   ///< concentric coloured squares
};

/// One glyph, drawn on a transparent 16 x 16 image. `ink` draws what is black on a light palette
/// (the cross, the mouse's outline and cable): the palette's text colour keeps them visible on a
/// dark one.
QImage GlyphImage(Glyph glyph, const QColor& ink = Qt::black);

/// The program's icon, `size` x `size` (32 by default, as the window and the about box show it):
/// a blue-framed cyan-to-teal gradient on a dotted white field.
QImage ApplicationIconImage(int size = 32);

/// The same icon as a scalable SVG document, for the desktop's icon theme.
std::string ApplicationIconSvg();

/// The main window's 32 x 32 caption icon: a dark blue disc with a green dotted rim.
QImage WindowIconImage();

}  // namespace tessora
