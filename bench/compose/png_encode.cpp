// Encodes a picture with libpng's default settings and prints the median encode time in
// milliseconds: what writing a composed frame as PNG costs at the least.
// usage: tessora_png_encode PICTURE [ROUNDS]
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/feedback.h"
#include "imageio/image_files.h"

namespace {

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void Flush(png_structp) {}

// libpng reports fatal errors by longjmp; nothing here owns resources that need unwinding.
bool Encode(const tessora::Bitmap& bitmap, std::vector<unsigned char>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()),
               static_cast<png_uint_32>(bitmap.height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bitmap.height(); ++y) {
    png_write_row(png, bitmap.scanLine(y));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PICTURE [ROUNDS]\n", argv[0]);
    return 2;
  }
  tessora::Bitmap bitmap;
  if (!tessora::LoadImageFile(argv[1], bitmap)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    std::vector<unsigned char> out;
    out.reserve(bitmap.stride() * static_cast<std::size_t>(bitmap.height()) / 2);
    const auto start = std::chrono::steady_clock::now();
    if (!Encode(bitmap, out)) {
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%.1f\n", ms[ms.size() / 2]);
  return 0;
}
