// Writes the small seed corpora of the image fuzzers: make_fuzz_seeds FOLDER writes FOLDER/png,
// FOLDER/jpeg, FOLDER/gif, FOLDER/bmp and a folder for each photo format (webp, avif, heif, tiff,
// jxl), with the picture bombs of picture_bombs.h among them. Run once after a format change; the
// files are committed. jxl/solid-8192x8192.jxl, a picture of one colour, is kept as libjxl made it
// once: its encoder takes a minute and 11 GB for it.
#include <sys/stat.h>
#include <tiffio.h>

#include <cstdio>
#include <string>

#include "image_makers.h"
#include "iso_media_makers.h"
#include "picture_bombs.h"

using namespace tessora::testing;

namespace {

void put(const std::string& folder, const std::string& name, const Bytes& bytes) {
  ::mkdir(folder.c_str(), 0777);
  if (!writeBytes(folder + "/" + name, bytes)) {
    std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name.c_str());
  }
}

std::vector<std::uint32_t> pattern(int w, int h, std::uint32_t maxValue) {
  std::vector<std::uint32_t> v;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      v.push_back(PatternSample(x, y, 0, maxValue));
    }
  }
  return v;
}

void pngSeeds(const std::string& dir) {
  const struct {
    int type, depth;
    bool interlaced, trns;
  } kinds[] = {{0, 1, false, false}, {0, 4, true, true},   {0, 16, false, true},
               {2, 8, false, true},  {2, 16, true, false}, {3, 2, false, true},
               {3, 8, true, false},  {4, 8, false, false}, {4, 16, true, false},
               {6, 8, true, false},  {6, 16, false, false}};
  for (const auto& k : kinds) {
    PngRecipe s;
    s.width = 9;
    s.height = 6;
    s.colorType = k.type;
    s.bitDepth = k.depth;
    s.interlaced = k.interlaced;
    s.trns = k.trns;
    put(dir,
        "c" + std::to_string(k.type) + "d" + std::to_string(k.depth) + (k.interlaced ? "i" : "") +
            (k.trns ? "t" : "") + ".png",
        MakePng(s));
  }
}

void bmpSeeds(const std::string& dir) {
  const int w = 7;
  const int h = 5;
  BmpRecipe s;
  s.width = w;
  s.height = h;
  s.bitsPerPixel = 24;
  s.pixels = PackBmpRows(w, h, 24, pattern(w, h, 0xFFFFFF));
  put(dir, "rgb24.bmp", MakeBmp(s));
  s.height = -h;
  put(dir, "rgb24topdown.bmp", MakeBmp(s));
  s.height = h;
  for (int bpp : {1, 4, 8}) {
    s.bitsPerPixel = bpp;
    s.palette.clear();
    for (int i = 0; i < (1 << bpp); ++i) {
      s.palette.push_back(PatternSample(i, 9, 1, 0xFFFFFF));
    }
    s.pixels = PackBmpRows(w, h, bpp, pattern(w, h, (1u << bpp) - 1));
    put(dir, "pal" + std::to_string(bpp) + ".bmp", MakeBmp(s));
  }
  s.headerSize = 12;
  put(dir, "pal8core.bmp", MakeBmp(s));
  s.headerSize = 40;
  // Each row: an absolute run of three, a run of four, end of line (end of bitmap at the top).
  s.compression = 1;
  s.pixels.clear();
  for (std::uint8_t r = 0; r < h; ++r) {
    const std::uint8_t end = r + 1 == h ? 1 : 0;
    s.pixels.insert(s.pixels.end(),
                    {0, 3, r, static_cast<std::uint8_t>(r + 1), static_cast<std::uint8_t>(r + 2), 0,
                     4, static_cast<std::uint8_t>(r + 3), 0, end});
  }
  put(dir, "rle8.bmp", MakeBmp(s));
  s.bitsPerPixel = 4;
  s.palette.resize(16);
  s.compression = 2;
  s.pixels.clear();
  for (int r = 0; r < h; ++r) {
    const std::uint8_t end = r + 1 == h ? 1 : 0;
    s.pixels.insert(s.pixels.end(), {0, 3, 0x12, 0x30, 4, 0x45, 0, end});
  }
  put(dir, "rle4.bmp", MakeBmp(s));
  s.palette.clear();
  s.compression = 3;
  s.bitsPerPixel = 16;
  s.masks = {0xF800, 0x07E0, 0x001F};
  s.pixels = PackBmpRows(w, h, 16, pattern(w, h, 0xFFFF));
  put(dir, "rgb16-565.bmp", MakeBmp(s));
  s.headerSize = 124;
  s.bitsPerPixel = 32;
  s.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
  s.pixels = PackBmpRows(w, h, 32, pattern(w, h, 0xFFFFFFFE));
  put(dir, "rgb32-v5.bmp", MakeBmp(s));
}

void gifSeeds(const std::string& dir) {
  GifFrame a;
  a.width = 6;
  a.height = 5;
  for (int i = 0; i < 30; ++i) {
    a.indices.push_back(static_cast<std::uint8_t>(PatternSample(i, 0, 0, 3)));
  }
  const std::vector<std::uint32_t> colors{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  put(dir, "still.gif", MakeGif(6, 5, colors, {a}));
  GifFrame b = a;
  b.left = 1;
  b.top = 1;
  b.width = 3;
  b.height = 2;
  b.indices.resize(6);
  b.transparentIndex = 2;
  b.localColors = {0x101010, 0x202020, 0x303030, 0x404040};
  a.interlaced = true;
  a.transparentIndex = 1;
  put(dir, "animated.gif", MakeGif(8, 8, colors, {a, b, b}));
}

void jpegSeeds(const std::string& dir) {
  put(dir, "rgb.jpg", MakeJpeg(17, 11, false, false));
  put(dir, "gray.jpg", MakeJpeg(9, 16, true, false));
  put(dir, "progressive.jpg", MakeJpeg(16, 9, false, true));
}

// The photo formats: with and without alpha, 8 and 16 bits where the format has them.
void photoSeeds(const std::string& root) {
  const PhotoPicture rgba = MakePhotoPicture(9, 6, true, 8);
  const PhotoPicture rgb = MakePhotoPicture(7, 5, false, 8);
  const PhotoPicture deep = MakePhotoPicture(6, 5, true, 16);
  put(root + "/webp", "rgba-lossless.webp", MakeWebp(rgba));
  put(root + "/webp", "rgb-lossless.webp", MakeWebp(rgb));
  put(root + "/webp", "animated.webp", MakeAnimatedWebp({rgba, MakePhotoPicture(9, 6, false, 8)}));
  put(root + "/avif", "rgba.avif", MakeAvif(rgba));
  put(root + "/avif", "deep.avif", MakeAvif(deep));
  put(root + "/avif", "transposed.avif", MakeAvif(rgb, 5));
  put(root + "/heif", "rgba.heic", MakeHeif(rgba));
  put(root + "/heif", "rotated.heic", MakeHeif(rgb, 6));
  put(root + "/heif", "deep.heic", MakeHeif(deep));
  put(root + "/tiff", "rgba-lzw.tif", MakeTiff(rgba, COMPRESSION_LZW, 2));
  put(root + "/tiff", "deep-deflate.tif", MakeTiff(deep, COMPRESSION_ADOBE_DEFLATE, 4));
  put(root + "/tiff", "rgb-packbits.tif", MakeTiff(rgb, COMPRESSION_PACKBITS, 1));
  put(root + "/tiff", "rgba-tiled.tif", MakeTiff(rgba, COMPRESSION_NONE, 0, 16));
  put(root + "/jxl", "rgba.jxl", MakeJxl(rgba));
  put(root + "/jxl", "deep.jxl", MakeJxl(deep));
  const char* extensions[][2] = {{"webp", ".webp"}, {"jxl", ".jxl"}, {"tiff", ".tif"}};
  for (const PictureBomb& bomb : PictureBombs()) {
    for (const auto& [format, extension] : extensions) {
      if (bomb.format == format) {
        put(root + "/" + format, "bomb-" + bomb.name + extension, bomb.file);
      }
    }
  }
}

// HEIF and AVIF put together from several items: a real grid, and files promising far more than
// their data holds, which the readers refuse before decoding.
void isoMediaSeeds(const std::string& root) {
  const Bytes heicTile = MakeHeif(MakePhotoPicture(32, 32, false, 8));
  const Bytes avifTile = MakeAvif(MakePhotoPicture(32, 32, false, 8));
  put(root + "/heif", "grid.heic", HeifGridOf(MakePhotoPicture(60, 50, false, 8), 32));
  put(root + "/heif", "bomb-ispe-over-coded.heic",
      WithIspe(MakeHeif(MakePhotoPicture(16, 12, true, 8)), 16384, 16384));
  put(root + "/heif", "bomb-coded-over-ispe.heic", WithIspe(heicTile, 4, 4));
  put(root + "/heif", "bomb-grid-one-tile.heic",
      GridOfOneTile("heic", heicTile, 32, 128, 128, 4096, 4096, false));
  put(root + "/heif", "bomb-grid-65535x8192.heic",
      GridOfOneTile("heic", heicTile, 512, 16, 128, 65535, 8192, false));
  put(root + "/heif", "bomb-grid-beyond-tiles.heic",
      GridOfOneTile("heic", heicTile, 32, 1, 1, 4096, 4096, false));
  put(root + "/avif", "bomb-ispe-over-coded.avif",
      WithIspe(MakeAvif(MakePhotoPicture(16, 12, true, 16)), 16384, 16384));
  put(root + "/avif", "bomb-grid-shared-data.avif",
      GridOfOneTile("avif", avifTile, 32, 32, 32, 1024, 1024, true));
  // Canvases far beyond what their coded pictures hold: tiles of one colour, copied or made
  // distinct.
  PhotoPicture flat{512, 512, false, 8, {}};
  flat.samples.assign(std::size_t{512} * 512 * 3, 90);
  put(root + "/heif", "bomb-overlay-canvas.heic", OverlayOf("heic", heicTile, 32, 1, 20000, 20000));
  put(root + "/heif", "bomb-grid-copied-tiles.heic",
      GridOfCopies("heic", MakeHeif(flat), 512, 16, 16, 8192, 8192, 1));
  put(root + "/avif", "bomb-grid-distinct-flat-tiles.avif",
      GridOfCopies("avif", MakeAvif(flat), 512, 16, 16, 8192, 8192, 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::string root = argv[1];
  pngSeeds(root + "/png");
  bmpSeeds(root + "/bmp");
  gifSeeds(root + "/gif");
  jpegSeeds(root + "/jpeg");
  photoSeeds(root);
  isoMediaSeeds(root);
  return 0;
}
