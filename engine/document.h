#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/composition.h"
#include "engine/feedback.h"
#include "engine/monitor_layout.h"
#include "engine/rect.h"
#include "engine/wallpaper_service.h"
#include "engine/window_geometry.h"
#include "imageio/image_files.h"

namespace tessora {

/// The options of the Options menu.
struct Options {
  bool useEntireDesktopArea = false;  ///< "part of wallpaper under taskbar"
  bool retainAspectRatio = false;     ///< "retain aspect ratio"
  bool showAllTools = false;          ///< "show all tools"
  bool soundEffects = true;           ///< "sound effects"
};

/// What a press on the preview does.
enum class ClickMode : std::uint8_t {
  PickColors = 0,
  MarkTransparent = 1,
  ResizeHeight = 2,
  ResizeWidth = 3,
};

enum class MouseButton { Left, Right, Middle };

/// The backgrounds the tile/gradient menu generates.
enum class BackgroundKind { Tile, Vertical, Centered, Halo, Corner };

/// The caption shown for a generated background ("(temporary gradient)", ...).
const char* BackgroundCaption(BackgroundKind kind);

/// The parts of the document a window shows, one bit each, so that a command can tell all it
/// changed at once.
enum DocumentPart : unsigned {
  kTilePicture = 1U << 0,    ///< the background source's picture
  kCenterPicture = 1U << 1,  ///< the center image's picture and whether it is shown
  kPreview = 1U << 2,        ///< the stretched composition
  kTools = 1U << 3,          ///< which source tools are enabled
  kCaptions = 1U << 4,       ///< each source's path or generated-background caption
  kClickMode = 1U << 5,      ///< the armed click mode of the preview
  kColors = 1U << 6,         ///< the two palette colours
  kTileScale = 1U << 7,      ///< the custom tile-scaling factor
  kAllParts = (1U << 8) - 1,
};
/// A set of DocumentPart bits.
using DocumentParts = unsigned;

/// Notified when what the window shows changes. The window mirrors the document in its widgets;
/// the command-line tool ignores it.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  /// A command ended having changed `parts`: told once per command, when the outermost one ends,
  /// so a view redraws exactly those parts from the document.
  virtual void Changed(DocumentParts parts) { (void)parts; }
  /// The tile panel shows a new copy of the background source.
  virtual void TilePictureChanged(const Bitmap& tile) { (void)tile; }
  /// The center panel shows a new copy of the center image, or hides it.
  virtual void CenterPictureChanged(const Bitmap& center, bool visible) {
    (void)center;
    (void)visible;
  }
  /// The preview was repainted.
  virtual void PreviewChanged(const Bitmap& preview) { (void)preview; }
};

/// The one document of the program: the background source, the center image, the composed
/// wallpaper and its preview, the sizing and colours, and every command that changes them.
/// The window and the command-line tool both work through it.
class Document {
 public:
  /// Loads an image file into a bitmap: LoadImageFile, unless a test serves pictures itself.
  using ImageLoader = std::function<LoadResult(const std::string& path, Bitmap& target)>;

  explicit Document(Feedback& feedback, Layout layout = Layout{});

  void setView(DocumentView* view) { view_ = view; }
  void setImageLoader(ImageLoader loader) { loader_ = std::move(loader); }

  // --- State ---
  const Layout& layout() const { return layout_; }
  const Bitmap& ComposedBitmap() const { return composed_; }
  const Bitmap& TileBitmap() const { return tile_; }
  const Bitmap& CenterBitmap() const { return center_; }
  const Bitmap& PreviewBitmap() const { return preview_; }
  const Rect& CenterRect() const { return centerRect_; }
  float WidthFraction() const { return widthFraction_; }
  float HeightFraction() const { return heightFraction_; }
  TColor DeepBackgroundColor() const { return deepBackgroundColor_; }
  TColor color0() const { return color0_; }
  TColor color1() const { return color1_; }
  ClickMode PreviewClickMode() const { return clickMode_; }
  bool PreviewEntered() const { return previewEntered_; }
  float TileResizeFraction() const { return tileResizeFraction_; }
  Options& options() { return options_; }
  const Options& options() const { return options_; }
  /// Whether the background tools (clear, resize) are enabled: a background is assigned.
  bool tileToolsEnabled() const { return tileToolsEnabled_; }
  /// Whether the center tools (clear, sizing, click modes) are enabled.
  bool centerToolsEnabled() const { return centerToolsEnabled_; }
  /// Whether the center panel shows its picture: from an assigned or pasted center image until
  /// the center is cleared.
  bool centerPictureShown() const { return centerShown_; }
  /// The path or generated-background caption of each source, as its path label shows it.
  const std::string& tileCaption() const { return tileCaption_; }
  const std::string& centerCaption() const { return centerCaption_; }

  // --- Start-up ---
  /// The first activation of the window: prepareStart(), then the tile cleared to the deep
  /// background colour (which renders).
  void Activate(const DesktopGeometry& desktop);
  /// The first steps of the activation: default sizing, the wallpaper sized to the desktop, the
  /// click mode reset. The window loads its recent lists before it clears the tile.
  void prepareStart(const DesktopGeometry& desktop);
  /// Sizes the composed wallpaper to the desktop (only at start-up: options take effect at the
  /// next start).
  void SizeToDesktop(const DesktopGeometry& desktop);
  /// Sets the deep background colour without any other effect (as read from the settings).
  void setDeepBackgroundColorValue(TColor c) { deepBackgroundColor_ = c; }

  // --- Sizing ---
  /// Gives `value` to the fraction of the sizing axis (height, unless the center frame is at most
  /// 4:3) and zeroes the other. Does not render.
  void SetCenterFraction(float value);
  /// The size of CenterRect as "WxH".
  std::string CenterSizeText() const;
  void sizeAsIs();
  void sizeFull();
  void sizeGoldenArea();
  /// Sets the fractions directly (the width's wins when both are given), renders and shows the
  /// center's size, as a resize on the preview does.
  void setFractions(float widthFraction, float heightFraction);

  // --- Rendering ---
  /// Rebuilds the composed wallpaper from scratch and stretches it into the preview.
  void RenderComposition();
  /// While on, RenderComposition does everything but the pixel work (CenterRect, the texts and
  /// the cue come at once) and notes that the pixels are out of date; the document paints them
  /// before it reads them itself (the preview for a click). For a caller that replays many
  /// commands and looks at the result once: it calls renderPending() before reading the
  /// composed wallpaper or the preview. Turning it off paints what is pending.
  void setDeferredRendering(bool on);
  /// Renders now if a render was deferred.
  void renderPending();

  /// What this document composes for each monitor of `layout`: the picture it would compose on
  /// a single-monitor desktop of that monitor's geometry (same sources, sizing, colours; a
  /// generated background generated anew at the monitor's size). Leaves the document's own
  /// composition and preview alone.
  std::vector<Bitmap> composeForMonitors(const MonitorLayout& layout) const;
  /// The whole virtual desktop: composeForMonitors placed on the layout's bounding box, the rest
  /// in the deep background colour.
  Bitmap composeSpanning(const MonitorLayout& layout) const;

  // --- Preview clicks ---
  /// One of the special click modes is armed from the menu.
  void armClickMode(ClickMode mode);
  /// The pointer moved over the preview.
  void previewMouseMove() { previewEntered_ = true; }
  /// The pointer moved over the window's bare surface: an armed mode ends once the pointer has
  /// been over the preview.
  void formMouseMove();
  /// A button pressed on the preview at preview coordinates (x, y).
  void previewMouseDown(MouseButton button, int x, int y);

  // --- Background source ---
  void EnableTileTools(bool on) {
    tileToolsEnabled_ = on;
    changed(kTools);
  }
  /// Loads a file as the background source; false (nothing else changed, the failure reported)
  /// when it fails.
  bool AssignTileFile(const std::string& path);
  /// Resets the background source to a panel-sized block of its fill colour.
  void ClearTile();
  /// The clear button: the fill colour becomes the deep background colour, then ClearTile.
  void resetTile();
  /// Pastes a bitmap (the clipboard's, or none) as the background source.
  void pasteTile(const Bitmap* clip);
  /// Generates a background from the two palette colours.
  void generateBackground(BackgroundKind kind);
  /// The deep background colour chosen in the colour dialog: stored, then the tile is cleared.
  void setDeepBackgroundColor(TColor c);

  // --- Tile scaling ---
  /// A press on the tile panel at x (panel coordinates) sets the custom scaling factor.
  void SetTileResizeFraction(std::int32_t x);
  bool customScaleArmed() const { return customScaleArmed_; }
  std::string shrinkCustomCaption() const;
  std::string growCustomCaption() const;
  void scaleTile(float factor);
  void scaleTileHalf() { scaleTile(0.5F); }
  void scaleTileDouble() { scaleTile(2.0F); }
  void scaleTileShrinkCustom() { scaleTile(tileResizeFraction_); }
  void scaleTileGrowCustom() { scaleTile(1.0F + tileResizeFraction_); }

  // --- Center image ---
  void EnableCenterTools(bool on) {
    centerToolsEnabled_ = on;
    changed(kTools);
  }
  /// Loads a file as the center image; false (nothing else changed, the failure reported) when
  /// it fails.
  bool AssignCenterFile(const std::string& path);
  /// Removes the center image (its transparent colour stays for a later paste).
  void ClearCenter();
  /// Pastes a bitmap (the clipboard's, or none) as the center image; the sizing stays.
  void pasteCenter(const Bitmap* clip);
  /// Marks a transparent colour of the center image and renders.
  void setCenterTransparentColor(TColor c);

  // --- Output ---
  /// The file "Set as Wallpaper" writes, in the wallpaper service's folder.
  static constexpr const char* kWallpaperFileName = "Tessora Wallpaper.bmp";
  /// The file of monitor `index` (from 0) when there are several: "Tessora Wallpaper monitor
  /// 2.bmp" for the second.
  static std::string MonitorWallpaperFileName(std::size_t index);
  /// "Set as Wallpaper": writes the composed wallpaper as a BMP file in the service's folder
  /// (the file stays written when no desktop takes it: scripts may rely on it), then hands it
  /// to the desktop and reports the outcome. A missing service means there is no desktop
  /// session. Returns whether the desktop took it; a failed write passes on as ImageError.
  /// With several monitors in `layout`, the file holds the whole virtual desktop instead and
  /// each monitor gets a file of its own (composeForMonitors); the desktop is handed all.
  bool setAsWallpaper(WallpaperSetter* service, const MonitorLayout& layout = MonitorLayout{});
  /// Hands the wallpaper files the last "Set as Wallpaper" wrote to the desktop again, as they
  /// are (a window manager forgets its root picture at every start): the monitors' own files
  /// when there is one for each monitor of `layout`, else the one file. Nothing is rendered; no
  /// file there is told as a failure. Returns whether the desktop took it.
  bool restoreWallpaper(WallpaperSetter* service, const MonitorLayout& layout = MonitorLayout{});
  /// "Save As": writes the composed wallpaper to `path` in a format of SaveFormat and reports
  /// where. A failed write passes on as ImageError. With several monitors in `layout`, writes
  /// the whole virtual desktop instead (composeSpanning).
  void saveComposedAs(const std::string& path, int format,
                      const MonitorLayout& layout = MonitorLayout{});

  // --- Palette ---
  void setColor0(TColor c) {
    color0_ = c;
    changed(kColors);
  }
  void setColor1(TColor c) {
    color1_ = c;
    changed(kColors);
  }
  void swapColors();

 private:
  class BusyScope;
  class ChangeScope;

  /// Where the center image lands on the composed wallpaper, from the current state.
  struct CenterPlacement {
    enum Kind { None, AsIs, Stretched } kind = None;
    Point at{};
    Box64 box{};
  };
  CenterPlacement centerPlacement(int w, int h) const;
  /// The pixel work of a composition of `out`'s size, with `tile` as the background source.
  void composeInto(Bitmap& out, const Bitmap& tile) const;

  /// The inputs of the last stretched placement, so that CenterRect can be worked out for
  /// another wallpaper size.
  struct StretchInputs {
    int cw, ch;
    float widthFraction, heightFraction;
  };
  /// A step that made the background source from the one before, replayed for another size.
  struct BackgroundStep {
    bool generate = true;  ///< a generated background, else a scaling
    BackgroundKind kind = BackgroundKind::Vertical;
    TColor color0 = 0;
    TColor color1 = 0;
    /// The halo's rings follow CenterRect: the placement it came from, when there was one.
    std::optional<StretchInputs> haloPlacement;
    float factor = 1;  ///< the scaling's
  };
  /// Generates or scales `tile` as `step` did, for a w x h wallpaper; `halo` is the CenterRect
  /// the halo's rings follow.
  static void applyBackgroundStep(Bitmap& tile, const BackgroundStep& step, int w, int h,
                                  const Rect& halo);
  /// The background source a single-monitor desktop of w x h would have.
  Bitmap backgroundFor(int w, int h) const;
  /// The background source no longer depends on the wallpaper's size.
  void forgetBackgroundSteps();
  void writeMonitorPictures(const std::string& folder, const MonitorLayout& layout,
                            MonitorPictures& pictures);
  static void removeMonitorFiles(const std::string& folder, std::size_t from);
  /// What placing the center tells besides pixels: CenterRect, or the "as is" text.
  void PlaceCenter();
  /// The pixel work of a render: the wallpaper rebuilt and stretched into the preview.
  void paintComposition();
  void playCue(Cue cue);
  /// Notes parts a command changed; the view hears of them when the outermost command ends.
  void changed(DocumentParts parts);
  void tellView();
  void showSizeInfo();
  void tilePictureChanged();
  void centerPictureChanged(bool visible);
  void pasteInto(Bitmap& target, const Bitmap* clip);
  bool load(const std::string& path, Bitmap& target);
  /// The service's wallpaper folder, or "" after telling why there is none.
  std::string wallpaperFolder(WallpaperSetter* service, const std::string& failed);
  /// Tells the desktop's answer to an install; returns whether it took the wallpaper.
  bool reportInstall(const WallpaperResult& result, const std::string& failed);

  Feedback& feedback_;
  DocumentView* view_ = nullptr;
  ImageLoader loader_ = LoadImageFile;
  Layout layout_;
  Options options_;

  Bitmap composed_;
  Bitmap tile_;
  Bitmap center_;
  Bitmap preview_;
  Rect centerRect_;
  std::optional<StretchInputs> lastStretch_;
  /// Set while the background source is generated (and maybe scaled since): the source before
  /// the first generation, and every step since.
  std::optional<Bitmap> backgroundBase_;
  std::vector<BackgroundStep> backgroundSteps_;
  bool sizedToEntireArea_ = false;  ///< the option as it was when the wallpaper was sized
  float widthFraction_ = 0;
  float heightFraction_ = DefaultCenterFraction;
  TColor deepBackgroundColor_;
  TColor color0_ = clBtnHighlight;
  TColor color1_ = clActiveCaption;
  ClickMode clickMode_ = ClickMode::PickColors;
  bool previewEntered_ = false;
  float tileResizeFraction_ = 0;
  bool customScaleArmed_ = false;
  bool tileToolsEnabled_ = false;
  bool centerToolsEnabled_ = true;
  bool centerShown_ = false;
  std::string tileCaption_;
  std::string centerCaption_;
  int busyDepth_ = 0;
  bool deferRendering_ = false;
  bool renderDeferred_ = false;
  int commandDepth_ = 0;
  DocumentParts changedParts_ = 0;
};

}  // namespace tessora
