#include "iso_media_makers.h"

#include <algorithm>
#include <stdexcept>

namespace tessora::testing {
namespace {

void put(Bytes& b, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void put(Bytes& b, const std::string& text) {
  b.insert(b.end(), text.begin(), text.end());
}

void put(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
  put(a, b);
  return a;
}

Bytes fullBox(const std::string& type, int version, std::uint32_t flags, const Bytes& payload) {
  Bytes b;
  put(b, static_cast<std::uint64_t>(version) << 24 | flags, 4);
  put(b, payload);
  return IsoBox(type, b);
}

// A box of a file written by a library: its type and where it lies, header included.
struct Found {
  std::string type;
  std::size_t start;
  std::size_t payload;
  std::size_t end;
};

// The boxes (32-bit sizes only, as the libraries write them) of [begin, end) of `file`.
std::vector<Found> children(const Bytes& file, std::size_t begin, std::size_t end) {
  std::vector<Found> boxes;
  for (std::size_t at = begin; at + 8 <= end;) {
    const std::size_t size = static_cast<std::size_t>(file[at] << 24 | file[at + 1] << 16 |
                                                      file[at + 2] << 8 | file[at + 3]);
    if (size < 8 || size > end - at) {
      throw std::runtime_error("cannot lift the coded picture: a box does not fit");
    }
    boxes.push_back({std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                 file.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                     at, at + 8, at + size});
    at += size;
  }
  return boxes;
}

const Found& child(const std::vector<Found>& boxes, const std::string& type) {
  for (const Found& b : boxes) {
    if (b.type == type) {
      return b;
    }
  }
  throw std::runtime_error("cannot lift the coded picture: no " + type + " box");
}

Bytes slice(const Bytes& file, std::size_t from, std::size_t to) {
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(from),
               file.begin() + static_cast<std::ptrdiff_t>(to));
}

// 'iloc' of every item, one extent each; `at` is where the item's data lies.
Bytes locations(const IsoFileRecipe& r, const std::vector<std::uint64_t>& at) {
  Bytes b;
  put(b, 0x4400, 2);  // 32-bit offsets and lengths, no base offset
  put(b, r.items.size(), 2);
  for (std::size_t i = 0; i < r.items.size(); ++i) {
    put(b, r.items[i].id, 2);
    put(b, 0, 2);
    put(b, 1, 2);
    put(b, at[i], 4);
    std::size_t owner = i;
    while (r.items[owner].dataOf != 0) {
      owner = static_cast<std::size_t>(
          std::find_if(r.items.begin(), r.items.end(),
                       [&](const IsoItemRecipe& it) { return it.id == r.items[owner].dataOf; }) -
          r.items.begin());
    }
    put(b, r.items[owner].data.size(), 4);
  }
  return fullBox("iloc", 0, 0, b);
}

Bytes metaBox(const IsoFileRecipe& r, const std::vector<std::uint64_t>& at) {
  Bytes handler(4, 0);
  put(handler, "pict");
  handler.resize(handler.size() + 13, 0);
  Bytes primary;
  put(primary, r.primary, 2);
  Bytes infos;
  Bytes references;
  Bytes associations;
  put(infos, r.items.size(), 2);
  put(associations, r.items.size(), 4);
  for (const IsoItemRecipe& item : r.items) {
    Bytes info;
    put(info, item.id, 2);
    put(info, 0, 2);
    put(info, item.type);
    info.push_back(0);
    put(infos, fullBox("infe", 2, 0, info));
    if (!item.sources.empty()) {
      Bytes dimg;
      put(dimg, item.id, 2);
      put(dimg, item.sources.size(), 2);
      for (const std::uint32_t s : item.sources) {
        put(dimg, s, 2);
      }
      put(references, IsoBox("dimg", dimg));
    }
    put(associations, item.id, 2);
    put(associations, item.properties.size(), 1);
    for (const std::uint16_t p : item.properties) {
      put(associations, p, 2);
    }
  }
  Bytes properties;
  for (const Bytes& p : r.properties) {
    put(properties, p);
  }
  Bytes meta;
  put(meta, fullBox("hdlr", 0, 0, handler));
  put(meta, fullBox("pitm", 0, 0, primary));
  put(meta, fullBox("iinf", 0, 0, infos));
  put(meta, fullBox("iref", 0, 0, references));
  put(meta, locations(r, at));
  put(meta, IsoBox("iprp", IsoBox("ipco", properties) + fullBox("ipma", 0, 1, associations)));
  return fullBox("meta", 0, 0, meta);
}

}  // namespace

Bytes IsoBox(const std::string& type, const Bytes& payload) {
  Bytes b;
  put(b, payload.size() + 8, 4);
  put(b, type);
  put(b, payload);
  return b;
}

Bytes IspeBox(std::uint32_t width, std::uint32_t height) {
  Bytes b;
  put(b, width, 4);
  put(b, height, 4);
  return fullBox("ispe", 0, 0, b);
}

Bytes GridData(int rows, int columns, std::uint32_t width, std::uint32_t height) {
  const bool wide = width > 0xFFFF || height > 0xFFFF;
  Bytes b{0, static_cast<std::uint8_t>(wide ? 1 : 0), static_cast<std::uint8_t>(rows - 1),
          static_cast<std::uint8_t>(columns - 1)};
  put(b, width, wide ? 4 : 2);
  put(b, height, wide ? 4 : 2);
  return b;
}

Bytes AssembleIsoFile(const IsoFileRecipe& r) {
  Bytes type;
  put(type, r.brand + std::string(4, '\0') + r.brand + "mif1miaf");
  const Bytes ftyp = IsoBox("ftyp", type);
  // The data's places in 'mdat', which follows the 'meta' box: its size does not depend on them.
  std::vector<std::uint64_t> at(r.items.size());
  Bytes data;
  for (std::size_t i = 0; i < r.items.size(); ++i) {
    at[i] = data.size();
    put(data, r.items[i].data);
  }
  const std::uint64_t start = ftyp.size() + metaBox(r, at).size() + 8;
  for (std::size_t i = 0; i < r.items.size(); ++i) {
    at[i] += start;
  }
  for (std::size_t i = 0; i < r.items.size(); ++i) {
    for (std::size_t j = 0; r.items[i].dataOf != 0 && j < r.items.size(); ++j) {
      at[i] = r.items[j].id == r.items[i].dataOf ? at[j] : at[i];
    }
  }
  return ftyp + metaBox(r, at) + IsoBox("mdat", data);
}

CodedPicture LiftCodedPicture(const Bytes& file) {
  const std::vector<Found> top = children(file, 0, file.size());
  const Found meta = child(top, "meta");
  const Found iprp = child(children(file, meta.payload + 4, meta.end), "iprp");
  const Found ipco = child(children(file, iprp.payload, iprp.end), "ipco");
  CodedPicture picture;
  for (const Found& p : children(file, ipco.payload, ipco.end)) {
    if (p.type == "hvcC" || p.type == "av1C") {
      picture.config = slice(file, p.start, p.end);
    } else if (p.type != "ispe") {
      picture.properties.push_back(slice(file, p.start, p.end));
    }
  }
  const Found& mdat = child(top, "mdat");
  picture.data = slice(file, mdat.payload, mdat.end);
  return picture;
}

Bytes WithIspe(Bytes file, std::uint32_t width, std::uint32_t height) {
  const std::string ispe = "ispe";
  for (auto at = std::search(file.begin(), file.end(), ispe.begin(), ispe.end()); at != file.end();
       at = std::search(at + 1, file.end(), ispe.begin(), ispe.end())) {
    const Bytes size = slice(IspeBox(width, height), 12, 20);
    std::copy(size.begin(), size.end(), at + 8);
  }
  return file;
}

namespace {

// A file of one derived item (1, "grid" or "iovl", with `data`) over cells of `tile`'s coded
// picture: the tile's properties are the file's first, then the derived item's size.
IsoFileRecipe derivedOverTile(const std::string& brand, const Bytes& tile, int tileSide,
                              const std::string& type, const Bytes& data, std::uint32_t width,
                              std::uint32_t height, IsoItemRecipe& cell) {
  const CodedPicture coded = LiftCodedPicture(tile);
  IsoFileRecipe r;
  r.brand = brand;
  const auto side = static_cast<std::uint32_t>(tileSide);
  r.properties = {coded.config, IspeBox(side, side), IspeBox(width, height)};
  r.properties.insert(r.properties.end(), coded.properties.begin(), coded.properties.end());
  IsoItemRecipe derived{1, type, data, 0, {3}, {}};
  cell = {2, brand == "avif" ? "av01" : "hvc1", coded.data, 0, {1, 2}, {}};
  for (std::size_t p = 4; p <= r.properties.size(); ++p) {
    derived.properties.push_back(static_cast<std::uint16_t>(p));
    cell.properties.push_back(static_cast<std::uint16_t>(p));
  }
  r.items = {derived, cell};
  return r;
}

}  // namespace

Bytes GridOfOneTile(const std::string& brand, const Bytes& tile, int tileSide, int rows,
                    int columns, std::uint32_t width, std::uint32_t height, bool itemPerCell) {
  IsoItemRecipe cell;
  IsoFileRecipe r = derivedOverTile(brand, tile, tileSide, "grid",
                                    GridData(rows, columns, width, height), width, height, cell);
  for (int i = 0; i < rows * columns; ++i) {
    if (itemPerCell && i > 0) {
      cell.id = static_cast<std::uint32_t>(i + 2);
      cell.data.clear();
      cell.dataOf = 2;
      r.items.push_back(cell);
    }
    r.items[0].sources.push_back(cell.id);
  }
  return AssembleIsoFile(r);
}

Bytes GridOfCopies(const std::string& brand, const Bytes& tile, int tileSide, int rows, int columns,
                   std::uint32_t width, std::uint32_t height, int variants) {
  IsoItemRecipe cell;
  IsoFileRecipe r = derivedOverTile(brand, tile, tileSide, "grid",
                                    GridData(rows, columns, width, height), width, height, cell);
  r.items.pop_back();
  const Bytes data = cell.data;
  for (int i = 0; i < rows * columns; ++i) {
    cell.id = static_cast<std::uint32_t>(i + 2);
    cell.data = data;
    if (variants == 0 || i < variants) {
      for (int b = 0; b < 4; ++b) {
        cell.data[cell.data.size() - 1 - static_cast<std::size_t>(b)] ^=
            static_cast<std::uint8_t>(i >> (8 * b));
      }
    }
    r.items.push_back(cell);
    r.items[0].sources.push_back(cell.id);
  }
  return AssembleIsoFile(r);
}

Bytes OverlayOf(const std::string& brand, const Bytes& tile, int tileSide, int layers,
                std::uint32_t width, std::uint32_t height) {
  const bool wide = width > 0xFFFF || height > 0xFFFF;
  Bytes data{0, static_cast<std::uint8_t>(wide ? 1 : 0)};
  put(data, 0xFFFF, 8);  // the canvas's colour: black, opaque
  put(data, width, wide ? 4 : 2);
  put(data, height, wide ? 4 : 2);
  for (int i = 0; i < layers; ++i) {  // the layers along the diagonal
    put(data, static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(tileSide), wide ? 4 : 2);
    put(data, static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(tileSide), wide ? 4 : 2);
  }
  IsoItemRecipe cell;
  IsoFileRecipe r = derivedOverTile(brand, tile, tileSide, "iovl", data, width, height, cell);
  r.items[0].sources.assign(static_cast<std::size_t>(layers), cell.id);
  return AssembleIsoFile(r);
}

Bytes HeifGridOf(const PhotoPicture& picture, int tileSide) {
  const int rows = (picture.height + tileSide - 1) / tileSide;
  const int columns = (picture.width + tileSide - 1) / tileSide;
  const int channels = picture.alpha ? 4 : 3;
  const auto side = static_cast<std::uint32_t>(tileSide);
  IsoFileRecipe r;
  r.brand = "heic";
  r.properties = {IspeBox(side, side), IspeBox(static_cast<std::uint32_t>(picture.width),
                                               static_cast<std::uint32_t>(picture.height))};
  r.items.push_back({1,
                     "grid",
                     GridData(rows, columns, static_cast<std::uint32_t>(picture.width),
                              static_cast<std::uint32_t>(picture.height)),
                     0,
                     {2},
                     {}});
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      PhotoPicture tile{tileSide, tileSide, picture.alpha, 8, {}};
      for (int y = row * tileSide; y < (row + 1) * tileSide; ++y) {
        for (int x = column * tileSide; x < (column + 1) * tileSide; ++x) {
          for (int c = 0; c < channels; ++c) {
            const bool inside = x < picture.width && y < picture.height;
            tile.samples.push_back(inside ? picture.samples[static_cast<std::size_t>(
                                                (y * picture.width + x) * channels + c)]
                                          : 0);
          }
        }
      }
      const CodedPicture coded = LiftCodedPicture(MakeHeif(tile));
      if (r.properties.size() == 2) {
        r.properties.insert(r.properties.end(), coded.properties.begin(), coded.properties.end());
        for (std::size_t p = 3; p <= r.properties.size(); ++p) {
          r.items[0].properties.push_back(static_cast<std::uint16_t>(p));
        }
      }
      r.properties.push_back(coded.config);
      IsoItemRecipe cell{static_cast<std::uint32_t>(r.items.size() + 1),
                         "hvc1",
                         coded.data,
                         0,
                         r.items[0].properties,
                         {}};
      cell.properties[0] = 1;
      cell.properties.push_back(static_cast<std::uint16_t>(r.properties.size()));
      r.items.push_back(cell);
      r.items[0].sources.push_back(cell.id);
    }
  }
  return AssembleIsoFile(r);
}

}  // namespace tessora::testing
