#include "imageio/coded_size.h"

#include <optional>

namespace tessora::coded_size {
namespace {

// Bits of a header, most significant first. Reading past the end gives zeros and marks the read
// as failed.
class Bits {
 public:
  Bits(const std::uint8_t* data, std::size_t size) : data_(data), bits_(std::uint64_t{size} * 8) {}

  std::uint32_t read(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      value = value << 1 | bit();
    }
    return value;
  }
  void skip(std::uint64_t count) {
    at_ += count;
    failed_ = failed_ || at_ > bits_;
  }
  // ue(v) of HEVC and uvlc() of AV1: n zeros, a one, then n bits of value - (2^n - 1). Values
  // beyond 32 bits fail the read.
  std::uint64_t golomb() {
    int zeros = 0;
    while (!failed_ && bit() == 0) {
      if (++zeros > 32) {
        failed_ = true;
        return 0;
      }
    }
    return (std::uint64_t{1} << zeros) - 1 + read(zeros);
  }
  bool ok() const { return !failed_; }

 private:
  std::uint32_t bit() {
    if (at_ >= bits_) {
      failed_ = true;
      return 0;
    }
    const std::uint32_t b = data_[at_ / 8] >> (7 - at_ % 8) & 1u;
    ++at_;
    return b;
  }

  const std::uint8_t* data_;
  std::uint64_t bits_;
  std::uint64_t at_ = 0;
  bool failed_ = false;
};

std::optional<Size> sizeIf(bool ok, std::uint64_t width, std::uint64_t height) {
  if (!ok || width == 0 || height == 0 || width > UINT32_MAX || height > UINT32_MAX) {
    return std::nullopt;
  }
  return Size{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

// An HEVC sequence parameter set after its NAL header (ITU-T H.265 7.3.2.2), as far as the
// picture's size. The bytes that keep start codes out of the stream (0 0 3) are taken out first.
std::optional<Size> spsSize(const std::uint8_t* nal, std::size_t size) {
  std::vector<std::uint8_t> rbsp;
  int zeros = 0;
  for (std::size_t i = 0; i < size && rbsp.size() < 512; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    rbsp.push_back(nal[i]);
  }
  Bits b(rbsp.data(), rbsp.size());
  b.skip(4);  // video parameter set
  const int subLayers = static_cast<int>(b.read(3));
  b.skip(1 + 96);  // temporal nesting; the general profile, tier and level
  bool profile[8] = {};
  bool level[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profile[i] = b.read(1) != 0;
    level[i] = b.read(1) != 0;
  }
  if (subLayers > 0) {
    b.skip(static_cast<std::uint64_t>(2 * (8 - subLayers)));
  }
  for (int i = 0; i < subLayers; ++i) {
    b.skip((profile[i] ? 88u : 0u) + (level[i] ? 8u : 0u));
  }
  b.golomb();  // the set's number
  if (b.golomb() == 3) {
    b.skip(1);  // colour planes coded apart
  }
  const std::uint64_t width = b.golomb();
  const std::uint64_t height = b.golomb();
  return sizeIf(b.ok(), width, height);
}

void addSps(const std::uint8_t* nal, std::size_t size, std::vector<Size>& sizes) {
  constexpr int kSequenceParameterSet = 33;
  if (size > 2 && (nal[0] >> 1 & 0x3F) == kSequenceParameterSet) {
    if (const auto s = spsSize(nal + 2, size - 2)) {
      sizes.push_back(*s);
    }
  }
}

// The configuration's arrays of NAL units (ISO/IEC 14496-15 8.3.3): the NAL units' length size
// and the sizes of its parameter sets.
int hvcConfig(Bytes config, std::vector<Size>& sizes) {
  if (config.size < 23) {
    return 4;
  }
  const std::uint8_t* p = config.data;
  std::size_t at = 23;
  for (int arrays = p[22]; arrays > 0 && config.size - at >= 3; --arrays) {
    int count = p[at + 1] << 8 | p[at + 2];
    at += 3;
    for (; count > 0 && config.size - at >= 2; --count) {
      const std::size_t length = static_cast<std::size_t>(p[at] << 8 | p[at + 1]);
      at += 2;
      if (length > config.size - at) {
        return (p[21] & 3) + 1;
      }
      addSps(p + at, length, sizes);
      at += length;
    }
  }
  return (p[21] & 3) + 1;
}

// An AV1 sequence header OBU's payload (AV1 5.5), as far as the largest frame size.
std::optional<Size> sequenceHeaderSize(const std::uint8_t* data, std::size_t size) {
  Bits b(data, size);
  b.skip(4);  // profile, still picture
  if (b.read(1) != 0) {
    b.skip(5);  // reduced still picture header: one level
  } else {
    const bool timing = b.read(1) != 0;
    bool decoderModel = false;
    int delayBits = 0;
    if (timing) {
      b.skip(64);
      if (b.read(1) != 0) {
        b.golomb();
      }
      decoderModel = b.read(1) != 0;
      if (decoderModel) {
        delayBits = static_cast<int>(b.read(5)) + 1;
        b.skip(32 + 5 + 5);
      }
    }
    const bool displayDelay = b.read(1) != 0;
    for (int points = static_cast<int>(b.read(5)) + 1; points > 0 && b.ok(); --points) {
      b.skip(12);
      if (b.read(5) > 7) {
        b.skip(1);  // tier
      }
      if (decoderModel && b.read(1) != 0) {
        b.skip(static_cast<std::uint64_t>(2 * delayBits + 1));
      }
      if (displayDelay && b.read(1) != 0) {
        b.skip(4);
      }
    }
  }
  const int widthBits = static_cast<int>(b.read(4)) + 1;
  const int heightBits = static_cast<int>(b.read(4)) + 1;
  const std::uint64_t width = std::uint64_t{b.read(widthBits)} + 1;
  const std::uint64_t height = std::uint64_t{b.read(heightBits)} + 1;
  return sizeIf(b.ok(), width, height);
}

// OBUs one after the other (AV1 5.3), each with its size unless it runs to the end.
void addSequenceHeaders(const std::uint8_t* p, std::size_t size, std::vector<Size>& sizes) {
  constexpr int kSequenceHeader = 1;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t header = p[at++];
    if ((header & 0x80) != 0 || ((header & 4) != 0 && at++ >= size)) {
      return;
    }
    std::uint64_t length = size - at;
    if ((header & 2) != 0) {
      length = 0;
      for (int i = 0;; ++i) {
        if (i == 8 || at >= size) {
          return;
        }
        length |= std::uint64_t{p[at] & 0x7Fu} << (7 * i);
        if ((p[at++] & 0x80) == 0) {
          break;
        }
      }
    }
    if (length > size - at) {
      return;
    }
    if ((header >> 3 & 15) == kSequenceHeader) {
      if (const auto s = sequenceHeaderSize(p + at, static_cast<std::size_t>(length))) {
        sizes.push_back(*s);
      }
    }
    at += static_cast<std::size_t>(length);
  }
}

}  // namespace

std::vector<Size> HevcSizes(Bytes config, Bytes data) {
  std::vector<Size> sizes;
  const auto lengthBytes = static_cast<std::size_t>(hvcConfig(config, sizes));
  for (std::size_t at = 0; data.size - at > lengthBytes;) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i) {
      length = length << 8 | data.data[at++];
    }
    if (length > data.size - at) {
      break;
    }
    addSps(data.data + at, length, sizes);
    at += length;
  }
  return sizes;
}

std::vector<Size> Av1Sizes(Bytes config, Bytes data) {
  std::vector<Size> sizes;
  if (config.size > 4) {
    addSequenceHeaders(config.data + 4, config.size - 4, sizes);
  }
  addSequenceHeaders(data.data, data.size, sizes);
  return sizes;
}

}  // namespace tessora::coded_size
