#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessora {

/// The PCM samples of a WAV file, as they are stored: little-endian, channels interleaved.
struct WavSound {
  std::uint32_t rate = 0;           ///< frames a second
  std::uint16_t channels = 0;       ///< 1 or 2
  std::uint16_t bitsPerSample = 0;  ///< 8 (unsigned), 16, 24 or 32 (signed)
  std::vector<std::uint8_t> samples;
};

/// Reads an uncompressed PCM WAV file: a RIFF "WAVE" with a "fmt " chunk, then a "data" chunk,
/// other chunks skipped. Anything else (compressed, float, more than two channels, sizes that
/// disagree, a chunk running past the end) gives nothing: the cues are ours, and a file that
/// is not what we made is not played.
std::optional<WavSound> ParseWav(const std::vector<std::uint8_t>& bytes);

/// ParseWav of a file of at most 16 MB; nothing when it is missing or unreadable.
std::optional<WavSound> ReadWav(const std::string& path);

}  // namespace tessora
