#pragma once

#include <string>

#include "common/color.h"

namespace tessora {

/// The current RGB value of system colour `index`; 0 for an index the table does not know.
TColor GetSysColor(int index);

/// Resolves a system colour code to its current RGB value; every other value is returned as is.
TColor ColorToRGB(TColor c);

/// The three channels of a colour in decimal, red first, joined by ", " (for example "255, 0, 0").
std::string ColorToRGBText(TColor c);

}  // namespace tessora
