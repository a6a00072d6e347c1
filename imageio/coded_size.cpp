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

// What an AV1 frame header needs of its sequence header (AV1 5.5) to be read as far as its size.
struct Av1Sequence {
  Size largest;
  bool reduced = false;  // a still picture's reduced header: frames of the largest size
  int widthBits = 0;
  int heightBits = 0;
  bool decoderModel = false;
  bool equalIntervals = false;
  int presentationBits = 0;
  int removalBits = 0;
  std::vector<std::pair<std::uint32_t, bool>> points;  // idc, decoder model present
  int frameIdBits = 0;
  int screenTools = 2;  // 2: each frame says
  int integerMv = 2;
  int orderHintBits = 0;
};

// The timing and operating points of a full sequence header.
void readOperatingPoints(Bits& b, Av1Sequence& s) {
  int delayBits = 0;
  if (b.read(1) != 0) {  // timing
    b.skip(64);
    s.equalIntervals = b.read(1) != 0;
    if (s.equalIntervals) {
      b.golomb();
    }
    s.decoderModel = b.read(1) != 0;
    if (s.decoderModel) {
      delayBits = static_cast<int>(b.read(5)) + 1;
      b.skip(32);
      s.removalBits = static_cast<int>(b.read(5)) + 1;
      s.presentationBits = static_cast<int>(b.read(5)) + 1;
    }
  }
  const bool displayDelay = b.read(1) != 0;
  for (int points = static_cast<int>(b.read(5)) + 1; points > 0 && b.ok(); --points) {
    const std::uint32_t idc = b.read(12);
    if (b.read(5) > 7) {
      b.skip(1);  // tier
    }
    const bool model = s.decoderModel && b.read(1) != 0;
    if (model) {
      b.skip(static_cast<std::uint64_t>(2 * delayBits + 1));
    }
    if (displayDelay && b.read(1) != 0) {
      b.skip(4);
    }
    s.points.emplace_back(idc, model);
  }
}

// The tools of a full sequence header that frame headers depend on.
void readTools(Bits& b, Av1Sequence& s) {
  b.skip(4);  // inter-intra, masked compound, warped motion, dual filter
  const bool orderHint = b.read(1) != 0;
  if (orderHint) {
    b.skip(2);
  }
  s.screenTools = b.read(1) != 0 ? 2 : static_cast<int>(b.read(1));
  if (s.screenTools > 0) {
    s.integerMv = b.read(1) != 0 ? 2 : static_cast<int>(b.read(1));
  }
  if (orderHint) {
    s.orderHintBits = static_cast<int>(b.read(3)) + 1;
  }
}

// An AV1 sequence header OBU's payload, as far as the tools frame headers depend on.
std::optional<Av1Sequence> readSequence(const std::uint8_t* data, std::size_t size) {
  Bits b(data, size);
  Av1Sequence s;
  b.skip(4);  // profile, still picture
  s.reduced = b.read(1) != 0;
  if (s.reduced) {
    b.skip(5);  // one level
  } else {
    readOperatingPoints(b, s);
  }
  s.widthBits = static_cast<int>(b.read(4)) + 1;
  s.heightBits = static_cast<int>(b.read(4)) + 1;
  const std::uint64_t width = std::uint64_t{b.read(s.widthBits)} + 1;
  const std::uint64_t height = std::uint64_t{b.read(s.heightBits)} + 1;
  if (!s.reduced && b.read(1) != 0) {
    const int delta = static_cast<int>(b.read(4)) + 2;
    s.frameIdBits = static_cast<int>(b.read(3)) + 1 + delta;
  }
  b.skip(3);  // 128 x 128 superblocks, intra filters
  if (!s.reduced) {
    readTools(b, s);
  }
  const std::optional<Size> largest = sizeIf(b.ok(), width, height);
  if (!largest) {
    return std::nullopt;
  }
  s.largest = *largest;
  return s;
}

// The size of the frame whose header (AV1 5.9.2) starts `data`, when it is a key frame shown at
// once, as a picture's first frame is; a frame may be coded smaller than the largest size.
// `layers` holds the OBU's temporal and spatial layer (bits 5 to 7 and 3 to 4).
std::optional<Size> frameSize(const Av1Sequence& s, const std::uint8_t* data, std::size_t size,
                              std::uint32_t layers) {
  if (s.reduced) {
    return s.largest;
  }
  Bits b(data, size);
  if (b.read(1) != 0 || b.read(2) != 0 || b.read(1) == 0) {
    return std::nullopt;  // an earlier frame shown again, or no key frame shown now
  }
  if (s.decoderModel && !s.equalIntervals) {
    b.skip(static_cast<std::uint64_t>(s.presentationBits));
  }
  b.skip(1);  // no updates of the probabilities
  const std::uint32_t screenTools = s.screenTools == 2 ? b.read(1) : 0u + s.screenTools;
  if (screenTools != 0 && s.integerMv == 2) {
    b.skip(1);
  }
  b.skip(static_cast<std::uint64_t>(s.frameIdBits));
  const bool ownSize = b.read(1) != 0;
  b.skip(static_cast<std::uint64_t>(s.orderHintBits));
  if (s.decoderModel && b.read(1) != 0) {
    for (const auto& [idc, model] : s.points) {
      const bool inLayers =
          (idc >> (layers >> 5 & 7) & 1) != 0 && (idc >> ((layers >> 3 & 3) + 8) & 1) != 0;
      if (model && (idc == 0 || inLayers)) {
        b.skip(static_cast<std::uint64_t>(s.removalBits));
      }
    }
  }
  if (!ownSize) {
    return b.ok() ? std::optional<Size>(s.largest) : std::nullopt;
  }
  const std::uint64_t width = std::uint64_t{b.read(s.widthBits)} + 1;
  const std::uint64_t height = std::uint64_t{b.read(s.heightBits)} + 1;
  return sizeIf(b.ok(), width, height);
}

// The sizes of an AV1 stream (OBUs, each with its size unless it runs to the end; AV1 5.3): the
// first frame's, or the largest its sequence headers allow when it holds no frame.
class Av1Stream {
 public:
  void read(const std::uint8_t* p, std::size_t size) {
    constexpr int kSequenceHeader = 1;
    constexpr int kFrameHeader = 3;
    constexpr int kFrame = 6;
    std::size_t at = 0;
    while (at < size) {
      const std::uint8_t header = p[at++];
      std::uint32_t layers = 0;
      if ((header & 0x80) != 0 || ((header & 4) != 0 && at >= size)) {
        return;
      }
      if ((header & 4) != 0) {
        layers = p[at++];
      }
      std::uint64_t length = size - at;
      if ((header & 2) != 0 && !readLength(p, size, at, length)) {
        return;
      }
      const int type = header >> 3 & 15;
      const auto n = static_cast<std::size_t>(length);
      if (type == kSequenceHeader) {
        sequence_ = readSequence(p + at, n);
        if (sequence_) {
          largest_.push_back(sequence_->largest);
        }
      } else if ((type == kFrameHeader || type == kFrame) && sequence_ && frames_.empty()) {
        if (const auto f = frameSize(*sequence_, p + at, n, layers)) {
          frames_.push_back(*f);
        }
      }
      at += n;
    }
  }
  std::vector<Size> sizes() const { return frames_.empty() ? largest_ : frames_; }

 private:
  // A LEB128 length; false when it is cut or longer than what follows.
  static bool readLength(const std::uint8_t* p, std::size_t size, std::size_t& at,
                         std::uint64_t& length) {
    length = 0;
    for (int i = 0;; ++i) {
      if (i == 8 || at >= size) {
        return false;
      }
      length |= std::uint64_t{p[at] & 0x7Fu} << (7 * i);
      if ((p[at++] & 0x80) == 0) {
        return length <= size - at;
      }
    }
  }

  std::optional<Av1Sequence> sequence_;
  std::vector<Size> largest_;
  std::vector<Size> frames_;
};

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
  Av1Stream stream;
  if (config.size > 4) {
    stream.read(config.data + 4, config.size - 4);
  }
  stream.read(data.data, data.size);
  return stream.sizes();
}

}  // namespace tessora::coded_size
