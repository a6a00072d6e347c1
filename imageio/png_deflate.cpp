#include "imageio/png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/side_by_side.h"

namespace tessora {

namespace {

constexpr std::size_t kWindow = 32768;
// Pieces smaller than this would spend too much of their time on their dictionary.
constexpr std::size_t kMinPieceBytes = std::size_t{1} << 20;
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

// A growing output buffer that leaves its spare capacity uninitialised.
struct Output {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
  std::size_t capacity = 0;

  void reserve(std::size_t wanted) {
    if (wanted <= capacity) {
      return;
    }
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[wanted]);
    if (size > 0) {
      std::memcpy(bigger.get(), data.get(), size);
    }
    data = std::move(bigger);
    capacity = wanted;
  }
};

struct Piece {
  std::size_t firstRow = 0;
  std::size_t endRow = 0;
  Output out;
  uLong adler = 1;
  std::size_t inputBytes = 0;
};

class RawDeflater {
 public:
  RawDeflater() = default;
  RawDeflater(const RawDeflater&) = delete;
  RawDeflater& operator=(const RawDeflater&) = delete;
  ~RawDeflater() {
    if (ready_) {
      deflateEnd(&z_);
    }
  }

  bool init() {
    // libpng's defaults for filtered rows, without the zlib wrapper: pieces are joined raw.
    ready_ = deflateInit2(&z_, 6, Z_DEFLATED, -15, 8, Z_FILTERED) == Z_OK;
    return ready_;
  }
  bool setDictionary(const std::uint8_t* p, std::size_t n) {
    return deflateSetDictionary(&z_, p, static_cast<uInt>(n)) == Z_OK;
  }

  bool feed(const std::uint8_t* p, std::size_t n, int flush, Output& out) {
    z_.next_in = const_cast<Bytef*>(p);
    z_.avail_in = static_cast<uInt>(n);
    for (;;) {
      if (out.capacity - out.size < 64) {
        out.reserve(out.capacity + std::max<std::size_t>(out.capacity / 2, 1 << 16));
      }
      z_.next_out = out.data.get() + out.size;
      z_.avail_out = static_cast<uInt>(std::min<std::size_t>(out.capacity - out.size, 1u << 30));
      const uInt before = z_.avail_out;
      const int rc = deflate(&z_, flush);
      out.size += before - z_.avail_out;
      if (rc == Z_STREAM_ERROR) {
        return false;
      }
      if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) {
        return true;
      }
    }
  }

  z_stream& stream() { return z_; }

 private:
  z_stream z_{};
  bool ready_ = false;
};

bool CompressPiece(const std::vector<std::uint8_t*>& rows, std::size_t rowBytes, int bytesPerPixel,
                   bool last, Piece& piece) {
  RowFilter filter(rowBytes, bytesPerPixel);
  const std::size_t lineBytes = rowBytes + 1;
  std::vector<std::uint8_t> line(lineBytes);
  RawDeflater z;
  if (!z.init()) {
    return false;
  }
  if (piece.firstRow > 0) {
    // The piece before ends with these bytes: offering them as the dictionary lets the first
    // rows here refer back into it just as a single pass would.
    const std::size_t back = std::min(piece.firstRow, (kWindow + lineBytes - 1) / lineBytes);
    std::vector<std::uint8_t> dictionary(back * lineBytes);
    for (std::size_t r = piece.firstRow - back, k = 0; r < piece.firstRow; ++r, ++k) {
      filter.filter(rows[r], r > 0 ? rows[r - 1] : nullptr, dictionary.data() + k * lineBytes);
    }
    const std::size_t n = std::min(dictionary.size(), kWindow);
    if (!z.setDictionary(dictionary.data() + dictionary.size() - n, n)) {
      return false;
    }
  }
  const std::size_t pieceRows = piece.endRow - piece.firstRow;
  piece.out.reserve(deflateBound(&z.stream(), static_cast<uLong>(pieceRows * lineBytes)) + 64);
  for (std::size_t r = piece.firstRow; r < piece.endRow; ++r) {
    filter.filter(rows[r], r > 0 ? rows[r - 1] : nullptr, line.data());
    piece.adler = adler32(piece.adler, line.data(), static_cast<uInt>(lineBytes));
    piece.inputBytes += lineBytes;
    const bool end = r + 1 == piece.endRow;
    // A piece that others follow ends on a byte boundary without closing the stream.
    const int flush = !end ? Z_NO_FLUSH : (last ? Z_FINISH : Z_SYNC_FLUSH);
    if (!z.feed(line.data(), lineBytes, flush, piece.out)) {
      return false;
    }
  }
  return true;
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
  std::size_t pieces = threads == 1 ? 1 : std::size_t{threads} * 4;
  pieces = std::max<std::size_t>(1, std::min(pieces, height * lineBytes / kMinPieceBytes));
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

  std::size_t total = 6;
  for (const Piece& piece : work) {
    total += piece.out.size;
  }
  out.resize(total);
  // The zlib header libpng writes for level 6 and a 32 KiB window.
  out[0] = 0x78;
  out[1] = 0x9C;
  std::size_t at = 2;
  uLong adler = 1;
  for (const Piece& piece : work) {
    std::memcpy(out.data() + at, piece.out.data.get(), piece.out.size);
    at += piece.out.size;
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.inputBytes));
  }
  out[at] = static_cast<std::uint8_t>(adler >> 24);
  out[at + 1] = static_cast<std::uint8_t>(adler >> 16);
  out[at + 2] = static_cast<std::uint8_t>(adler >> 8);
  out[at + 3] = static_cast<std::uint8_t>(adler);
  return true;
}

}  // namespace tessora
