#include "imageio/image_files.h"

#include <gtest/gtest.h>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/bmp_codec.h"
#include "imageio/image_error.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_unit.h"
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
  bool load(const std::string& path) { return LoadImageFile(path, bitmap_, feedback_); }
  void expectInvalid() {
    EXPECT_EQ(feedback_.cues, std::vector<Cue>{Cue::Error});
    const std::pair<std::string, InfoStyle> invalid{"INVALID", InfoStyle::Fixed};
    EXPECT_EQ(feedback_.infos, std::vector{invalid});
  }

  TempDir folder_;
  Bitmap bitmap_ = PatternBitmap(4, 4);
  RecordingFeedback feedback_;
};

TEST_F(LoadImageFileTest, ChoosesTheJpegReaderByExtensionInAnyCase) {
  const Bytes jpeg = readBytes(folder_.file("source.jpg"));
  for (const char* name : {"Photo.JPG", "photo.Jpeg", "photo.jpeg"}) {
    bitmap_ = PatternBitmap(4, 4);
    EXPECT_TRUE(load(put(name, jpeg))) << name;
    EXPECT_EQ(bitmap_.width(), 20) << name;
  }
  EXPECT_TRUE(feedback_.cues.empty());
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

TEST(SaveComposed, WritesEachFormatWhileBusy) {
  TempDir folder;
  const Bitmap composed = PatternBitmap(13, 7);
  RecordingFeedback feedback;
  SaveComposed(folder.file("a.png"), kSavePng, composed, feedback);
  SaveComposed(folder.file("a.jpg"), kSaveJpeg, composed, feedback);
  SaveComposed(folder.file("a.bmp"), kSaveBmp, composed, feedback);
  SaveComposed(folder.file("a.xyz"), 4, composed, feedback);
  EXPECT_EQ(feedback.busyCalls,
            (std::vector<bool>{true, false, true, false, true, false, true, false}));
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

TEST(SaveComposed, FailuresPassOnAfterTheBusyStateEnds) {
  TempDir folder;
  RecordingFeedback feedback;
  const std::string png = folder.file("none/a.png");
  const std::string jpg = folder.file("none/a.jpg");
  const std::string bmp = folder.file("none/a.bmp");
  const Bitmap composed = PatternBitmap(2, 2);
  EXPECT_TRUE(FailsWith([&] { SaveComposed(png, kSavePng, composed, feedback); },
                        "Error Opening File " + png + "!"));
  EXPECT_TRUE(FailsWith([&] { SaveComposed(jpg, kSaveJpeg, composed, feedback); },
                        "Cannot create file " + jpg));
  EXPECT_TRUE(FailsWith([&] { SaveComposed(bmp, kSaveBmp, composed, feedback); },
                        "Cannot create file " + bmp));
  EXPECT_EQ(feedback.busyCalls, (std::vector<bool>{true, false, true, false, true, false}));
}

TEST(ResolveSaveName, AppendsTheFilterExtensionUnlessTheNameHasAKnownOne) {
  EXPECT_EQ(ResolveSaveName("/w/wall", kSavePng), "/w/wall.png");
  EXPECT_EQ(ResolveSaveName("/w/wall", kSaveJpeg), "/w/wall.jpg");
  EXPECT_EQ(ResolveSaveName("/w/wall", kSaveBmp), "/w/wall.bmp");
  EXPECT_EQ(ResolveSaveName("/w/wall.png", kSaveBmp), "/w/wall.png");
  EXPECT_EQ(ResolveSaveName("/w/wall.jpeg", kSaveJpeg), "/w/wall.jpeg");
  EXPECT_EQ(ResolveSaveName("/w/wall.JPG", kSavePng), "/w/wall.JPG");
  EXPECT_EQ(ResolveSaveName("/w/wall.gif", kSaveJpeg), "/w/wall.gif.jpg");
  EXPECT_EQ(ResolveSaveName("/my.pics/wall", kSavePng), "/my.pics/wall.png");
  EXPECT_EQ(ResolveSaveName("/w/wall", 0), std::nullopt);
  EXPECT_EQ(ResolveSaveName("/w/wall", 4), std::nullopt);
  EXPECT_EQ(ResolveSaveName("/w/wall.bmp", 4), "/w/wall.bmp");
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
