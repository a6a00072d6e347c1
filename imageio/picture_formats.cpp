#include "imageio/picture_formats.h"

#include <cstring>
#include <vector>

#include "imageio/bmp_codec.h"
#include "imageio/gif_codec.h"
#include "imageio/image_error.h"
#include "imageio/jpeg_codec.h"
#include "imageio/photo_codecs.h"
#include "imageio/png_unit.h"
#include "imageio/read_failure.h"
#include "imageio/read_file.h"

namespace tessora {
namespace {

// `text` is a literal whose last character is its terminating zero; the signatures hold zeros of
// their own, so its length comes from its type.
template <std::size_t N>
bool startsWith(const std::uint8_t* data, std::size_t size, std::size_t at, const char (&text)[N]) {
  return size >= at + N - 1 && std::memcmp(data + at, text, N - 1) == 0;
}

bool isBmp(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "BM");
}

bool isGif(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "GIF87a") || startsWith(d, n, 0, "GIF89a");
}

bool isJpeg(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "\xff\xd8\xff");
}

bool isPng(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "\x89PNG\r\n\x1a\n");
}

bool isWebp(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "RIFF") && startsWith(d, n, 8, "WEBP");
}

// ISO media files (AVIF and HEIF) open with their file type box; which brands it lists is the
// library's business.
bool isIsoBmff(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 4, "ftyp");
}

// Byte order, then 42 (classic) or 43 (BigTIFF) in that order.
bool isTiff(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "II*\0") || startsWith(d, n, 0, "II+\0") ||
         startsWith(d, n, 0, "MM\0*") || startsWith(d, n, 0, "MM\0+");
}

// A bare code stream, or the container's signature box.
bool isJxl(const std::uint8_t* d, std::size_t n) {
  return startsWith(d, n, 0, "\xff\x0a") || startsWith(d, n, 0, "\0\0\0\x0cJXL \r\n\x87\n");
}

// The JPEG reader's thread count is left to it: large files are decoded in bands.
void readJpeg(const std::uint8_t* d, std::size_t n, Bitmap& bitmap, const ImageLimits& limits) {
  ReadJpegMemory(d, n, bitmap, limits);
}

using F = PictureFormat;

// A row a line, so that the table reads as one.
// clang-format off
constexpr std::array<PictureFormatRow, kPictureFormatCount> kRows = {{
  {F::Png,  "png",  "PNG",       "not a PNG file", {".png", nullptr}, isPng, ReadPngMemory},
  {F::Jpeg, "jpeg", "JPEG",      "not a JPEG file", {".jpg", ".jpeg"}, isJpeg, readJpeg},
  {F::Gif,  "gif",  "GIF",       "not a GIF file", {".gif", nullptr}, isGif, ReadGifMemory},
  {F::Bmp,  "bmp",  "BMP",       "not a BMP file", {".bmp", nullptr}, isBmp, ReadBmpMemory},
  {F::Webp, "webp", "WebP",      "not a WebP file", {".webp", nullptr}, isWebp, ReadWebpMemory},
  {F::Avif, "avif", "AVIF",      "not an AVIF file", {".avif", nullptr}, isIsoBmff, ReadAvifMemory},
  {F::Heif, "heif", "HEIF/HEIC", "not a HEIF file", {".heic", ".heif"}, isIsoBmff, ReadHeifMemory},
  {F::Tiff, "tiff", "TIFF",      "not a TIFF file", {".tif", ".tiff"}, isTiff, ReadTiffMemory},
  {F::Jxl,  "jxl",  "JPEG XL",   "not a JPEG XL file", {".jxl", nullptr}, isJxl, ReadJxlMemory},
}};
// clang-format on

}  // namespace

const std::array<PictureFormatRow, kPictureFormatCount>& PictureFormats() {
  return kRows;
}

const PictureFormatRow& RowOf(PictureFormat format) {
  for (const PictureFormatRow& row : kRows) {
    if (row.format == format) {
      return row;
    }
  }
  // Every enumerator has its row; the table test goes through them all.
  return kRows.front();
}

std::optional<PictureFormat> FormatOfExtension(const std::string& extension) {
  for (const PictureFormatRow& row : kRows) {
    for (const char* listed : row.extensions) {
      if (listed != nullptr && extension == listed) {
        return row.format;
      }
    }
  }
  return std::nullopt;
}

std::string LoadableFormatsText() {
  std::string text;
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    text += i == 0 ? "" : i + 1 == kRows.size() ? " and " : ", ";
    text += kRows[i].name;
  }
  return text;
}

void CheckPictureStart(PictureFormat format, const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) {
    FailRead(kEmptyFile);
  }
  const PictureFormatRow& row = RowOf(format);
  if (!row.hasSignature(data, size)) {
    FailRead(row.notThisFormat);
  }
}

void LoadPictureFile(PictureFormat format, const std::string& fileName, Bitmap& bitmap,
                     const ImageLimits& limits) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName, limits.maxFileBytes);
  RowOf(format).read(bytes.data(), bytes.size(), bitmap, limits);
}

}  // namespace tessora
