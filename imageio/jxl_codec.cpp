#include <jxl/decode.h>

#include <memory>

#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

// libjxl 0.7, as Debian builds it, reports why it fails on standard error (its JXL_FAILURE and
// JXL_RETURN_IF_ERROR messages are compiled in), with no call to turn that off; the reasons a
// read gives are ours. Its memory manager only ever sees the decoder itself: the frame's planes
// are allocated on their own, so the picture's memory is bounded here, from its size.
namespace tessora {
namespace {

using photo::Fail;

// The decoder keeps the frame it decodes as 32-bit samples, every channel in a plane of its own
// (integers for lossless frames, floats for lossy ones), beside the picture it hands out.
constexpr int kDecoderBytesPerSample = 4;

struct DecoderDestroy {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

// The picture as the file's basic information describes it, turned upright: the decoder turns it
// itself, and orientations 5 to 8 swap its sides.
struct Picture {
  int width = 0;
  int height = 0;
  SampleLayout layout = SampleLayout::Rgb8;
  JxlPixelFormat format{};
};

Picture pictureOf(JxlDecoder* decoder, const ImageLimits& limits) {
  JxlBasicInfo info;
  if (JxlDecoderGetBasicInfo(decoder, &info) != JXL_DEC_SUCCESS) {
    Fail(photo::kDamaged);
  }
  const bool deep = info.bits_per_sample > 8;
  const bool alpha = info.alpha_bits > 0;
  const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
  Picture p;
  p.width = static_cast<int>(swapped ? info.ysize : info.xsize);
  p.height = static_cast<int>(swapped ? info.xsize : info.ysize);
  p.layout = deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
                  : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8);
  p.format.num_channels = alpha ? 4 : 3;
  p.format.data_type = deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
  p.format.endianness = JXL_LITTLE_ENDIAN;
  p.format.align = 0;
  const std::int64_t channels = std::int64_t{info.num_color_channels} + info.num_extra_channels;
  photo::CheckSize(info.xsize, info.ysize,
                   static_cast<int>(channels * kDecoderBytesPerSample + BytesPerPixel(p.layout)),
                   limits);
  return p;
}

}  // namespace

void ReadJxlMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Jxl, data, size);
  // Without a parallel runner the decoder works on this thread alone.
  std::unique_ptr<JxlDecoder, DecoderDestroy> decoder(JxlDecoderCreate(nullptr));
  if (decoder == nullptr || data == nullptr ||
      JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) !=
          JXL_DEC_SUCCESS ||
      JxlDecoderSetUnpremultiplyAlpha(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS) {
    Fail(photo::kDamaged);
  }
  // The input stays open: a decoder that asks for more than the whole file has met its end. The
  // picture's buffer is made only once the decoder asks for it, after the first frame's header,
  // and its pages are taken as the decoder writes them.
  std::unique_ptr<Picture> picture;
  std::unique_ptr<photo::PixelBuffer> out;
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
    if (status == JXL_DEC_BASIC_INFO) {
      picture = std::make_unique<Picture>(pictureOf(decoder.get(), limits));
    } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER && picture != nullptr && out == nullptr) {
      out = std::make_unique<photo::PixelBuffer>(picture->width, picture->height, picture->layout,
                                                 limits);
      std::size_t needed = 0;
      if (JxlDecoderImageOutBufferSize(decoder.get(), &picture->format, &needed) !=
              JXL_DEC_SUCCESS ||
          needed != out->bytes.size() ||
          JxlDecoderSetImageOutBuffer(decoder.get(), &picture->format, out->bytes.data(), needed) !=
              JXL_DEC_SUCCESS) {
        Fail(photo::kDamaged);
      }
    } else if (status == JXL_DEC_FULL_IMAGE && out != nullptr) {
      break;
    } else if (status == JXL_DEC_NEED_MORE_INPUT) {
      Fail(photo::kTruncated);
    } else {
      Fail(photo::kDamaged);
    }
  }
  photo::DrawOver(bitmap, out->pixels);
}

}  // namespace tessora
