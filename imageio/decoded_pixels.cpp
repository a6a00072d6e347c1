#include "imageio/decoded_pixels.h"

#include <algorithm>

#include "imageio/byte_order.h"

namespace tessora {
namespace {

using L = SampleLayout;

template <L Layout>
constexpr bool kDeep =
    Layout == L::Gray16 || Layout == L::GrayAlpha16 || Layout == L::Rgb16 || Layout == L::Rgba16;

// One decoded pixel: samples and inverted alpha (0 = opaque) on the layout's own scale, 0..255 or
// 0..65535.
struct Rgba {
  std::uint32_t r, g, b;
  std::uint32_t inverseAlpha;
};

template <L Layout, bool Inverted>
inline Rgba fetch(const std::uint8_t* p) {
  constexpr std::uint32_t kMax = kDeep<Layout> ? 65535u : 255u;
  auto s = [p](int i) -> std::uint32_t { return byte_order::ReadLE16(p + 2 * i); };
  auto ia = [](std::uint32_t a) { return Inverted ? a : kMax - a; };
  if constexpr (Layout == L::Gray8) {
    return {p[0], p[0], p[0], 0};
  } else if constexpr (Layout == L::GrayAlpha8) {
    return {p[0], p[0], p[0], ia(p[1])};
  } else if constexpr (Layout == L::Rgb8) {
    return {p[0], p[1], p[2], 0};
  } else if constexpr (Layout == L::Rgba8) {
    return {p[0], p[1], p[2], ia(p[3])};
  } else if constexpr (Layout == L::Gray16) {
    return {s(0), s(0), s(0), 0};
  } else if constexpr (Layout == L::GrayAlpha16) {
    return {s(0), s(0), s(0), ia(s(1))};
  } else if constexpr (Layout == L::Rgb16) {
    return {s(0), s(1), s(2), 0};
  } else {
    return {s(0), s(1), s(2), ia(s(3))};
  }
}

inline std::uint8_t reduce16(std::uint32_t v) {
  return static_cast<std::uint8_t>((v * 255u + 32767u) / 65535u);
}

// The decoded colour weighs alpha, the present one the rest: old x A' + (255 - A') x new, over 255.
inline std::uint8_t mix8(std::uint32_t old, std::uint32_t fresh, std::uint32_t inverseAlpha) {
  return static_cast<std::uint8_t>((old * inverseAlpha + (255 - inverseAlpha) * fresh) / 255);
}

// The same at 16-bit precision, rounded, so deep files lose nothing to an early cut of alpha.
inline std::uint8_t mix16(std::uint32_t old, std::uint32_t fresh, std::uint32_t inverseAlpha) {
  constexpr std::uint64_t kScale = 65535u * 257u;
  const std::uint64_t sum = std::uint64_t{old} * 257u * inverseAlpha +
                            std::uint64_t{65535u - inverseAlpha} * fresh + kScale / 2;
  return static_cast<std::uint8_t>(sum / kScale);
}

template <L Layout, bool Inverted>
void drawLayout(const DecodedPixels& image, Bitmap& surface, int left, int top) {
  constexpr std::uint32_t kFullyTransparent = kDeep<Layout> ? 65535u : 255u;
  const auto bpp = static_cast<std::size_t>(BytesPerPixel(Layout));
  const int x0 = std::max(0, -left);
  const int x1 = std::min(image.width, surface.width() - left);
  const int y0 = std::max(0, -top);
  const int y1 = std::min(image.height, surface.height() - top);
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* src = image.data + static_cast<std::size_t>(y) * image.stride +
                              static_cast<std::size_t>(x0) * bpp;
    std::uint8_t* dst = surface.scanLine(top + y) + static_cast<std::size_t>(left + x0) * 3;
    for (int x = x0; x < x1; ++x, src += bpp, dst += 3) {
      const Rgba c = fetch<Layout, Inverted>(src);
      if (c.inverseAlpha == 0) {
        if constexpr (kDeep<Layout>) {
          dst[0] = reduce16(c.r);
          dst[1] = reduce16(c.g);
          dst[2] = reduce16(c.b);
        } else {
          dst[0] = static_cast<std::uint8_t>(c.r);
          dst[1] = static_cast<std::uint8_t>(c.g);
          dst[2] = static_cast<std::uint8_t>(c.b);
        }
      } else if (c.inverseAlpha != kFullyTransparent) {
        auto mix = kDeep<Layout> ? mix16 : mix8;
        dst[0] = mix(dst[0], c.r, c.inverseAlpha);
        dst[1] = mix(dst[1], c.g, c.inverseAlpha);
        dst[2] = mix(dst[2], c.b, c.inverseAlpha);
      }
    }
  }
}

template <bool Inverted>
void drawAlphaSense(const DecodedPixels& image, Bitmap& surface, int left, int top) {
  switch (image.layout) {
    case L::Gray8:
      return drawLayout<L::Gray8, Inverted>(image, surface, left, top);
    case L::GrayAlpha8:
      return drawLayout<L::GrayAlpha8, Inverted>(image, surface, left, top);
    case L::Rgb8:
      return drawLayout<L::Rgb8, Inverted>(image, surface, left, top);
    case L::Rgba8:
      return drawLayout<L::Rgba8, Inverted>(image, surface, left, top);
    case L::Gray16:
      return drawLayout<L::Gray16, Inverted>(image, surface, left, top);
    case L::GrayAlpha16:
      return drawLayout<L::GrayAlpha16, Inverted>(image, surface, left, top);
    case L::Rgb16:
      return drawLayout<L::Rgb16, Inverted>(image, surface, left, top);
    case L::Rgba16:
      return drawLayout<L::Rgba16, Inverted>(image, surface, left, top);
  }
}

}  // namespace

int BytesPerPixel(SampleLayout layout) {
  switch (layout) {
    case L::Gray8:
      return 1;
    case L::GrayAlpha8:
    case L::Gray16:
      return 2;
    case L::Rgb8:
      return 3;
    case L::Rgba8:
    case L::GrayAlpha16:
      return 4;
    case L::Rgb16:
      return 6;
    case L::Rgba16:
      return 8;
  }
  return 0;
}

bool IsDeep(SampleLayout layout) {
  return layout == L::Gray16 || layout == L::GrayAlpha16 || layout == L::Rgb16 ||
         layout == L::Rgba16;
}

void DrawDecodedPixels(const DecodedPixels& pixels, Bitmap& surface, int left, int top) {
  if (pixels.data == nullptr || pixels.width <= 0 || pixels.height <= 0) {
    return;
  }
  if (pixels.invertedAlpha) {
    drawAlphaSense<true>(pixels, surface, left, top);
  } else {
    drawAlphaSense<false>(pixels, surface, left, top);
  }
}

void HostSamplesToLittleEndian(std::uint16_t* samples, std::size_t count) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<std::uint16_t>((samples[i] >> 8) | (samples[i] << 8));
  }
#else
  (void)samples;
  (void)count;
#endif
}

void WidenSamplesTo16(std::uint16_t* samples, std::size_t count, int bits) {
  if (bits >= 16 || bits <= 0) {
    return;
  }
  const std::uint32_t max = (1u << bits) - 1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t v = std::min<std::uint32_t>(samples[i], max);
    samples[i] = static_cast<std::uint16_t>((v * 65535u + max / 2) / max);
  }
}

}  // namespace tessora
