#pragma once

#include <QString>

namespace tessora {

/// Whether the image loaders of the GTK desktops (gdk-pixbuf) read BMP here. Debian 12 ships
/// the BMP loader, but newer gdk-pixbuf builds make it optional. True when the loader list
/// cannot be found: the common case is that it is there.
bool PixbufReadsBmp();

/// The same question for a given loader list (the text of gdk-pixbuf's loaders.cache).
bool LoaderListReadsBmp(const QString& loadersCache);

}  // namespace tessora
