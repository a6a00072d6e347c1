#include <jxl/decode.h>

#include <memory>

#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

struct DecoderDestroy {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

// The decoder turns the picture upright itself; orientations 5 to 8 swap its sides.
SampleLayout layoutFor(const JxlBasicInfo& info) {
  const bool deep = info.bits_per_sample > 8;
  const bool alpha = info.alpha_bits > 0;
  return deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
              : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8);
}

std::unique_ptr<photo::PixelBuffer> bufferFor(JxlDecoder* decoder, const ImageLimits& limits,
                                              JxlPixelFormat& format) {
  JxlBasicInfo info;
  if (JxlDecoderGetBasicInfo(decoder, &info) != JXL_DEC_SUCCESS) {
    Fail(photo::kDamaged);
  }
  const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
  const SampleLayout layout = layoutFor(info);
  auto out = std::make_unique<photo::PixelBuffer>(
      static_cast<int>(swapped ? info.ysize : info.xsize),
      static_cast<int>(swapped ? info.xsize : info.ysize), layout, limits);
  format.num_channels = info.alpha_bits > 0 ? 4 : 3;
  format.data_type = IsDeep(layout) ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
  format.endianness = JXL_LITTLE_ENDIAN;
  format.align = 0;
  return out;
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
  // The input stays open: a decoder that asks for more than the whole file has met its end.
  std::unique_ptr<photo::PixelBuffer> out;
  JxlPixelFormat format{};
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
    if (status == JXL_DEC_BASIC_INFO) {
      out = bufferFor(decoder.get(), limits, format);
    } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
      std::size_t needed = 0;
      if (out == nullptr ||
          JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) != JXL_DEC_SUCCESS ||
          needed != out->bytes.size() ||
          JxlDecoderSetImageOutBuffer(decoder.get(), &format, out->bytes.data(), needed) !=
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
