#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imageio/byte_order.h"
#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

struct DemuxDelete {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

// A canvas of up to this many pixels is taken whatever its first frame covers.
constexpr std::int64_t kAnyCanvasPixels = std::int64_t{1} << 24;
// Beyond that the first frame, the one shown, must cover at least this share of the canvas:
// frames that paint a sliver of a huge canvas would cost its memory for nothing.
constexpr std::int64_t kCanvasPerFramePixel = 16;

const char* statusReason(VP8StatusCode status) {
  return status == VP8_STATUS_NOT_ENOUGH_DATA ? photo::kTruncated : photo::kDamaged;
}

// The bytes of the lossy bitstream among a frame's chunks (ALPH, then "VP8 "), or 0.
std::size_t lossyBytes(const WebPData& frame) {
  for (std::size_t at = 0; at + 8 <= frame.size;) {
    const std::size_t length = byte_order::ReadLE32(frame.bytes + at + 4);
    if (std::memcmp(frame.bytes + at, "VP8 ", 4) == 0) {
      return std::min(length, frame.size - at - 8);
    }
    at += 8 + length + (length & 1);
  }
  return 0;
}

// A lossy frame codes the modes of every 16 x 16 macroblock in its first partition with
// probabilities the format fixes for key frames, which costs more than a bit each. A lossless
// frame has no such floor: Huffman codes of one symbol spend no bits on a pixel, so a solid
// picture of any size takes a few bytes, and is decoded as such.
void checkFrameData(const WebPIterator& frame, const WebPBitstreamFeatures& features) {
  if (features.format != 1) {
    return;
  }
  const std::uint64_t macroblocks =
      std::uint64_t{(static_cast<std::uint32_t>(frame.width) + 15) / 16} *
      ((static_cast<std::uint32_t>(frame.height) + 15) / 16);
  photo::CheckHolds(std::uint64_t{lossyBytes(frame.fragment)} * 8 >= macroblocks, frame.width,
                    frame.height);
}

void checkCanvas(int canvasWidth, int canvasHeight, const WebPIterator& frame) {
  const std::int64_t canvas = std::int64_t{canvasWidth} * canvasHeight;
  const std::int64_t painted = std::int64_t{frame.width} * frame.height;
  if (canvas > kAnyCanvasPixels && canvas > painted * kCanvasPerFramePixel) {
    Fail(CanvasTooLargeText(canvasWidth, canvasHeight, frame.width, frame.height));
  }
}

struct DecBufferFree {
  void operator()(WebPDecBuffer* b) const { WebPFreeDecBuffer(b); }
};

// The frame decoded into libwebp's own buffer, which it takes only once the frame's header,
// prefix codes and transforms have been read, and whose pages cost memory as rows are written.
void drawFrame(const WebPIterator& frame, int canvasWidth, int canvasHeight, Bitmap& bitmap,
               const ImageLimits& limits) {
  WebPDecoderConfig config;
  if (WebPInitDecoderConfig(&config) == 0) {
    Fail(photo::kDamaged);
  }
  const WebPData& data = frame.fragment;
  const VP8StatusCode status = WebPGetFeatures(data.bytes, data.size, &config.input);
  if (status != VP8_STATUS_OK) {
    Fail(statusReason(status));
  }
  if (config.input.width != frame.width || config.input.height != frame.height) {
    Fail(photo::kDamaged);
  }
  checkFrameData(frame, config.input);
  const bool alpha = config.input.has_alpha != 0;
  photo::CheckSize(frame.width, frame.height, alpha ? 4 : 3, limits);
  config.options.use_threads = 0;
  config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
  const std::unique_ptr<WebPDecBuffer, DecBufferFree> output(&config.output);
  const VP8StatusCode decoded = WebPDecode(data.bytes, data.size, &config);
  if (decoded != VP8_STATUS_OK) {
    Fail(statusReason(decoded));
  }
  DecodedPixels pixels;
  pixels.data = config.output.u.RGBA.rgba;
  pixels.width = frame.width;
  pixels.height = frame.height;
  pixels.stride = static_cast<std::size_t>(config.output.u.RGBA.stride);
  pixels.layout = alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8;
  bitmap.setSize(canvasWidth, canvasHeight);
  DrawDecodedPixels(pixels, bitmap, frame.x_offset, frame.y_offset);
}

}  // namespace

// A still picture is one frame covering its canvas. Of an animation the first frame is shown
// as a player shows it first: at its place on a canvas that is transparent elsewhere, which is
// the bitmap's previous content. It is decoded on its own, without the two canvases of RGBA an
// animation decoder keeps.
void ReadWebpMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Webp, data, size);
  if (data == nullptr) {
    Fail(photo::kDamaged);
  }
  const WebPData whole{data, size};
  WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
  const std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemuxPartial(&whole, &state));
  if (demux == nullptr || state != WEBP_DEMUX_DONE) {
    Fail(state == WEBP_DEMUX_PARSE_ERROR ? photo::kDamaged : photo::kTruncated);
  }
  const auto canvasWidth = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
  const auto canvasHeight = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
  photo::CheckSize(canvasWidth, canvasHeight, 3, limits);
  WebPIterator frame;
  if (WebPDemuxGetFrame(demux.get(), 1, &frame) == 0) {
    Fail(photo::kDamaged);
  }
  const std::unique_ptr<WebPIterator, void (*)(WebPIterator*)> release(&frame,
                                                                       WebPDemuxReleaseIterator);
  if (frame.complete == 0) {
    Fail(photo::kTruncated);
  }
  checkCanvas(canvasWidth, canvasHeight, frame);
  drawFrame(frame, canvasWidth, canvasHeight, bitmap, limits);
}

}  // namespace tessora
