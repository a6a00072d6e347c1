#pragma once

#include <QFont>

namespace tessora {

// The Windows faces the layout names are not on Linux: these are their nearest kin.

/// The small sans face of the path labels, hints, list boxes and most information texts.
QFont SmallFont(int pixelSize);

/// The fixed-pitch face of the "INVALID" text and the swap symbol's fallback.
QFont FixedFont(int pointSize);

}  // namespace tessora
