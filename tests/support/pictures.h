#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/bitmap.h"

namespace tessora::testing {

/// A w x h bitmap whose pixel (x, y) is RGB(x, y, blue): every pixel tells where it came from.
Bitmap Numbered(int w, int h, int blue = 7);

/// A w x h bitmap of one colour.
Bitmap Solid(int w, int h, TColor c);

/// A bitmap of a pattern in which neighbours differ in every channel, so that misplaced pixels
/// and swapped channels show; `seed` shifts the pattern.
Bitmap PatternBitmap(int width, int height, int seed = 0);

/// Reads an image file through the program's own readers; a file that does not load is a test
/// failure naming the path, and gives an empty bitmap.
Bitmap LoadPicture(const std::string& path);

/// Same size and every channel of every pixel within `tolerance`. On failure the message gives
/// both sizes and, for pictures of one size, the first differing pixel in reading order with its
/// expected and actual colour.
::testing::AssertionResult SamePicture(const Bitmap& actual, const Bitmap& expected,
                                       int tolerance = 0);

}  // namespace tessora::testing
