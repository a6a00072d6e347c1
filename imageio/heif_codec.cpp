#include <libheif/heif.h>

#include <memory>

#include "imageio/byte_order.h"
#include "imageio/iso_media_check.h"
#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
  void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
  void operator()(const heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

void check(const heif_error& error) {
  if (error.code == heif_error_Ok) {
    return;
  }
  if (error.subcode == heif_suberror_End_of_data) {
    Fail(photo::kTruncated);
  }
  if (error.subcode == heif_suberror_Security_limit_exceeded) {
    Fail("picture is larger than the reader's limits");
  }
  Fail(photo::kDamaged);
}

// libheif does not tell a file cut inside one of its boxes from one that lacks the box ("No 'meta'
// box" for both). The top-level boxes do: each starts with its size (32 bits, or 1 and then 64
// bits, or 0 for the rest of the file), and one reaching past the end of the file was cut.
bool boxPastEnd(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    if (size - at < 8) {
      return true;
    }
    std::uint64_t box = byte_order::ReadBE32(data + at);
    if (box == 1) {
      if (size - at < 16) {
        return true;
      }
      box = std::uint64_t{byte_order::ReadBE32(data + at + 8)} << 32 |
            byte_order::ReadBE32(data + at + 12);
    }
    if (box < 8) {
      return false;
    }
    if (box > size - at) {
      return true;
    }
    at += static_cast<std::size_t>(box);
  }
  return false;
}

// The decoded picture: turned and mirrored already, and of the depth it was asked for. A damaged
// file may decode to another size than its header said: the limits hold for that one too.
DecodedPixels pixelsOf(heif_image* image, bool deep, bool alpha, const ImageLimits& limits) {
  DecodedPixels pixels;
  int stride = 0;
  std::uint8_t* data = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  pixels.width = heif_image_get_width(image, heif_channel_interleaved);
  pixels.height = heif_image_get_height(image, heif_channel_interleaved);
  photo::CheckSize(pixels.width, pixels.height, deep ? 8 : 4, limits);
  const std::size_t perRow = static_cast<std::size_t>(pixels.width) * (alpha ? 4 : 3);
  if (data == nullptr || stride <= 0 ||
      static_cast<std::size_t>(stride) < perRow * (deep ? 2 : 1)) {
    Fail(photo::kDamaged);
  }
  pixels.data = data;
  pixels.stride = static_cast<std::size_t>(stride);
  pixels.layout = deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
                       : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8);
  if (deep) {
    // libheif leaves 10- and 12-bit samples at their own scale.
    const int bits = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
    for (int y = 0; y < pixels.height; ++y) {
      auto* row =
          reinterpret_cast<std::uint16_t*>(data + pixels.stride * static_cast<std::size_t>(y));
      HostSamplesToLittleEndian(row, perRow);
      WidenSamplesTo16(row, perRow, bits);
      HostSamplesToLittleEndian(row, perRow);
    }
  }
  return pixels;
}

}  // namespace

void ReadHeifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Heif, data, size);
  std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (context == nullptr || data == nullptr) {
    Fail(photo::kDamaged);
  }
  // Tiles are decoded on this thread; the side bound applies while the file is parsed.
  heif_context_set_max_decoding_threads(context.get(), 0);
  heif_context_set_maximum_image_size_limit(context.get(), Bitmap::kMaxDimension);
  const heif_error read =
      heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (read.code != heif_error_Ok && boxPastEnd(data, size)) {
    Fail(photo::kTruncated);
  }
  check(read);
  CheckIsoMediaCost(data, size, limits);
  heif_image_handle* rawHandle = nullptr;
  check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
  const std::unique_ptr<const heif_image_handle, HandleRelease> handle(rawHandle);
  const bool alpha = heif_image_handle_has_alpha_channel(rawHandle) != 0;
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(rawHandle) > 8;
  photo::CheckSize(heif_image_handle_get_width(rawHandle), heif_image_handle_get_height(rawHandle),
                   deep ? 8 : 4, limits);
  const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (options == nullptr) {
    Fail(photo::kDamaged);
  }
  options->ignore_transformations = 0;
  const heif_chroma chroma =
      deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* rawImage = nullptr;
  check(heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB, chroma, options.get()));
  const std::unique_ptr<heif_image, ImageRelease> image(rawImage);
  photo::DrawOver(bitmap, pixelsOf(rawImage, deep, alpha, limits));
}

}  // namespace tessora
