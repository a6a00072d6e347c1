#include "imageio/read_failure.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imageio/byte_order.h"

namespace tessora {
namespace {

using byte_order::ReadBE16;
using byte_order::ReadBE32;
using byte_order::ReadLE16;
using byte_order::ReadLE32;
using byte_order::ReadLE32Signed;

constexpr const char* kTruncated = "truncated";
constexpr const char* kDamaged = "damaged or not supported";

// The bytes of a file and how far a walk through it has come; `at` never passes `size`.
struct Outline {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  std::size_t left() const { return size - at; }
  bool startsWith(const char* text) const {
    const std::size_t n = std::strlen(text);
    return size >= n && std::memcmp(data, text, n) == 0;
  }
  // Moves on by n bytes; false, staying put, when the file ends first.
  bool skip(std::uint64_t n) {
    if (n > left()) {
      return false;
    }
    at += static_cast<std::size_t>(n);
    return true;
  }
};

// A size the reader refuses; zero sides are damage, not size.
bool tooLarge(std::int64_t width, std::int64_t height, const ImageLimits& limits) {
  return width > 0 && height > 0 && !limits.allows(width, height, 3);
}

std::string pngReason(Outline file, const ImageLimits& limits) {
  if (!file.startsWith("\x89PNG\r\n\x1a\n")) {
    return "not a PNG file";
  }
  if (file.size >= 24 && std::memcmp(file.data + 12, "IHDR", 4) == 0 &&
      tooLarge(ReadBE32(file.data + 16), ReadBE32(file.data + 20), limits)) {
    return TooLargeText(ReadBE32(file.data + 16), ReadBE32(file.data + 20), limits);
  }
  // Chunks: length, type, data, checksum; the file is whole when IEND is.
  file.at = 8;
  while (file.left() >= 8) {
    const std::uint32_t length = ReadBE32(file.data + file.at);
    const bool end = std::memcmp(file.data + file.at + 4, "IEND", 4) == 0;
    if (!file.skip(std::uint64_t{length} + 12)) {
      break;
    }
    if (end) {
      return kDamaged;
    }
  }
  return kTruncated;
}

// Sub-blocks: a size byte and that many bytes, up to a size of zero.
bool skipGifBlocks(Outline& file) {
  while (file.left() > 0) {
    const std::uint8_t n = file.data[file.at++];
    if (n == 0) {
      return true;
    }
    if (!file.skip(n)) {
      return false;
    }
  }
  return false;
}

std::size_t gifColorTableBytes(std::uint8_t flags) {
  return (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7) + 1) : 0;
}

// The first frame is all the reader needs: a file that holds it whole failed in its data.
std::string gifReason(Outline file, const ImageLimits& limits) {
  if (!file.startsWith("GIF87a") && !file.startsWith("GIF89a")) {
    return "not a GIF file";
  }
  if (file.size < 13 || !file.skip(13 + gifColorTableBytes(file.data[10]))) {
    return kTruncated;
  }
  while (file.left() > 0) {
    const std::uint8_t type = file.data[file.at++];
    if (type == ';') {
      return "holds no picture";
    }
    if (type == '!') {
      if (!file.skip(1) || !skipGifBlocks(file)) {
        return kTruncated;
      }
    } else if (type != ',') {
      return kDamaged;
    } else if (file.left() < 9) {
      return kTruncated;
    } else {
      const std::uint8_t* frame = file.data + file.at;
      if (tooLarge(ReadLE16(frame + 4), ReadLE16(frame + 6), limits)) {
        return TooLargeText(ReadLE16(frame + 4), ReadLE16(frame + 6), limits);
      }
      // The frame's own colour table, then the code size ahead of the data.
      const bool whole = file.skip(9 + gifColorTableBytes(frame[8]) + 1) && skipGifBlocks(file);
      return whole ? kDamaged : kTruncated;
    }
  }
  return kTruncated;
}

bool isJpegFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Marker segments up to the first scan; the scans end at the end-of-image marker, which no
// coded data can imitate.
std::string jpegReason(Outline file, const ImageLimits& limits) {
  if (!file.startsWith("\xff\xd8\xff")) {
    return "not a JPEG file";
  }
  file.at = 2;
  for (;;) {
    if (file.left() > 0 && file.data[file.at] != 0xFF) {
      return kDamaged;
    }
    while (file.left() > 0 && file.data[file.at] == 0xFF) {
      ++file.at;
    }
    if (file.left() < 3) {
      return kTruncated;
    }
    const std::uint8_t marker = file.data[file.at];
    const std::uint16_t length = ReadBE16(file.data + file.at + 1);
    const std::uint8_t* payload = file.data + file.at + 3;
    if (marker == 0xD9 || length < 2) {
      return kDamaged;
    }
    if (!file.skip(std::uint64_t{length} + 1)) {
      return kTruncated;
    }
    // A frame header: precision, height, width.
    if (isJpegFrameHeader(marker) && length >= 7 &&
        tooLarge(ReadBE16(payload + 3), ReadBE16(payload + 1), limits)) {
      return TooLargeText(ReadBE16(payload + 3), ReadBE16(payload + 1), limits);
    }
    if (marker == 0xDA) {
      const std::uint8_t end[] = {0xFF, 0xD9};
      const std::uint8_t* stop = file.data + file.size;
      return std::search(file.data + file.at, stop, end, end + 2) == stop ? kTruncated : kDamaged;
    }
  }
}

// The end of the last row of an uncompressed bitmap (rows padded to four bytes, the last one
// perhaps not), or 0 when the rows are compressed or the header makes no sense.
std::uint64_t bmpRowsEnd(const std::uint8_t* d, std::size_t size, std::int64_t width,
                         std::int64_t height) {
  const bool core = ReadLE32(d + 14) == 12;
  if (width <= 0 || height <= 0 || (!core && size < 34)) {
    return 0;
  }
  const std::uint32_t compression = core ? 0 : ReadLE32(d + 30);
  const std::uint64_t bits = ReadLE16(d + (core ? 24 : 28));
  if (compression != 0 && compression != 3 && compression != 6) {
    return 0;
  }
  const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * bits;
  return ReadLE32(d + 10) + (rowBits + 31) / 32 * 4 * static_cast<std::uint64_t>(height - 1) +
         (rowBits + 7) / 8;
}

std::string bmpReason(const Outline& file, const ImageLimits& limits) {
  if (!file.startsWith("BM")) {
    return "not a BMP file";
  }
  const std::uint8_t* d = file.data;
  if (file.size < 26 || ReadLE32(d + 14) > file.size - 14) {
    return kTruncated;
  }
  const bool core = ReadLE32(d + 14) == 12;
  const std::int64_t width = core ? ReadLE16(d + 18) : ReadLE32Signed(d + 18);
  const std::int64_t height =
      core ? ReadLE16(d + 20) : std::abs(std::int64_t{ReadLE32Signed(d + 22)});
  if (tooLarge(width, height, limits)) {
    return TooLargeText(width, height, limits);
  }
  return bmpRowsEnd(d, file.size, width, height) > file.size ? kTruncated : kDamaged;
}

// The signature each library-read format starts with, and its name with its article; ISO media
// files (AVIF and HEIF) open with their file type box.
bool hasSignature(PictureFormat format, const Outline& file) {
  switch (format) {
    case PictureFormat::Webp:
      return file.startsWith("RIFF") && file.size >= 12 &&
             std::memcmp(file.data + 8, "WEBP", 4) == 0;
    case PictureFormat::Avif:
    case PictureFormat::Heif:
      return file.size >= 8 && std::memcmp(file.data + 4, "ftyp", 4) == 0;
    case PictureFormat::Tiff:
      // Byte order, then 42 (classic) or 43 (BigTIFF) in that order.
      return file.size >= 4 &&
             ((file.startsWith("II") && (file.data[2] == 42 || file.data[2] == 43)) ||
              (file.startsWith("MM") && (file.data[3] == 42 || file.data[3] == 43)));
    case PictureFormat::Jxl:
      return file.startsWith("\xff\x0a") ||
             (file.size >= 12 && std::memcmp(file.data, "\0\0\0\x0cJXL \r\n\x87\n", 12) == 0);
    default:
      return true;
  }
}

const char* formatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Webp:
      return "a WebP";
    case PictureFormat::Avif:
      return "an AVIF";
    case PictureFormat::Heif:
      return "a HEIF";
    case PictureFormat::Tiff:
      return "a TIFF";
    default:
      return "a JPEG XL";
  }
}

std::string libraryReason(PictureFormat format, const Outline& file,
                          const std::string& readerSays) {
  if (!hasSignature(format, file)) {
    return std::string("not ") + formatName(format) + " file";
  }
  return readerSays.empty() ? kDamaged : readerSays;
}

}  // namespace

std::string WhyUnreadable(PictureFormat format, const std::uint8_t* data, std::size_t size,
                          const ImageLimits& limits, const std::string& readerSays) {
  if (data == nullptr || size == 0) {
    return "empty file";
  }
  const Outline file{data, size};
  switch (format) {
    case PictureFormat::Png:
      return pngReason(file, limits);
    case PictureFormat::Gif:
      return gifReason(file, limits);
    case PictureFormat::Jpeg:
      return jpegReason(file, limits);
    case PictureFormat::Bmp:
      return bmpReason(file, limits);
    case PictureFormat::Webp:
    case PictureFormat::Avif:
    case PictureFormat::Heif:
    case PictureFormat::Tiff:
    case PictureFormat::Jxl:
      break;
  }
  return libraryReason(format, file, readerSays);
}

std::string TooLargeText(std::int64_t width, std::int64_t height, const ImageLimits& limits) {
  const std::int64_t side = std::min<std::int64_t>(limits.maxDimension, Bitmap::kMaxDimension);
  const std::int64_t pixels = std::min(limits.maxPixels, Bitmap::kMaxPixels);
  return "picture of " + std::to_string(width) + " x " + std::to_string(height) +
         " is larger than " + std::to_string(side) + " x " + std::to_string(side) + " or " +
         std::to_string(pixels) + " pixels";
}

}  // namespace tessora
