#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/outcome.h"
#include "document/click_modes.h"
#include "document/command_scopes.h"
#include "document/custom_scale.h"
#include "document/decode_runner.h"
#include "document/document_view.h"
#include "document/picture_loads.h"
#include "document/recent_pictures.h"
#include "document/start_state.h"
#include "document/wallpaper_output.h"
#include "document/wallpaper_recipe.h"
#include "engine/background_recipe.h"
#include "engine/bitmap.h"
#include "engine/clipboard_sink.h"
#include "engine/color.h"
#include "engine/composition.h"
#include "engine/desktop_geometry.h"
#include "engine/feedback.h"
#include "engine/monitor_layout.h"
#include "engine/rect.h"
#include "engine/wallpaper_composition.h"
#include "engine/wallpaper_service.h"
#include "engine/window_geometry.h"
#include "imageio/image_files.h"

namespace tessora {

enum class MouseButton { Left, Right, Middle };

/// The caption shown for a generated background ("(temporary gradient)", ...).
const char* BackgroundCaption(BackgroundKind kind);

/// The one document of the program: the background source, the center image, the composed
/// wallpaper and its preview, the sizing and colours, the lists of recent pictures, and every
/// command that changes them. The window and the command-line tool both work through it.
class Document {
 public:
  /// Loads an image file into a bitmap: LoadImageFile, unless a test serves pictures itself.
  /// With a decode runner it is called on the runner's thread, with a bitmap of its own.
  using ImageLoader = std::function<Outcome(const std::string& path, Bitmap& target)>;

  explicit Document(Feedback& feedback, Layout layout = Layout{});

  void setView(DocumentView* view) { notices_.setView(view); }
  void setImageLoader(ImageLoader loader) { loader_ = std::move(loader); }
  /// Has picture files decoded through `runner` and landed when they are read (the window);
  /// nullptr, the default, reads them inside the command that names them (the command-line
  /// tool). Either way a picture lands through the same steps. With a runner, a command that
  /// changes a source while its picture is still being read supersedes that load: its result
  /// is dropped, so nothing lands out of order.
  void setDecodeRunner(DecodeRunner* runner) { loads_.setRunner(runner); }

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
  ClickMode PreviewClickMode() const { return clicks_.mode(); }
  bool PreviewEntered() const { return clicks_.previewEntered(); }
  float TileResizeFraction() const { return customScale_.fraction(); }
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
  /// A source's list of recent pictures, as its box shows it.
  const RecentList& recentList(Source source) const { return recent_.list(source); }
  /// Whether a picture for `source` is still being read (only with a decode runner).
  bool loading(Source source) const { return loads_.pending(source); }

  // --- Start-up ---
  /// The start of either front end: the options and deep background colour taken, default
  /// sizing, the wallpaper sized to the desktop (options take effect at the next start), the
  /// click mode reset, the lists read (the center's first, so that a failure there is the one
  /// reported), the tile cleared to the deep background colour, then each list's newest
  /// picture loaded (a picture that does not load leaves its list and the next is tried).
  void Activate(const StartState& start);
  /// The options of the Options menu.
  void setOptions(const Options& options);

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
  /// before it reads them itself (the preview for a click, every output). For a caller that
  /// replays many commands and looks at the result once: it calls renderPending() before reading
  /// the composed wallpaper or the preview. Turning it off paints what is pending.
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
  void previewMouseMove();
  /// The pointer moved over the window's bare surface: an armed mode ends once the pointer has
  /// been over the preview.
  void formMouseMove();
  /// A button pressed on the preview at preview coordinates (x, y).
  void previewMouseDown(MouseButton button, int x, int y);

  // --- Background source ---
  /// Loads a file as the background source; false (nothing else changed, the failure reported)
  /// when it fails, or while it is still being read by a decode runner.
  bool AssignTileFile(const std::string& path);
  /// Resets the background source to a panel-sized block of its fill colour.
  void ClearTile();
  /// The clear button: the fill colour becomes the deep background colour, then ClearTile.
  void resetTile();
  /// Pastes a bitmap (the clipboard's, or none) as the background source.
  void pasteTile(const Bitmap* clip);
  /// Pastes a picture that has yet to be read (the clipboard names a file): `read` yields it, or
  /// nothing, through the decode runner like a load of `path`, then it is pasted as pasteTile
  /// or pasteCenter pastes.
  void pasteFile(Source source, const std::string& path,
                 std::function<std::optional<Bitmap>()> read);
  /// Generates a background from the two palette colours.
  void generateBackground(BackgroundKind kind);
  /// The deep background colour chosen in the colour dialog: stored, then the tile is cleared.
  void setDeepBackgroundColor(TColor c);

  // --- Tile scaling ---
  /// A press on the tile panel at x (panel coordinates) sets the custom scaling factor.
  void SetTileResizeFraction(std::int32_t x);
  bool customScaleArmed() const { return customScale_.armed(); }
  std::string shrinkCustomCaption() const { return customScale_.shrinkCaption(); }
  std::string growCustomCaption() const { return customScale_.growCaption(); }
  void scaleTile(float factor);
  void scaleTileHalf() { scaleTile(0.5F); }
  void scaleTileDouble() { scaleTile(2.0F); }
  void scaleTileShrinkCustom() { scaleTile(customScale_.fraction()); }
  void scaleTileGrowCustom() { scaleTile(1.0F + customScale_.fraction()); }

  // --- Center image ---
  /// Loads a file as the center image; false (nothing else changed, the failure reported) when
  /// it fails, or while it is still being read by a decode runner.
  bool AssignCenterFile(const std::string& path);
  /// Removes the center image (its transparent colour stays for a later paste).
  void ClearCenter();
  /// Pastes a bitmap (the clipboard's, or none) as the center image; the sizing stays.
  void pasteCenter(const Bitmap* clip);
  /// Marks a transparent colour of the center image and renders.
  void setCenterTransparentColor(TColor c);

  // --- Recent pictures ---
  // Each list command rewrites the list's file and throws SettingsError when that fails; the
  // view hears of the list as it then stands all the same. With a decode runner, what follows a
  // load happens when it lands, and the commands answer false until then.
  /// Files dropped on a source's panel: the first is loaded and, when it loads, goes on top of
  /// the list. Returns whether it loaded.
  bool dropFiles(Source source, const std::vector<std::string>& paths);
  /// Entry `index` picked in the box: it moves to the top of the list and its file is loaded (an
  /// entry whose file no longer loads stays on top). Returns whether it loaded.
  bool pickRecent(Source source, int index);
  /// A double click on a source's picture: the selected entry is forgotten and the one before it
  /// loaded; with none left the source is cleared.
  void stepBack(Source source);
  /// The folder of the selected entry, selecting the first entry (without loading it) when none
  /// is selected; nothing for an empty list.
  std::optional<std::string> selectedFolder(Source source);

  // --- Output ---
  /// "Set as Wallpaper": writes the composed wallpaper as a BMP file in the service's folder
  /// (the file stays written when no desktop takes it: scripts may rely on it), then hands it
  /// to the desktop and reports the outcome. A missing service means there is no desktop
  /// session. Returns whether the desktop took it; a failed write passes on as ImageError.
  /// With several monitors in `layout`, the file holds the whole virtual desktop instead and
  /// each monitor gets a file of its own (composeForMonitors, one monitor at a time); the
  /// desktop is handed all. The recipe of the wallpaper is written beside the files, for a
  /// restore on other monitors. The files and the recipe become the last set together, once all
  /// are written: a set that fails or is stopped half-way leaves the one before.
  bool setAsWallpaper(WallpaperSetter* service, const MonitorLayout& layout = MonitorLayout{});
  /// Hands the wallpaper the last "Set as Wallpaper" made to the desktop again (a window manager
  /// forgets its root picture at every start). On the monitors it was made for, the files go as
  /// they are: the monitors' own files when there is one for each monitor of `layout`, else the
  /// one file. When the monitors have changed since, it is composed again for `layout` from the
  /// recipe the set left, and that is told. No file there is told as a failure. A recipe that
  /// cannot be used (or replayed at a bounded cost, or whose new set cannot be written) is told
  /// as a failure with its reason, and the last set's pictures are handed over unchanged
  /// instead. Returns whether the desktop took the wallpaper asked for.
  bool restoreWallpaper(WallpaperSetter* service, const MonitorLayout& layout = MonitorLayout{});
  /// "Save As": writes the composed wallpaper to `path` in `format` and reports where. A failed
  /// write passes on as ImageError. With several monitors in `layout`, writes the whole virtual
  /// desktop instead (composeSpanning: one monitor's picture held at a time).
  void saveComposedAs(const std::string& path, SaveFormat format,
                      const MonitorLayout& layout = MonitorLayout{});
  /// "Copy to Clipboard": hands the composed wallpaper to `clipboard`.
  void copyToClipboard(ClipboardSink& clipboard);

  // --- Palette ---
  void setColor0(TColor c);
  void setColor1(TColor c);
  void swapColors();

 private:
  /// What the document composes, for a wallpaper of any size.
  CompositionInputs inputs() const;
  /// Starts the background's recipe afresh from the background as it is when it holds
  /// BackgroundRecipe::kMaxSteps steps.
  void restartFullRecipe();
  /// Installs the last set composed again for `layout` from its recipe.
  Outcome recompose(WallpaperOutput& output, const WallpaperRecipe& recipe,
                    const MonitorLayout& layout);
  /// What placing the center tells besides pixels: CenterRect, or the "as is" text.
  void PlaceCenter();
  /// The pixel work of a render: the wallpaper rebuilt and stretched into the preview.
  void paintComposition();
  void playCue(Cue cue);
  /// Notes parts a command changed; the view hears of them when the outermost command ends.
  void changed(DocumentParts parts) { notices_.add(parts); }
  void showSizeInfo();
  void enableTileTools(bool on);
  void enableCenterTools(bool on);
  void centerPictureChanged(bool visible);
  void pasteInto(Bitmap& target, const Bitmap* clip);
  /// Starts loading `path` into a source; `then` follows with whether it loaded, when the
  /// picture lands (at once without a decode runner). Returns whether it has landed and loaded.
  bool assign(Source source, const std::string& path, std::function<void(bool)> then = nullptr);
  bool landTile(const std::string& path, Bitmap&& picture, const Outcome& outcome);
  bool landCenter(const std::string& path, Bitmap&& picture, const Outcome& outcome);
  /// Loads the newest entry of a source's list at start; one that does not load leaves the list
  /// and the next is tried.
  void loadNewest(Source source);
  /// A command that changes a source's picture drops the load still under way for it.
  void supersedeLoad(Source source) { loads_.supersede(source); }
  void clearSource(Source source);
  /// Runs a change of the lists; the view hears of them even when the change throws.
  void editLists(const std::function<void()>& edit);
  /// Runs `step` on the service's wallpaper folder, locked for it, and tells how it went,
  /// failures prefixed with `failed`; returns whether the desktop took the wallpaper.
  bool install(WallpaperSetter* service, const std::string& failed,
               const std::function<Outcome(WallpaperOutput&)>& step);
  bool reportInstall(const Outcome& result, const std::string& failed);

  Feedback& feedback_;
  ChangeNotices notices_;
  BusySpans busySpans_{feedback_};
  ImageLoader loader_ = LoadImageFile;
  PictureLoads loads_{feedback_, notices_};
  Layout layout_;
  Options options_;

  Bitmap composed_;
  Bitmap tile_;
  Bitmap center_;
  Bitmap preview_;
  Rect centerRect_;
  /// The inputs of the last stretched placement, which a halo generated later follows.
  std::optional<CenterStretch> lastStretch_;
  /// Set while the background source is generated (and maybe scaled since).
  std::optional<BackgroundRecipe> recipe_;
  bool sizedToEntireArea_ = false;  ///< the option as it was when the wallpaper was sized
  float widthFraction_ = 0;
  float heightFraction_ = DefaultCenterFraction;
  TColor deepBackgroundColor_ = kDefaultDesktopColor;
  TColor color0_ = clBtnHighlight;
  TColor color1_ = clActiveCaption;
  ClickModes clicks_;
  CustomScale customScale_;
  bool tileToolsEnabled_ = false;
  bool centerToolsEnabled_ = true;
  bool centerShown_ = false;
  std::string tileCaption_;
  std::string centerCaption_;
  RecentPictures recent_;
  bool deferRendering_ = false;
  bool renderDeferred_ = false;
};

}  // namespace tessora
