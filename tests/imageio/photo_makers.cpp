#include <avif/avif.h>
#include <jxl/encode.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <unistd.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "image_makers.h"

// x265, the HEVC encoder behind libheif, keeps tables for the life of the process and frees them
// only in x265_cleanup(), which libheif never calls: not a leak of ours, nor of the readers.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace tessora::testing {
namespace {

void require(bool ok, const char* what) {
  if (!ok) {
    throw std::runtime_error(std::string("cannot make the test file: ") + what);
  }
}

int channels(const PhotoPicture& p) {
  return p.alpha ? 4 : 3;
}

// The samples as 8-bit bytes (8-bit pictures) or 16-bit values in the host's order.
std::vector<std::uint8_t> bytes8(const PhotoPicture& p) {
  return std::vector<std::uint8_t>(p.samples.begin(), p.samples.end());
}
std::vector<std::uint16_t> samples16(const PhotoPicture& p) {
  return std::vector<std::uint16_t>(p.samples.begin(), p.samples.end());
}

void webpPictureOf(const PhotoPicture& p, WebPPicture& picture) {
  require(p.bitDepth == 8 && WebPPictureInit(&picture) != 0, "8-bit WebP picture");
  picture.use_argb = 1;
  picture.width = p.width;
  picture.height = p.height;
  std::vector<std::uint8_t> rgba = bytes8(p);
  const int stride = p.width * channels(p);
  require((p.alpha ? WebPPictureImportRGBA(&picture, rgba.data(), stride)
                   : WebPPictureImportRGB(&picture, rgba.data(), stride)) != 0,
          "WebP import");
}

bool writeRows(TIFF* tif, const PhotoPicture& p, int rowsPerStrip) {
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(rowsPerStrip));
  std::vector<std::uint8_t> b8 = bytes8(p);
  std::vector<std::uint16_t> b16 = samples16(p);
  const std::size_t row = static_cast<std::size_t>(p.width * channels(p));
  bool ok = true;
  for (int y = 0; y < p.height; ++y) {
    void* line = p.bitDepth == 8 ? static_cast<void*>(b8.data() + row * y)
                                 : static_cast<void*>(b16.data() + row * y);
    ok = ok && TIFFWriteScanline(tif, line, static_cast<std::uint32_t>(y), 0) == 1;
  }
  return ok;
}

// 8-bit pictures in tiles of side x side pixels.
bool writeTiles(TIFF* tif, const PhotoPicture& p, int side) {
  TIFFSetField(tif, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(side));
  TIFFSetField(tif, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(side));
  const std::size_t ch = static_cast<std::size_t>(channels(p));
  std::vector<std::uint8_t> tile(static_cast<std::size_t>(side * side) * ch);
  bool ok = p.bitDepth == 8;
  for (int ty = 0; ty < p.height; ty += side) {
    for (int tx = 0; tx < p.width; tx += side) {
      std::fill(tile.begin(), tile.end(), 0);
      for (int y = ty; y < std::min(ty + side, p.height); ++y) {
        for (int x = tx; x < std::min(tx + side, p.width); ++x) {
          for (std::size_t c = 0; c < ch; ++c) {
            tile[(static_cast<std::size_t>((y - ty) * side + x - tx)) * ch + c] =
                static_cast<std::uint8_t>(
                    p.samples[(static_cast<std::size_t>(y * p.width + x)) * ch + c]);
          }
        }
      }
      ok = ok && TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(tx),
                               static_cast<std::uint32_t>(ty), 0, 0) > 0;
    }
  }
  return ok;
}

}  // namespace

PhotoPicture MakePhotoPicture(int width, int height, bool alpha, int bitDepth) {
  PhotoPicture p{width, height, alpha, bitDepth, {}};
  const std::uint32_t max = (1u << bitDepth) - 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        p.samples.push_back(PatternSample(x, y, c, max));
      }
      // Opaque, fully transparent and partly transparent pixels side by side.
      if (alpha) {
        const int kind = (x + 2 * y) % 3;
        p.samples.push_back(kind == 0 ? max : kind == 1 ? 0 : PatternSample(x, y, 3, max));
      }
    }
  }
  return p;
}

PngRecipe PngOf(const PhotoPicture& p) {
  PngRecipe r;
  r.width = p.width;
  r.height = p.height;
  r.colorType = p.alpha ? 6 : 2;
  r.bitDepth = p.bitDepth;
  r.samples = p.samples;
  return r;
}

Bytes MakeWebp(const PhotoPicture& p) {
  WebPConfig config;
  WebPPicture picture;
  require(WebPConfigInit(&config) != 0, "WebP config");
  config.lossless = 1;
  config.exact = 1;
  webpPictureOf(p, picture);
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  const bool ok = WebPEncode(&config, &picture) != 0;
  WebPPictureFree(&picture);
  Bytes out(writer.mem, writer.mem + writer.size);
  WebPMemoryWriterClear(&writer);
  require(ok, "WebP encode");
  return out;
}

Bytes MakeAnimatedWebp(const std::vector<PhotoPicture>& frames) {
  WebPAnimEncoderOptions options;
  require(WebPAnimEncoderOptionsInit(&options) != 0, "animation options");
  std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder*)> encoder(
      WebPAnimEncoderNew(frames.at(0).width, frames.at(0).height, &options), WebPAnimEncoderDelete);
  WebPConfig config;
  require(encoder != nullptr && WebPConfigInit(&config) != 0, "animation encoder");
  config.lossless = 1;
  config.exact = 1;
  int timestamp = 0;
  for (const PhotoPicture& p : frames) {
    WebPPicture picture;
    webpPictureOf(p, picture);
    const bool ok = WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config) != 0;
    WebPPictureFree(&picture);
    require(ok, "animation frame");
    timestamp += 100;
  }
  WebPData data;
  WebPDataInit(&data);
  require(WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) != 0 &&
              WebPAnimEncoderAssemble(encoder.get(), &data) != 0,
          "animation assembly");
  Bytes out(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  return out;
}

Bytes MakeAvif(const PhotoPicture& p, int orientation) {
  // Lossless: full-range RGB stored as is (identity matrix, no chroma subsampling).
  const std::uint32_t depth = p.bitDepth == 8 ? 8 : 12;
  std::unique_ptr<avifImage, void (*)(avifImage*)> image(
      avifImageCreate(static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height),
                      depth, AVIF_PIXEL_FORMAT_YUV444),
      avifImageDestroy);
  image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
  image->yuvRange = AVIF_RANGE_FULL;
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image.get());
  rgb.format = p.alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
  rgb.depth = static_cast<std::uint32_t>(p.bitDepth);
  std::vector<std::uint8_t> b8 = bytes8(p);
  std::vector<std::uint16_t> b16 = samples16(p);
  rgb.pixels = p.bitDepth == 8 ? b8.data() : reinterpret_cast<std::uint8_t*>(b16.data());
  rgb.rowBytes = static_cast<std::uint32_t>(p.width * channels(p) * (p.bitDepth == 8 ? 1 : 2));
  require(avifImageRGBToYUV(image.get(), &rgb) == AVIF_RESULT_OK, "AVIF conversion");
  // Each Exif orientation as anti-clockwise quarter turns, then a mirror (0 top and bottom, 1
  // left and right, -1 none).
  const int turns[] = {0, 0, 2, 0, 1, 3, 1, 1};
  const int mirrors[] = {-1, 1, -1, 0, 0, -1, 1, -1};
  const int o = std::clamp(orientation, 1, 8) - 1;
  if (turns[o] != 0) {
    image->transformFlags |= AVIF_TRANSFORM_IROT;
    image->irot.angle = static_cast<std::uint8_t>(turns[o]);
  }
  if (mirrors[o] >= 0) {
    image->transformFlags |= AVIF_TRANSFORM_IMIR;
    image->imir.mode = static_cast<std::uint8_t>(mirrors[o]);
  }
  std::unique_ptr<avifEncoder, void (*)(avifEncoder*)> encoder(avifEncoderCreate(),
                                                               avifEncoderDestroy);
  encoder->minQuantizer = encoder->maxQuantizer = AVIF_QUANTIZER_LOSSLESS;
  encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
  encoder->maxThreads = 1;
  avifRWData out = AVIF_DATA_EMPTY;
  require(avifEncoderWrite(encoder.get(), image.get(), &out) == AVIF_RESULT_OK, "AVIF encode");
  Bytes bytes(out.data, out.data + out.size);
  avifRWDataFree(&out);
  return bytes;
}

// The rows of a HEIF picture's interleaved plane: 8-bit samples, or 16-bit ones cut to 10 bits,
// low byte first.
void fillHeifPlane(heif_image* image, const PhotoPicture& p) {
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const std::size_t row = static_cast<std::size_t>(p.width * channels(p));
  for (int y = 0; y < p.height; ++y) {
    std::uint8_t* out = plane + static_cast<std::size_t>(stride) * y;
    for (std::size_t i = 0; i < row; ++i) {
      const std::uint32_t v = p.samples[row * static_cast<std::size_t>(y) + i];
      if (p.bitDepth == 8) {
        out[i] = static_cast<std::uint8_t>(v);
      } else {
        out[2 * i] = static_cast<std::uint8_t>((v >> 6) & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(v >> 14);
      }
    }
  }
}

Bytes MakeHeif(const PhotoPicture& p, int orientation, int quality) {
  const bool deep = p.bitDepth > 8;
  const heif_chroma chroma =
      deep ? (p.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (p.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_encoding_options* options = heif_encoding_options_alloc();
  Bytes out;
  const bool ok =
      heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code ==
          heif_error_Ok &&
      (quality > 0 ? heif_encoder_set_lossy_quality(encoder, quality)
                   : heif_encoder_set_lossless(encoder, 1))
              .code == heif_error_Ok &&
      heif_encoder_set_parameter_string(encoder, "chroma", "444").code == heif_error_Ok &&
      heif_image_create(p.width, p.height, heif_colorspace_RGB, chroma, &image).code ==
          heif_error_Ok &&
      heif_image_add_plane(image, heif_channel_interleaved, p.width, p.height, deep ? 10 : 8)
              .code == heif_error_Ok;
  if (ok) {
    fillHeifPlane(image, p);
    options->image_orientation = static_cast<heif_orientation>(orientation);
    heif_writer writer{1, [](heif_context*, const void* data, std::size_t size, void* user) {
                         auto* bytes = static_cast<Bytes*>(user);
                         const auto* b = static_cast<const std::uint8_t*>(data);
                         bytes->insert(bytes->end(), b, b + size);
                         return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (heif_context_encode_image(context, image, encoder, options, nullptr).code ==
        heif_error_Ok) {
      heif_context_write(context, &writer, &out);
    }
  }
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);
  require(!out.empty(), "HEIF encode");
  return out;
}

Bytes MakeTiff(const PhotoPicture& p, int compression, int rowsPerStrip, int tileSide) {
  char name[] = "/tmp/tessora-tiff-XXXXXX";
  const int fd = ::mkstemp(name);
  require(fd >= 0, "temporary TIFF");
  ::close(fd);
  TIFF* tif = TIFFOpen(name, "w");
  require(tif != nullptr, "TIFF open");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.height));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(channels(p)));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(p.bitDepth));
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(compression));
  if (p.alpha) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  const bool ok = tileSide > 0 ? writeTiles(tif, p, tileSide) : writeRows(tif, p, rowsPerStrip);
  TIFFClose(tif);
  Bytes out = readBytes(name);
  ::unlink(name);
  require(ok && !out.empty(), "TIFF write");
  return out;
}

Bytes MakeOrientedTiff(const PhotoPicture& p, int orientation, TiffSamples samples) {
  char name[] = "/tmp/tessora-tiff-XXXXXX";
  const int fd = ::mkstemp(name);
  require(fd >= 0, "temporary TIFF");
  ::close(fd);
  TIFF* tif = TIFFOpen(name, "w");
  require(tif != nullptr, "TIFF open");
  const bool cmyk = samples == TiffSamples::Cmyk;
  const bool floats = samples == TiffSamples::Float;
  const int colors = cmyk ? 4 : 3;
  const int perPixel = colors + (p.alpha ? 1 : 0);
  const int bits = floats ? 32 : p.bitDepth;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.height));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(perPixel));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, floats ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, cmyk ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, static_cast<std::uint16_t>(orientation));
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(p.height));
  if (p.alpha) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  const std::uint32_t max = (1u << p.bitDepth) - 1;
  std::vector<std::uint8_t> strip;
  // Samples in the host's order, as libtiff writes them.
  const auto store = [&](std::uint32_t v) {
    std::uint8_t b[4] = {};
    if (floats) {
      const float f = static_cast<float>(v) / static_cast<float>(max);
      std::memcpy(b, &f, 4);
    } else if (bits == 16) {
      const auto u = static_cast<std::uint16_t>(v);
      std::memcpy(b, &u, 2);
    } else {
      b[0] = static_cast<std::uint8_t>(v);
    }
    strip.insert(strip.end(), b, b + bits / 8);
  };
  for (std::size_t i = 0; i < p.samples.size(); i += static_cast<std::size_t>(channels(p))) {
    for (int c = 0; c < 3; ++c) {
      store(cmyk ? max - p.samples[i + static_cast<std::size_t>(c)]
                 : p.samples[i + static_cast<std::size_t>(c)]);
    }
    if (cmyk) {
      store(0);
    }
    if (p.alpha) {
      store(p.samples[i + 3]);
    }
  }
  const bool ok =
      TIFFWriteEncodedStrip(tif, 0, strip.data(), static_cast<tmsize_t>(strip.size())) >= 0;
  TIFFClose(tif);
  Bytes out = readBytes(name);
  ::unlink(name);
  require(ok && !out.empty(), "TIFF write");
  return out;
}

Bytes MakeJxl(const PhotoPicture& p) {
  std::unique_ptr<JxlEncoder, void (*)(JxlEncoder*)> encoder(JxlEncoderCreate(nullptr),
                                                             JxlEncoderDestroy);
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = static_cast<std::uint32_t>(p.width);
  info.ysize = static_cast<std::uint32_t>(p.height);
  info.bits_per_sample = static_cast<std::uint32_t>(p.bitDepth);
  info.alpha_bits = p.alpha ? info.bits_per_sample : 0;
  info.num_extra_channels = p.alpha ? 1 : 0;
  info.uses_original_profile = JXL_TRUE;
  JxlColorEncoding color;
  JxlColorEncodingSetToSRGB(&color, JXL_FALSE);
  require(JxlEncoderSetBasicInfo(encoder.get(), &info) == JXL_ENC_SUCCESS &&
              JxlEncoderSetColorEncoding(encoder.get(), &color) == JXL_ENC_SUCCESS,
          "JPEG XL header");
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
  const JxlPixelFormat format{static_cast<std::uint32_t>(channels(p)),
                              p.bitDepth == 8 ? JXL_TYPE_UINT8 : JXL_TYPE_UINT16, JXL_NATIVE_ENDIAN,
                              0};
  std::vector<std::uint8_t> b8 = bytes8(p);
  std::vector<std::uint16_t> b16 = samples16(p);
  const void* pixels = p.bitDepth == 8 ? static_cast<const void*>(b8.data()) : b16.data();
  const std::size_t size = p.samples.size() * (p.bitDepth == 8 ? 1 : 2);
  require(JxlEncoderSetFrameLossless(settings, JXL_TRUE) == JXL_ENC_SUCCESS &&
              JxlEncoderAddImageFrame(settings, &format, pixels, size) == JXL_ENC_SUCCESS,
          "JPEG XL frame");
  JxlEncoderCloseInput(encoder.get());
  Bytes out(4096);
  std::uint8_t* next = out.data();
  std::size_t left = out.size();
  JxlEncoderStatus status;
  while ((status = JxlEncoderProcessOutput(encoder.get(), &next, &left)) ==
         JXL_ENC_NEED_MORE_OUTPUT) {
    const std::size_t used = static_cast<std::size_t>(next - out.data());
    out.resize(out.size() * 2);
    next = out.data() + used;
    left = out.size() - used;
  }
  require(status == JXL_ENC_SUCCESS, "JPEG XL encode");
  out.resize(static_cast<std::size_t>(next - out.data()));
  return out;
}

}  // namespace tessora::testing
