#include "imageio/image_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>

#include "codec_checks.h"
#include "engine/composition.h"
#include "image_makers.h"
#include "imageio/bmp_codec.h"
#include "imageio/gif_codec.h"
#include "imageio/image_error.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_unit.h"
#include "support/file_size_limit.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

TEST(ImageFileExtension, LowerCasesTheTextFromTheLastDot) {
  EXPECT_EQ(ImageFileExtension("/a/Photo.JPG"), ".jpg");
  EXPECT_EQ(ImageFileExtension("photo.Jpeg"), ".jpeg");
  EXPECT_EQ(ImageFileExtension("a.b.PnG"), ".png");
  EXPECT_EQ(ImageFileExtension("picture"), "");
  EXPECT_EQ(ImageFileExtension("/my.pics/wall"), "");
  EXPECT_EQ(ImageFileExtension("/x/name."), ".");
  EXPECT_EQ(ImageFileExtension("bild.ÄBC"), ".Äbc") << "only A to Z change";
}

class LoadImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SaveJpegFile(folder_.file("source.jpg"), PatternBitmap(20, 10)); }
  std::string put(const std::string& name, const Bytes& bytes) {
    const std::string path = folder_.file(name);
    EXPECT_TRUE(writeBytes(path, bytes));
    return path;
  }
  bool load(const std::string& path) {
    const Outcome result = LoadImageFile(path, bitmap_);
    reason_ = result.reason();
    return result.ok();
  }
  // What the user is told is the front end's business; the loader only says why.
  void expectInvalid() { EXPECT_FALSE(reason_.empty()); }

  TempDir folder_;
  Bitmap bitmap_ = PatternBitmap(4, 4);
  std::string reason_;
};

TEST_F(LoadImageFileTest, ChoosesTheJpegReaderByExtensionInAnyCase) {
  const Bytes jpeg = readBytes(folder_.file("source.jpg"));
  for (const char* name : {"Photo.JPG", "photo.Jpeg", "photo.jpeg"}) {
    bitmap_ = PatternBitmap(4, 4);
    EXPECT_TRUE(load(put(name, jpeg))) << name;
    EXPECT_EQ(bitmap_.width(), 20) << name;
  }
  EXPECT_FALSE(load(put("photo.jpe", jpeg))) << "read as a Windows bitmap";
  expectInvalid();
}

TEST_F(LoadImageFileTest, TheExtensionDecidesNotTheContent) {
  PngRecipe s;
  const std::string asGif = put("x.gif", MakePng(s));
  const Bitmap before = bitmap_;
  EXPECT_FALSE(load(asGif));
  expectInvalid();
  EXPECT_TRUE(SamePicture(bitmap_, before)) << "a failed load keeps the pixels";
}

TEST_F(LoadImageFileTest, NamesWithoutAKnownExtensionAreReadAsBitmaps) {
  const Bitmap original = PatternBitmap(6, 3, 4);
  SaveBmpFile(folder_.file("b.bmp"), original);
  const Bytes bmp = readBytes(folder_.file("b.bmp"));
  for (const char* name : {"picture", "picture.bmp", "picture.BMP", "odd.txt"}) {
    bitmap_ = PatternBitmap(4, 4);
    EXPECT_TRUE(load(put(name, bmp))) << name;
    EXPECT_TRUE(SamePicture(bitmap_, original)) << name;
  }
  EXPECT_FALSE(load(folder_.file("missing.bmp")));
  expectInvalid();
}

// Fields of `width` bytes written over a file's bytes, big-endian (PNG, JPEG) or not (GIF).
Bytes Patched(Bytes b, std::size_t at, std::initializer_list<std::uint32_t> values, int width,
              bool bigEndian) {
  for (const std::uint32_t v : values) {
    for (int i = 0; i < width; ++i, ++at) {
      b[at] = static_cast<std::uint8_t>(v >> (8 * (bigEndian ? width - 1 - i : i)));
    }
  }
  return b;
}

std::size_t Find(const Bytes& b, const std::string& text) {
  const Bytes what(text.begin(), text.end());
  return static_cast<std::size_t>(std::search(b.begin(), b.end(), what.begin(), what.end()) -
                                  b.begin());
}

Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

// What a front end may tell beside "INVALID": the plainest reason the file shows.
TEST_F(LoadImageFileTest, AFailedLoadSaysWhy) {
  const Bytes png = MakePng(PngRecipe{});
  GifFrame frame;
  frame.indices.assign(12, 1);
  const Bytes gif = MakeGif(4, 3, {0x000000, 0xFFFFFF}, {frame});
  const std::size_t gifFrame = 13 + 6 + 1;  // header, two colours, the frame's introducer
  ASSERT_EQ(gif[gifFrame - 1], ',');
  const Bytes jpeg = readBytes(folder_.file("source.jpg"));
  const std::size_t sof = Find(jpeg, "\xff\xc0");
  ASSERT_LT(sof, jpeg.size());
  BmpRecipe bmp{40, 2, 2, 24, 0, {}, {}, PackBmpRows(2, 2, 24, {1, 2, 3, 4})};
  BmpRecipe hugeBmp{12, 60000, 60000, 24, 0, {}, {}, {}};
  Bytes damagedPng = png;
  damagedPng[Find(png, "IDAT") + 4] ^= 0xFF;
  const std::string text = "not a picture";
  const struct {
    const char* name;
    Bytes bytes;
    std::string reason;  // or how it starts
  } cases[] = {
      {"text.png", Bytes(text.begin(), text.end()), "not a PNG file"},
      {"png.gif", png, "not a GIF file"},
      {"gif.jpg", gif, "not a JPEG file"},
      {"jpeg.bmp", jpeg, "not a BMP file"},
      {"empty.png", {}, "empty file"},
      {"cut.png", Cut(png, png.size() / 2), "truncated"},
      {"cut.gif", Cut(gif, gif.size() - 4), "truncated"},
      {"cut.jpg", Cut(jpeg, sof), "truncated"},
      {"cut.bmp", Cut(MakeBmp(bmp), MakeBmp(bmp).size() - 4), "truncated"},
      {"damaged.png", damagedPng, "damaged or not supported"},
      {"huge.png", Patched(png, 16, {70000, 70000}, 4, true),
       "picture of 70000 x 70000 is larger than"},
      {"huge.gif", Patched(gif, gifFrame + 4, {30000, 30000}, 2, false),
       "picture of 30000 x 30000 is larger than"},
      {"huge.jpg", Patched(jpeg, sof + 5, {30000, 30000}, 2, true),
       "picture of 30000 x 30000 is larger than"},
      {"huge.bmp", MakeBmp(hugeBmp), "picture of 60000 x 60000 is larger than"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(load(put(c.name, c.bytes))) << c.name;
    EXPECT_EQ(reason_.substr(0, c.reason.size()), c.reason) << c.name;
  }
  EXPECT_FALSE(load(folder_.file("missing.png")));
  EXPECT_EQ(reason_, "does not exist");
}

// Every cut of a whole file, each held in a buffer of its own size so that a look past its end
// shows, is called truncated by the reader that refuses it.
TEST(ReadFailure, EveryRefusedCutOfAWholeFileIsTruncated) {
  using Read = void (*)(const std::uint8_t*, std::size_t, Bitmap&, const ImageLimits&);
  PngRecipe interlaced;
  interlaced.interlaced = true;
  GifFrame frame;
  frame.indices.assign(12, 1);
  BmpRecipe paletted{
      40, 3, 2, 8, 0, {}, {0xFF0000, 0x00FF00}, PackBmpRows(3, 2, 8, {0, 1, 0, 1, 0, 1})};
  const struct {
    const char* name;
    Read read;
    Bytes bytes;
    std::size_t signature;  // shorter cuts are not the format at all
  } files[] = {
      {"PNG", ReadPngMemory, MakePng(PngRecipe{}), 8},
      {"interlaced PNG", ReadPngMemory, MakePng(interlaced), 8},
      {"GIF", ReadGifMemory, MakeGif(4, 3, {0x000000, 0xFFFFFF}, {frame}), 6},
      {"JPEG",
       [](const std::uint8_t* d, std::size_t n, Bitmap& b, const ImageLimits& l) {
         ReadJpegMemory(d, n, b, l);
       },
       MakeJpeg(24, 16, false, true), 3},
      {"BMP", ReadBmpMemory, MakeBmp(paletted), 2},
  };
  for (const auto& file : files) {
    std::size_t refused = 0;
    for (std::size_t n = file.signature; n < file.bytes.size(); ++n) {
      const Bytes cut(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(n));
      Bitmap bitmap;
      try {
        file.read(cut.data(), n, bitmap, ImageLimits{});
      } catch (const ImageError& e) {
        ++refused;
        EXPECT_STREQ(e.detail(), "truncated") << file.name << " cut to " << n;
      }
    }
    EXPECT_GT(refused, file.bytes.size() / 2) << file.name;
  }
}

TEST_F(LoadImageFileTest, ClearsTheTransparentFlagFirstAndGifSetsItAgain) {
  bitmap_.setTransparent(true);
  bitmap_.setTransparentColor(RGB(5, 6, 7));
  PngRecipe s;
  s.colorType = 6;
  EXPECT_TRUE(load(put("a.png", MakePng(s))));
  EXPECT_FALSE(bitmap_.transparent()) << "PNG transparency is blended, never flagged";
  EXPECT_EQ(bitmap_.transparentColor(), RGB(5, 6, 7));

  bitmap_.setTransparent(true);
  EXPECT_FALSE(load(put("bad.png", Bytes(50, 1))));
  EXPECT_FALSE(bitmap_.transparent()) << "cleared even when the read fails";

  GifFrame f;
  f.indices.assign(12, 1);
  f.transparentIndex = 1;
  EXPECT_TRUE(load(put("t.gif", MakeGif(4, 3, {0x000000, 0x00FF00}, {f}))));
  EXPECT_TRUE(bitmap_.transparent());
  EXPECT_EQ(bitmap_.transparentColor(), RGB(0, 255, 0));
}

// Every way a picture with the transparent flag reaches pixels: drawn 1:1, stretched, tiled, and
// saved as PNG keyed by its colour and read back over a backdrop. With clNone, which is no colour,
// each gives what the opaque picture gives; a real colour leaves its pixels out.
TEST(TransparentKey, ClNoneLeavesOutNoPixelOnAnyPath) {
  TempDir folder;
  const std::string png = folder.file("keyed.png");
  using Paint = std::function<void(const Bitmap& source, Bitmap& target)>;
  const std::pair<const char*, Paint> paths[] = {
      {"draw", [](const Bitmap& s, Bitmap& t) { t.draw(1, 1, s); }},
      {"stretch",
       [](const Bitmap& s, Bitmap& t) { t.stretchDraw(0, 0, t.width(), t.height(), s); }},
      {"tile fill", [](const Bitmap& s, Bitmap& t) { TileFill(s, t); }},
      {"PNG save and read",
       [&](const Bitmap& s, Bitmap& t) {
         WritePngFile(png, s, s.transparent() ? s.transparentColor() : clNone);
         ReadPngFile(png, t);
       }},
  };
  Bitmap source = PatternBitmap(5, 4);
  for (int y = 0; y < 4; ++y) {
    source.setPixel(2, y, clWhite);
  }
  auto paint = [](const Paint& path, const Bitmap& s) {
    Bitmap target(12, 9);
    target.setFillColor(clRed);
    target.fill();
    path(s, target);
    return target;
  };
  for (const auto& [name, path] : paths) {
    const Bitmap opaque = paint(path, source);
    for (const TColor key : {clNone, clWhite}) {
      Bitmap keyed = source;
      keyed.setTransparent(true);
      keyed.setTransparentColor(key);
      EXPECT_EQ(static_cast<bool>(SamePicture(paint(path, keyed), opaque)), key == clNone)
          << name << ", key " << key;
    }
  }
}

TEST(SaveComposed, WritesEachFormat) {
  TempDir folder;
  const Bitmap composed = PatternBitmap(13, 7);
  SaveComposed(folder.file("a.png"), SaveFormat::Png, composed);
  SaveComposed(folder.file("a.jpg"), SaveFormat::Jpeg, composed);
  SaveComposed(folder.file("a.bmp"), SaveFormat::Bmp, composed);
  EXPECT_EQ(filesIn(folder.path(), ""), (std::vector<std::string>{"a.bmp", "a.jpg", "a.png"}));
  Bitmap png;
  ReadPngFile(folder.file("a.png"), png);
  EXPECT_TRUE(SamePicture(png, composed));
  EXPECT_EQ(readBytes(folder.file("a.png"))[25], 2) << "RGB without alpha";
  Bitmap bmp;
  LoadBmpFile(folder.file("a.bmp"), bmp);
  EXPECT_TRUE(SamePicture(bmp, composed));
  Bitmap jpeg;
  LoadJpegFile(folder.file("a.jpg"), jpeg);
  EXPECT_EQ(jpeg.width(), 13);
}

// The writer's own text for the step that failed, then the system's reason.
std::string WriteFailureText(SaveFormat format, const std::string& name, int error, bool creating) {
  const std::string why = std::strerror(error);
  if (format == SaveFormat::Png) {
    return creating ? "Error Opening File " + name + "! " + why
                    : "Error Writing PNG File! " + name + ": " + why;
  }
  return (creating ? "Cannot create file " : "Unable to write to ") + name + ": " + why;
}

TEST(SaveComposed, FailuresNameTheFileAndTheReason) {
  TempDir folder;
  ASSERT_TRUE(writeBytes(folder.file("file"), Bytes{1}));
  ASSERT_TRUE(writeBytes(folder.file("kept"), Bytes{1, 2, 3}));
  ASSERT_EQ(::mkdir(folder.file("folder").c_str(), 0755), 0);
  struct Case {
    std::string name;
    int error;
    bool creating;
  };
  const Case cases[] = {{"none/a", ENOENT, true},
                        {"folder", EISDIR, true},
                        {"file/a", ENOTDIR, true},
                        {"kept", EFBIG, false}};
  const Bitmap composed = PatternBitmap(2, 2);
  for (const Case& c : cases) {
    for (const SaveFormat format : {SaveFormat::Png, SaveFormat::Jpeg, SaveFormat::Bmp}) {
      const std::string name = folder.file(c.name);
      // Writes beyond the first bytes fail as on a full disk, even for root.
      std::optional<FileSizeLimit> limit;
      if (c.error == EFBIG) {
        limit.emplace(16);
      }
      EXPECT_TRUE(FailsWith([&] { SaveComposed(name, format, composed); },
                            WriteFailureText(format, name, c.error, c.creating)));
    }
  }
  EXPECT_EQ(readBytes(folder.file("kept")), (Bytes{1, 2, 3}));
  EXPECT_EQ(filesIn(folder.path(), ""), (std::vector<std::string>{"file", "folder", "kept"}));
}

TEST(ResolveSaveName, AppendsTheFilterExtensionUnlessTheNameHasAKnownOne) {
  EXPECT_EQ(ResolveSaveName("/w/wall", SaveFormat::Png), "/w/wall.png");
  EXPECT_EQ(ResolveSaveName("/w/wall", SaveFormat::Jpeg), "/w/wall.jpg");
  EXPECT_EQ(ResolveSaveName("/w/wall", SaveFormat::Bmp), "/w/wall.bmp");
  EXPECT_EQ(ResolveSaveName("/w/wall.png", SaveFormat::Bmp), "/w/wall.png");
  EXPECT_EQ(ResolveSaveName("/w/wall.jpeg", SaveFormat::Jpeg), "/w/wall.jpeg");
  EXPECT_EQ(ResolveSaveName("/w/wall.JPG", SaveFormat::Png), "/w/wall.JPG");
  EXPECT_EQ(ResolveSaveName("/w/wall.gif", SaveFormat::Jpeg), "/w/wall.gif.jpg");
  EXPECT_EQ(ResolveSaveName("/my.pics/wall", SaveFormat::Png), "/my.pics/wall.png");
}

TEST(SavedInfoText, ShowsElevenCharactersOfTheFolderAndTheFileName) {
  EXPECT_EQ(SavedInfoText("/home/user/Wallpapers/sunset.png"), "saved: /home/user/ ... sunset.png");
  EXPECT_EQ(SavedInfoText("/a/b.png"), "saved: /a/ ... b.png");
  EXPECT_EQ(SavedInfoText("b.png"), "saved:  ... b.png");
  // Characters, not bytes: the multi-byte letters count once and are never cut.
  EXPECT_EQ(SavedInfoText("/Bilder/Überall/x.png"), "saved: /Bilder/Übe ... x.png");
}

TEST(SaveDialogFilter, ListsTheThreeFormatsInCodeOrder) {
  EXPECT_STREQ(kSaveDialogFilter,
               "PNG - Portable Network Graphics|*.png|JPG (77) - Joint Photographic Experts "
               "Group|*.jpg|BMP - Windows Bitmap|*.bmp");
}

}  // namespace
}  // namespace tessora::testing
