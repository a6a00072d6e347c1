#include "imageio/iso_media_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "imageio/coded_size.h"
#include "imageio/iso_media.h"
#include "imageio/photo_reader.h"

namespace tessora {
namespace {

using iso_media::FourCc;
using iso_media::Item;
using iso_media::Span;
using photo::Fail;

// How far the size a file gives a picture may stray from the size it is coded at: HEVC codes
// whole blocks of 8 to 64 pixels and crops the rest, and a writer may round. Far more is no
// rounding but a picture the library would scale up, or allocate for and then crop.
constexpr std::uint64_t kSizeSlack = 64;

// A grid or overlay made of grids made of ... is no picture anyone writes; two levels are.
constexpr int kMaxDerivation = 2;

bool isCoded(const Item& item) {
  return item.type == FourCc("hvc1") || item.type == FourCc("av01");
}

// The item types libheif and libavif make pictures of. A derived picture naming an item of
// another type as its source is broken, and libheif 1.15 stops the program on it (an assertion)
// instead of failing.
bool isPicture(const Item& item) {
  switch (item.type) {
    case FourCc("hvc1"):
    case FourCc("av01"):
    case FourCc("grid"):
    case FourCc("iovl"):
    case FourCc("iden"):
    case FourCc("jpeg"):
      return true;
    default:
      return false;
  }
}

// FNV-1a of a coded picture's bytes: which pictures of a derived one are the same data.
std::uint64_t contentHash(const coded_size::Bytes& b) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::size_t i = 0; i < b.size; ++i) {
    h = (h ^ b.data[i]) * 1099511628211ull;
  }
  return h;
}

bool near(std::uint64_t a, std::uint64_t b) {
  return a <= b + kSizeSlack && b <= a + kSizeSlack;
}

// Refuses a picture the file gives width x height that is stored as storedWidth x storedHeight.
// Some writers give the size turned a quarter: that costs nothing.
void checkStored(std::uint64_t width, std::uint64_t height, std::uint64_t storedWidth,
                 std::uint64_t storedHeight) {
  if (width == 0 && height == 0) {
    return;  // no 'ispe': the stored size is all there is
  }
  if (!(near(width, storedWidth) && near(height, storedHeight)) &&
      !(near(width, storedHeight) && near(height, storedWidth))) {
    Fail(StoredSizeText(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height),
                        static_cast<std::int64_t>(storedWidth),
                        static_cast<std::int64_t>(storedHeight)));
  }
}

class CostCheck {
 public:
  CostCheck(const std::uint8_t* data, std::size_t size, const iso_media::Media& media,
            const ImageLimits& limits)
      : data_(data), size_(size), media_(media), limits_(limits) {}

  void picture(const Item& item, int depth) {
    if (depth > kMaxDerivation || (depth > 0 && !isPicture(item))) {
      Fail(kDamaged);
    }
    if (isCoded(item)) {
      coded(item);
      return;
    }
    switch (item.type) {
      case FourCc("grid"):
        grid(item, depth);
        break;
      case FourCc("iovl"):
        overlay(item, depth);
        break;
      case FourCc("iden"):
        for (const std::uint32_t id : item.sources) {
          picture(source(id), depth + 1);
        }
        break;
      default:
        break;
    }
  }

 private:
  const Item& source(std::uint32_t id) const {
    const Item* item = media_.find(id);
    if (item == nullptr) {
      Fail(kDamaged);
    }
    return *item;
  }

  // The item's data in one piece: the file's own bytes when it lies in one extent, else a copy
  // in `copy`. Extents of one item do not overlap, so it is never larger than the file.
  coded_size::Bytes bytesOf(const Item& item, std::vector<std::uint8_t>& copy) const {
    std::uint64_t total = 0;
    for (const Span& e : item.extents) {
      if (e.offset > size_ || e.size > size_ - e.offset) {
        Fail(kTruncated);
      }
      total += e.size;
    }
    if (item.extents.size() == 1) {
      return {data_ + item.extents[0].offset, static_cast<std::size_t>(item.extents[0].size)};
    }
    if (total > size_) {
      Fail(kDamaged);
    }
    copy.clear();
    for (const Span& e : item.extents) {
      copy.insert(copy.end(), data_ + e.offset, data_ + e.offset + e.size);
    }
    return {copy.data(), copy.size()};
  }

  // The size a coded picture's stream states, which is what its decoder allocates; nothing when
  // it states none, and then the decoder has no header to start from either.
  std::optional<coded_size::Size> codedSize(const Item& item) const {
    std::vector<std::uint8_t> copy;
    const coded_size::Bytes bytes = bytesOf(item, copy);
    coded_size::Bytes config;
    if (item.config) {
      config = {data_ + item.config->offset, static_cast<std::size_t>(item.config->size)};
    }
    const std::vector<coded_size::Size> sizes = item.type == FourCc("hvc1")
                                                    ? coded_size::HevcSizes(config, bytes)
                                                    : coded_size::Av1Sizes(config, bytes);
    if (sizes.empty()) {
      return std::nullopt;
    }
    for (const coded_size::Size& s : sizes) {
      if (!(s == sizes.front())) {
        Fail(kDamaged);  // one picture, coded at two sizes
      }
    }
    return sizes.front();
  }

  void coded(const Item& item) const {
    if (const auto size = codedSize(item)) {
      photo::CheckSize(size->width, size->height, 4, limits_);
      checkStored(item.width, item.height, size->width, size->height);
    }
  }

  // The canvas size of a grid ('grid') or overlay ('iovl') after its first `skip` bytes.
  std::pair<std::uint32_t, std::uint32_t> canvas(const Item& item, std::size_t skip) const {
    std::vector<std::uint8_t> copy;
    const coded_size::Bytes b = bytesOf(item, copy);
    if (b.size < 2) {
      Fail(kDamaged);
    }
    const std::size_t field = (b.data[1] & 1) != 0 ? 4 : 2;
    if (b.size < skip + 2 * field) {
      Fail(kDamaged);
    }
    std::uint32_t side[2] = {};
    for (std::size_t i = 0; i < 2 * field; ++i) {
      side[i / field] = side[i / field] << 8 | b.data[skip + i];
    }
    photo::CheckSize(side[0], side[1], 4, limits_);
    checkStored(item.width, item.height, side[0], side[1]);
    return {side[0], side[1]};
  }

  // A grid: rows x columns tiles of one size, each coded data of its own, covering the canvas.
  void grid(const Item& item, int depth) {
    const auto [width, height] = canvas(item, 4);
    std::vector<std::uint8_t> copy;
    const coded_size::Bytes b = bytesOf(item, copy);
    const std::size_t rows = b.data[2] + 1u;
    const std::size_t columns = b.data[3] + 1u;
    if (item.sources.size() != rows * columns) {
      Fail(kDamaged);
    }
    std::map<std::vector<Span>, std::int64_t> uses;
    std::int64_t most = 0;
    for (const std::uint32_t id : item.sources) {
      const Item& tile = source(id);
      if (tile.extents.empty()) {
        Fail(kDamaged);
      }
      most = std::max(most, ++uses[tile.extents]);
    }
    if (most > 1) {
      Fail(RepeatedTileText(most));
    }
    // The tiles' size is the first one's; each is held to its own below.
    const Item& first = source(item.sources.front());
    coded_size::Size tile{first.width, first.height};
    if (tile.width == 0 && tile.height == 0 && isCoded(first)) {
      tile = codedSize(first).value_or(tile);
    }
    const std::uint64_t coveredWidth = std::uint64_t{columns} * tile.width;
    const std::uint64_t coveredHeight = std::uint64_t{rows} * tile.height;
    if (coveredWidth < width || coveredHeight < height) {
      Fail(StoredSizeText(width, height, static_cast<std::int64_t>(coveredWidth),
                          static_cast<std::int64_t>(coveredHeight)));
    }
    checkHeld("grid", item, depth, width, height);
    for (const std::uint32_t id : item.sources) {
      picture(source(id), depth + 1);
    }
  }

  // An overlay: layers placed on a canvas of one colour. Each layer is checked; the canvas is
  // held to the limits and to the coded data of its layers.
  void overlay(const Item& item, int depth) {
    const auto [width, height] = canvas(item, 2 + 8);  // version, flags, the fill colour
    checkHeld("overlay canvas", item, depth, width, height);
    for (const std::uint32_t id : item.sources) {
      picture(source(id), depth + 1);
    }
  }

  // The coded data a derived picture is made of, each distinct content once: a grid whose cells
  // are copies of one tile holds one tile's bytes.
  struct Held {
    std::set<std::uint32_t> items;  // each item is read once, however often it is named
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;  // size and hash of each content
    std::uint64_t bytes = 0;
  };

  void gather(const Item& item, int depth, Held& held) const {
    if (depth > kMaxDerivation || !isPicture(item)) {
      Fail(kDamaged);
    }
    if (!held.items.insert(item.id).second) {
      return;
    }
    if (isCoded(item)) {
      std::vector<std::uint8_t> copy;
      const coded_size::Bytes b = bytesOf(item, copy);
      if (held.seen.insert({b.size, contentHash(b)}).second) {
        held.bytes += b.size;
      }
      return;
    }
    for (const std::uint32_t id : item.sources) {
      gather(source(id), depth + 1, held);
    }
  }

  // Refuses a derived picture of width x height beyond kFreeDerivedPixels whose coded pictures
  // hold less than one byte for every kPixelsPerCodedByte of its pixels (image_limits.h). Its
  // decoder allocates for the whole canvas, however little data fills it.
  void checkHeld(const char* what, const Item& item, int depth, std::uint32_t width,
                 std::uint32_t height) const {
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels <= kFreeDerivedPixels) {
      return;
    }
    Held held;
    for (const std::uint32_t id : item.sources) {
      gather(source(id), depth + 1, held);
    }
    if (held.bytes * kPixelsPerCodedByte < pixels) {
      Fail(ThinDerivedText(what, width, height, held.bytes));
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  const iso_media::Media& media_;
  const ImageLimits& limits_;
};

}  // namespace

void CheckIsoMediaCost(const std::uint8_t* data, std::size_t size, const ImageLimits& limits) {
  const std::optional<iso_media::Media> media = iso_media::ReadMedia(data, size);
  if (!media) {
    Fail(kDamaged);
  }
  if (media->items.empty()) {
    return;  // frames kept in a track only: no items to hold to their sizes
  }
  const Item* primary = media->find(media->primary);
  if (primary == nullptr) {
    Fail(kDamaged);
  }
  CostCheck check(data, size, *media, limits);
  check.picture(*primary, 0);
  for (const Item& item : media->items) {
    for (const std::uint32_t of : item.auxiliaryOf) {
      if (of == primary->id && item.id != primary->id) {
        check.picture(item, 0);
      }
    }
  }
}

}  // namespace tessora
