#include "imageio/iso_media.h"

#include <algorithm>
#include <map>

namespace tessora::iso_media {
namespace {

// Thrown inside this file for any field that does not fit; ReadMedia answers nothing for it.
struct Malformed {};

// Big-endian fields of the range [at, end) of the file, each checked to lie inside it.
class Cursor {
 public:
  Cursor(const std::uint8_t* file, std::uint64_t at, std::uint64_t end)
      : file_(file), at_(at), end_(end) {}

  std::uint64_t read(int bytes) {
    need(static_cast<std::uint64_t>(bytes));
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      value = value << 8 | file_[at_++];
    }
    return value;
  }
  std::uint32_t read32() { return static_cast<std::uint32_t>(read(4)); }
  void skip(std::uint64_t bytes) {
    need(bytes);
    at_ += bytes;
  }
  bool done() const { return at_ >= end_; }
  std::uint64_t at() const { return at_; }
  std::uint64_t end() const { return end_; }

 private:
  void need(std::uint64_t bytes) const {
    if (end_ - at_ < bytes) {
      throw Malformed{};
    }
  }

  const std::uint8_t* file_;
  std::uint64_t at_;
  std::uint64_t end_;
};

struct Box {
  std::uint32_t type;
  std::uint64_t begin;  // the payload, after the header
  std::uint64_t end;
};

// The box at the cursor, which moves past it. A size of 0 runs to the end of the container, a
// size of 1 is followed by a 64-bit one.
Box nextBox(Cursor& c) {
  const std::uint64_t start = c.at();
  std::uint64_t size = c.read(4);
  const std::uint32_t type = c.read32();
  if (size == 1) {
    size = c.read(8);
  } else if (size == 0) {
    size = c.end() - start;
  }
  if (type == FourCc("uuid")) {
    c.skip(16);
  }
  const std::uint64_t header = c.at() - start;
  if (size < header || size > c.end() - start) {
    throw Malformed{};
  }
  c.skip(size - header);
  return {type, start + header, start + size};
}

// The version of a full box, its flags in *flags.
int fullBoxVersion(Cursor& c, std::uint32_t* flags = nullptr) {
  const auto version = static_cast<int>(c.read(1));
  const auto f = static_cast<std::uint32_t>(c.read(3));
  if (flags != nullptr) {
    *flags = f;
  }
  return version;
}

// One extent as 'iloc' states it, placed in the file once the 'idat' box is known.
struct RawExtent {
  std::uint32_t item;
  int method;  // 0: in the file, 1: in 'idat'
  std::uint64_t offset;
  std::uint64_t size;
};

class MetaReader {
 public:
  MetaReader(const std::uint8_t* file, std::uint64_t fileSize) : file_(file), size_(fileSize) {}

  Media read(const Box& meta) {
    Cursor c = at(meta);
    if (fullBoxVersion(c) != 0) {
      throw Malformed{};
    }
    std::vector<Box> properties;
    while (!c.done()) {
      const Box box = nextBox(c);
      switch (box.type) {
        case FourCc("pitm"):
          readPrimary(box);
          break;
        case FourCc("iinf"):
          readItems(box);
          break;
        case FourCc("iloc"):
          readLocations(box);
          break;
        case FourCc("iref"):
          readReferences(box);
          break;
        case FourCc("iprp"):
          properties.push_back(box);
          break;
        case FourCc("idat"):
          idat_ = Span{box.begin, box.end - box.begin};
          break;
        default:
          break;
      }
    }
    for (const Box& box : properties) {
      readProperties(box);
    }
    placeExtents();
    Media media;
    media.primary = primary_;
    for (auto& [id, item] : items_) {
      media.items.push_back(std::move(item));
    }
    return media;
  }

 private:
  Cursor at(const Box& box) const { return Cursor(file_, box.begin, box.end); }

  // The item of that number, made when the file names it before 'iinf' lists it.
  Item& item(std::uint32_t id) {
    Item& it = items_[id];
    it.id = id;
    return it;
  }

  void readPrimary(const Box& box) {
    Cursor c = at(box);
    const int version = fullBoxVersion(c);
    primary_ = static_cast<std::uint32_t>(c.read(version == 0 ? 2 : 4));
  }

  void readItems(const Box& box) {
    Cursor c = at(box);
    c.skip(fullBoxVersion(c) == 0 ? 2 : 4);
    while (!c.done()) {
      const Box entry = nextBox(c);
      if (entry.type != FourCc("infe")) {
        continue;
      }
      Cursor e = at(entry);
      const int version = fullBoxVersion(e);
      if (version < 2) {
        continue;  // items without a type: no pictures
      }
      const auto id = static_cast<std::uint32_t>(e.read(version == 2 ? 2 : 4));
      e.skip(2);  // protection index
      item(id).type = e.read32();
    }
  }

  void readLocations(const Box& box) {
    Cursor c = at(box);
    const int version = fullBoxVersion(c);
    if (version > 2) {
      throw Malformed{};
    }
    const auto sizes = c.read(2);
    const int offsetSize = static_cast<int>(sizes >> 12);
    const int lengthSize = static_cast<int>(sizes >> 8 & 15);
    const int baseSize = static_cast<int>(sizes >> 4 & 15);
    const int indexSize = version == 0 ? 0 : static_cast<int>(sizes & 15);
    for (const int n : {offsetSize, lengthSize, baseSize, indexSize}) {
      if (n != 0 && n != 4 && n != 8) {
        throw Malformed{};
      }
    }
    const std::uint64_t count = c.read(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count; ++i) {
      const auto id = static_cast<std::uint32_t>(c.read(version < 2 ? 2 : 4));
      const int method = version == 0 ? 0 : static_cast<int>(c.read(2) & 15);
      c.skip(2);  // data reference index
      const std::uint64_t base = c.read(baseSize);
      const std::uint64_t extents = c.read(2);
      item(id);
      for (std::uint64_t e = 0; e < extents; ++e) {
        c.skip(static_cast<std::uint64_t>(indexSize));
        const std::uint64_t offset = c.read(offsetSize);
        const std::uint64_t length = c.read(lengthSize);
        if (offset > UINT64_MAX - base) {
          throw Malformed{};
        }
        raw_.push_back({id, method, base + offset, length});
      }
    }
  }

  void readReferences(const Box& box) {
    Cursor c = at(box);
    const int idBytes = fullBoxVersion(c) == 0 ? 2 : 4;
    while (!c.done()) {
      const Box reference = nextBox(c);
      Cursor r = at(reference);
      const auto from = static_cast<std::uint32_t>(r.read(idBytes));
      const std::uint64_t count = r.read(2);
      for (std::uint64_t i = 0; i < count; ++i) {
        const auto to = static_cast<std::uint32_t>(r.read(idBytes));
        if (reference.type == FourCc("dimg")) {
          item(from).sources.push_back(to);
        } else if (reference.type == FourCc("auxl")) {
          item(from).auxiliaryOf.push_back(to);
        }
      }
    }
  }

  // 'iprp': the properties ('ipco', numbered from 1) and which items have them ('ipma').
  void readProperties(const Box& iprp) {
    std::vector<Box> properties;
    Cursor c = at(iprp);
    while (!c.done()) {
      const Box box = nextBox(c);
      if (box.type == FourCc("ipco")) {
        for (Cursor p = at(box); !p.done();) {
          properties.push_back(nextBox(p));
        }
      } else if (box.type == FourCc("ipma")) {
        readAssociations(box, properties);
      }
    }
  }

  void readAssociations(const Box& box, const std::vector<Box>& properties) {
    Cursor c = at(box);
    std::uint32_t flags = 0;
    const int version = fullBoxVersion(c, &flags);
    const std::uint64_t entries = c.read(4);
    for (std::uint64_t i = 0; i < entries; ++i) {
      Item& it = item(static_cast<std::uint32_t>(c.read(version < 1 ? 2 : 4)));
      const std::uint64_t count = c.read(1);
      for (std::uint64_t a = 0; a < count; ++a) {
        const std::uint64_t index = (flags & 1) != 0 ? c.read(2) & 0x7FFF : c.read(1) & 0x7F;
        if (index == 0) {
          continue;
        }
        if (index > properties.size()) {
          throw Malformed{};
        }
        apply(properties[index - 1], it);
      }
    }
  }

  void apply(const Box& property, Item& it) const {
    if (property.type == FourCc("ispe")) {
      Cursor p = at(property);
      fullBoxVersion(p);
      it.width = p.read32();
      it.height = p.read32();
    } else if (property.type == FourCc("hvcC") || property.type == FourCc("av1C")) {
      it.config = Span{property.begin, property.end - property.begin};
    }
  }

  // Extents of data in 'idat' become spans of the file; they must lie inside the box. Extents of
  // the file may reach past its end, which the checks tell apart as a cut file. A length of 0 is
  // all there is from the offset on.
  void placeExtents() {
    for (const RawExtent& e : raw_) {
      std::uint64_t offset = e.offset;
      std::uint64_t size = e.size;
      if (e.method == 1) {
        if (!idat_ || offset > idat_->size || size > idat_->size - offset) {
          throw Malformed{};
        }
        offset += idat_->offset;
        size = size == 0 ? idat_->size - e.offset : size;
      } else if (e.method != 0) {
        throw Malformed{};
      } else if (size == 0) {
        size = offset < size_ ? size_ - offset : 0;
      }
      item(e.item).extents.push_back({offset, size});
    }
  }

  const std::uint8_t* file_;
  std::uint64_t size_;
  std::uint32_t primary_ = 0;
  std::map<std::uint32_t, Item> items_;
  std::vector<RawExtent> raw_;
  std::optional<Span> idat_;
};

}  // namespace

// The items are in the order of their numbers.
const Item* Media::find(std::uint32_t id) const {
  const auto it = std::lower_bound(items.begin(), items.end(), id,
                                   [](const Item& item, std::uint32_t n) { return item.id < n; });
  return it == items.end() || it->id != id ? nullptr : &*it;
}

std::optional<Media> ReadMedia(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) {
    return std::nullopt;
  }
  try {
    for (Cursor c(data, 0, size); !c.done();) {
      const Box box = nextBox(c);
      if (box.type == FourCc("meta")) {
        return MetaReader(data, size).read(box);
      }
    }
  } catch (const Malformed&) {
    return std::nullopt;
  }
  return Media{};
}

}  // namespace tessora::iso_media
