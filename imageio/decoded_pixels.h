#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/bitmap.h"

namespace tessora {

/// How a reader's decoded samples lie in memory: gray or RGB, with or without alpha, 8 or 16
/// bits a sample. 16-bit samples are stored low byte first and span the whole 0..65535 range.
enum class SampleLayout { Gray8, GrayAlpha8, Rgb8, Rgba8, Gray16, GrayAlpha16, Rgb16, Rgba16 };

/// Bytes one pixel of `layout` takes.
int BytesPerPixel(SampleLayout layout);
/// Whether `layout` holds 16-bit samples.
bool IsDeep(SampleLayout layout);

/// A decoded picture as a reader hands it to the drawing step: `height` rows of `width` pixels,
/// `stride` bytes apart, top row first. Alpha is straight (not premultiplied); libpng's readers
/// deliver it inverted (0 = opaque).
struct DecodedPixels {
  const std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  SampleLayout layout = SampleLayout::Rgb8;
  bool invertedAlpha = false;
};

/// Draws the pixels with their top-left corner at (left, top), clipped to the surface. Opaque
/// pixels replace what the surface shows, partly transparent ones are blended over it (the
/// decoded colour weighing alpha), fully transparent ones leave it; 16-bit samples are blended at
/// their full precision and rounded to 8 bits.
void DrawDecodedPixels(const DecodedPixels& pixels, Bitmap& surface, int left, int top);

/// Turns 16-bit samples held in the host's byte order into the low-byte-first order the drawing
/// step reads; nothing to do on little-endian hosts.
void HostSamplesToLittleEndian(std::uint16_t* samples, std::size_t count);

/// Stretches samples of `bits` significant bits (high bits zero, 9 to 16) to the 16-bit range.
void WidenSamplesTo16(std::uint16_t* samples, std::size_t count, int bits);

}  // namespace tessora
