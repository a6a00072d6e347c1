#include "imageio/bmp_codec.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/atomic_file.h"
#include "imageio/adopt_pixels.h"
#include "imageio/byte_order.h"
#include "imageio/image_error.h"
#include "imageio/picture_formats.h"
#include "imageio/read_failure.h"

namespace tessora {
namespace {

using byte_order::ReadLE16;
using byte_order::ReadLE32;
using byte_order::ReadLE32Signed;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// Refuses a header or data no writer makes.
[[noreturn]] void fail() {
  FailRead(kDamaged);
}

// Fields wider than this are read by their top bits: 16 bits a channel is already beyond what a
// 24-bit bitmap can show.
constexpr int kMaxFieldBits = 16;

// Lowest bit and width of a contiguous mask; a zero mask has width 0.
struct FieldPlace {
  int shift = 0;
  int bits = 0;
};

FieldPlace placeOf(std::uint32_t mask) {
  FieldPlace place;
  if (mask == 0) {
    return place;
  }
  while (((mask >> place.shift) & 1u) == 0) {
    ++place.shift;
  }
  while (place.shift + place.bits < 32 && ((mask >> (place.shift + place.bits)) & 1u) != 0) {
    ++place.bits;
  }
  return place;
}

bool contiguous(std::uint32_t mask) {
  const std::uint64_t field = mask >> placeOf(mask).shift;
  return (field & (field + 1)) == 0;
}

// Widens a field value of `bits` bits (1 to 16) to 8 bits the way the bmpsuite reference
// pictures do, which is not one formula: narrow fields keep their value in the top bits (4-bit 15
// gives 240, 1-bit 1 gives 128); the usual 5- to 7-bit fields stretch to the full range (31 gives
// 255); and in pixels that carry a field deeper than 8 bits, every field but an 8-bit one is
// taken as a 16-bit sample with zero low bits and reduced as such samples are, by 257, rounding
// down. 8-bit fields stay as they are.
std::uint8_t widenField(std::uint32_t value, int bits, bool deepPixel) {
  if (bits == 8) {
    return static_cast<std::uint8_t>(value);
  }
  if (bits < 5) {
    return static_cast<std::uint8_t>(value << (8 - bits));
  }
  if (bits < 8 && !deepPixel) {
    return static_cast<std::uint8_t>(value * 255 / ((1u << bits) - 1));
  }
  return static_cast<std::uint8_t>((value << (kMaxFieldBits - bits)) / 257);
}

// One colour field of a bit-field pixel. Its 8-bit values come from a table made once per file,
// so a pixel costs a shift, a mask and a load per channel whatever the field's width. A zero mask
// gives a channel that is always 0.
class Channel {
 public:
  Channel(std::uint32_t mask, bool deepPixel) {
    const FieldPlace place = placeOf(mask);
    const int kept = std::min(place.bits, kMaxFieldBits);
    shift_ = place.shift + place.bits - kept;
    keep_ = (1u << kept) - 1;
    table_.resize(std::size_t{keep_} + 1);
    for (std::uint32_t v = 1; v <= keep_; ++v) {
      table_[v] = widenField(v, kept, deepPixel);
    }
  }
  std::uint8_t operator()(std::uint32_t pixel) const { return table_[(pixel >> shift_) & keep_]; }

 private:
  int shift_ = 0;
  std::uint32_t keep_ = 0;
  std::vector<std::uint8_t> table_;
};

struct BmpHeader {
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool topDown = false;
  int bitsPerPixel = 0;
  std::uint32_t compression = kRgb;
  std::array<std::uint32_t, 3> masks{};
  std::size_t paletteOffset = 0;
  std::size_t paletteEntrySize = 4;
  std::uint32_t colorsUsed = 0;
  std::size_t pixelOffset = 0;
};

void readCoreHeader(const std::uint8_t* d, BmpHeader& h) {
  h.width = ReadLE16(d + 18);
  h.height = ReadLE16(d + 20);
  if (ReadLE16(d + 22) != 1) {
    fail();
  }
  h.bitsPerPixel = ReadLE16(d + 24);
  h.paletteEntrySize = 3;
}

// Windows info headers (40 bytes and the later versions) and the OS/2 version 2 header, which
// shares the first fields and may stop anywhere after 16 bytes.
void readInfoHeader(const std::uint8_t* d, std::size_t size, std::uint32_t headerSize,
                    BmpHeader& h) {
  const bool os2 = headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
                   headerSize != 124;
  if (os2 && headerSize > 64) {
    fail();
  }
  h.width = ReadLE32Signed(d + 18);
  const std::int32_t rawHeight = ReadLE32Signed(d + 22);
  h.topDown = rawHeight < 0;
  h.height = rawHeight < 0 ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (ReadLE16(d + 26) != 1) {
    fail();
  }
  h.bitsPerPixel = ReadLE16(d + 28);
  h.compression = headerSize >= 20 ? ReadLE32(d + 30) : kRgb;
  h.colorsUsed = headerSize >= 36 ? ReadLE32(d + 46) : 0;
  if (os2 && h.compression != kRgb && h.compression != kRle8 && h.compression != kRle4) {
    fail();  // OS/2 Huffman and RLE24 are not supported
  }
  if (h.compression != kBitFields && h.compression != kAlphaBitFields) {
    return;
  }
  // The masks follow a 40-byte header and are part of every later one.
  const std::size_t maskAt = kFileHeaderSize + kInfoHeaderSize;
  if (maskAt + 12 > size) {
    FailRead(kTruncated);
  }
  for (std::size_t i = 0; i < 3; ++i) {
    h.masks[i] = ReadLE32(d + maskAt + 4 * i);
  }
  if (headerSize == 40) {
    h.paletteOffset += h.compression == kAlphaBitFields ? 16 : 12;
  }
}

// Refuses pictures beyond the limits and combinations no writer produces.
void checkHeader(BmpHeader& h, const ImageLimits& limits) {
  if (!limits.allows(h.width, h.height, 3)) {
    FailRead(RefusedSizeText(h.width, h.height, limits));
  }
  const int bpp = h.bitsPerPixel;
  const bool rle = h.compression == kRle8 || h.compression == kRle4;
  const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  if ((bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) ||
      (h.compression == kRle8 && bpp != 8) || (h.compression == kRle4 && bpp != 4) ||
      (fields && bpp != 16 && bpp != 32) || (!rle && !fields && h.compression != kRgb) ||
      (rle && h.topDown)) {
    fail();
  }
  // A mask with a gap has no single value to widen; no writer makes one.
  for (std::uint32_t mask : h.masks) {
    if (fields && !contiguous(mask)) {
      fail();
    }
  }
  if (!fields && bpp == 16) {
    h.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (!fields && bpp == 32) {
    h.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
}

BmpHeader readHeader(const std::uint8_t* d, std::size_t size, const ImageLimits& limits) {
  if (size < kFileHeaderSize + 12) {
    FailRead(kTruncated);
  }
  const std::uint32_t headerSize = ReadLE32(d + 14);
  if (headerSize < 12 || (headerSize > 12 && headerSize < 16)) {
    fail();
  }
  if (headerSize > size || kFileHeaderSize + headerSize > size) {
    FailRead(kTruncated);
  }
  BmpHeader h;
  h.paletteOffset = kFileHeaderSize + headerSize;
  if (headerSize == 12) {
    readCoreHeader(d, h);
  } else {
    readInfoHeader(d, size, headerSize, h);
  }
  checkHeader(h, limits);
  const std::uint32_t offBits = ReadLE32(d + 10);
  if (offBits > size) {
    FailRead(kTruncated);
  }
  h.pixelOffset = offBits != 0 ? offBits : h.paletteOffset;
  // Every uncompressed row must be in the file before the picture's memory is taken; the last
  // row need not be padded.
  const auto bitsPerRow =
      static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.bitsPerPixel);
  const std::uint64_t rowsEnd =
      h.pixelOffset + (bitsPerRow + 31) / 32 * 4 * static_cast<std::uint64_t>(h.height - 1) +
      (bitsPerRow + 7) / 8;
  if (h.compression != kRle8 && h.compression != kRle4 && rowsEnd > size) {
    FailRead(kTruncated);
  }
  return h;
}

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

// Entries the file does not hold stay black, so a bad index can never read outside the table.
Palette readPalette(const std::uint8_t* d, std::size_t size, const BmpHeader& h) {
  Palette palette{};
  if (h.bitsPerPixel > 8) {
    return palette;
  }
  const std::size_t full = std::size_t{1} << h.bitsPerPixel;
  std::size_t count = h.colorsUsed == 0 ? full : std::min<std::size_t>(h.colorsUsed, full);
  const std::size_t end = h.pixelOffset > h.paletteOffset ? h.pixelOffset : size;
  if (h.paletteOffset < end) {
    count = std::min(count, (end - h.paletteOffset) / h.paletteEntrySize);
  } else {
    count = 0;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = d + h.paletteOffset + i * h.paletteEntrySize;
    palette[i] = {e[2], e[1], e[0]};
  }
  return palette;
}

void putIndexRow(const std::uint8_t* row, const BmpHeader& h, const Palette& palette,
                 std::uint8_t* out) {
  const int bpp = h.bitsPerPixel;
  const unsigned perByte = 8u / static_cast<unsigned>(bpp);
  const unsigned mask = (1u << bpp) - 1;
  for (std::int64_t x = 0; x < h.width; ++x, out += 3) {
    const auto i = static_cast<std::size_t>(x);
    const unsigned shift =
        8u - static_cast<unsigned>(bpp) * (1 + static_cast<unsigned>(i % perByte));
    const auto& c = palette[(row[i / perByte] >> shift) & mask];
    out[0] = c[0];
    out[1] = c[1];
    out[2] = c[2];
  }
}

using Channels = std::array<Channel, 3>;

Channels channelsOf(const BmpHeader& h) {
  const bool deepPixel = std::any_of(h.masks.begin(), h.masks.end(),
                                     [](std::uint32_t mask) { return placeOf(mask).bits > 8; });
  return {Channel(h.masks[0], deepPixel), Channel(h.masks[1], deepPixel),
          Channel(h.masks[2], deepPixel)};
}

void putFieldRow(const std::uint8_t* row, const BmpHeader& h, const Channels& ch,
                 std::uint8_t* out) {
  const auto width = static_cast<std::size_t>(h.width);
  for (std::size_t x = 0; x < width; ++x, out += 3) {
    const std::uint32_t v = h.bitsPerPixel == 16 ? ReadLE16(row + 2 * x) : ReadLE32(row + 4 * x);
    out[0] = ch[0](v);
    out[1] = ch[1](v);
    out[2] = ch[2](v);
  }
}

void decodeUncompressed(const std::uint8_t* d, std::size_t size, const BmpHeader& h, Bitmap& out) {
  const auto bitsPerRow =
      static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.bitsPerPixel);
  const std::uint64_t stride = (bitsPerRow + 31) / 32 * 4;
  const Palette palette = readPalette(d, size, h);
  const Channels channels = channelsOf(h);
  for (std::int64_t row = 0; row < h.height; ++row) {
    const std::uint8_t* src = d + h.pixelOffset + static_cast<std::size_t>(row) * stride;
    std::uint8_t* dst = out.scanLine(static_cast<int>(h.topDown ? row : h.height - 1 - row));
    if (h.bitsPerPixel <= 8) {
      putIndexRow(src, h, palette, dst);
    } else if (h.bitsPerPixel == 24) {
      SwapRedAndBlue(src, dst, static_cast<std::size_t>(h.width));
    } else {
      putFieldRow(src, h, channels, dst);
    }
  }
}

// The palette indices of a run-length picture (RLE8 or RLE4), rows bottom-up, painted as its
// codes say. Pixels the codes skip (delta moves, an early end of line or of bitmap) keep index 0,
// the palette's first colour, which is what they show in a picture without transparency. Runs
// that pass the right edge are cut there.
class RleCanvas {
 public:
  explicit RleCanvas(const BmpHeader& h)
      : width_(static_cast<std::size_t>(h.width)),
        rows_(static_cast<std::size_t>(h.height)),
        four_(h.compression == kRle4),
        index_(width_ * rows_, 0) {}

  // Follows the codes from `pos` on; false when the data ends before the picture does.
  bool paint(const std::uint8_t* d, std::size_t size, std::size_t pos) {
    while (y_ < rows_) {
      if (pos + 2 > size) {
        return y_ + 1 == rows_ && x_ >= width_;
      }
      const std::uint8_t count = d[pos];
      const std::uint8_t value = d[pos + 1];
      pos += 2;
      if (count > 0) {
        for (unsigned i = 0; i < count && x_ < width_; ++i) {
          put(four_ ? nibble(value, i) : value);
        }
      } else if (value == 0) {
        x_ = 0;
        ++y_;
      } else if (value == 1) {
        return true;
      } else if (value == 2) {
        if (pos + 2 > size) {
          return false;
        }
        x_ += d[pos];
        y_ += d[pos + 1];
        pos += 2;
      } else {
        pos = absolute(d, size, pos, value);
      }
    }
    return true;
  }

  const std::vector<std::uint8_t>& index() const { return index_; }

 private:
  static std::uint8_t nibble(std::uint8_t b, unsigned i) {
    return static_cast<std::uint8_t>(i % 2 == 0 ? b >> 4 : b & 15);
  }

  void put(std::uint8_t value) {
    index_[y_ * width_ + x_] = value;
    ++x_;
  }

  // `count` indices as they are stored from `pos`, padded to a whole 16-bit word; returns the
  // position after them.
  std::size_t absolute(const std::uint8_t* d, std::size_t size, std::size_t pos, unsigned count) {
    const std::size_t bytes = four_ ? (count + 1) / 2 : count;
    for (unsigned i = 0; i < count && x_ < width_; ++i) {
      const std::size_t at = pos + (four_ ? i / 2 : i);
      if (at >= size) {
        break;
      }
      put(four_ ? nibble(d[at], i) : d[at]);
    }
    return pos + (bytes + 1) / 2 * 2;
  }

  std::size_t width_;
  std::size_t rows_;
  bool four_;
  std::vector<std::uint8_t> index_;
  std::size_t x_ = 0;
  std::size_t y_ = 0;
};

void decodeRle(const std::uint8_t* d, std::size_t size, const BmpHeader& h, Bitmap& out) {
  RleCanvas canvas(h);
  if (!canvas.paint(d, size, h.pixelOffset)) {
    FailRead(kTruncated);
  }
  const Palette palette = readPalette(d, size, h);
  const auto w = static_cast<std::size_t>(h.width);
  for (std::int64_t row = 0; row < h.height; ++row) {
    const std::uint8_t* src = canvas.index().data() + static_cast<std::size_t>(row) * w;
    std::uint8_t* dst = out.scanLine(static_cast<int>(h.height - 1 - row));
    for (std::size_t x = 0; x < w; ++x, dst += 3) {
      const auto& c = palette[src[x]];
      dst[0] = c[0];
      dst[1] = c[1];
      dst[2] = c[2];
    }
  }
}

// The file header and a 40-byte info header of a 24-bit bottom-up bitmap.
std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> fileHeaders(std::uint64_t w,
                                                                        std::uint64_t h,
                                                                        std::uint64_t stride) {
  std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  byte_order::WriteLE32(&header[2],
                        static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize + stride * h));
  byte_order::WriteLE32(&header[10], kFileHeaderSize + kInfoHeaderSize);
  byte_order::WriteLE32(&header[14], kInfoHeaderSize);
  byte_order::WriteLE32(&header[18], static_cast<std::uint32_t>(w));
  byte_order::WriteLE32(&header[22], static_cast<std::uint32_t>(h));
  byte_order::WriteLE16(&header[26], 1);
  byte_order::WriteLE16(&header[28], 24);
  byte_order::WriteLE32(&header[34], static_cast<std::uint32_t>(stride * h));
  return header;
}

}  // namespace

void ReadBmpMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Bmp, data, size);
  const BmpHeader h = readHeader(data, size, limits);
  Bitmap decoded(static_cast<int>(h.width), static_cast<int>(h.height));
  if (h.compression == kRle8 || h.compression == kRle4) {
    decodeRle(data, size, h, decoded);
  } else {
    decodeUncompressed(data, size, h, decoded);
  }
  AdoptPixels(bitmap, std::move(decoded));
}

void LoadBmpFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits) {
  LoadPictureFile(PictureFormat::Bmp, FileName, bitmap, limits);
}

void SaveBmpFile(const std::string& FileName, const Bitmap& bitmap) {
  const auto w = static_cast<std::uint64_t>(bitmap.width());
  const auto h = static_cast<std::uint64_t>(bitmap.height());
  const std::uint64_t stride = (w * 3 + 3) / 4 * 4;
  const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + stride * h;
  if (fileSize > 0xFFFFFFFFu) {
    throw ImageError("Unable to write to " + FileName);
  }
  AtomicFile file(FileName);
  if (!file.open()) {
    throw ImageError(WithReason("Cannot create file " + FileName, file.failureReason()));
  }
  const auto header = fileHeaders(w, h, stride);
  bool ok = file.write(header.data(), header.size());
  // Rows are written bottom up, a block of about 1 MiB at a time; the padding stays zero.
  const auto rowBytes = static_cast<std::size_t>(stride);
  const std::size_t blockRows = std::max<std::size_t>(1, (std::size_t{1} << 20) / std::max<std::size_t>(rowBytes, 1));
  std::vector<std::uint8_t> block(std::min<std::size_t>(blockRows, h) * rowBytes, 0);
  for (std::uint64_t y = 0; ok && y < h; y += blockRows) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(blockRows, h - y));
    for (std::size_t r = 0; r < n; ++r) {
      SwapRedAndBlue(bitmap.scanLine(static_cast<int>(h - 1 - y - r)), block.data() + r * rowBytes,
                     static_cast<std::size_t>(w));
    }
    ok = file.write(block.data(), n * rowBytes);
  }
  if (!ok || !file.commit()) {
    throw ImageError(WithReason("Unable to write to " + FileName, file.failureReason()));
  }
}

}  // namespace tessora
