#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_makers.h"
#include "support/files.h"

// HEIF and AVIF files put together box by box from pictures libheif and libavif coded, for the
// files no encoder writes: grids of shared tiles, sizes that disagree with the coded data.
namespace tessora::testing {

/// A box: size, type, payload.
Bytes IsoBox(const std::string& type, const Bytes& payload);
/// An 'ispe' property of width x height.
Bytes IspeBox(std::uint32_t width, std::uint32_t height);
/// The data of a 'grid' item: rows x columns tiles making a width x height picture.
Bytes GridData(int rows, int columns, std::uint32_t width, std::uint32_t height);

/// One item of an assembled file.
struct IsoItemRecipe {
  std::uint32_t id = 0;
  std::string type;                       // "hvc1", "av01", "grid"
  Bytes data;                             // its bytes, kept in 'mdat'
  std::uint32_t dataOf = 0;               // not 0: it has no bytes of its own but that item's
  std::vector<std::uint16_t> properties;  // numbers (from 1) of the file's properties
  std::vector<std::uint32_t> sources;     // 'dimg' references: a grid's tiles
};

/// A file of brand `brand` ("heic", "avif") showing item `primary`.
struct IsoFileRecipe {
  std::string brand;
  std::uint32_t primary = 1;
  std::vector<Bytes> properties;  // whole property boxes, numbered from 1
  std::vector<IsoItemRecipe> items;
};
Bytes AssembleIsoFile(const IsoFileRecipe& recipe);

/// The one coded picture of a file libheif or libavif wrote (opaque, so of one item): its
/// decoder configuration, its other properties but its size, and its data.
struct CodedPicture {
  Bytes config;
  std::vector<Bytes> properties;
  Bytes data;
};
CodedPicture LiftCodedPicture(const Bytes& file);

/// `file` with the size of every 'ispe' property changed to width x height.
Bytes WithIspe(Bytes file, std::uint32_t width, std::uint32_t height);

/// A grid of rows x columns tiles, all one coded picture (`tile`, of tileSide pixels), showing a
/// width x height picture. Its cells name one tile item, or with `itemPerCell` an item each
/// that shares the first one's data.
Bytes GridOfOneTile(const std::string& brand, const Bytes& tile, int tileSide, int rows,
                    int columns, std::uint32_t width, std::uint32_t height, bool itemPerCell);

/// A grid of rows x columns cells, each an item with its own copy of `tile`'s coded data. The
/// first `variants` cells (every cell with 0) are made distinct by changing their last bytes,
/// which leaves data no decoder should be asked to read; the others are exact copies.
Bytes GridOfCopies(const std::string& brand, const Bytes& tile, int tileSide, int rows, int columns,
                   std::uint32_t width, std::uint32_t height, int variants);

/// An overlay ('iovl') of `layers` layers, all `tile` (of tileSide pixels), on a width x height
/// canvas.
Bytes OverlayOf(const std::string& brand, const Bytes& tile, int tileSide, int layers,
                std::uint32_t width, std::uint32_t height);

/// A HEIF grid of `picture` as phones store their photos: tiles of tileSide pixels coded one by
/// one (lossless, 8-bit only), those of the last row and column padded with black.
Bytes HeifGridOf(const PhotoPicture& picture, int tileSide);

}  // namespace tessora::testing
