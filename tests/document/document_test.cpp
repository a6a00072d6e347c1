#include "document/document.h"
#include "document/wallpaper_folder.h"
#include "document/wallpaper_output.h"
#include "imageio/image_error.h"
#include "imageio/image_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>

#include "support/fake_wallpaper_setter.h"
#include "support/file_size_limit.h"
#include "support/files.h"
#include "support/peak_memory.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using testing::Numbered;
using testing::RecordingFeedback;
using testing::Solid;

constexpr TColor kDeep = RGB(10, 20, 30);
constexpr TColor kRed = RGB(255, 0, 0);
constexpr TColor kBlue = RGB(0, 0, 255);

// The start of a document on a desktop of this geometry, the deep background colour kDeep.
StartState StartAt(const DesktopGeometry& desktop) {
  StartState start;
  start.desktop = desktop;
  start.deepBackgroundColor = kDeep;
  return start;
}

// Changes one option the way the Options menu does.
void SetOption(Document& doc, bool Options::*option, bool on) {
  Options options = doc.options();
  options.*option = on;
  doc.setOptions(options);
}

// What a window would redraw, as the document's notices tell it.
class Views : public DocumentView {
 public:
  explicit Views(const Document& doc) : doc_(doc) {}
  void Changed(DocumentParts parts) override {
    changes.push_back(parts);
    if ((parts & kTilePicture) != 0) {
      ++tileShown;
      tileSize = Size{doc_.TileBitmap().width(), doc_.TileBitmap().height()};
    }
    if ((parts & kCenterPicture) != 0) {
      centerVisible = doc_.centerPictureShown();
    }
    previews += (parts & kPreview) != 0 ? 1 : 0;
  }
  const Document& doc_;
  int tileShown = 0;
  Size tileSize;
  bool centerVisible = false;
  int previews = 0;
  std::vector<DocumentParts> changes;
};

// A started document on a 1024 x 768 desktop with the window's layout, files served from a map.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.setView(&views);
    doc.setImageLoader([this](const std::string& path, Bitmap& target) -> Outcome {
      target.setTransparent(false);
      auto it = files.find(path);
      if (it == files.end()) {
        return Outcome::Failed("not a picture");
      }
      target = it->second;
      return Outcome::Done();
    });
    doc.Activate(StartAt(DesktopGeometry{1024, 768, Rect{0, 0, 1024, 768}}));
    fb.cues.clear();
    fb.infos.clear();
  }

  RecordingFeedback fb;
  Document doc{fb};
  Views views{doc};
  std::map<std::string, Bitmap> files;
};

TEST_F(DocumentTest, StartUpState) {
  EXPECT_EQ(doc.ComposedBitmap().width(), 1024);
  EXPECT_EQ(doc.ComposedBitmap().height(), 768);
  EXPECT_EQ(doc.TileBitmap().width(), 161);
  EXPECT_EQ(doc.TileBitmap().height(), 170);
  EXPECT_EQ(doc.TileBitmap().pixel(160, 169), kDeep);
  EXPECT_TRUE(doc.CenterBitmap().empty());
  EXPECT_FALSE(views.centerVisible);
  EXPECT_FLOAT_EQ(doc.HeightFraction(), 0.618034F);
  EXPECT_EQ(doc.WidthFraction(), 0);
  EXPECT_EQ(doc.CenterSizeText(), "0x0");
  EXPECT_FALSE(doc.tileToolsEnabled());
  EXPECT_EQ(doc.PreviewClickMode(), ClickMode::PickColors);
  EXPECT_EQ(doc.ComposedBitmap().pixel(500, 500), kDeep);
  EXPECT_EQ(doc.PreviewBitmap().pixel(0, 0), kDeep);
  EXPECT_EQ(views.tileSize, (Size{161, 170}));
  EXPECT_FALSE(fb.busy);
}

TEST(DocumentSizing, TheCenterFrameDecidesTheSizingAxis) {
  RecordingFeedback fb;
  Document wide(fb);
  wide.SetCenterFraction(1.0F);
  EXPECT_EQ(wide.WidthFraction(), 0);
  EXPECT_EQ(wide.HeightFraction(), 1.0F);
  Layout layout;
  layout.centerFrame = Size{120, 90};  // exactly 4:3
  Document square(fb, layout);
  square.SetCenterFraction(1.0F);
  EXPECT_EQ(square.WidthFraction(), 1.0F);
  EXPECT_EQ(square.HeightFraction(), 0);
}

TEST_F(DocumentTest, DefaultSizingPlacesTheCenterAndReportsItsPreviewSize) {
  doc.pasteCenter(&files.emplace("c", Solid(800, 600, kRed)).first->second);
  doc.sizeGoldenArea();
  EXPECT_EQ(doc.CenterRect(), (Rect{66, 44, 278, 187}));
  EXPECT_EQ(fb.lastInfo(), "tessora: 212x143");
  EXPECT_EQ(fb.infos.back().second, InfoStyle::Small);
  const Bitmap& c = doc.ComposedBitmap();
  EXPECT_EQ(c.pixel(196, 147), kRed);
  EXPECT_EQ(c.pixel(827, 620), kRed);
  EXPECT_EQ(c.pixel(195, 147), kDeep);
  EXPECT_EQ(c.pixel(828, 620), kDeep);
  EXPECT_EQ(c.pixel(196, 621), kDeep);
  EXPECT_EQ(fb.cues.back(), Cue::ExamplePainted);
  fb.infos.clear();
  doc.sizeFull();
  EXPECT_EQ(doc.CenterRect(), (Rect{0, 0, 344, 231}));
  EXPECT_TRUE(fb.infos.empty());
}

TEST_F(DocumentTest, AsIsKeepsCenterRectAndSaysNotStretched) {
  Bitmap img = Solid(641, 480, kRed);
  doc.pasteCenter(&img);
  doc.sizeGoldenArea();
  const Rect before = doc.CenterRect();
  doc.sizeAsIs();
  EXPECT_EQ(doc.CenterRect(), before);
  EXPECT_EQ(fb.lastInfo(), "tessora: 212x143 (not stretched)");
  EXPECT_EQ(doc.ComposedBitmap().pixel(192, 144), kRed);
  EXPECT_EQ(doc.ComposedBitmap().pixel(191, 144), kDeep);
  EXPECT_EQ(doc.ComposedBitmap().pixel(832, 623), kRed);
  EXPECT_EQ(doc.ComposedBitmap().pixel(833, 623), kDeep);
}

TEST_F(DocumentTest, EmptyCenterShowsOnlyTheBackgroundAndNoText) {
  doc.sizeAsIs();
  EXPECT_TRUE(fb.infos.empty());
  EXPECT_FALSE(fb.infoVisible);
  EXPECT_EQ(doc.CenterRect(), Rect{});
}

TEST_F(DocumentTest, ResizePressesOnThePreview) {
  Bitmap img = Solid(400, 300, kRed);
  doc.pasteCenter(&img);
  doc.armClickMode(ClickMode::ResizeHeight);
  const std::pair<int, float> presses[] = {
      {40, 151.0F / 231}, {200, 169.0F / 231}, {115, 1.0F / 231}, {116, 1.0F / 231}};
  for (const auto& [y, expected] : presses) {
    doc.previewMouseDown(MouseButton::Left, 10, y);
    EXPECT_EQ(doc.HeightFraction(), expected) << y;
    EXPECT_EQ(doc.WidthFraction(), 0);
  }
  EXPECT_EQ(fb.lastInfo().rfind("tessora: ", 0), 0U);
  doc.armClickMode(ClickMode::ResizeWidth);
  doc.previewMouseDown(MouseButton::Left, 100, 10);
  EXPECT_EQ(doc.WidthFraction(), 144.0F / 344);
  EXPECT_EQ(doc.HeightFraction(), 0);
  doc.previewMouseDown(MouseButton::Left, 172, 10);
  EXPECT_EQ(doc.WidthFraction(), 0);  // both zero: "as is"
  EXPECT_EQ(doc.HeightFraction(), 0);
  EXPECT_EQ(doc.PreviewClickMode(), ClickMode::ResizeWidth);  // stays armed
}

TEST_F(DocumentTest, PickingColoursFromThePreview) {
  doc.setColor0(kRed);
  doc.setColor1(kRed);
  doc.previewMouseDown(MouseButton::Middle, 5, 5);
  EXPECT_EQ(doc.color0(), kRed);
  EXPECT_EQ(doc.color1(), kRed);
  doc.previewMouseDown(MouseButton::Left, 5, 5);
  EXPECT_EQ(doc.color0(), kDeep);
  EXPECT_EQ(doc.color1(), kRed);
  doc.previewMouseDown(MouseButton::Right, 5, 5);
  EXPECT_EQ(doc.color1(), kDeep);
  EXPECT_EQ(fb.cues, (std::vector<Cue>{Cue::ColorStored, Cue::ColorStored, Cue::ColorStored}));
  EXPECT_EQ(views.previews, 1);  // no render: the start-up's only
}

TEST_F(DocumentTest, ArmedModeEndsOnlyAfterThePointerWasOverThePreview) {
  doc.armClickMode(ClickMode::ResizeHeight);
  doc.formMouseMove();  // on the way from the menu to the preview
  EXPECT_EQ(doc.PreviewClickMode(), ClickMode::ResizeHeight);
  doc.previewMouseMove();
  EXPECT_TRUE(doc.PreviewEntered());
  doc.formMouseMove();
  EXPECT_EQ(doc.PreviewClickMode(), ClickMode::PickColors);
  EXPECT_TRUE(doc.PreviewEntered());
  doc.previewMouseDown(MouseButton::Left, 3, 3);
  EXPECT_EQ(doc.color0(), kDeep);
  doc.armClickMode(ClickMode::MarkTransparent);
  EXPECT_FALSE(doc.PreviewEntered());
}

TEST_F(DocumentTest, MarkingTheTransparentColour) {
  Bitmap img(400, 300);
  img.setFillColor(kRed);
  img.fill();
  img.fillRect(0, 0, 200, 300, RGB(254, 0, 0));  // close to red, but not red
  doc.pasteCenter(&img);
  doc.sizeFull();
  doc.armClickMode(ClickMode::MarkTransparent);
  doc.previewMouseDown(MouseButton::Left, 300, 100);
  EXPECT_EQ(fb.lastInfo(), "transparent RGB: 255, 0, 0");
  EXPECT_TRUE(doc.CenterBitmap().transparent());
  EXPECT_EQ(doc.ComposedBitmap().pixel(900, 400), kDeep);
  EXPECT_EQ(doc.ComposedBitmap().pixel(100, 400), RGB(254, 0, 0));
  // Clearing keeps the transparent colour for a pasted picture.
  doc.ClearCenter();
  EXPECT_FALSE(views.centerVisible);
  EXPECT_FALSE(doc.centerToolsEnabled());
  doc.pasteCenter(&img);
  EXPECT_TRUE(views.centerVisible);
  EXPECT_EQ(doc.ComposedBitmap().pixel(900, 400), kDeep);
}

TEST_F(DocumentTest, AssigningFilesResetsTheSizingUnlessAspectIsRetained) {
  files["/pics/a.png"] = Solid(80, 60, kRed);
  Bitmap pasted = Solid(10, 10, kBlue);
  for (bool retain : {false, true}) {
    SetOption(doc, &Options::retainAspectRatio, retain);
    doc.setFractions(0, 0.4F);
    ASSERT_TRUE(doc.AssignCenterFile("/pics/a.png"));
    EXPECT_EQ(doc.HeightFraction(), retain ? 0.4F : DefaultCenterFraction);
    doc.setFractions(0, 0.4F);
    doc.pasteCenter(&pasted);
    EXPECT_EQ(doc.HeightFraction(), 0.4F);
  }
  EXPECT_EQ(doc.centerCaption(), "/pics/a.png");
  EXPECT_TRUE(views.centerVisible);
}

TEST_F(DocumentTest, AFailedLoadChangesNothingElse) {
  files["/t/stone.bmp"] = Solid(16, 16, kBlue);
  ASSERT_TRUE(doc.AssignTileFile("/t/stone.bmp"));
  EXPECT_TRUE(doc.tileToolsEnabled());
  const int shown = views.tileShown;
  const int previews = views.previews;
  EXPECT_FALSE(doc.AssignTileFile("/t/notes.txt"));
  EXPECT_EQ(doc.tileCaption(), "/t/stone.bmp");
  EXPECT_EQ(views.tileShown, shown);
  EXPECT_EQ(views.previews, previews);
  EXPECT_EQ(fb.loadFailures, (std::vector<std::string>{"/t/notes.txt: not a picture"}));
  EXPECT_EQ(doc.ComposedBitmap().pixel(1000, 700), kBlue);
}

TEST_F(DocumentTest, ClearingTheBackground) {
  files["/t/stone.bmp"] = Solid(16, 16, kBlue);
  doc.AssignTileFile("/t/stone.bmp");
  doc.resetTile();
  EXPECT_EQ(doc.TileBitmap().width(), 161);
  EXPECT_EQ(doc.TileBitmap().height(), 170);
  EXPECT_EQ(doc.TileBitmap().pixel(0, 0), kDeep);
  EXPECT_FALSE(doc.tileToolsEnabled());
  EXPECT_EQ(doc.tileCaption(), "/t/stone.bmp");  // the path label keeps the old path
  EXPECT_EQ(doc.ComposedBitmap().pixel(1000, 700), kDeep);
}

TEST_F(DocumentTest, PastingNothingStillEnablesToolsAndRenders) {
  const int previews = views.previews;
  doc.pasteTile(nullptr);
  EXPECT_TRUE(doc.tileToolsEnabled());
  EXPECT_EQ(views.previews, previews + 1);
  EXPECT_EQ(doc.TileBitmap().width(), 161);
}

TEST_F(DocumentTest, GeneratedBackgrounds) {
  doc.setColor0(RGB(0, 0, 0));
  doc.setColor1(RGB(200, 100, 50));
  doc.generateBackground(BackgroundKind::Tile);
  EXPECT_EQ(doc.tileCaption(), "(temporary tile)");
  EXPECT_TRUE(doc.tileToolsEnabled());
  EXPECT_EQ(doc.TileBitmap().width(), 161);
  EXPECT_EQ(doc.ComposedBitmap().pixel(700, 700), RGB(0, 0, 0));

  const struct {
    BackgroundKind kind;
    const char* caption;
  } kinds[] = {{BackgroundKind::Vertical, "(temporary gradient)"},
               {BackgroundKind::Centered, "(temporary centered gradient)"},
               {BackgroundKind::Halo, "(temporary halo)"},
               {BackgroundKind::Corner, "(temporary corner gradient)"}};
  for (const auto& k : kinds) {
    doc.resetTile();
    fb.busyCalls.clear();
    doc.generateBackground(k.kind);
    EXPECT_EQ(doc.tileCaption(), k.caption);
    EXPECT_TRUE(doc.tileToolsEnabled());
    EXPECT_EQ(doc.TileBitmap().width(), 1024);
    EXPECT_EQ(doc.TileBitmap().height(), 768);
    EXPECT_TRUE(doc.ComposedBitmap().samePixels(doc.TileBitmap())) << k.caption;
    // The first colour is at the top, outside, or far from the corner.
    EXPECT_EQ(doc.ComposedBitmap().pixel(1023, k.kind == BackgroundKind::Vertical ? 0 : 767),
              RGB(0, 0, 0))
        << k.caption;
    EXPECT_FALSE(fb.busy);
    EXPECT_GE(fb.busyCalls.size(), 2U);
  }
  // The halo right after start-up: no placement yet, so H/2 rings inscribed in the bitmap.
  EXPECT_EQ(doc.CenterRect(), Rect{});
}

TEST_F(DocumentTest, CustomTileScaling) {
  EXPECT_EQ(doc.shrinkCustomCaption(), "(click on panel...)");
  EXPECT_FALSE(doc.customScaleArmed());
  doc.SetTileResizeFraction(80);
  EXPECT_FLOAT_EQ(doc.TileResizeFraction(), 0.4968944F);
  EXPECT_EQ(doc.shrinkCustomCaption(), "shrink to 50%");
  EXPECT_EQ(doc.growCustomCaption(), "grow by 150%");
  doc.generateBackground(BackgroundKind::Tile);
  doc.scaleTileShrinkCustom();
  EXPECT_EQ(doc.TileBitmap().width(), 80);
  EXPECT_EQ(doc.TileBitmap().height(), 84);
  doc.generateBackground(BackgroundKind::Tile);
  doc.scaleTileGrowCustom();
  EXPECT_EQ(doc.TileBitmap().width(), 241);
  EXPECT_EQ(doc.TileBitmap().height(), 254);
  doc.SetTileResizeFraction(0);
  EXPECT_EQ(doc.shrinkCustomCaption(), "shrink to 0%");
  EXPECT_EQ(doc.growCustomCaption(), "grow by 100%");
  doc.SetTileResizeFraction(160);
  EXPECT_EQ(doc.shrinkCustomCaption(), "shrink to 99%");
  EXPECT_EQ(doc.growCustomCaption(), "grow by 199%");
}

TEST_F(DocumentTest, ShrinkingATileToNothingShowsItsFillColour) {
  files["/t/line.bmp"] = Solid(1, 3, kBlue);
  doc.AssignTileFile("/t/line.bmp");
  const int shown = views.tileShown;
  doc.scaleTileHalf();
  EXPECT_TRUE(doc.TileBitmap().empty());
  EXPECT_TRUE(doc.tileToolsEnabled());
  EXPECT_EQ(views.tileShown, shown);  // scaling leaves the panel's picture as it was
  EXPECT_EQ(doc.ComposedBitmap().pixel(10, 10), doc.TileBitmap().fillColor());
}

TEST_F(DocumentTest, AFailedScaleLeavesTheTileAndTheBusyStateRestored) {
  files["/t/big.bmp"] = Solid(3000, 10, kBlue);
  doc.AssignTileFile("/t/big.bmp");
  const int previews = views.previews;
  EXPECT_THROW(doc.scaleTile(100.0F), BitmapError);
  EXPECT_EQ(doc.TileBitmap().width(), 3000);
  EXPECT_FALSE(fb.busy);
  EXPECT_EQ(views.previews, previews);
}

TEST_F(DocumentTest, DeepBackgroundColourFromTheDialog) {
  doc.setDeepBackgroundColor(kRed);
  EXPECT_EQ(doc.DeepBackgroundColor(), kRed);
  EXPECT_EQ(doc.TileBitmap().pixel(0, 0), kRed);
  EXPECT_EQ(doc.ComposedBitmap().pixel(1023, 767), kRed);
}

// A window redraws only what it is told, so a part a command changes without saying so stays
// stale on the screen. Each row runs on the state the rows before it left.
TEST_F(DocumentTest, EachCommandTellsTheViewOnceEveryPartItChanged) {
  files["/t/a.png"] = Solid(20, 10, kBlue);
  Bitmap clip = Solid(400, 300, kRed);
  const DocumentParts tile = kTilePicture | kTools | kPreview;
  const DocumentParts center = kCenterPicture | kTools | kPreview;
  const DesktopGeometry desktop{800, 600, Rect{0, 0, 800, 600}};
  const struct {
    const char* command;
    std::function<void()> run;
    DocumentParts parts;  // none: the view hears nothing
  } rows[] = {
      {"assign tile", [&] { doc.AssignTileFile("/t/a.png"); }, tile | kCaptions},
      {"failed load", [&] { doc.AssignTileFile("/t/none.png"); }, 0},
      {"paste tile", [&] { doc.pasteTile(&clip); }, tile},
      {"halo", [&] { doc.generateBackground(BackgroundKind::Halo); }, tile | kCaptions},
      {"scale", [&] { doc.scaleTileHalf(); }, kPreview},
      {"scale factor", [&] { doc.SetTileResizeFraction(80); }, kTileScale},
      {"deep colour", [&] { doc.setDeepBackgroundColor(kRed); }, tile},
      {"reset tile", [&] { doc.resetTile(); }, tile},
      {"assign center", [&] { doc.AssignCenterFile("/t/a.png"); }, center | kCaptions},
      {"paste center", [&] { doc.pasteCenter(&clip); }, center},
      {"sizing", [&] { doc.sizeGoldenArea(); }, kPreview},
      {"transparent", [&] { doc.setCenterTransparentColor(kRed); }, kPreview},
      {"deferred",
       [&] {
         doc.setDeferredRendering(true);
         doc.sizeFull();
         doc.setDeferredRendering(false);
       },
       kPreview},
      {"clear center", [&] { doc.ClearCenter(); }, center},
      {"pick colour", [&] { doc.previewMouseDown(MouseButton::Left, 3, 3); }, kColors},
      {"swap", [&] { doc.swapColors(); }, kColors},
      {"colour dialog", [&] { doc.setColor1(kBlue); }, kColors},
      {"nothing armed", [&] { doc.formMouseMove(); }, 0},
      {"arm", [&] { doc.armClickMode(ClickMode::ResizeHeight); }, kClickMode},
      {"resize press", [&] { doc.previewMouseDown(MouseButton::Left, 10, 40); }, kPreview},
      {"disarm",
       [&] {
         doc.previewMouseMove();
         doc.formMouseMove();
       },
       kClickMode},
      {"start", [&] { doc.Activate(StartAt(desktop)); }, kAllParts},
  };
  for (const auto& row : rows) {
    views.changes.clear();
    row.run();
    if (row.parts == 0) {
      EXPECT_TRUE(views.changes.empty()) << row.command;
      continue;
    }
    ASSERT_EQ(views.changes.size(), 1U) << row.command;
    EXPECT_EQ(views.changes[0] & row.parts, row.parts) << row.command << ": " << views.changes[0];
  }
}

TEST_F(DocumentTest, TransparentTileShowsTheDeepColour) {
  Bitmap tile = Solid(8, 8, kBlue);
  tile.fillRect(0, 0, 4, 8, kRed);
  doc.pasteTile(&tile);
  EXPECT_EQ(doc.ComposedBitmap().pixel(1, 1), kRed);
  // A GIF-like tile with a transparent colour.
  Bitmap gif = tile;
  gif.setTransparent(true);
  gif.setTransparentColor(kRed);
  files["/t/a.gif"] = gif;
  doc.AssignTileFile("/t/a.gif");
  EXPECT_EQ(doc.ComposedBitmap().pixel(1, 1), kDeep);
  EXPECT_EQ(doc.ComposedBitmap().pixel(5, 1), kBlue);
}

TEST_F(DocumentTest, CuesFollowTheSoundOption) {
  doc.swapColors();
  doc.swapColors();
  EXPECT_EQ(doc.color0(), clBtnHighlight);
  EXPECT_EQ(doc.color1(), clActiveCaption);
  EXPECT_EQ(fb.cues.size(), 2U);
  SetOption(doc, &Options::soundEffects, false);
  doc.RenderComposition();
  doc.swapColors();
  EXPECT_EQ(fb.cues.size(), 2U);
}

TEST_F(DocumentTest, DeferredRenderingGivesTheSamePictureWithFewerRenders) {
  Bitmap img = Solid(800, 600, kRed);
  img.fillRect(0, 0, 100, 100, kBlue);
  auto replay = [&](Document& d) {
    d.pasteCenter(&img);
    d.setColor0(RGB(0, 0, 0));
    d.setColor1(RGB(250, 200, 100));
    d.sizeGoldenArea();                          // its size text needs the placement
    d.generateBackground(BackgroundKind::Halo);  // so does the halo
    d.setCenterTransparentColor(kBlue);
    d.scaleTileHalf();
    d.renderPending();
  };
  RecordingFeedback eagerFeedback;
  Document eager(eagerFeedback);
  eager.Activate(StartAt(DesktopGeometry{1024, 768, Rect{0, 0, 1024, 768}}));
  replay(eager);

  doc.setDeferredRendering(true);
  const int previews = views.previews;
  replay(doc);
  EXPECT_EQ(views.previews, previews + 1);  // only the final read paints
  EXPECT_TRUE(doc.ComposedBitmap().samePixels(eager.ComposedBitmap()));
  EXPECT_EQ(doc.CenterRect(), eager.CenterRect());
  EXPECT_EQ(fb.infos, eagerFeedback.infos);
}

// One random command with its arguments drawn up front, so that two documents replay it alike.
struct RandomStep {
  int op;
  int a;
  int b;
  float f;
};

void ApplyStep(Document& d, const RandomStep& s, const std::vector<Bitmap>& pictures) {
  const Bitmap& picture = pictures[static_cast<std::size_t>(s.a) % pictures.size()];
  const TColor colour = RGB(s.a * 37 % 256, s.b * 59 % 256, (s.a + s.b) % 256);
  const std::vector<std::function<void()>> commands = {
      [&] { d.AssignTileFile("/p/" + std::to_string(s.a % 4)); },  // "/p/3" does not load
      [&] { d.AssignCenterFile("/p/" + std::to_string(s.a % 4)); },
      [&] { d.resetTile(); },
      [&] { d.ClearTile(); },
      [&] { d.ClearCenter(); },
      [&] { d.pasteTile(s.b % 5 == 0 ? nullptr : &picture); },
      [&] { d.pasteCenter(s.b % 5 == 0 ? nullptr : &picture); },
      [&] { d.sizeAsIs(); },
      [&] { d.sizeFull(); },
      [&] { d.sizeGoldenArea(); },
      [&] { s.b % 2 ? d.setFractions(s.f, 0) : d.setFractions(0, s.f); },
      [&] { d.generateBackground(static_cast<BackgroundKind>(s.a % 5)); },
      [&] {
        if (d.TileBitmap().width() < 300 && d.TileBitmap().height() < 300) {
          d.scaleTileDouble();
        }
      },
      [&] { d.scaleTileHalf(); },
      [&] {
        d.SetTileResizeFraction(s.a % 161);
        d.scaleTileShrinkCustom();
      },
      [&] { d.setColor0(colour); },
      [&] { d.setColor1(colour); },
      [&] { d.swapColors(); },
      [&] { d.setDeepBackgroundColor(colour); },
      [&] { d.setCenterTransparentColor(picture.pixel(s.a % picture.width(), 0)); },
      [&] { SetOption(d, &Options::retainAspectRatio, s.b % 2 != 0); },
      [&] {
        d.armClickMode(static_cast<ClickMode>(s.a % 4));
        d.previewMouseDown(s.b % 2 ? MouseButton::Left : MouseButton::Right, s.a % 344, s.b % 231);
      },
  };
  commands[static_cast<std::size_t>(s.op) % commands.size()]();
}

// Pictures by the last digit of their name: "x0" to "x2" load, any other fails as a file would.
void LoadNumberedPictures(Document& d, const std::vector<Bitmap>& pictures) {
  d.setImageLoader([&pictures](const std::string& path, Bitmap& target) -> Outcome {
    const std::size_t i = static_cast<std::size_t>(path.back() - '0');
    if (i >= 3) {
      return Outcome::Failed("not a picture");
    }
    target = pictures[i];
    return Outcome::Done();
  });
}

// Deferring the pixel work must be invisible: any sequence of commands gives the same state and
// picture as rendering at every step.
TEST(DocumentDeferral, RandomCommandSequencesMatchRenderingAtEveryStep) {
  std::mt19937 rng(20261208);
  const std::vector<Bitmap> pictures = {Numbered(40, 30), Numbered(7, 90, 50),
                                        Solid(120, 12, kBlue), Numbered(3, 3, 200)};
  for (int sequence = 0; sequence < 300; ++sequence) {
    const int w = 16 + static_cast<int>(rng() % 200);
    const int h = 16 + static_cast<int>(rng() % 150);
    RecordingFeedback eagerFeedback;
    RecordingFeedback lazyFeedback;
    Document eager(eagerFeedback);
    Document lazy(lazyFeedback);
    for (Document* d : {&eager, &lazy}) {
      LoadNumberedPictures(*d, pictures);
    }
    lazy.setDeferredRendering(true);
    eager.Activate(StartAt(DesktopGeometry{w, h, Rect{0, 0, w, h}}));
    lazy.Activate(StartAt(DesktopGeometry{w, h, Rect{0, 0, w, h}}));
    std::string trace;
    for (int step = 0; step < 25; ++step) {
      const RandomStep s{static_cast<int>(rng() % 64), static_cast<int>(rng() % 1000),
                         static_cast<int>(rng() % 1000),
                         static_cast<float>(rng() % 3000) / 1000.0F + 0.01F};
      trace += " " + std::to_string(s.op);
      ApplyStep(eager, s, pictures);
      ApplyStep(lazy, s, pictures);
      ASSERT_EQ(lazy.CenterRect(), eager.CenterRect()) << w << "x" << h << ":" << trace;
    }
    lazy.renderPending();
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + ":" + trace);
    ASSERT_TRUE(lazy.ComposedBitmap().samePixels(eager.ComposedBitmap()));
    ASSERT_TRUE(lazy.PreviewBitmap().samePixels(eager.PreviewBitmap()));
    ASSERT_TRUE(lazy.TileBitmap().samePixels(eager.TileBitmap()));
    ASSERT_EQ(lazy.TileBitmap().fillColor(), eager.TileBitmap().fillColor());
    ASSERT_EQ(lazy.ComposedBitmap().fillColor(), eager.ComposedBitmap().fillColor());
    ASSERT_EQ(lazy.WidthFraction(), eager.WidthFraction());
    ASSERT_EQ(lazy.HeightFraction(), eager.HeightFraction());
    ASSERT_EQ(lazy.color0(), eager.color0());
    ASSERT_EQ(lazy.color1(), eager.color1());
    ASSERT_EQ(lazyFeedback.infos, eagerFeedback.infos);
  }
}

// --- Several monitors ---

Monitor At(int left, int top, int width, int height, Rect work = Rect{}) {
  Monitor m;
  m.rect = Rect{left, top, left + width, top + height};
  m.workArea = work == Rect{} ? Rect{0, 0, width, height} : work;
  return m;
}

// The part of `picture` at (x, y) of w x h.
Bitmap Crop(const Bitmap& picture, int x, int y, int w, int h) {
  Bitmap part(w, h);
  part.draw(-x, -y, picture);
  return part;
}

// Every monitor gets the picture a single-monitor desktop of its geometry composes after the
// same commands (generated backgrounds, halos and their scalings included), the document's own
// composition stays as it was, and the spanning picture shows each monitor at its place.
TEST(DocumentMonitors, EachMonitorGetsWhatASingleMonitorDesktopOfItsGeometryComposes) {
  struct Case {
    const char* name;
    MonitorLayout layout;
    bool overlapping;
  };
  const std::vector<Case> cases = {
      {"side by side", {{At(0, 0, 64, 40), At(64, 0, 64, 40)}, 0}, false},
      {"stacked, primary below", {{At(0, 0, 64, 40), At(0, 40, 64, 40)}, 1}, false},
      {"upright beside landscape", {{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0}, false},
      {"different sizes, panels",
       {{At(0, 0, 80, 50, {0, 0, 80, 44}), At(80, 6, 48, 36, {6, 0, 48, 36})}, 0},
       false},
      {"gap, three monitors",
       {{At(0, 0, 40, 30), At(55, 10, 40, 30), At(100, 0, 24, 36)}, 2},
       false},
      {"mirrored", {{At(0, 0, 64, 40), At(0, 0, 64, 40)}, 0}, true},
      {"mirrored, different sizes", {{At(0, 0, 64, 40), At(0, 0, 48, 36)}, 1}, true},
  };
  const std::vector<Bitmap> pictures = {Numbered(40, 30), Numbered(7, 90, 50),
                                        Solid(120, 12, kBlue), Numbered(3, 3, 200)};
  auto started = [&pictures](RecordingFeedback& fb, const Monitor& m) {
    auto d = std::make_unique<Document>(fb);
    LoadNumberedPictures(*d, pictures);
    d->Activate(StartAt(MonitorGeometry(m)));
    return d;
  };
  std::mt19937 rng(8122026);
  for (const Case& c : cases) {
    for (int sequence = 0; sequence < 40; ++sequence) {
      // Picking colours from the preview depends on the picture shown, and doubling is limited
      // by the tile's size: neither is the same command on another size. A bare ClearTile is no
      // command of its own (its fill colour is always set first). None of them is drawn.
      static const std::vector<int> kOps = {0,  1,  2,  4,  5,  6,  7,  8,  9, 10,
                                            11, 13, 14, 15, 16, 17, 18, 19, 20};
      std::vector<RandomStep> steps;
      for (int i = 0; i < 12; ++i) {
        steps.push_back(RandomStep{kOps[rng() % kOps.size()], static_cast<int>(rng() % 1000),
                                   static_cast<int>(rng() % 1000),
                                   static_cast<float>(rng() % 3000) / 1000.0F + 0.01F});
      }
      RecordingFeedback fb;
      auto doc = started(fb, c.layout.monitors[c.layout.primary]);
      for (const RandomStep& s : steps) {
        ApplyStep(*doc, s, pictures);
      }
      const Bitmap composed = doc->ComposedBitmap();
      const Bitmap preview = doc->PreviewBitmap();
      const std::size_t infos = fb.infos.size();
      const std::vector<Bitmap> each = doc->composeForMonitors(c.layout);
      const Bitmap span = doc->composeSpanning(c.layout);
      std::string trace;
      for (const RandomStep& s : steps) {
        trace += " " + std::to_string(s.op) + "/" + std::to_string(s.a) + "/" + std::to_string(s.b);
      }
      SCOPED_TRACE(std::string(c.name) + ", sequence " + std::to_string(sequence) + ":" + trace);
      ASSERT_EQ(each.size(), c.layout.monitors.size());
      EXPECT_TRUE(doc->ComposedBitmap().samePixels(composed));
      EXPECT_TRUE(doc->PreviewBitmap().samePixels(preview));
      EXPECT_EQ(fb.infos.size(), infos);
      const Rect box = LayoutBounds(c.layout);
      ASSERT_EQ(span.width(), box.Right - box.Left);
      ASSERT_EQ(span.height(), box.Bottom - box.Top);
      for (std::size_t i = 0; i < each.size(); ++i) {
        const Monitor& m = c.layout.monitors[i];
        RecordingFeedback singleFeedback;
        auto single = started(singleFeedback, m);
        for (const RandomStep& s : steps) {
          ApplyStep(*single, s, pictures);
        }
        ASSERT_TRUE(testing::SamePicture(each[i], single->ComposedBitmap())) << "monitor " << i;
        if (!c.overlapping || i == c.layout.primary) {
          EXPECT_TRUE(testing::SamePicture(Crop(span, m.rect.Left - box.Left, m.rect.Top - box.Top,
                                                each[i].width(), each[i].height()),
                                           each[i]))
              << "monitor " << i << " on the spanning picture";
        }
      }
    }
  }
}

// A document on a 64 x 40 desktop with a center picture, its wallpaper folder a fresh one.
struct MonitorsFixture {
  MonitorsFixture() {
    setter.folder = dir.path() + "/";
    doc.Activate(StartAt(DesktopGeometry{64, 40, Rect{0, 0, 64, 40}}));
    doc.pasteCenter(&center);
  }
  testing::TempDir dir;
  FakeWallpaperSetter setter;
  RecordingFeedback fb;
  Document doc{fb};
  const Bitmap center = testing::PatternBitmap(20, 30);
};

TEST(DocumentMonitors, SetAsWallpaperHandsEveryMonitorItsOwnFile) {
  MonitorsFixture f;
  FakeWallpaperSetter& setter = f.setter;
  RecordingFeedback& fb = f.fb;
  Document& doc = f.doc;
  MonitorLayout layout{{At(0, 0, 30, 52), At(30, 0, 64, 40)}, 1};
  layout.monitors[0].name = "DP-2";
  layout.monitors[1].name = "HDMI-1";

  fb.busyCalls.clear();
  ASSERT_TRUE(doc.setAsWallpaper(&setter, layout));
  EXPECT_EQ(fb.busyCalls, (std::vector<bool>{true, false})) << "one busy span for the whole set";
  ASSERT_TRUE(setter.installed.empty());
  ASSERT_EQ(setter.installedMonitors.size(), 1U);
  const MonitorPictures& handed = setter.installedMonitors.front();
  EXPECT_EQ(handed.primary, 1U);
  EXPECT_EQ(handed.bounds, (Rect{0, 0, 94, 52}));
  EXPECT_EQ(handed.spanned, setter.folder + WallpaperOutput::kWallpaperFileName);
  EXPECT_TRUE(
      testing::SamePicture(testing::LoadPicture(handed.spanned), doc.composeSpanning(layout)));
  const std::vector<Bitmap> each = doc.composeForMonitors(layout);
  ASSERT_EQ(handed.monitors.size(), 2U);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(handed.monitors[i].name, layout.monitors[i].name);
    EXPECT_EQ(handed.monitors[i].rect, layout.monitors[i].rect);
    EXPECT_EQ(handed.monitors[i].path, setter.folder + WallpaperOutput::MonitorFileName(i));
    EXPECT_TRUE(testing::SamePicture(testing::LoadPicture(handed.monitors[i].path), each[i]));
  }
  EXPECT_EQ(fb.lastInfo(), "Wallpaper has been set");

  // A monitor unplugged since: its file goes, the others' stay.
  layout.monitors.pop_back();
  layout.monitors.push_back(At(94, 0, 20, 20));
  layout.monitors.push_back(At(0, 52, 20, 20));
  ASSERT_TRUE(doc.setAsWallpaper(&setter, layout));
  layout.monitors.pop_back();
  ASSERT_TRUE(doc.setAsWallpaper(&setter, layout));
  EXPECT_TRUE(std::ifstream(setter.folder + WallpaperOutput::MonitorFileName(1)).good());
  EXPECT_FALSE(std::ifstream(setter.folder + WallpaperOutput::MonitorFileName(2)).good());
  // Restoring on the same monitors hands every monitor its own file again, as it is.
  setter.installedMonitors.clear();
  ASSERT_TRUE(doc.restoreWallpaper(&setter, layout));
  ASSERT_EQ(setter.installedMonitors.size(), 1U);
  EXPECT_EQ(setter.installedMonitors[0].monitors[1].path,
            setter.folder + WallpaperOutput::MonitorFileName(1));

  // One monitor: the document's own composition, as it always was, and no monitor's file left
  // for a later restore to hand over in its place.
  setter.installed.clear();
  ASSERT_TRUE(doc.setAsWallpaper(&setter, MonitorLayout{{layout.monitors[1]}, 0}));
  ASSERT_EQ(setter.installed.size(), 1U);
  EXPECT_TRUE(
      testing::SamePicture(testing::LoadPicture(setter.installed.front()), doc.ComposedBitmap()));
  EXPECT_FALSE(std::ifstream(setter.folder + WallpaperOutput::MonitorFileName(0)).good());
}

// After the monitors changed, a restore composes the last wallpaper again for them from the
// recipe its set left, whatever the document holds by then (a fresh tool knows nothing else).
TEST(DocumentMonitors, ARestoreOnChangedMonitorsComposesTheWallpaperAgainForThem) {
  MonitorsFixture f;
  FakeWallpaperSetter& setter = f.setter;
  RecordingFeedback& fb = f.fb;
  Document& doc = f.doc;
  const Bitmap& center = f.center;
  doc.setColor1(kBlue);
  doc.generateBackground(BackgroundKind::Halo);
  doc.setCenterTransparentColor(center.pixel(0, 0));
  const MonitorLayout before{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0};
  ASSERT_TRUE(doc.setAsWallpaper(&setter, before));
  const std::vector<MonitorLayout> changes = {
      MonitorLayout{{At(0, 0, 64, 40)}, 0},                                        // unplugged
      MonitorLayout{{At(0, 0, 64, 40), At(64, 0, 52, 30), At(0, 40, 20, 20)}, 2},  // added, turned
      MonitorLayout{{At(64, 0, 30, 52), At(0, 0, 64, 40)}, 1},                     // reordered
  };
  for (const MonitorLayout& layout : changes) {
    const std::vector<Bitmap> expected = doc.composeForMonitors(layout);
    Document fresh(fb);
    setter.installed.clear();
    setter.installedMonitors.clear();
    fb.infos.clear();
    ASSERT_TRUE(fresh.restoreWallpaper(&setter, layout)) << layout.monitors.size();
    EXPECT_EQ(fb.infos.front().first,
              "The monitors have changed since the wallpaper was set: it is composed again for "
              "them");
    std::vector<std::string> handed = setter.installed;
    for (const MonitorPictures& p : setter.installedMonitors) {
      for (const MonitorPicture& m : p.monitors) {
        handed.push_back(m.path);
      }
    }
    ASSERT_EQ(handed.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_TRUE(testing::SamePicture(testing::LoadPicture(handed[i]), expected[i]))
          << layout.monitors.size() << " monitors, monitor " << i;
    }
    // The next restore on the same monitors hands over what this one made, as it is.
    fb.infos.clear();
    ASSERT_TRUE(fresh.restoreWallpaper(&setter, layout));
    EXPECT_EQ(fb.lastInfo(), "Wallpaper has been set");
    EXPECT_EQ(fb.infos.size(), 1U);
  }
}

// However many steps made the background, its recipe holds no more than a restore replays: it
// starts afresh from the background as it is once it is full.
TEST(DocumentMonitors, ABackgroundOfManyStepsCanStillBeComposedAgain) {
  MonitorsFixture f;
  f.doc.generateBackground(BackgroundKind::Vertical);
  for (std::size_t i = 0; i < BackgroundRecipe::kMaxSteps + 40; ++i) {
    f.doc.scaleTile(i % 2 == 0 ? 2.0F : 0.5F);
  }
  ASSERT_TRUE(
      f.doc.setAsWallpaper(&f.setter, MonitorLayout{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0}));
  const OutcomeOf<WallpaperRecipe> kept = ReadWallpaperRecipe(f.setter.folder);
  ASSERT_TRUE(kept.ok()) << kept.reason();
  EXPECT_LE(kept.value().generated->steps().size(), BackgroundRecipe::kMaxSteps);
  f.fb.infos.clear();
  EXPECT_TRUE(f.doc.restoreWallpaper(&f.setter, MonitorLayout{{At(0, 0, 64, 40)}, 0}))
      << f.fb.lastInfo();
  EXPECT_EQ(f.fb.infos.front().first,
            "The monitors have changed since the wallpaper was set: it is composed again for them");
}

// When the wallpaper cannot be composed again for changed monitors (its recipe is damaged, would
// cost too much to replay, or the new set cannot be written), the pictures of the last set are
// handed over as they are, and the restore says so and why, as a failure.
TEST(DocumentMonitors, ARecipeThatCannotBeUsedIsToldAndTheLastPicturesAreHandedOver) {
  // A recipe whose text cannot be read does not tell the monitors it was made for either.
  const std::string unknown =
      "The recipe of the last wallpaper cannot be used, so it cannot be composed again for these "
      "monitors: ";
  const std::string changed =
      "The wallpaper could not be composed again for the changed monitors: ";
  const std::string asTheyWere =
      "\nthe pictures of the last wallpaper were handed over unchanged instead";
  const std::string madeBefore =
      "\nthe pictures of the last wallpaper, made for the monitors before, were handed over "
      "unchanged instead";
  const struct {
    const char* what;
    std::function<void(const std::string& set)> damage;
    rlim_t fileSizeLimit;
    std::string reason;
    std::string instead;
  } rows[] = {
      {"NUL bytes", [](auto& set) { testing::writeFile(set + kRecipeFileName, "\0\0"); },
       RLIM_INFINITY, unknown, asTheyWere},
      {"a folder",
       [](auto& set) {
         std::filesystem::remove(set + kRecipeFileName);
         std::filesystem::create_directory(set + kRecipeFileName);
       },
       RLIM_INFINITY, "recipe.txt is not a regular file", asTheyWere},
      {"no center copy", [](auto& set) { std::filesystem::remove(set + kRecipeCenterFileName); },
       RLIM_INFINITY, changed + "its recipe cannot be used: ", madeBefore},
      {"too costly",
       [](auto& set) {
         std::string text = testing::readFile(set + kRecipeFileName);
         testing::writeFile(set + kRecipeFileName, text + "step scale 64\nstep scale 64\n");
       },
       RLIM_INFINITY, changed + "its recipe would cost too much to replay: step 3 makes a",
       madeBefore},
      {"a new set that cannot be written", [](auto&) {}, 2000, changed + "Unable to write to ",
       madeBefore},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    MonitorsFixture f;
    f.doc.setColor1(kBlue);
    f.doc.generateBackground(BackgroundKind::Halo);
    const MonitorLayout before{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0};
    ASSERT_TRUE(f.doc.setAsWallpaper(&f.setter, before));
    const std::string set = WallpaperFolder(f.setter.folder).currentSet();
    row.damage(set);
    f.setter.installed.clear();
    f.fb.infos.clear();
    bool restored = true;
    {
      const testing::FileSizeLimit limit(row.fileSizeLimit);
      restored = f.doc.restoreWallpaper(&f.setter, MonitorLayout{{At(0, 0, 64, 40)}, 0});
    }
    EXPECT_FALSE(restored);
    const std::string told = f.fb.lastInfo();
    EXPECT_NE(told.find(row.reason), std::string::npos) << told;
    EXPECT_EQ(told.substr(told.size() - std::min(told.size(), row.instead.size())), row.instead)
        << told;
    EXPECT_EQ(f.setter.installed,
              std::vector<std::string>{f.setter.folder + WallpaperOutput::kWallpaperFileName})
        << "the last set's picture, as it is";
    EXPECT_EQ(WallpaperFolder(f.setter.folder).currentSet(), set);
  }
}

// A set is whole or not there: one that fails half-way (here a disk that takes no file as large
// as its pictures), or that the desktop does not take, leaves the set before current, whole, and
// a restore hands that over. A set
// an earlier version left in the folder itself restores as it is, and the next set replaces its
// files by links to its own.
TEST(DocumentMonitors, ASetThatFailsHalfWayLeavesTheSetBeforeWholeAndRestorable) {
  MonitorsFixture f;
  const std::string& folder = f.setter.folder;
  const std::string spanned = folder + WallpaperOutput::kWallpaperFileName;
  const MonitorLayout small{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0};
  const MonitorLayout large{{At(0, 0, 640, 400), At(640, 0, 300, 520)}, 0};
  // The earlier kind: the files themselves in the folder, no sets.
  SaveComposed(spanned, SaveFormat::Bmp, f.doc.composeSpanning(small));
  for (std::size_t i = 0; i < 2; ++i) {
    SaveComposed(folder + WallpaperOutput::MonitorFileName(i), SaveFormat::Bmp,
                 f.doc.composeForMonitors(small)[i]);
  }
  const std::string before = testing::readFile(folder + WallpaperOutput::MonitorFileName(1));
  ASSERT_TRUE(f.doc.restoreWallpaper(&f.setter, small));
  ASSERT_EQ(f.setter.installedMonitors.size(), 1U);
  EXPECT_EQ(f.setter.installedMonitors[0].monitors[1].path,
            folder + WallpaperOutput::MonitorFileName(1));

  f.doc.setColor1(kBlue);
  f.doc.generateBackground(BackgroundKind::Halo);
  ASSERT_TRUE(f.doc.setAsWallpaper(&f.setter, small));
  const std::string set = testing::readFile(folder + WallpaperOutput::MonitorFileName(1));
  EXPECT_NE(set, before);
  EXPECT_TRUE(std::filesystem::is_symlink(spanned));
  f.doc.setColor1(kRed);
  f.doc.generateBackground(BackgroundKind::Halo);
  {
    const testing::FileSizeLimit limit(200000);
    EXPECT_THROW(f.doc.setAsWallpaper(&f.setter, large), ImageError);
  }
  EXPECT_EQ(testing::filesIn(folder + "sets", ""), std::vector<std::string>{"1"});
  // A set the desktop does not take leaves what it shows current: a restore shows that again.
  f.setter.result = Outcome::Failed("refused");
  EXPECT_FALSE(f.doc.setAsWallpaper(&f.setter, small));
  f.setter.result = Outcome::Done();
  EXPECT_EQ(testing::filesIn(folder + "sets", ""), std::vector<std::string>{"1"});
  f.setter.installedMonitors.clear();
  ASSERT_TRUE(f.doc.restoreWallpaper(&f.setter, small));
  ASSERT_EQ(f.setter.installedMonitors.size(), 1U);
  EXPECT_EQ(testing::readFile(f.setter.installedMonitors[0].monitors[1].path), set);
}

// What a folder holds, without following a link: each entry with its kind, and a file's bytes or
// a link's target.
std::string TreeOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status st = fs::symlink_status(path, error);
  if (fs::is_symlink(st)) {
    return "link to " + fs::read_symlink(path, error).string();
  }
  if (fs::is_regular_file(st)) {
    return "file " + testing::readFile(path);
  }
  if (!fs::is_directory(st)) {
    return "nothing";
  }
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::directory_iterator(path, error)) {
    entries[entry.path().filename().string()] = TreeOf(entry.path().string());
  }
  std::string tree = "folder {";
  for (const auto& [name, what] : entries) {
    tree += name + ": " + what + "; ";
  }
  return tree + "}";
}

// The wallpaper folder never follows, writes through or cleans up through a link it did not make,
// nor removes what it did not make: a folder of someone else's where `sets` or a set should be
// stays as it was, whether a set is refused for it (with the reason, as a restore is) or goes on
// beside it.
TEST(DocumentMonitors, TheWallpaperFolderLeavesWhatItDidNotMakeAlone) {
  struct Row {
    const char* what;
    const char* planted;  // the entry planted in the wallpaper folder
    std::function<void(const std::string& path, const std::string& foreign)> plant;
    const char* refusal;  // "" when sets go on beside what is planted
  };
  const auto link = [](const std::string& target) {
    return [target](const std::string& path, const std::string& foreign) {
      std::filesystem::create_directory_symlink(target.empty() ? foreign : target, path);
    };
  };
  const auto file = [](const std::string& path, const std::string&) {
    testing::writeFile(path, "mine");
  };
  const std::vector<Row> rows = {
      {"sets links to another's folder", "sets", link(""), "sets is a link"},
      {"a set links to another's folder", "sets/5", link(""), ""},
      {"the current set links to another's folder", "sets/5",
       [](const std::string& path, const std::string& foreign) {
         std::filesystem::create_directory_symlink(foreign, path);
         const auto current = std::filesystem::path(path).parent_path().parent_path() /
                              WallpaperFolder::kCurrentLink;
         std::filesystem::remove(current);
         std::filesystem::create_symlink("sets/5", current);
       },
       "sets/5 is a link"},
      {"current links out of the sets", "current", link("/"), "current links to /"},
      {"current is a file", "current", file, "current is not a link"},
      {"sets is a file", "sets", file, "sets is not a folder"},
      {"a well-known name links to another's file", kRecipeFileName, link(""),
       "recipe.txt links to"},
      {"a set left behind holds a folder", "sets/4/keep",
       [](const std::string& path, const std::string&) {
         std::filesystem::create_directories(path);
         testing::writeFile(path + "/photo.txt", "mine");
       },
       ""},
  };
  const MonitorLayout layout{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MonitorsFixture f;
    testing::TempDir other;
    const std::string foreign = other.path() + "/";
    std::filesystem::create_directories(foreign + "1");
    std::filesystem::create_directories(foreign + "9");
    testing::writeFile(foreign + "1/" + WallpaperOutput::kWallpaperFileName, "not a picture");
    testing::writeFile(foreign + "9/keep.txt", "theirs");
    ASSERT_TRUE(f.doc.setAsWallpaper(&f.setter, layout));
    const std::string planted = f.setter.folder + row.planted;
    if (std::string(row.planted) == "sets") {
      std::filesystem::rename(planted, f.dir.path() + "/sets.mine");
    }
    std::filesystem::remove(planted);
    row.plant(planted, foreign);
    const std::string theirs = TreeOf(foreign);
    const std::string plantedTree = TreeOf(planted);

    const bool refused = *row.refusal != '\0';
    EXPECT_EQ(f.doc.setAsWallpaper(&f.setter, layout), !refused);
    f.setter.result = Outcome::Failed("refused");
    EXPECT_FALSE(f.doc.setAsWallpaper(&f.setter, layout));
    f.setter.result = Outcome::Done();
    EXPECT_EQ(f.doc.restoreWallpaper(&f.setter, layout), !refused);
    if (refused) {
      EXPECT_NE(f.fb.lastInfo().find(row.refusal), std::string::npos) << f.fb.lastInfo();
      EXPECT_NE(f.fb.lastInfo().find("left alone"), std::string::npos) << f.fb.lastInfo();
    }
    EXPECT_EQ(TreeOf(foreign), theirs);
    EXPECT_EQ(TreeOf(planted), plantedTree);
  }
}

// Forty monitors cost the memory of about one monitor's picture besides the whole desktop's,
// saved or set.
TEST(DocumentMonitors, ManyMonitorsAreComposedOneAtATime) {
  if (!testing::kResidentMemoryTellsTheReadersCost || testing::kFreedMemoryIsKept) {
    GTEST_SKIP() << "resident memory tells nothing in this build";
  }
  MonitorsFixture f;
  MonitorLayout layout;
  for (int i = 0; i < 40; ++i) {
    layout.monitors.push_back(At(0, 0, 1000, 1000));
  }
  const std::int64_t picture = 1000 * 1000 * 3 / 1024;
  const std::function<void()> outputs[] = {
      [&] { f.doc.saveComposedAs(f.dir.path() + "/desktop.bmp", SaveFormat::Bmp, layout); },
      [&] { ASSERT_TRUE(f.doc.setAsWallpaper(&f.setter, layout)); },
  };
  for (const auto& output : outputs) {
    const std::int64_t extra = testing::ExtraPeakKilobytes(output);
    EXPECT_LT(extra, 5 * picture) << "KiB, one picture is " << picture;
  }
}

}  // namespace
}  // namespace tessora
