#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The few boxes of an ISO base media file (HEIF, AVIF) that say which pictures it holds, how they
// are put together and where their data lies, read with every size held to its container. The
// readers look at them before a library decodes anything (iso_media_check.h).
namespace tessora::iso_media {

/// A box or item type, its four characters as one big-endian number.
constexpr std::uint32_t FourCc(const char (&s)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[3]));
}

/// A run of bytes of the file: offset and length from the file's start. An item's extent may
/// reach past the file's end (a cut file); every other span lies inside it.
struct Span {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  bool operator<(const Span& o) const {
    return offset != o.offset ? offset < o.offset : size < o.size;
  }
  bool operator==(const Span& o) const { return offset == o.offset && size == o.size; }
};

/// One item of the file's 'meta' box with what the checks need of its properties and references.
struct Item {
  std::uint32_t id = 0;
  std::uint32_t type = 0;  // 'hvc1', 'av01', 'grid', 'iovl', 'Exif', ...
  /// Its size as its 'ispe' property states it; 0 x 0 when it has none.
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  /// The payload of its decoder configuration ('hvcC' or 'av1C'), when it has one.
  std::optional<Span> config;
  /// Its data in order ('iloc'), data kept in the 'idat' box already placed in the file.
  std::vector<Span> extents;
  /// The items it is derived from ('dimg'): a grid's tiles row by row, an overlay's layers.
  std::vector<std::uint32_t> sources;
  /// The items it is an auxiliary picture of ('auxl'), such as the picture an alpha plane masks.
  std::vector<std::uint32_t> auxiliaryOf;
};

/// The items of a file and which one it shows.
struct Media {
  std::uint32_t primary = 0;
  std::vector<Item> items;

  /// The item `id`, or nullptr when the file has none of that number. `items` are in the order of
  /// their numbers.
  const Item* find(std::uint32_t id) const;
};

/// The items of the file's 'meta' box (none when it has no such box, as a sequence of frames
/// kept in a track alone), or nothing when one of the boxes read is malformed: shorter than its
/// fields, longer than its container, or of an unknown version.
std::optional<Media> ReadMedia(const std::uint8_t* data, std::size_t size);

}  // namespace tessora::iso_media
