#include "imageio/gif_codec.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imageio/adopt_pixels.h"
#include "imageio/picture_formats.h"
#include "imageio/read_failure.h"

namespace tessora {
namespace {

// The bytes that start an extension and an image record.
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageIntroducer = 0x2C;

struct MemoryReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
  // Set when giflib asked for bytes past the end of the file: whatever fails then, the file is
  // truncated.
  bool ranOut = false;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const auto wanted = static_cast<std::size_t>(std::max(count, 0));
  const std::size_t n = std::min(wanted, reader->size - reader->pos);
  if (n > 0) {
    std::memcpy(out, reader->data + reader->pos, n);
  }
  reader->pos += n;
  reader->ranOut = reader->ranOut || n < wanted;
  return static_cast<int>(n);
}

// Fails the read after giflib gave up on the file.
[[noreturn]] void fail(const GifFileType* gif) {
  FailRead(static_cast<const MemoryReader*>(gif->UserData)->ranOut ? kTruncated : kDamaged);
}

class GifHandle {
 public:
  explicit GifHandle(MemoryReader* reader) {
    int error = 0;
    gif_ = DGifOpen(reader, readFromMemory, &error);
  }
  GifHandle(const GifHandle&) = delete;
  GifHandle& operator=(const GifHandle&) = delete;
  ~GifHandle() {
    if (gif_ != nullptr) {
      int error = 0;
      DGifCloseFile(gif_, &error);
    }
  }
  GifFileType* get() const { return gif_; }

 private:
  GifFileType* gif_ = nullptr;
};

// What the records of the file say, gathered while they are read in order.
struct GifScan {
  bool haveFirst = false;
  bool anyTransparent = false;
  int pendingTransparent = -1;  // from the graphic control block before the next frame
  TColor firstTransparent = clNone;
  Bitmap picture;
};

// Takes note of a graphic control block: `block` is an extension's first sub-block, its size
// byte first.
void noteExtension(int code, const GifByteType* block, GifScan& scan) {
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
    scan.pendingTransparent = (block[1] & 0x01) != 0 ? block[4] : -1;
  }
}

// A frame's descriptor counts its graphic control block, if any, and uses it up.
void noteFrame(GifScan& scan) {
  scan.anyTransparent = scan.anyTransparent || scan.pendingTransparent >= 0;
  scan.pendingTransparent = -1;
}

void readExtension(GifFileType* gif, GifScan& scan) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
    fail(gif);
  }
  noteExtension(code, block, scan);
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
      fail(gif);
    }
  }
}

TColor colorAt(const ColorMapObject* map, int index) {
  if (map == nullptr || index < 0 || index >= map->ColorCount || map->Colors == nullptr) {
    return clBlack;
  }
  const GifColorType& c = map->Colors[index];
  return RGB(c.Red, c.Green, c.Blue);
}

// An LZW code of b bits (b <= 12) names a string of at most 2^b pixels, so no byte of a frame's
// data yields more than 4096 * 8 / 12 of them. A frame promising more pixels than the rest of the
// file can give is refused before its memory is taken.
constexpr std::uint64_t kMaxLzwPixelsPerByte = 4096 * 8 / 12 + 1;

bool mayHoldFrame(const GifFileType* gif) {
  const auto* reader = static_cast<const MemoryReader*>(gif->UserData);
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(gif->Image.Width) * static_cast<std::uint64_t>(gif->Image.Height);
  return pixels / kMaxLzwPixelsPerByte <= reader->size - reader->pos;
}

// The frame's palette indices, rows in the order they arrive. Memory is written only as rows
// decode, so a frame whose data ends early costs what it held, not its whole size.
std::vector<GifByteType> readIndexRows(GifFileType* gif, int w, int h) {
  std::vector<GifByteType> indices;
  indices.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int row = 0; row < h; ++row) {
    indices.resize(indices.size() + static_cast<std::size_t>(w));
    if (DGifGetLine(gif, indices.data() + indices.size() - static_cast<std::size_t>(w), w) ==
        GIF_ERROR) {
      fail(gif);
    }
  }
  return indices;
}

// Where each arriving row belongs: interlaced frames send every 8th row from 0, every 8th from 4,
// every 4th from 2, then the rest.
std::vector<int> rowOrder(int h, bool interlaced) {
  static constexpr int kStart[] = {0, 4, 2, 1};
  static constexpr int kStep[] = {8, 8, 4, 2};
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(h));
  const int passes = interlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = interlaced ? kStart[pass] : 0;
    const int step = interlaced ? kStep[pass] : 1;
    for (int y = start; y < h; y += step) {
      order.push_back(y);
    }
  }
  return order;
}

void readFirstFrame(GifFileType* gif, GifScan& scan, const ImageLimits& limits) {
  const int w = gif->Image.Width;
  const int h = gif->Image.Height;
  // One byte a pixel for the indices, three for the picture.
  if (!limits.allows(w, h, 4)) {
    FailRead(RefusedSizeText(w, h, limits));
  }
  if (!mayHoldFrame(gif)) {
    FailRead(kTruncated);
  }
  const ColorMapObject* map = gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
  TColor palette[256];
  for (int i = 0; i < 256; ++i) {
    palette[i] = colorAt(map, i);
  }
  const std::vector<GifByteType> indices = readIndexRows(gif, w, h);
  const std::vector<int> order = rowOrder(h, gif->Image.Interlace);
  Bitmap picture(w, h);
  const GifByteType* in = indices.data();
  for (const int y : order) {
    std::uint8_t* out = picture.scanLine(y);
    for (int x = 0; x < w; ++x, ++in, out += 3) {
      const TColor c = palette[*in];
      out[0] = static_cast<std::uint8_t>(GetRValue(c));
      out[1] = static_cast<std::uint8_t>(GetGValue(c));
      out[2] = static_cast<std::uint8_t>(GetBValue(c));
    }
  }
  if (scan.pendingTransparent >= 0 && map != nullptr && scan.pendingTransparent < map->ColorCount) {
    scan.firstTransparent = palette[scan.pendingTransparent];
  }
  scan.picture = std::move(picture);
  scan.haveFirst = true;
}

// Reads the records up to the first frame, and the first frame. Returns false at the end of the
// file.
bool readRecord(GifFileType* gif, GifScan& scan, const ImageLimits& limits) {
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
    fail(gif);
  }
  switch (type) {
    case EXTENSION_RECORD_TYPE:
      readExtension(gif, scan);
      return true;
    case IMAGE_DESC_RECORD_TYPE:
      if (DGifGetImageDesc(gif) == GIF_ERROR) {
        fail(gif);
      }
      readFirstFrame(gif, scan, limits);
      noteFrame(scan);
      return true;
    case TERMINATE_RECORD_TYPE:
      return false;
    default:
      FailRead(kDamaged);
  }
}

// Passes over sub-blocks (a size byte and that many bytes, up to a size of zero); false when the
// file ends first.
bool skipSubBlocks(const MemoryReader& reader, std::size_t& pos) {
  while (pos < reader.size) {
    const std::size_t n = reader.data[pos++];
    if (n == 0) {
      return true;
    }
    if (n > reader.size - pos) {
      return false;
    }
    pos += n;
  }
  return false;
}

// The records after the first frame matter only for their transparency. giflib would set up its
// decoder and keep a record for each frame, which for a file of millions of tiny frames costs
// gigabytes and minutes; they are walked in the file's bytes instead, with nothing decoded or
// kept. Like the rest of the reader, the walk stops at the trailer or at the first damage, and
// once some frame has proved transparent.
void scanLaterFrames(const MemoryReader& reader, GifScan& scan) {
  std::size_t pos = reader.pos;
  const std::uint8_t* data = reader.data;
  while (!scan.anyTransparent && pos < reader.size) {
    const std::uint8_t type = data[pos++];
    if (type == kExtensionIntroducer && pos < reader.size) {
      const int code = data[pos++];
      // The first sub-block counts only when it is whole.
      if (pos < reader.size && data[pos] < reader.size - pos) {
        noteExtension(code, data + pos, scan);
      }
    } else if (type == kImageIntroducer && reader.size - pos >= 9) {
      const std::uint8_t flags = data[pos + 8];
      pos += 9;
      const std::size_t mapBytes = (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7) + 1) : 0;
      // Then the LZW code size, which giflib refuses beyond 8 bits.
      if (reader.size - pos <= mapBytes || data[pos + mapBytes] > 8) {
        return;
      }
      pos += mapBytes + 1;
      noteFrame(scan);
    } else {
      return;
    }
    if (!skipSubBlocks(reader, pos)) {
      return;
    }
  }
}

}  // namespace

void ReadGifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Gif, data, size);
  MemoryReader reader{data, size, 0};
  GifHandle handle(&reader);
  if (handle.get() == nullptr) {
    FailRead(reader.ranOut ? kTruncated : kDamaged);
  }
  GifScan scan;
  while (!scan.haveFirst && readRecord(handle.get(), scan, limits)) {
  }
  // A GIF without a frame has nothing to show.
  if (!scan.haveFirst) {
    FailRead("holds no picture");
  }
  // giflib reads no further than it is asked to: the first frame's data ends here. Damage after
  // it only hides the later frames' transparency, as a viewer that stops at the damage shows it.
  scanLaterFrames(reader, scan);
  const TColor transparentColor = scan.firstTransparent;
  const bool transparent = scan.anyTransparent;
  AdoptPixels(bitmap, std::move(scan.picture));
  bitmap.setTransparent(transparent);
  bitmap.setTransparentColor(transparentColor);
}

void LoadGifFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits) {
  LoadPictureFile(PictureFormat::Gif, FileName, bitmap, limits);
}

}  // namespace tessora
