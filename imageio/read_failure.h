#pragma once

#include <cstdint>
#include <string>

#include "imageio/image_limits.h"

// The words a reader gives for refusing a file (ImageError::detail()), so that every reader says
// the same thing for the same kind of failure.
namespace tessora {

/// The reason for a file of no bytes.
constexpr const char* kEmptyFile = "empty file";
/// The reason for a file that ends before its picture does.
constexpr const char* kTruncated = "truncated";
/// The reason when nothing plainer applies: broken data, or a variant no reader here decodes.
constexpr const char* kDamaged = "damaged or not supported";

/// Fails a read: throws ImageError "Error Reading File!" with `why` as its detail.
[[noreturn]] void FailRead(const std::string& why);

/// Why `limits` refuse a picture of width x height, naming the bound it passes: a side ("picture
/// of W x H is larger than 65535 x 65535"), else the pixel count ("... is larger than 536870912
/// pixels"), else the memory its decoding takes ("... needs more memory than 4294967296 bytes").
std::string TooLargeText(std::int64_t width, std::int64_t height, const ImageLimits& limits);

/// Why a picture of width x height that the limits refuse is refused: its size, or kDamaged when
/// a side is zero or negative, which is no size at all.
std::string RefusedSizeText(std::int64_t width, std::int64_t height, const ImageLimits& limits);

/// "picture of W x H is stored as only X x Y" (or "as X x Y" when larger): a file that gives a
/// picture another size than its data codes it at.
std::string StoredSizeText(std::int64_t width, std::int64_t height, std::int64_t storedWidth,
                           std::int64_t storedHeight);

/// "grid repeats one coded tile N times": a grid whose cells share coded data.
std::string RepeatedTileText(std::int64_t times);

/// "65536 tiles hold only 11 bytes of their own, too few for a picture of W x H": strips or
/// tiles of a TIFF that name the same bytes again and again.
std::string SharedChunksText(const std::string& what, std::uint64_t chunks, std::uint64_t ownBytes,
                             std::int64_t width, std::int64_t height);

/// "grid of W x H holds only N bytes of coded pictures, ...": a derived picture ("grid",
/// "overlay canvas") far larger than the coded data it is made of.
std::string ThinDerivedText(const std::string& what, std::int64_t width, std::int64_t height,
                            std::uint64_t codedBytes);

/// "file is too short for a picture of W x H": the header promises more pixels than the data
/// that follows could hold at the best ratio its compression reaches.
std::string TooShortText(std::int64_t width, std::int64_t height);

/// "animation canvas of W x H is too large for its first frame of w x h": a canvas the frame
/// shown covers only a sliver of.
std::string CanvasTooLargeText(std::int64_t canvasWidth, std::int64_t canvasHeight,
                               std::int64_t frameWidth, std::int64_t frameHeight);

}  // namespace tessora
