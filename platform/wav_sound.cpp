#include "platform/wav_sound.h"

#include <cstring>

#include "common/read_file.h"
#include "imageio/byte_order.h"

namespace tessora {
namespace {

using byte_order::ReadLE16;
using byte_order::ReadLE32;

constexpr std::uint64_t kMaxWavBytes = 16u << 20;
constexpr std::uint16_t kPcm = 1;

bool IsTag(const std::uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

// The "fmt " chunk's first 16 bytes; the frame size and byte rate must agree with the rest.
bool ReadFormat(const std::uint8_t* p, std::uint32_t size, WavSound& sound) {
  if (size < 16 || ReadLE16(p) != kPcm) {
    return false;
  }
  sound.channels = ReadLE16(p + 2);
  sound.rate = ReadLE32(p + 4);
  const std::uint32_t byteRate = ReadLE32(p + 8);
  const std::uint16_t blockAlign = ReadLE16(p + 12);
  sound.bitsPerSample = ReadLE16(p + 14);
  const unsigned bits = sound.bitsPerSample;
  return (sound.channels == 1 || sound.channels == 2) &&
         (bits == 8 || bits == 16 || bits == 24 || bits == 32) && sound.rate >= 1000 &&
         sound.rate <= 384000 && blockAlign == sound.channels * bits / 8 &&
         byteRate == sound.rate * blockAlign;
}

}  // namespace

std::optional<WavSound> ParseWav(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 12 || !IsTag(bytes.data(), "RIFF") || !IsTag(bytes.data() + 8, "WAVE")) {
    return std::nullopt;
  }
  WavSound sound;
  bool haveFormat = false;
  std::size_t at = 12;
  // Each chunk: a tag, a 32-bit size, the contents and a pad byte after an odd size.
  while (bytes.size() - at >= 8) {
    const std::uint8_t* header = bytes.data() + at;
    const std::uint32_t size = ReadLE32(header + 4);
    at += 8;
    if (size > bytes.size() - at) {
      return std::nullopt;
    }
    const std::uint8_t* contents = bytes.data() + at;
    if (IsTag(header, "fmt ")) {
      if (haveFormat || !ReadFormat(contents, size, sound)) {
        return std::nullopt;
      }
      haveFormat = true;
    } else if (IsTag(header, "data")) {
      const std::size_t frame = sound.channels * sound.bitsPerSample / 8u;
      if (!haveFormat || size == 0 || size % frame != 0) {
        return std::nullopt;
      }
      sound.samples.assign(contents, contents + size);
      return sound;
    }
    at += size + (size & 1u);
    if (at > bytes.size()) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<WavSound> ReadWav(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (ReadWholeFile(path, kMaxWavBytes, bytes) != ReadResult::Ok) {
    return std::nullopt;
  }
  return ParseWav(bytes);
}

}  // namespace tessora
