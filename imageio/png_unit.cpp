#include "imageio/png_unit.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "common/atomic_file.h"
#include "imageio/byte_order.h"
#include "imageio/decoded_pixels.h"
#include "imageio/image_error.h"
#include "imageio/picture_formats.h"
#include "imageio/png_deflate.h"
#include "imageio/read_failure.h"

namespace tessora {

const char* const kPngSoftwareText = "PngUnit https://tessora.example.org/";

namespace {

/// The working image of one PNG read or write: PngHeight rows of PngWidth pixels of
/// PngBytesPerPixel bytes, packed top row first, with PngRows pointing at each row. Every call
/// has its own, so reads and writes may run side by side.
struct PngImage {
  std::unique_ptr<std::uint8_t[]> PngData;
  std::vector<std::uint8_t*> PngRows;
  std::uint32_t PngWidth = 0;
  std::uint32_t PngHeight = 0;
  int PngBitDepth = 0;
  int PngColorType = 0;
  int PngBytesPerPixel = 0;
};

void DecodePngMemory(const std::uint8_t* data, std::size_t size, PngImage& image,
                     const ImageLimits& limits);
/// (Re)allocates PngData and PngRows for the image's size and bytes per pixel.
void AllocPngBuffers(PngImage& image);
/// Draws the decoded pixels with their top-left corner at (left, top), clipped to the surface,
/// blending by alpha over what the surface shows.
void DrawPngPixels(const PngImage& image, Bitmap& surface, int left, int top);
/// Writes the working image (8-bit RGB or RGBA) as a PNG file.
void EncodePngFile(const std::string& FileName, const PngImage& image);

constexpr const char* kWriteError = "Error Writing PNG File!";

// libpng reports fatal errors by calling this and expecting it not to return: the longjmp lands in
// one of the guarded functions below. Warnings (bad ancillary chunks and the like) are dropped,
// they would only reach stderr.
[[noreturn]] void onPngError(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}
void onPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// The file in memory, and how much of it libpng may still read. A picture's chunks and image data
// may only cost work in proportion to the picture they make: the allowances start with what any
// file may spend on chunks before its image data and grow by the picture's share once its size
// is known.
struct MemoryReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
  std::uint64_t bytesLeft;
  std::uint64_t chunksLeft;
  // Set while the rows are read, so that reading can stop as soon as the last one is complete.
  bool readingRows = false;
  bool interlaced = false;
  png_uint_32 height = 0;
  bool rowsComplete = false;
  // Set when libpng asked for bytes past the end of the file: whatever fails then, the file is
  // truncated.
  bool ranOut = false;
};

// Why libpng gave up on the file.
const char* failureReason(const MemoryReader& reader) {
  return reader.ranOut ? kTruncated : kDamaged;
}

// True once libpng has made every row. What it would read from then on (the rest of the
// compressed stream, any further image data) cannot change a pixel, yet a stream may go on to the
// end of a huge file, and inflating it costs up to a thousand times its size.
bool rowsComplete(png_structp png, const MemoryReader& reader) {
  if (!reader.readingRows) {
    return false;
  }
  return reader.interlaced ? png_get_current_pass_number(png) >= 7
                           : png_get_current_row_number(png) >= reader.height;
}

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  const png_uint_32 where = png_get_io_state(png) & PNG_IO_MASK_LOC;
  if (where == PNG_IO_CHUNK_HDR) {
    if (reader->chunksLeft == 0) {
      png_error(png, "too many chunks");
    }
    --reader->chunksLeft;
  }
  // The checksum of the chunk that held the last row is still checked: it tells a damaged file.
  if (where != PNG_IO_CHUNK_CRC && rowsComplete(png, *reader)) {
    reader->rowsComplete = true;
    png_error(png, "rows complete");
  }
  if (count > reader->size - reader->pos) {
    reader->ranOut = true;
    png_error(png, "truncated");
  }
  if (count > reader->bytesLeft) {
    png_error(png, "too much data");
  }
  std::memcpy(out, reader->data + reader->pos, count);
  reader->pos += count;
  reader->bytesLeft -= count;
}

void writeToFile(png_structp png, png_bytep data, png_size_t count) {
  bool written = false;
  try {
    written = static_cast<AtomicFile*>(png_get_io_ptr(png))->write(data, count);
  } catch (...) {
    written = false;
  }
  if (!written) {
    png_error(png, "write failed");
  }
}

void flushNothing(png_structp /*png*/) {}

// Owns a libpng read or write structure with its info structure.
class PngHandle {
 public:
  explicit PngHandle(bool forWriting) : writing_(forWriting) {
    // libpng checks the version string it is given against its own; we are built for the 1.6
    // interface and hand over the linked library's string, as its headers would.
    png_ = writing_ ? png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, onPngError,
                                              onPngWarning)
                    : png_create_read_struct(png_get_libpng_ver(nullptr), nullptr, onPngError,
                                             onPngWarning);
    if (png_ != nullptr) {
      info_ = png_create_info_struct(png_);
    }
  }
  PngHandle(const PngHandle&) = delete;
  PngHandle& operator=(const PngHandle&) = delete;
  ~PngHandle() {
    if (writing_) {
      png_destroy_write_struct(&png_, &info_);
    } else {
      png_destroy_read_struct(&png_, &info_, nullptr);
    }
  }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  bool writing_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

struct PngHeader {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  png_size_t rowBytes;
  int fileBitsPerPixel;  // as stored, before the reading transforms widen the samples
  bool interlaced;
};

// The guarded functions hold the only setjmp calls. Their locals are plain values, so a longjmp
// from libpng skips no destructor.
bool readHeaderGuarded(png_structp png, png_infop info, PngHeader* header) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  // Only the header, palette, transparency and image data make the picture: other chunks are
  // passed over unread, so that no compressed text or profile is inflated for nothing.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);
  int interlace = PNG_INTERLACE_NONE;
  png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType,
               &interlace, nullptr, nullptr);
  header->fileBitsPerPixel = header->bitDepth * png_get_channels(png, info);
  header->interlaced = interlace != PNG_INTERLACE_NONE;
  png_set_invert_alpha(png);
  if (header->colorType == PNG_COLOR_TYPE_PALETTE && header->bitDepth <= 8) {
    png_set_expand(png);
  }
  if (header->colorType == PNG_COLOR_TYPE_GRAY && header->bitDepth < 8) {
    png_set_expand(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS) == PNG_INFO_tRNS) {
    png_set_expand(png);
  }
  if (header->bitDepth < 8) {
    png_set_packing(png);
  }
  if (header->bitDepth == 16) {
    png_set_swap(png);
  }
  // Interlaced files are combined into whole rows by libpng, giving the same pixels as plain ones.
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType,
               nullptr, nullptr, nullptr);
  header->rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool readImageGuarded(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_read_image(png, rows);
  return true;
}

bool writeImageGuarded(png_structp png, png_infop info, const PngImage* image, png_textp text,
                       const std::vector<std::uint8_t>& stream) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_set_IHDR(png, info, image->PngWidth, image->PngHeight, image->PngBitDepth,
               image->PngColorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, text, 1);
  png_write_info(png, info);
  // The rows were filtered and compressed beforehand, several pieces at a time; libpng frames
  // the stream into chunks with their checksums.
  static const png_byte kIdat[5] = "IDAT";
  static const png_byte kIend[5] = "IEND";
  constexpr std::size_t kChunk = std::size_t{1} << 18;
  for (std::size_t at = 0; at < stream.size(); at += kChunk) {
    png_write_chunk(png, kIdat, stream.data() + at, std::min(kChunk, stream.size() - at));
  }
  png_write_chunk(png, kIend, nullptr, 0);
  png_write_flush(png);
  return true;
}

// The bytes of the filtered rows: each row's samples and its filter byte. Interlaced files have a
// few more (a filter byte for each row of each pass), which the allowances below cover.
std::uint64_t filteredBytes(const PngHeader& header) {
  const std::uint64_t rowBytes =
      (std::uint64_t{header.width} * static_cast<std::uint64_t>(header.fileBitsPerPixel) + 7) / 8;
  return std::uint64_t{header.height} * (rowBytes + 1);
}

// The image data may come in a chunk per 64 bytes of filtered rows (writers that stream their
// output make small chunks) beyond the chunks any file may have.
constexpr std::uint64_t kImageChunkBytes = 64;

// The image data present in the run of IDAT chunks whose first header starts at `at`, or why it
// cannot be counted: the file ends inside one of them, or the run has more chunks than may be
// read.
struct ImageDataRun {
  std::uint64_t bytes = 0;
  const char* problem = nullptr;
  bool endsFile = false;  // nothing but the run follows: the file has no end chunk
};

ImageDataRun imageDataInRun(const MemoryReader& reader, std::size_t at) {
  ImageDataRun run;
  for (std::uint64_t chunks = 0; reader.size - at >= 8; ++chunks) {
    const std::uint8_t* p = reader.data + at;
    if (std::memcmp(p + 4, "IDAT", 4) != 0) {
      return run;
    }
    const std::uint64_t length = png_get_uint_32(p);
    if (chunks > reader.chunksLeft || length + 12 > reader.size - at) {
      run.problem = chunks > reader.chunksLeft ? kDamaged : kTruncated;
      return run;
    }
    run.bytes += length;
    at += static_cast<std::size_t>(length) + 12;
  }
  run.endsFile = true;
  return run;
}

// Deflate makes at most 1032 bytes of one (a 258-byte match coded in two bits). A file whose
// image data is shorter than that share of the samples its header promises cannot hold them, and
// one that ends inside its image data is truncated: both are refused before the picture's memory
// is taken.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Why the image data cannot hold the picture, or nullptr when it may.
const char* imageDataProblem(const PngHeader& header, const MemoryReader& reader) {
  // libpng has read the header of the first IDAT chunk when it returns the picture's header.
  if (reader.pos < 8) {
    return kDamaged;
  }
  const ImageDataRun run = imageDataInRun(reader, reader.pos - 8);
  const std::uint64_t sampleBytes = std::uint64_t{header.width} * header.height *
                                    static_cast<std::uint64_t>(header.fileBitsPerPixel) / 8;
  if (run.problem != nullptr || sampleBytes / kMaxDeflateRatio <= run.bytes) {
    return run.problem;
  }
  return run.endsFile ? kTruncated : kDamaged;
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Reads the header and, once the picture's size is known to be acceptable, grants the reader
// the picture's share of work.
void readHeader(png_structp png, png_infop info, MemoryReader& reader, PngHeader& header,
                const ImageLimits& limits) {
  const auto maxSide = static_cast<png_uint_32>(std::max(1, limits.maxDimension));
  png_set_user_limits(png, maxSide, maxSide);
  if (!readHeaderGuarded(png, info, &header)) {
    FailRead(failureReason(reader));
  }
  if (header.width == 0 || header.rowBytes % header.width != 0) {
    FailRead(kDamaged);
  }
  if (!limits.allows(header.width, header.height,
                     static_cast<std::int64_t>(header.rowBytes / header.width)) ||
      !limits.allows(header.width, header.height, 3)) {
    FailRead(RefusedSizeText(header.width, header.height, limits));
  }
  const std::uint64_t filtered = filteredBytes(header);
  reader.bytesLeft =
      addCapped(reader.bytesLeft, addCapped(2 * filtered, limits.spareImageDataBytes));
  reader.chunksLeft = addCapped(reader.chunksLeft, filtered / kImageChunkBytes);
  if (const char* problem = imageDataProblem(header, reader)) {
    FailRead(problem);
  }
}

void decodeWith(png_structp png, png_infop info, MemoryReader& reader, PngImage& image,
                const ImageLimits& limits) {
  PngHeader header{};
  readHeader(png, info, reader, header, limits);
  image.PngWidth = header.width;
  image.PngHeight = header.height;
  image.PngBitDepth = header.bitDepth;
  image.PngColorType = header.colorType;
  image.PngBytesPerPixel = static_cast<int>(header.rowBytes / header.width);
  AllocPngBuffers(image);
  reader.readingRows = true;
  reader.interlaced = header.interlaced;
  reader.height = header.height;
  // Reading stops with an error once the rows are complete; the picture is whole then.
  if (!readImageGuarded(png, image.PngRows.data()) && !reader.rowsComplete) {
    FailRead(failureReason(reader));
  }
}

}  // namespace

namespace {

// libpng refuses sides beyond the user limits inside the header chunk, without a word of the
// size; the chunk, which must come first, is looked at here to say it.
void checkDeclaredSize(const std::uint8_t* data, std::size_t size, const ImageLimits& limits) {
  if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) {
    return;
  }
  const std::uint32_t width = byte_order::ReadBE32(data + 16);
  const std::uint32_t height = byte_order::ReadBE32(data + 20);
  if (width > 0 && height > 0 && !limits.allows(width, height, 3)) {
    FailRead(TooLargeText(width, height, limits));
  }
}

void DecodePngMemory(const std::uint8_t* data, std::size_t size, PngImage& image,
                     const ImageLimits& limits) {
  image = PngImage{};
  CheckPictureStart(PictureFormat::Png, data, size);
  checkDeclaredSize(data, size, limits);
  PngHandle handle(false);
  // Without its structures libpng has read nothing: that is a failed read, not an empty picture.
  if (handle.png() == nullptr || handle.info() == nullptr) {
    FailRead("not enough memory");
  }
  MemoryReader reader{data, size, 0, limits.maxMetadataBytes, limits.maxMetadataChunks};
  png_set_read_fn(handle.png(), &reader, readFromMemory);
  png_set_read_status_fn(handle.png(), nullptr);
  try {
    decodeWith(handle.png(), handle.info(), reader, image, limits);
  } catch (const ImageError&) {
    image = PngImage{};
    throw;
  } catch (const std::bad_alloc&) {
    image = PngImage{};
    FailRead("not enough memory");
  } catch (...) {
    image = PngImage{};
    FailRead(kDamaged);
  }
}

void AllocPngBuffers(PngImage& image) {
  image.PngData.reset();
  image.PngRows.clear();
  const std::size_t rowBytes =
      static_cast<std::size_t>(image.PngWidth) * static_cast<std::size_t>(image.PngBytesPerPixel);
  const std::size_t total = rowBytes * image.PngHeight;
  if (total == 0) {
    return;
  }
  image.PngData.reset(new std::uint8_t[total]);
  image.PngRows.resize(image.PngHeight);
  for (std::size_t i = 0; i < image.PngHeight; ++i) {
    image.PngRows[i] = image.PngData.get() + i * rowBytes;
  }
}

// The reading transforms leave one of the shared layouts, alpha inverted and 16-bit samples low
// byte first (png_set_invert_alpha, png_set_swap).
std::optional<SampleLayout> layoutOf(const PngImage& image) {
  const bool deep = image.PngBitDepth == 16;
  switch (image.PngBytesPerPixel) {
    case 1:
      return SampleLayout::Gray8;
    case 2:
      return deep ? SampleLayout::Gray16 : SampleLayout::GrayAlpha8;
    case 3:
      return SampleLayout::Rgb8;
    case 4:
      return deep ? SampleLayout::GrayAlpha16 : SampleLayout::Rgba8;
    case 6:
      return SampleLayout::Rgb16;
    case 8:
      return SampleLayout::Rgba16;
    default:
      return std::nullopt;
  }
}

void DrawPngPixels(const PngImage& image, Bitmap& surface, int left, int top) {
  const std::optional<SampleLayout> layout = layoutOf(image);
  if (image.PngData == nullptr || !layout) {
    return;
  }
  DecodedPixels pixels;
  pixels.data = image.PngData.get();
  pixels.width = static_cast<int>(image.PngWidth);
  pixels.height = static_cast<int>(image.PngHeight);
  pixels.stride = std::size_t{image.PngWidth} * static_cast<std::size_t>(image.PngBytesPerPixel);
  pixels.layout = *layout;
  pixels.invertedAlpha = true;
  DrawDecodedPixels(pixels, surface, left, top);
}

}  // namespace

void ReadPngMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits) {
  PngImage image;
  DecodePngMemory(data, size, image, limits);
  bitmap.setSize(static_cast<int>(image.PngWidth), static_cast<int>(image.PngHeight));
  DrawPngPixels(image, bitmap, 0, 0);
}

void ReadPngFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits) {
  LoadPictureFile(PictureFormat::Png, FileName, bitmap, limits);
}

void WritePngFile(const std::string& FileName, const Bitmap& bitmap, TColor TransparentColor) {
  const std::optional<std::uint32_t> key = TransparentKey(TransparentColor);
  const bool withAlpha = key.has_value();
  PngImage image;
  image.PngWidth = static_cast<std::uint32_t>(std::max(bitmap.width(), 0));
  image.PngHeight = static_cast<std::uint32_t>(std::max(bitmap.height(), 0));
  image.PngBitDepth = 8;
  image.PngColorType = withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  image.PngBytesPerPixel = withAlpha ? 4 : 3;
  if (!withAlpha) {
    // The bitmap's rows are 8-bit RGB already, top row first: they are encoded where they are.
    for (int y = 0; y < bitmap.height(); ++y) {
      image.PngRows.push_back(const_cast<std::uint8_t*>(bitmap.scanLine(y)));
    }
    EncodePngFile(FileName, image);
    return;
  }
  AllocPngBuffers(image);
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint8_t* src = bitmap.scanLine(y);
    std::uint8_t* dst = image.PngRows[static_cast<std::size_t>(y)];
    for (int x = 0; x < bitmap.width(); ++x, src += 3, dst += 4) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = RGB(src[0], src[1], src[2]) == *key ? 0 : 255;
    }
  }
  EncodePngFile(FileName, image);
}

namespace {

void EncodePngFile(const std::string& FileName, const PngImage& image) {
  AtomicFile file(FileName);
  if (!file.open()) {
    throw ImageError(WithReason("Error Opening File " + FileName + "!", file.failureReason()));
  }
  const auto writeFailure = [&] {
    return ImageError(WithReason(std::string(kWriteError) + " " + FileName, file.failureReason()));
  };
  PngHandle handle(true);
  // An empty file in place of the old one would be a silent loss: fail instead.
  if (handle.png() == nullptr || handle.info() == nullptr) {
    throw writeFailure();
  }
  png_set_write_fn(handle.png(), &file, writeToFile, flushNothing);
  png_set_write_status_fn(handle.png(), nullptr);
  char keyword[] = "Software";
  std::string software = kPngSoftwareText;
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = keyword;
  text.text = software.data();
  text.text_length = software.size();
  std::vector<std::uint8_t> stream;
  const bool hasRows =
      !image.PngRows.empty() && image.PngRows.size() == image.PngHeight && image.PngWidth > 0;
  if (hasRows && !DeflatePngRows(
                     image.PngRows,
                     std::size_t{image.PngWidth} * static_cast<std::size_t>(image.PngBytesPerPixel),
                     image.PngBytesPerPixel, stream)) {
    throw writeFailure();
  }
  if (!hasRows || !writeImageGuarded(handle.png(), handle.info(), &image, &text, stream) ||
      !file.commit()) {
    throw writeFailure();
  }
}

}  // namespace

}  // namespace tessora
