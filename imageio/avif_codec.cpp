#include <avif/avif.h>

#include <algorithm>
#include <memory>

#include "imageio/iso_media_check.h"
#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

struct DecoderDestroy {
  void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

const char* resultReason(avifResult result) {
  return result == AVIF_RESULT_TRUNCATED_DATA ? photo::kTruncated : photo::kDamaged;
}

void check(avifResult result) {
  if (result != AVIF_RESULT_OK) {
    Fail(resultReason(result));
  }
}

// libavif's own bounds, which it applies while it parses, before the AV1 decoder sees a byte. The
// side is left at the Bitmap's so that a picture beyond our limits gets to say its size below;
// libavif refuses a pixel bound above its default (16384 x 16384) as not implemented.
void limitDecoder(avifDecoder& decoder, const ImageLimits& limits) {
  decoder.maxThreads = 1;
  decoder.ignoreExif = AVIF_TRUE;
  decoder.ignoreXMP = AVIF_TRUE;
  decoder.imageDimensionLimit = static_cast<std::uint32_t>(Bitmap::kMaxDimension);
  decoder.imageSizeLimit = static_cast<std::uint32_t>(std::min<std::int64_t>(
      {limits.maxPixels, Bitmap::kMaxPixels, std::int64_t{AVIF_DEFAULT_IMAGE_SIZE_LIMIT}}));
}

// The decoded picture as RGB or RGBA, 16-bit when it is deeper than 8 bits.
photo::PixelBuffer toRgb(const avifImage& image, const ImageLimits& limits) {
  const bool deep = image.depth > 8;
  const bool alpha = image.alphaPlane != nullptr;
  const SampleLayout layout = deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
                                   : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8);
  photo::PixelBuffer out(static_cast<int>(image.width), static_cast<int>(image.height), layout,
                         limits);
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, &image);
  rgb.depth = deep ? 16 : 8;
  rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
  rgb.alphaPremultiplied = AVIF_FALSE;
  rgb.pixels = out.bytes.data();
  rgb.rowBytes = static_cast<std::uint32_t>(out.pixels.stride);
  check(avifImageYUVToRGB(&image, &rgb));
  if (deep) {
    HostSamplesToLittleEndian(out.samples16(), out.sampleCount16());
  }
  return out;
}

}  // namespace

void ReadAvifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Avif, data, size);
  std::unique_ptr<avifDecoder, DecoderDestroy> decoder(avifDecoderCreate());
  if (decoder == nullptr || data == nullptr) {
    Fail(photo::kDamaged);
  }
  limitDecoder(*decoder, limits);
  check(avifDecoderSetIOMemory(decoder.get(), data, size));
  check(avifDecoderParse(decoder.get()));
  CheckIsoMediaCost(data, size, limits);
  // The header's size refuses a picture beyond the limits before it is decoded. The coded picture
  // was held to that size only give or take some rounding or a quarter turn (some writers store
  // it turned), so the buffer is made for the picture as decoded.
  photo::CheckSize(decoder->image->width, decoder->image->height, 8, limits);
  check(avifDecoderNextImage(decoder.get()));
  const avifImage& image = *decoder->image;
  photo::PixelBuffer out = toRgb(image, limits);
  // libavif leaves the file's rotation and mirroring to its caller.
  const int turns = (image.transformFlags & AVIF_TRANSFORM_IROT) != 0 ? image.irot.angle % 4 : 0;
  const int mirror = (image.transformFlags & AVIF_TRANSFORM_IMIR) != 0 ? image.imir.mode % 2 : -1;
  if (turns != 0 || mirror >= 0) {
    out = photo::Turned(out, turns, mirror, limits);
  }
  photo::DrawOver(bitmap, out.pixels);
}

}  // namespace tessora
