#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessora {

/// The image data of a PNG file, ready to be cut into IDAT chunks: every row prefixed with its
/// filter type and compressed as one zlib stream.
///
/// Rows are filtered as libpng does by default: each row gets the filter (none, sub, up, average,
/// Paeth) whose output has the smallest sum of absolute signed bytes. The data is compressed by
/// libdeflate at level 6, within a percent of zlib's size at libpng's default settings and
/// several times faster. The rows are cut into pieces of at most 8 MB (with several threads, a
/// few a thread of at least 1 MB), filtered and compressed side by side on up to `threads`
/// threads (0: one a core) and joined into the one stream. Returns false when memory runs out.
bool DeflatePngRows(const std::vector<std::uint8_t*>& rows, std::size_t rowBytes, int bytesPerPixel,
                    std::vector<std::uint8_t>& out, unsigned threads = 0);

/// Filters one row into `out` (rowBytes + 1 bytes: the filter type, then the filtered bytes).
/// `prior` is the row above, or nullptr for the first row.
void FilterPngRow(const std::uint8_t* row, const std::uint8_t* prior, std::size_t rowBytes,
                  int bytesPerPixel, std::uint8_t* out);

}  // namespace tessora
