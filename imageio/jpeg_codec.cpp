#include "imageio/jpeg_codec.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <memory>
#include <vector>

#include "common/atomic_file.h"
#include "common/side_by_side.h"
#include "imageio/adopt_pixels.h"
#include "imageio/image_error.h"
#include "imageio/picture_formats.h"
#include "imageio/read_failure.h"

static_assert(tessora::kJpegMaxDimension == JPEG_MAX_DIMENSION);

namespace tessora {
namespace {

// Progressive files may hold any number of scans, each a pass over the blocks of the components it
// codes; real encoders use about ten, and code each block in five to ten of them (a component's
// coefficients in bands, then refined). A scan that skips every block costs a few bytes and a
// pass all the same: the passes over all of a file's blocks are bounded too, so that a small file
// cannot cost a minute.
constexpr int kMaxScans = 256;
constexpr std::uint64_t kMaxBlockPasses = 20;
constexpr std::size_t kOutputChunk = 1 << 16;
// Files from this size on are decoded in bands side by side, on up to kMaxBands threads.
constexpr std::uint64_t kSplitPixels = std::uint64_t{1} << 20;
constexpr unsigned kMaxBands = 4;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so that libjpeg's pointer to it leads here
  std::jmp_buf jump;
  // The memory source warns when the data ends and goes on with an end-of-image marker of its
  // own: whatever fails after that, the file is truncated.
  bool sawEnd;
};

// libjpeg's fatal errors must not return: jump back into the guarded function that called it.
[[noreturn]] void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
// Warnings (corrupt data that libjpeg works around) would only reach stderr; the end of the data
// is noted.
void onJpegMessage(j_common_ptr info, int /*level*/) {
  if (info->err->msg_code == JWRN_JPEG_EOF) {
    reinterpret_cast<ErrorManager*>(info->err)->sawEnd = true;
  }
}

// The progress monitor of a decompressor, with what its scans may still cost.
struct ScanWork {
  jpeg_progress_mgr pub;  // first, so that libjpeg's pointer to it leads here
  int scan;
  std::uint64_t blocksLeft;
};

// libjpeg calls this before each step of its work; a new scan is charged with its blocks.
void limitScans(j_common_ptr info) {
  if (!info->is_decompressor) {
    return;
  }
  auto* d = reinterpret_cast<j_decompress_ptr>(info);
  auto* work = reinterpret_cast<ScanWork*>(info->progress);
  if (d->input_scan_number == work->scan) {
    return;
  }
  work->scan = d->input_scan_number;
  std::uint64_t blocks = 0;
  for (int i = 0; i < d->comps_in_scan; ++i) {
    blocks +=
        std::uint64_t{d->cur_comp_info[i]->width_in_blocks} * d->cur_comp_info[i]->height_in_blocks;
  }
  if (d->input_scan_number > kMaxScans || blocks > work->blocksLeft) {
    info->err->msg_code = JERR_NOT_COMPILED;
    info->err->error_exit(info);
  }
  work->blocksLeft -= blocks;
}

void installErrors(jpeg_error_mgr& pub) {
  jpeg_std_error(&pub);
  pub.error_exit = onJpegError;
  pub.emit_message = onJpegMessage;
}

// Owns a decompressor; zero-initialised so that destroying one that was never created is harmless.
struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  ScanWork progress{};
  Decompressor() {
    installErrors(errors.pub);
    info.err = &errors.pub;
    progress.pub.progress_monitor = limitScans;
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  ~Decompressor() { jpeg_destroy_decompress(&info); }
  // Why libjpeg gave up on the file.
  const char* failureReason() const { return errors.sawEnd ? kTruncated : kDamaged; }
};

struct FileDestination {
  jpeg_destination_mgr pub;
  AtomicFile* file;
  JOCTET buffer[kOutputChunk];
};

struct Compressor {
  jpeg_compress_struct info{};
  ErrorManager errors{};
  FileDestination destination{};
  Compressor() {
    installErrors(errors.pub);
    info.err = &errors.pub;
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  ~Compressor() { jpeg_destroy_compress(&info); }
};

bool readHeaderGuarded(Decompressor* d, const std::uint8_t* data, std::size_t size) {
  if (setjmp(d->errors.jump) != 0) {
    return false;
  }
  jpeg_CreateDecompress(&d->info, JPEG_LIB_VERSION, sizeof(d->info));
  d->info.progress = &d->progress.pub;
  jpeg_mem_src(&d->info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d->info, TRUE);
  return true;
}

// Adobe writes CMYK inverted (0 = full ink); other writers store plain ink amounts.
void cmykToRgb(const JSAMPLE* cmyk, std::uint8_t* rgb, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned v = inverted ? cmyk[c] : 255u - cmyk[c];
      rgb[c] = static_cast<std::uint8_t>((v * k + 127) / 255);
    }
  }
}

// Starts decompressing. A file of several scans is read whole here, into libjpeg's coefficient
// buffers, before any row comes out; a single-scan file is read as its rows are asked for.
bool startGuarded(Decompressor* d) {
  if (setjmp(d->errors.jump) != 0) {
    return false;
  }
  jpeg_start_decompress(&d->info);
  const bool cmyk = d->info.out_color_space == JCS_CMYK;
  return d->info.output_width == d->info.image_width &&
         d->info.output_height == d->info.image_height &&
         d->info.output_components == (cmyk ? 4 : 3);
}

// Rows [from, to) of a started file into the bitmap; the whole file is [0, image_height). The rows
// above `from` are skipped, which for a single-scan file costs only their entropy decoding
// (libjpeg keeps what it needs to continue exactly). CMYK files come through `cmykRow`, a row at
// a time.
bool decodeRowsGuarded(Decompressor* d, Bitmap* out, JDIMENSION from, JDIMENSION to,
                       JSAMPLE* cmykRow) {
  if (setjmp(d->errors.jump) != 0) {
    return false;
  }
  if (d->info.output_width != static_cast<JDIMENSION>(out->width()) ||
      d->info.output_height != static_cast<JDIMENSION>(out->height()) ||
      to > d->info.output_height) {
    return false;
  }
  if (from > 0 && jpeg_skip_scanlines(&d->info, from) != from) {
    return false;
  }
  constexpr JDIMENSION kBatch = 16;
  JSAMPROW rows[kBatch];
  while (d->info.output_scanline < to) {
    const JDIMENSION y = d->info.output_scanline;
    const JDIMENSION n = cmykRow != nullptr ? 1 : std::min(kBatch, to - y);
    for (JDIMENSION i = 0; i < n; ++i) {
      rows[i] = cmykRow != nullptr ? cmykRow : out->scanLine(static_cast<int>(y + i));
    }
    if (jpeg_read_scanlines(&d->info, rows, n) == 0) {
      return false;
    }
    if (cmykRow != nullptr) {
      cmykToRgb(cmykRow, out->scanLine(static_cast<int>(y)), d->info.output_width,
                d->info.saw_Adobe_marker != 0);
    }
  }
  if (to == d->info.output_height) {
    jpeg_finish_decompress(&d->info);
  } else {
    jpeg_abort_decompress(&d->info);
  }
  return true;
}

// Where to cut a large single-scan file into bands decoded side by side, as the first row of each
// band after the first; empty when it is not worth it or the layout is not one the cut is known
// to leave exact. The band that starts at row s first skips s rows at about half the cost of
// decoding them, so later bands are made shorter to finish together.
std::vector<JDIMENSION> bandCuts(jpeg_decompress_struct& info, unsigned threads) {
  std::vector<JDIMENSION> cuts;
  const bool gray = info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1;
  bool ycc = info.jpeg_color_space == JCS_YCbCr && info.num_components == 3;
  if (ycc) {
    const jpeg_component_info* c = info.comp_info;
    ycc = c[0].h_samp_factor <= 2 && c[0].v_samp_factor <= 2 && c[1].h_samp_factor == 1 &&
          c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1;
  }
  const std::uint64_t pixels = std::uint64_t{info.image_width} * info.image_height;
  if (threads < 2 || (!gray && !ycc) || jpeg_has_multiple_scans(&info) || pixels < kSplitPixels) {
    return cuts;
  }
  constexpr double kSkipCost = 0.5;
  std::vector<double> at{0.0};
  for (unsigned j = 0; j < threads; ++j) {
    at.push_back(at.back() + 1.0 - kSkipCost * at.back());
  }
  const JDIMENSION step = 8 * static_cast<JDIMENSION>(info.max_v_samp_factor);
  JDIMENSION last = 0;
  for (unsigned j = 1; j < threads; ++j) {
    const double row = info.image_height * at[j] / at.back();
    const auto cut = static_cast<JDIMENSION>(row / step + 0.5) * step;
    if (cut > last && cut < info.image_height) {
      cuts.push_back(cut);
      last = cut;
    }
  }
  return cuts;
}

void initDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<FileDestination*>(info->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kOutputChunk;
}

bool passToFile(FileDestination* dest, std::size_t count) {
  try {
    return dest->file->write(dest->buffer, count);
  } catch (...) {
    return false;
  }
}

boolean emptyDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<FileDestination*>(info->dest);
  if (!passToFile(dest, kOutputChunk)) {
    info->err->msg_code = JERR_FILE_WRITE;
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  }
  initDestination(info);
  return TRUE;
}

void termDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<FileDestination*>(info->dest);
  if (!passToFile(dest, kOutputChunk - dest->pub.free_in_buffer)) {
    info->err->msg_code = JERR_FILE_WRITE;
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  }
}

bool encodeGuarded(Compressor* c, JSAMPARRAY rows, JDIMENSION width, JDIMENSION height) {
  if (setjmp(c->errors.jump) != 0) {
    return false;
  }
  jpeg_CreateCompress(&c->info, JPEG_LIB_VERSION, sizeof(c->info));
  c->destination.pub.init_destination = initDestination;
  c->destination.pub.empty_output_buffer = emptyDestination;
  c->destination.pub.term_destination = termDestination;
  c->info.dest = &c->destination.pub;
  c->info.image_width = width;
  c->info.image_height = height;
  c->info.input_components = 3;
  c->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c->info);
  jpeg_set_quality(&c->info, kJpegQuality, TRUE);
  c->info.dct_method = JDCT_FLOAT;
  jpeg_start_compress(&c->info, TRUE);
  while (c->info.next_scanline < c->info.image_height) {
    jpeg_write_scanlines(&c->info, rows + c->info.next_scanline,
                         c->info.image_height - c->info.next_scanline);
  }
  jpeg_finish_compress(&c->info);
  return true;
}

// The decoding settings: full size, the best quality the decoder has.
bool prepareGuarded(Decompressor* d, const std::uint8_t* data, std::size_t size,
                    const ImageLimits& limits) {
  if (!readHeaderGuarded(d, data, size)) {
    return false;
  }
  const bool cmyk = d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK;
  d->info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  d->info.dct_method = JDCT_ISLOW;
  d->info.do_fancy_upsampling = TRUE;
  d->info.do_block_smoothing = TRUE;
  d->info.scale_num = 1;
  d->info.scale_denom = 1;
  // Progressive files keep all coefficients in memory; without backing store libjpeg fails
  // cleanly once this is used up.
  d->info.mem->max_memory_to_use = static_cast<long>(limits.maxDecodedBytes * 2);
  std::uint64_t blocks = 0;
  for (int c = 0; c < d->info.num_components; ++c) {
    blocks +=
        std::uint64_t{d->info.comp_info[c].width_in_blocks} * d->info.comp_info[c].height_in_blocks;
  }
  d->progress.blocksLeft = kMaxBlockPasses * blocks;
  return true;
}

// A Huffman-coded scan spends at least one bit on every block it codes, and each component is
// coded whole in some scan. A file whose data is shorter than a bit for each block of its largest
// component ends before its picture does: it is refused before the picture's memory is taken,
// where libjpeg would pad the missing rows. Arithmetic coding packs many blocks into a bit, so
// it gives no such bound.
bool mayHoldPicture(const jpeg_decompress_struct& info) {
  if (info.arith_code) {
    return true;
  }
  std::uint64_t blocks = 0;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    blocks = std::max<std::uint64_t>(
        blocks, std::uint64_t{component.width_in_blocks} * component.height_in_blocks);
  }
  return blocks <= std::uint64_t{info.src->bytes_in_buffer} * 8;
}

// Decodes the bands of a file cut at `cuts` side by side, each with a decoder of its own; `first`
// has been started already and decodes the first band.
bool decodeBands(Decompressor* first, const std::uint8_t* data, std::size_t size,
                 const ImageLimits& limits, const std::vector<JDIMENSION>& cuts, Bitmap* out) {
  std::vector<JDIMENSION> from{0};
  from.insert(from.end(), cuts.begin(), cuts.end());
  from.push_back(first->info.image_height);
  auto decodeBand = [&](std::size_t band) {
    std::unique_ptr<Decompressor> own;
    Decompressor* d = first;
    if (band > 0) {
      own = std::make_unique<Decompressor>();
      d = own.get();
      if (!prepareGuarded(d, data, size, limits) || !startGuarded(d)) {
        return false;
      }
    }
    return decodeRowsGuarded(d, out, from[band], from[band + 1], nullptr);
  };
  return RunSideBySide(from.size() - 1, static_cast<unsigned>(from.size() - 1), decodeBand);
}

}  // namespace

void ReadJpegMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits, unsigned threads) {
  CheckPictureStart(PictureFormat::Jpeg, data, size);
  Decompressor d;
  if (!prepareGuarded(&d, data, size, limits)) {
    FailRead(d.failureReason());
  }
  const bool cmyk = d.info.out_color_space == JCS_CMYK;
  if (!limits.allows(d.info.image_width, d.info.image_height, cmyk ? 4 : 3)) {
    FailRead(RefusedSizeText(d.info.image_width, d.info.image_height, limits));
  }
  if (!mayHoldPicture(d.info)) {
    FailRead(kTruncated);
  }
  // The picture's memory is taken once the scans of a multi-scan file have been read: a file that
  // fails in them costs only libjpeg's buffers.
  if (!startGuarded(&d)) {
    FailRead(d.failureReason());
  }
  Bitmap decoded(static_cast<int>(d.info.image_width), static_cast<int>(d.info.image_height));
  const std::vector<JDIMENSION> cuts = bandCuts(d.info, ThreadsFor(threads, kMaxBands));
  if (!cuts.empty()) {
    if (!decodeBands(&d, data, size, limits, cuts, &decoded)) {
      FailRead(d.failureReason());
    }
  } else {
    std::vector<JSAMPLE> cmykRow(cmyk ? static_cast<std::size_t>(d.info.image_width) * 4 : 0);
    if (!decodeRowsGuarded(&d, &decoded, 0, d.info.image_height, cmyk ? cmykRow.data() : nullptr)) {
      FailRead(d.failureReason());
    }
  }
  AdoptPixels(bitmap, std::move(decoded));
}

void LoadJpegFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits) {
  LoadPictureFile(PictureFormat::Jpeg, FileName, bitmap, limits);
}

void SaveJpegFile(const std::string& FileName, const Bitmap& bitmap) {
  AtomicFile file(FileName);
  if (!file.open()) {
    throw ImageError(WithReason("Cannot create file " + FileName, file.failureReason()));
  }
  // libjpeg takes rows as writable pointers but only reads them.
  std::vector<JSAMPROW> rows(static_cast<std::size_t>(bitmap.height()));
  for (int y = 0; y < bitmap.height(); ++y) {
    rows[static_cast<std::size_t>(y)] = const_cast<JSAMPLE*>(bitmap.scanLine(y));
  }
  auto c = std::make_unique<Compressor>();
  c->destination.file = &file;
  if (!encodeGuarded(c.get(), rows.data(), static_cast<JDIMENSION>(bitmap.width()),
                     static_cast<JDIMENSION>(bitmap.height())) ||
      !file.commit()) {
    throw ImageError(WithReason("Unable to write to " + FileName, file.failureReason()));
  }
}

}  // namespace tessora
