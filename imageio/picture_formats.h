#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/bitmap.h"
#include "imageio/image_limits.h"

// What the program knows of each kind of picture file it reads, in one table: the loader picks a
// row by the file's extension, the readers check a file's start against their row, and the fuzz
// target and the tests go through the rows.
namespace tessora {

/// The kinds of picture file the loader reads.
enum class PictureFormat { Bmp, Gif, Jpeg, Png, Webp, Avif, Heif, Tiff, Jxl };

/// A reader of a picture in memory: the bitmap takes the picture, or ImageError is thrown with
/// the reason as its detail and the bitmap is unchanged.
using PictureReader = void (*)(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                               const ImageLimits& limits);

/// One row of the table.
struct PictureFormatRow {
  PictureFormat format;
  /// Short lower-case name: the fuzz corpus folders (fuzz/seeds/<key>) are named by it.
  const char* key;
  /// The name in the list of readable kinds the user is shown ("HEIF/HEIC").
  const char* name;
  /// The reason given for a file without the signature ("not a HEIF file").
  const char* notThisFormat;
  /// Lower-cased extensions with their dot; nullptr where a row has fewer.
  std::array<const char*, 2> extensions;
  bool (*hasSignature)(const std::uint8_t* data, std::size_t size);
  PictureReader read;
};

constexpr std::size_t kPictureFormatCount = 9;

/// Every row, in the order the user is told of them (see LoadableFormatsText).
const std::array<PictureFormatRow, kPictureFormatCount>& PictureFormats();

/// The row of `format`.
const PictureFormatRow& RowOf(PictureFormat format);

/// The format whose row lists `extension` (lower-cased, with its dot), or nullopt.
std::optional<PictureFormat> FormatOfExtension(const std::string& extension);

/// The kinds of picture file LoadImageFile reads, in words for the user: the rows' names as a
/// sentence's list, "PNG, JPEG, GIF, BMP, WebP, AVIF, HEIF/HEIC, TIFF and JPEG XL".
std::string LoadableFormatsText();

/// What every reader checks first: throws ImageError "Error Reading File!" with "empty file" for
/// no bytes and the row's "not a ... file" for bytes without its signature.
void CheckPictureStart(PictureFormat format, const std::uint8_t* data, std::size_t size);

/// Reads the file whole (at most limits.maxFileBytes) and hands its bytes to the row's reader.
/// Throws ImageError "Error Opening File " + fileName + "!" or "Error Reading File!".
void LoadPictureFile(PictureFormat format, const std::string& fileName, Bitmap& bitmap,
                     const ImageLimits& limits = {});

}  // namespace tessora
