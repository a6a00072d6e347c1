#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

struct AnimDecoderDelete {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// The first frame of an animation, composed on its canvas as a player shows it first. The decoder
// keeps two canvases of RGBA, so the canvas is checked at that cost before it is made.
void readFirstFrame(const std::uint8_t* data, std::size_t size, const WebPBitstreamFeatures& f,
                    Bitmap& bitmap, const ImageLimits& limits) {
  photo::CheckSize(f.width, f.height, 8, limits);
  WebPAnimDecoderOptions options;
  if (WebPAnimDecoderOptionsInit(&options) == 0) {
    Fail(photo::kDamaged);
  }
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  const WebPData whole{data, size};
  std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete> decoder(WebPAnimDecoderNew(&whole, &options));
  WebPAnimInfo info{};
  if (decoder == nullptr || WebPAnimDecoderGetInfo(decoder.get(), &info) == 0) {
    Fail(photo::kDamaged);
  }
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) == 0) {
    Fail(photo::kDamaged);
  }
  DecodedPixels pixels;
  pixels.data = canvas;
  pixels.width = static_cast<int>(info.canvas_width);
  pixels.height = static_cast<int>(info.canvas_height);
  pixels.stride = std::size_t{info.canvas_width} * 4;
  pixels.layout = SampleLayout::Rgba8;
  photo::DrawOver(bitmap, pixels);
}

const char* statusReason(VP8StatusCode status) {
  return status == VP8_STATUS_NOT_ENOUGH_DATA ? photo::kTruncated : photo::kDamaged;
}

}  // namespace

void ReadWebpMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Webp, data, size);
  WebPDecoderConfig config;
  if (data == nullptr || WebPInitDecoderConfig(&config) == 0) {
    Fail(photo::kDamaged);
  }
  const VP8StatusCode status = WebPGetFeatures(data, size, &config.input);
  if (status != VP8_STATUS_OK) {
    Fail(statusReason(status));
  }
  if (config.input.has_animation != 0) {
    readFirstFrame(data, size, config.input, bitmap, limits);
    return;
  }
  const bool alpha = config.input.has_alpha != 0;
  photo::PixelBuffer out(config.input.width, config.input.height,
                         alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8, limits);
  config.options.use_threads = 0;
  config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = out.bytes.data();
  config.output.u.RGBA.stride = static_cast<int>(out.pixels.stride);
  config.output.u.RGBA.size = out.bytes.size();
  const VP8StatusCode decoded = WebPDecode(data, size, &config);
  WebPFreeDecBuffer(&config.output);
  if (decoded != VP8_STATUS_OK) {
    Fail(statusReason(decoded));
  }
  photo::DrawOver(bitmap, out.pixels);
}

}  // namespace tessora
