// Loading and saving wallpaper-sized pictures, in wall-clock time: the PNG save compresses on
// every core. It is held against libpng encoding the same frame with the same settings
// (BM_PngLibpngDirect): it should take at most 1.3 times as long. BM_PngRowsOneThread shows the
// work of our filtering and compression on one core against the same baseline.
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "imageio/bmp_codec.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_deflate.h"
#include "imageio/png_unit.h"

namespace {

using tessora::Bitmap;

// Gradients with a fine texture: compresses like a photograph, not like a flat colour.
Bitmap makeFrame(int w, int h) {
  Bitmap b(w, h);
  std::uint32_t noise = 12345;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = b.scanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      noise = noise * 1103515245u + 12345u;
      const int n = static_cast<int>((noise >> 16) & 7);
      p[0] = static_cast<std::uint8_t>(x * 255 / w + n);
      p[1] = static_cast<std::uint8_t>(y * 255 / h + n);
      p[2] = static_cast<std::uint8_t>(((x / 64 + y / 64) % 2) * 120 + n);
    }
  }
  return b;
}

const Bitmap& frame4k() {
  static const Bitmap frame = makeFrame(3840, 2160);
  return frame;
}

std::string tempPath(const char* name) {
  const char* base = std::getenv("TMPDIR");
  return std::string(base != nullptr ? base : "/tmp") + "/tessora-bench-" +
         std::to_string(::getpid()) + "-" + name;
}

// Removes the file when the benchmark ends.
struct TempFile {
  std::string path;
  ~TempFile() { std::remove(path.c_str()); }
};

void BM_LoadJpeg4000x3000(benchmark::State& state) {
  TempFile file{tempPath("load.jpg")};
  tessora::SaveJpegFile(file.path, makeFrame(4000, 3000));
  for (auto _ : state) {
    Bitmap b;
    tessora::LoadJpegFile(file.path, b);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_LoadJpeg4000x3000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadPng3840x2160(benchmark::State& state) {
  TempFile file{tempPath("load.png")};
  tessora::WritePngFile(file.path, frame4k(), tessora::clNone);
  for (auto _ : state) {
    Bitmap b;
    tessora::ReadPngFile(file.path, b);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_LoadPng3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SavePng3840x2160(benchmark::State& state) {
  TempFile file{tempPath("save.png")};
  for (auto _ : state) {
    tessora::WritePngFile(file.path, frame4k(), tessora::clNone);
  }
}
BENCHMARK(BM_SavePng3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngRowsOneThread3840x2160(benchmark::State& state) {
  const Bitmap& frame = frame4k();
  std::vector<std::uint8_t*> rows;
  for (int y = 0; y < frame.height(); ++y) {
    rows.push_back(const_cast<std::uint8_t*>(frame.scanLine(y)));
  }
  std::vector<std::uint8_t> stream;
  for (auto _ : state) {
    if (!tessora::DeflatePngRows(rows, 3840 * 3, 3, stream, 1)) {
      state.SkipWithError("compression failed");
    }
    benchmark::DoNotOptimize(stream.data());
  }
}
BENCHMARK(BM_PngRowsOneThread3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

bool encodeDirect(png_structp png, png_infop info, FILE* out, png_bytepp rows, png_textp text) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_init_io(png, out);
  png_set_IHDR(png, info, 3840, 2160, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, text, 1);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

// The baseline: libpng alone, rows handed over straight from the bitmap, written with stdio.
void BM_PngLibpngDirect3840x2160(benchmark::State& state) {
  TempFile file{tempPath("direct.png")};
  const Bitmap& frame = frame4k();
  std::vector<png_bytep> rows;
  for (int y = 0; y < frame.height(); ++y) {
    rows.push_back(const_cast<png_bytep>(frame.scanLine(y)));
  }
  char key[] = "Software";
  std::string software = tessora::kPngSoftwareText;
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = key;
  text.text = software.data();
  text.text_length = software.size();
  for (auto _ : state) {
    FILE* out = std::fopen(file.path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = encodeDirect(png, info, out, rows.data(), &text);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    if (!ok) {
      state.SkipWithError("libpng failed");
    }
  }
}
BENCHMARK(BM_PngLibpngDirect3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveJpeg3840x2160(benchmark::State& state) {
  TempFile file{tempPath("save.jpg")};
  for (auto _ : state) {
    tessora::SaveJpegFile(file.path, frame4k());
  }
}
BENCHMARK(BM_SaveJpeg3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveBmp3840x2160(benchmark::State& state) {
  TempFile file{tempPath("save.bmp")};
  for (auto _ : state) {
    tessora::SaveBmpFile(file.path, frame4k());
  }
}
BENCHMARK(BM_SaveBmp3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadBmp3840x2160(benchmark::State& state) {
  TempFile file{tempPath("load.bmp")};
  tessora::SaveBmpFile(file.path, frame4k());
  for (auto _ : state) {
    Bitmap b;
    tessora::LoadBmpFile(file.path, b);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_LoadBmp3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
