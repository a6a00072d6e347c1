#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <optional>

#include "imageio/byte_order.h"
#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

// The file in memory as libtiff's client I/O sees it: read, seek and map, never write.
struct MemoryFile {
  const std::uint8_t* data;
  std::uint64_t size;
  std::uint64_t pos = 0;
};

tmsize_t readMemory(thandle_t h, void* out, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(h);
  if (count <= 0) {
    return 0;
  }
  const std::uint64_t n =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(count), file->size - file->pos);
  std::memcpy(out, file->data + file->pos, static_cast<std::size_t>(n));
  file->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t writeNothing(thandle_t /*h*/, void* /*data*/, tmsize_t /*count*/) {
  return 0;
}

toff_t seekMemory(thandle_t h, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? file->pos : whence == SEEK_END ? file->size : 0;
  if (offset > file->size || base + offset > file->size) {
    return static_cast<toff_t>(-1);
  }
  file->pos = base + offset;
  return file->pos;
}

int closeNothing(thandle_t /*h*/) {
  return 0;
}
toff_t sizeOf(thandle_t h) {
  return static_cast<MemoryFile*>(h)->size;
}

// Strips are read in place, without copies.
int mapMemory(thandle_t h, void** base, toff_t* size) {
  auto* file = static_cast<MemoryFile*>(h);
  *base = const_cast<std::uint8_t*>(file->data);
  *size = file->size;
  return 1;
}
void unmapNothing(thandle_t /*h*/, void* /*base*/, toff_t /*size*/) {}

// Messages would only reach stderr; a failure shows in the call's result.
int quiet(TIFF* /*tif*/, void* /*user*/, const char* /*module*/, const char* /*fmt*/,
          va_list /*args*/) {
  return 1;
}

struct TiffClose {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

// Writers often put the first directory after the pictures' strips: a file cut short loses it.
bool directoryPastEnd(const MemoryFile& file) {
  if (file.size < 8) {
    return true;
  }
  const bool little = file.data[0] == 'I';
  const std::uint32_t offset =
      little ? byte_order::ReadLE32(file.data + 4) : byte_order::ReadBE32(file.data + 4);
  const bool big = (little ? file.data[2] : file.data[3]) == 43;
  return big ? file.size < 16 : offset >= file.size - 2;
}

std::unique_ptr<TIFF, TiffClose> open(MemoryFile& file, const ImageLimits& limits) {
  const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (options == nullptr) {
    Fail(photo::kDamaged);
  }
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(std::min<std::uint64_t>(
                                                         limits.maxDecodedBytes, INT64_MAX)));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
  std::unique_ptr<TIFF, TiffClose> tif(
      TIFFClientOpenExt("memory", "r", &file, readMemory, writeNothing, seekMemory, closeNothing,
                        sizeOf, mapMemory, unmapNothing, options.get()));
  if (tif == nullptr) {
    Fail(directoryPastEnd(file) ? photo::kTruncated : photo::kDamaged);
  }
  return tif;
}

std::uint16_t field16(TIFF* tif, std::uint32_t tag) {
  std::uint16_t value = 0;
  TIFFGetFieldDefaulted(tif, tag, &value);
  return value;
}

// Whether the strips the directory names end within the file.
bool stripsInFile(TIFF* tif, std::uint64_t size) {
  std::uint64_t* offsets = nullptr;
  std::uint64_t* counts = nullptr;
  if (TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) == 0 ||
      TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) == 0 || offsets == nullptr ||
      counts == nullptr) {
    return true;
  }
  const std::uint32_t strips = TIFFNumberOfStrips(tif);
  for (std::uint32_t s = 0; s < strips; ++s) {
    if (offsets[s] > size || counts[s] > size - offsets[s]) {
      return false;
    }
  }
  return true;
}

// The layout of an upright, plainly stored gray or RGB picture of 8- or 16-bit samples with at
// most an unassociated alpha, which is read as it is stored so that its alpha and its deep samples
// are treated exactly as a PNG's; nullopt for every other kind.
std::optional<SampleLayout> plainLayout(TIFF* tif) {
  std::uint16_t extraCount = 0;
  std::uint16_t* extra = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  const std::uint16_t photometric = field16(tif, TIFFTAG_PHOTOMETRIC);
  const std::uint16_t samples = field16(tif, TIFFTAG_SAMPLESPERPIXEL);
  const std::uint16_t bits = field16(tif, TIFFTAG_BITSPERSAMPLE);
  const bool plain =
      TIFFIsTiled(tif) == 0 && field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
      field16(tif, TIFFTAG_SAMPLEFORMAT) == SAMPLEFORMAT_UINT &&
      field16(tif, TIFFTAG_ORIENTATION) == ORIENTATION_TOPLEFT && (bits == 8 || bits == 16);
  const bool alpha = extraCount == 1 && extra != nullptr && extra[0] == EXTRASAMPLE_UNASSALPHA;
  if (!plain || extraCount > 1 || (extraCount == 1 && !alpha)) {
    return std::nullopt;
  }
  const bool deep = bits == 16;
  if (photometric == PHOTOMETRIC_MINISBLACK && samples == 1 + extraCount) {
    return deep ? (alpha ? SampleLayout::GrayAlpha16 : SampleLayout::Gray16)
                : (alpha ? SampleLayout::GrayAlpha8 : SampleLayout::Gray8);
  }
  if (photometric == PHOTOMETRIC_RGB && samples == 3 + extraCount) {
    return deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
                : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8);
  }
  return std::nullopt;
}

void readStrips(TIFF* tif, photo::PixelBuffer& out) {
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (TIFFScanlineSize64(tif) != out.pixels.stride || rowsPerStrip == 0) {
    Fail(photo::kDamaged);
  }
  const auto height = static_cast<std::uint32_t>(out.pixels.height);
  for (std::uint32_t top = 0, strip = 0; top < height;
       top += std::min(rowsPerStrip, height - top), ++strip) {
    const std::uint32_t rows = std::min(rowsPerStrip, height - top);
    const auto bytes = static_cast<tmsize_t>(out.pixels.stride * rows);
    if (TIFFReadEncodedStrip(tif, strip, out.row(static_cast<int>(top)), bytes) != bytes) {
      Fail(photo::kDamaged);
    }
  }
  if (IsDeep(out.pixels.layout)) {
    HostSamplesToLittleEndian(out.samples16(), out.sampleCount16());
  }
}

// Every other kind through libtiff's RGBA interface, which hands out 8-bit samples with alpha
// premultiplied: taken back to straight alpha for the blending.
void readAsRgba(TIFF* tif, photo::PixelBuffer& out) {
  char message[1024] = {};
  if (TIFFRGBAImageOK(tif, message) == 0) {
    Fail(photo::kDamaged);
  }
  auto* raster = reinterpret_cast<std::uint32_t*>(out.bytes.data());
  if (TIFFReadRGBAImageOriented(tif, static_cast<std::uint32_t>(out.pixels.width),
                                static_cast<std::uint32_t>(out.pixels.height), raster,
                                ORIENTATION_TOPLEFT, 1) == 0) {
    Fail(photo::kDamaged);
  }
  for (std::size_t i = 0; i < out.bytes.size() / 4; ++i) {
    const std::uint32_t v = raster[i];
    const std::uint32_t a = TIFFGetA(v);
    std::uint8_t* p = out.bytes.data() + 4 * i;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t s = (v >> (8 * c)) & 0xFF;
      p[c] = static_cast<std::uint8_t>(
          a == 0 ? 0 : std::min<std::uint32_t>(255, (s * 255 + a / 2) / a));
    }
    p[3] = static_cast<std::uint8_t>(a);
  }
}

}  // namespace

void ReadTiffMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Tiff, data, size);
  if (data == nullptr) {
    Fail(photo::kDamaged);
  }
  MemoryFile file{data, size};
  const std::unique_ptr<TIFF, TiffClose> tif = open(file, limits);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  const std::optional<SampleLayout> plain = plainLayout(tif.get());
  photo::CheckSize(width, height, 4, limits);
  if (!stripsInFile(tif.get(), size)) {
    Fail(photo::kTruncated);
  }
  photo::PixelBuffer out(static_cast<int>(width), static_cast<int>(height),
                         plain.value_or(SampleLayout::Rgba8), limits);
  if (plain) {
    readStrips(tif.get(), out);
  } else {
    readAsRgba(tif.get(), out);
  }
  photo::DrawOver(bitmap, out.pixels);
}

}  // namespace tessora
