#pragma once

#include <string>
#include <vector>

#include "support/files.h"

namespace tessora::testing {

/// A file of a few bytes whose header promises a huge picture, made byte by byte: what a reader
/// must refuse, in well under a second and at little cost, and why.
struct PictureBomb {
  std::string name;    // what it is, as a file name without extension
  std::string format;  // the format's key in picture_formats.h: webp, jxl, tiff
  Bytes file;
  std::string reason;  // how the reason the reader gives starts
};

/// The bombs of the formats read through their libraries, for the tests and the fuzz seeds.
std::vector<PictureBomb> PictureBombs();

}  // namespace tessora::testing
