#include "imageio/png_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/side_by_side.h"

namespace tessora {

namespace {

// libdeflate's level 6 is zlib's level 6 in size (within a percent) at several times the speed.
constexpr int kLevel = 6;
// Each piece starts without the data before it to refer back to: pieces of a megabyte or more
// lose next to nothing by that. Pieces are filtered whole before they are compressed, and of at
// most 8 MB, so a huge picture costs two such buffers a thread, not a copy of itself.
constexpr std::size_t kMinPieceBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxPieceBytes = std::size_t{8} << 20;
constexpr unsigned kMaxThreads = 16;
enum : std::uint8_t { kNone, kSub, kUp, kAverage, kPaeth };

// The libpng measure of how well a filtered row will compress: the sum of its bytes read as
// signed values, without their sign.
std::size_t SignedSum(const std::uint8_t* p, std::size_t n) {
  std::size_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int v = p[i];
    sum += static_cast<std::size_t>(v < 128 ? v : 256 - v);
  }
  return sum;
}

std::uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) {
    return static_cast<std::uint8_t>(a);
  }
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Filters rows with libpng's default choice; owns the scratch rows of one thread.
class RowFilter {
 public:
  RowFilter(std::size_t rowBytes, int bytesPerPixel)
      : n_(rowBytes),
        bpp_(static_cast<std::size_t>(bytesPerPixel)),
        zero_(rowBytes, 0),
        try_(rowBytes + 1) {}

  // Writes the filter type and the filtered row into out (n + 1 bytes).
  void filter(const std::uint8_t* row, const std::uint8_t* prior, std::uint8_t* out) {
    if (prior == nullptr) {
      prior = zero_.data();
    }
    out[0] = kNone;
    std::memcpy(out + 1, row, n_);
    std::size_t best = SignedSum(row, n_);
    std::uint8_t* t = try_.data() + 1;
    const std::size_t b = std::min(bpp_, n_);

    for (std::size_t i = 0; i < b; ++i) {
      t[i] = row[i];
    }
    for (std::size_t i = b; i < n_; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp_]);
    }
    keepIfBetter(kSub, best, out);

    for (std::size_t i = 0; i < n_; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
    }
    keepIfBetter(kUp, best, out);

    for (std::size_t i = 0; i < b; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] - (prior[i] >> 1));
    }
    for (std::size_t i = b; i < n_; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] - ((row[i - bpp_] + prior[i]) >> 1));
    }
    keepIfBetter(kAverage, best, out);

    for (std::size_t i = 0; i < b; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
    }
    for (std::size_t i = b; i < n_; ++i) {
      t[i] = static_cast<std::uint8_t>(row[i] -
                                       PaethPredictor(row[i - bpp_], prior[i], prior[i - bpp_]));
    }
    keepIfBetter(kPaeth, best, out);
  }

 private:
  // Ties keep the earlier filter, as libpng does.
  void keepIfBetter(std::uint8_t type, std::size_t& best, std::uint8_t* out) {
    const std::size_t sum = SignedSum(try_.data() + 1, n_);
    if (sum < best) {
      best = sum;
      out[0] = type;
      std::memcpy(out + 1, try_.data() + 1, n_);
    }
  }

  std::size_t n_;
  std::size_t bpp_;
  std::vector<std::uint8_t> zero_;
  std::vector<std::uint8_t> try_;
};

struct Piece {
  std::size_t firstRow = 0;
  std::size_t endRow = 0;
  std::vector<std::uint8_t> out;  // raw deflate data
  std::uint32_t adler = 1;
  std::size_t inputBytes = 0;
};

// Where a bit lies in a deflate stream: bits fill each byte from its lowest bit up.
struct BitPosition {
  std::size_t byte = 0;
  unsigned bit = 0;
  static BitPosition At(std::size_t bits) { return {bits / 8, static_cast<unsigned>(bits % 8)}; }
};

// libdeflate ends every stream with a final block, and can neither flush nor continue one. A
// piece that others follow is made joinable as zlib's sync flush would leave it: the final-block
// bit of its last block cleared, and an empty stored block after that block's end code, which
// brings the stream to a byte boundary. Finding that bit and that end means walking the blocks,
// which zlib's inflate does when asked to stop at each block boundary; the walk checks the
// piece on the way.
bool MakeJoinable(std::vector<std::uint8_t>& data) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) {
    return false;
  }
  std::vector<std::uint8_t> scratch(std::size_t{1} << 16);
  z.next_in = data.data();
  z.avail_in = static_cast<uInt>(data.size());
  std::size_t lastHeader = 0;
  std::size_t end = 0;
  bool ended = false;
  for (;;) {
    z.next_out = scratch.data();
    z.avail_out = static_cast<uInt>(scratch.size());
    const int rc = inflate(&z, Z_BLOCK);
    if (rc != Z_OK) {
      ended = rc == Z_STREAM_END;
      break;
    }
    // At a block boundary: the bits inflate holds but has not used yet are the next bits.
    if ((z.data_type & 128) != 0) {
      const std::size_t consumed = static_cast<std::size_t>(z.next_in - data.data()) * 8 -
                                   static_cast<std::size_t>(z.data_type & 63);
      ((z.data_type & 64) != 0 ? end : lastHeader) = consumed;
    }
  }
  const bool whole = z.avail_in == 0;
  inflateEnd(&z);
  const BitPosition finalBit = BitPosition::At(lastHeader);
  if (!ended || !whole || end == 0 || ((data[finalBit.byte] >> finalBit.bit) & 1u) == 0) {
    return false;
  }
  data[finalBit.byte] = static_cast<std::uint8_t>(data[finalBit.byte] & ~(1u << finalBit.bit));
  // The stored block's three header bits, all zero, go where the end code left off; the block
  // itself starts at the next byte: a length of 0 and its complement.
  const BitPosition stop = BitPosition::At(end);
  data.resize(stop.byte + (stop.bit > 0 ? 1 : 0));
  if (stop.bit > 0) {
    data.back() = static_cast<std::uint8_t>(data.back() & ((1u << stop.bit) - 1));
  }
  if (stop.bit == 0 || stop.bit > 5) {
    data.push_back(0);
  }
  data.insert(data.end(), {0x00, 0x00, 0xFF, 0xFF});
  return true;
}

// Frees a libdeflate compressor.
struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

bool CompressPiece(const std::vector<std::uint8_t*>& rows, std::size_t rowBytes, int bytesPerPixel,
                   bool last, Piece& piece) {
  RowFilter filter(rowBytes, bytesPerPixel);
  const std::size_t lineBytes = rowBytes + 1;
  piece.inputBytes = (piece.endRow - piece.firstRow) * lineBytes;
  // Both buffers are left uninitialised: what is never written never takes memory.
  const std::unique_ptr<std::uint8_t[]> filtered(new std::uint8_t[piece.inputBytes]);
  std::uint8_t* line = filtered.get();
  for (std::size_t r = piece.firstRow; r < piece.endRow; ++r, line += lineBytes) {
    filter.filter(rows[r], r > 0 ? rows[r - 1] : nullptr, line);
  }
  piece.adler = libdeflate_adler32(1, filtered.get(), piece.inputBytes);
  const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(kLevel));
  if (compressor == nullptr) {
    return false;
  }
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), piece.inputBytes);
  const std::unique_ptr<std::uint8_t[]> compressed(new std::uint8_t[bound]);
  const std::size_t size = libdeflate_deflate_compress(compressor.get(), filtered.get(),
                                                       piece.inputBytes, compressed.get(), bound);
  if (size == 0) {
    return false;
  }
  // The pieces wait for each other to be joined: each keeps only its own bytes, with room for
  // the empty stored block that MakeJoinable may add.
  piece.out.reserve(size + 8);
  piece.out.assign(compressed.get(), compressed.get() + size);
  return last || MakeJoinable(piece.out);
}

}  // namespace

void FilterPngRow(const std::uint8_t* row, const std::uint8_t* prior, std::size_t rowBytes,
                  int bytesPerPixel, std::uint8_t* out) {
  RowFilter(rowBytes, bytesPerPixel).filter(row, prior, out);
}

bool DeflatePngRows(const std::vector<std::uint8_t*>& rows, std::size_t rowBytes, int bytesPerPixel,
                    std::vector<std::uint8_t>& out, unsigned threads) {
  out.clear();
  const std::size_t height = rows.size();
  if (height == 0 || rowBytes == 0 || bytesPerPixel <= 0) {
    return false;
  }
  threads = ThreadsFor(threads, kMaxThreads);
  const std::size_t lineBytes = rowBytes + 1;
  // A few pieces a thread, so that a thread that drew easy rows takes on another piece.
  const std::size_t total = height * lineBytes;
  std::size_t pieces = threads == 1 ? 1 : std::size_t{threads} * 4;
  pieces = std::max<std::size_t>(1, std::min(pieces, total / kMinPieceBytes));
  pieces = std::max(pieces, (total + kMaxPieceBytes - 1) / kMaxPieceBytes);
  pieces = std::min(pieces, height);
  std::vector<Piece> work(pieces);
  for (std::size_t p = 0; p < pieces; ++p) {
    work[p].firstRow = height * p / pieces;
    work[p].endRow = height * (p + 1) / pieces;
  }

  if (!RunSideBySide(pieces, threads, [&](std::size_t p) {
        return CompressPiece(rows, rowBytes, bytesPerPixel, p + 1 == pieces, work[p]);
      })) {
    return false;
  }

  std::size_t size = 6;
  for (const Piece& piece : work) {
    size += piece.out.size();
  }
  out.resize(size);
  // The zlib header of level 6 and a 32 KiB window, as libpng writes it.
  out[0] = 0x78;
  out[1] = 0x9C;
  std::size_t at = 2;
  uLong adler = 1;
  for (const Piece& piece : work) {
    std::memcpy(out.data() + at, piece.out.data(), piece.out.size());
    at += piece.out.size();
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.inputBytes));
  }
  out[at] = static_cast<std::uint8_t>(adler >> 24);
  out[at + 1] = static_cast<std::uint8_t>(adler >> 16);
  out[at + 2] = static_cast<std::uint8_t>(adler >> 8);
  out[at + 3] = static_cast<std::uint8_t>(adler);
  return true;
}

}  // namespace tessora
