#include "engine/document.h"

#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "engine/gradients.h"
#include "engine/rounding.h"
#include "imageio/image_files.h"

namespace tessora {

// Marks a long operation: the front end shows the busy state for the outermost scope only and
// restores it on every exit path, exceptions included.
class Document::BusyScope {
 public:
  explicit BusyScope(Document& doc) : doc_(doc) {
    if (doc_.busyDepth_++ == 0) {
      doc_.feedback_.SetBusy(true);
    }
  }
  ~BusyScope() {
    if (--doc_.busyDepth_ == 0) {
      doc_.feedback_.SetBusy(false);
    }
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Document& doc_;
};

// Gathers what a command changes, however many commands it runs, and tells the view once when
// the outermost one ends. A view is not called while an exception is on its way out: what a
// failed command changed is told at the end of the next one.
class Document::ChangeScope {
 public:
  explicit ChangeScope(Document& doc) : doc_(doc), exceptions_(std::uncaught_exceptions()) {
    ++doc_.commandDepth_;
  }
  ~ChangeScope() {
    if (--doc_.commandDepth_ == 0 && std::uncaught_exceptions() == exceptions_) {
      doc_.tellView();
    }
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  Document& doc_;
  int exceptions_;
};

const char* BackgroundCaption(BackgroundKind kind) {
  switch (kind) {
    case BackgroundKind::Tile:
      return "(temporary tile)";
    case BackgroundKind::Vertical:
      return "(temporary gradient)";
    case BackgroundKind::Centered:
      return "(temporary centered gradient)";
    case BackgroundKind::Halo:
      return "(temporary halo)";
    case BackgroundKind::Corner:
      return "(temporary corner gradient)";
  }
  return "";
}

Document::Document(Feedback& feedback, Layout layout)
    : feedback_(feedback), layout_(layout), deepBackgroundColor_(GetSysColor(COLOR_BACKGROUND)) {
  preview_.setSize(layout_.preview.width, layout_.preview.height);
}

void Document::playCue(Cue cue) {
  if (options_.soundEffects) {
    feedback_.PlayCue(cue);
  }
}

void Document::changed(DocumentParts parts) {
  changedParts_ |= parts;
  if (commandDepth_ == 0) {
    tellView();
  }
}

void Document::tellView() {
  const DocumentParts parts = std::exchange(changedParts_, 0);
  if (parts != 0 && view_ != nullptr) {
    view_->Changed(parts);
  }
}

void Document::tilePictureChanged() {
  if (view_ != nullptr) {
    view_->TilePictureChanged(tile_);
  }
  changed(kTilePicture);
}

void Document::centerPictureChanged(bool visible) {
  centerShown_ = visible;
  if (view_ != nullptr) {
    view_->CenterPictureChanged(center_, visible);
  }
  changed(kCenterPicture);
}

// --- Start-up ---

void Document::Activate(const DesktopGeometry& desktop) {
  const ChangeScope scope(*this);
  prepareStart(desktop);
  resetTile();
}

void Document::prepareStart(const DesktopGeometry& desktop) {
  widthFraction_ = 0;
  heightFraction_ = DefaultCenterFraction;
  SizeToDesktop(desktop);
  clickMode_ = ClickMode::PickColors;
  previewEntered_ = false;
  // A start sets the document anew: a view draws all of it.
  changed(kAllParts);
}

void Document::SizeToDesktop(const DesktopGeometry& desktop) {
  tessora::SizeToDesktop(composed_, desktop, options_.useEntireDesktopArea);
  // The other monitors follow the same rule, as it was at start-up.
  sizedToEntireArea_ = options_.useEntireDesktopArea;
}

// --- Sizing ---

void Document::SetCenterFraction(float value) {
  const long double ratio = static_cast<long double>(layout_.centerFrame.width) /
                            static_cast<long double>(layout_.centerFrame.height);
  if (ratio <= 4.0L / 3.0L) {
    widthFraction_ = value;
    heightFraction_ = 0;
  } else {
    heightFraction_ = value;
    widthFraction_ = 0;
  }
}

std::string Document::CenterSizeText() const {
  const std::int64_t w = std::int64_t{centerRect_.Right} - centerRect_.Left;
  const std::int64_t h = std::int64_t{centerRect_.Bottom} - centerRect_.Top;
  return std::to_string(w) + "x" + std::to_string(h);
}

void Document::showSizeInfo() {
  feedback_.ShowInfo("tessora: " + CenterSizeText(), InfoStyle::Small);
}

void Document::sizeAsIs() {
  widthFraction_ = 0;
  heightFraction_ = 0;
  RenderComposition();
}

void Document::sizeFull() {
  SetCenterFraction(FullCenterFraction);
  RenderComposition();
}

void Document::sizeGoldenArea() {
  SetCenterFraction(DefaultCenterFraction);
  RenderComposition();
  showSizeInfo();
}

void Document::setFractions(float widthFraction, float heightFraction) {
  widthFraction_ = widthFraction;
  heightFraction_ = widthFraction != 0 ? 0 : heightFraction;
  RenderComposition();
  showSizeInfo();
}

// --- Rendering ---

void Document::setDeferredRendering(bool on) {
  deferRendering_ = on;
  if (!on) {
    renderPending();
  }
}

void Document::renderPending() {
  if (renderDeferred_) {
    renderDeferred_ = false;
    paintComposition();
  }
}

// Everything a render reports besides its pixels (the center's place, the information text, the
// cue) happens here at once, deferred or not: later commands read it (the halo's rings and the
// size texts come from CenterRect), so deferring it would change what they produce. Only the
// pixel work waits.
void Document::RenderComposition() {
  BusyScope busy(*this);
  feedback_.HideInfo();
  PlaceCenter();
  playCue(Cue::ExamplePainted);
  if (deferRendering_) {
    renderDeferred_ = true;
    return;
  }
  paintComposition();
}

Document::CenterPlacement Document::centerPlacement(int w, int h) const {
  CenterPlacement place;
  if (center_.empty() || w <= 0 || h <= 0) {
    return place;
  }
  if (widthFraction_ == 0 && heightFraction_ == 0) {
    place.kind = CenterPlacement::AsIs;
    place.at = AsIsCenterOrigin(w, h, center_.width(), center_.height());
  } else {
    place.kind = CenterPlacement::Stretched;
    place.box = StretchedCenterBox(w, h, center_.width(), center_.height(), widthFraction_,
                                   heightFraction_);
  }
  return place;
}

void Document::PlaceCenter() {
  const CenterPlacement place = centerPlacement(composed_.width(), composed_.height());
  if (place.kind == CenterPlacement::AsIs) {
    feedback_.ShowInfo("tessora: " + CenterSizeText() + " (not stretched)", InfoStyle::Small);
  } else if (place.kind == CenterPlacement::Stretched) {
    centerRect_ = ToPreviewRect(place.box, composed_.width(), composed_.height(), preview_.width(),
                                preview_.height());
    lastStretch_ =
        StretchInputs{center_.width(), center_.height(), widthFraction_, heightFraction_};
  }
}

void Document::composeInto(Bitmap& out, const Bitmap& tile) const {
  out.setFillColor(deepBackgroundColor_);
  // The deep colour shows only through a transparent tile; any other tile covers all of it.
  if (!TileFillCoversAll(tile)) {
    out.fill();
  }
  TileFill(tile, out);
  const CenterPlacement place = centerPlacement(out.width(), out.height());
  if (place.kind == CenterPlacement::AsIs) {
    out.draw(place.at.x, place.at.y, center_);
  } else if (place.kind == CenterPlacement::Stretched) {
    out.stretchDraw(place.box.left, place.box.top, place.box.right, place.box.bottom, center_);
  }
}

void Document::paintComposition() {
  BusyScope busy(*this);
  composeInto(composed_, tile_);
  preview_.stretchDraw(0, 0, preview_.width(), preview_.height(), composed_);
  if (view_ != nullptr) {
    view_->PreviewChanged(preview_);
  }
  changed(kPreview);
}

// --- Several monitors ---

void Document::applyBackgroundStep(Bitmap& tile, const BackgroundStep& step, int w, int h,
                                   const Rect& halo) {
  if (!step.generate) {
    ScaleBitmap(tile, step.factor);
    return;
  }
  tile.setSize(w, h);
  switch (step.kind) {
    case BackgroundKind::Vertical:
      VerticalGradient(tile, step.color0, step.color1);
      break;
    case BackgroundKind::Centered:
      EllipseGradient(tile, step.color0, step.color1, Rect{}, true);
      break;
    case BackgroundKind::Halo:
      EllipseGradient(tile, step.color0, step.color1, halo, false);
      break;
    case BackgroundKind::Corner:
      CornerGradient(tile, step.color0, step.color1);
      break;
    case BackgroundKind::Tile:
      break;
  }
}

Bitmap Document::backgroundFor(int w, int h) const {
  Bitmap tile = *backgroundBase_;
  for (const BackgroundStep& step : backgroundSteps_) {
    Rect halo;
    if (step.haloPlacement) {
      const StretchInputs& p = *step.haloPlacement;
      halo = ToPreviewRect(StretchedCenterBox(w, h, p.cw, p.ch, p.widthFraction, p.heightFraction),
                           w, h, preview_.width(), preview_.height());
    }
    applyBackgroundStep(tile, step, w, h, halo);
  }
  return tile;
}

void Document::forgetBackgroundSteps() {
  backgroundBase_.reset();
  backgroundSteps_.clear();
}

std::vector<Bitmap> Document::composeForMonitors(const MonitorLayout& layout) const {
  std::vector<Bitmap> pictures;
  pictures.reserve(layout.monitors.size());
  for (const Monitor& monitor : layout.monitors) {
    Bitmap out;
    tessora::SizeToDesktop(out, MonitorGeometry(monitor), sizedToEntireArea_);
    // A picture or pasted source is the same on every monitor; only a generated one depends
    // on the size it was generated for.
    if (backgroundBase_) {
      composeInto(out, backgroundFor(out.width(), out.height()));
    } else {
      composeInto(out, tile_);
    }
    pictures.push_back(std::move(out));
  }
  return pictures;
}

Bitmap Document::composeSpanning(const MonitorLayout& layout) const {
  return SpanMonitors(layout, composeForMonitors(layout), deepBackgroundColor_);
}

// --- Preview clicks ---

void Document::armClickMode(ClickMode mode) {
  clickMode_ = mode;
  previewEntered_ = false;
  changed(kClickMode);
}

void Document::formMouseMove() {
  if (previewEntered_ && clickMode_ != ClickMode::PickColors) {
    clickMode_ = ClickMode::PickColors;
    changed(kClickMode);
  }
}

void Document::previewMouseDown(MouseButton button, int x, int y) {
  const ChangeScope scope(*this);
  renderPending();
  const TColor shown = preview_.pixel(x, y);
  switch (clickMode_) {
    case ClickMode::PickColors:
      if (shown != clNone && button == MouseButton::Left) {
        setColor0(shown);
      } else if (shown != clNone && button == MouseButton::Right) {
        setColor1(shown);
      }
      playCue(Cue::ColorStored);
      return;
    case ClickMode::MarkTransparent:
      if (shown != clNone) {
        setCenterTransparentColor(shown);
      }
      return;
    case ClickMode::ResizeHeight: {
      const int hp = preview_.height();
      const int d = static_cast<double>(hp) / 2 >= y ? y : hp - y;
      setFractions(0, ToSingle(static_cast<long double>(hp - 2 * d) / hp));
      return;
    }
    case ClickMode::ResizeWidth: {
      const int wp = preview_.width();
      const int d = static_cast<double>(wp) / 2 >= x ? x : wp - x;
      // A press on the middle column gives no width: the sizing becomes "as is".
      setFractions(ToSingle(static_cast<long double>(wp - 2 * d) / wp), 0);
      return;
    }
  }
}

void Document::setCenterTransparentColor(TColor c) {
  const ChangeScope scope(*this);
  center_.setTransparent(true);
  center_.setTransparentColor(c);
  RenderComposition();
  feedback_.ShowInfo("transparent RGB: " + ColorToRGBText(c), InfoStyle::Small);
}

// --- Background source ---

bool Document::load(const std::string& path, Bitmap& target) {
  const LoadResult result = loader_(path, target);
  if (!result) {
    feedback_.ShowLoadFailure(path, result.reason);
  }
  return result.ok;
}

bool Document::AssignTileFile(const std::string& path) {
  if (!load(path, tile_)) {
    return false;
  }
  const ChangeScope scope(*this);
  forgetBackgroundSteps();
  tileCaption_ = path;
  changed(kCaptions);
  EnableTileTools(true);
  tilePictureChanged();
  RenderComposition();
  return true;
}

void Document::ClearTile() {
  const ChangeScope scope(*this);
  EnableTileTools(false);
  forgetBackgroundSteps();
  tile_.setSize(layout_.tilePanel.width, layout_.tilePanel.height);
  tile_.fill();
  tilePictureChanged();
  RenderComposition();
}

void Document::resetTile() {
  tile_.setFillColor(deepBackgroundColor_);
  ClearTile();
}

void Document::pasteInto(Bitmap& target, const Bitmap* clip) {
  if (clip == nullptr) {
    return;
  }
  // The pasted picture brings size and pixels; the target keeps its colours and transparency.
  Bitmap pasted(*clip);
  pasted.setFillColor(target.fillColor());
  pasted.setTransparent(target.transparent());
  pasted.setTransparentColor(target.transparentColor());
  target = std::move(pasted);
}

void Document::pasteTile(const Bitmap* clip) {
  const ChangeScope scope(*this);
  if (clip != nullptr) {
    forgetBackgroundSteps();
  }
  pasteInto(tile_, clip);
  tilePictureChanged();
  EnableTileTools(true);
  RenderComposition();
}

void Document::generateBackground(BackgroundKind kind) {
  const ChangeScope scope(*this);
  if (kind == BackgroundKind::Tile) {
    tile_.setFillColor(color0_);
    ClearTile();
  } else {
    BackgroundStep step;
    step.kind = kind;
    step.color0 = color0_;
    step.color1 = color1_;
    if (kind == BackgroundKind::Halo) {
      step.haloPlacement = lastStretch_;
    }
    if (!backgroundBase_) {
      backgroundBase_ = tile_;
    }
    {
      BusyScope busy(*this);
      applyBackgroundStep(tile_, step, composed_.width(), composed_.height(), centerRect_);
    }
    backgroundSteps_.push_back(step);
    tilePictureChanged();
    RenderComposition();
  }
  tileCaption_ = BackgroundCaption(kind);
  changed(kCaptions);
  EnableTileTools(true);
}

void Document::setDeepBackgroundColor(TColor c) {
  const ChangeScope scope(*this);
  deepBackgroundColor_ = c;
  tile_.setFillColor(c);
  ClearTile();
}

// --- Tile scaling ---

void Document::SetTileResizeFraction(std::int32_t x) {
  tileResizeFraction_ =
      ToSingle(static_cast<long double>(x) / static_cast<long double>(layout_.tilePanel.width));
  customScaleArmed_ = true;
  changed(kTileScale);
}

std::string Document::shrinkCustomCaption() const {
  if (!customScaleArmed_) {
    return "(click on panel...)";
  }
  return "shrink to " + std::to_string(Round(static_cast<long double>(tileResizeFraction_) * 100)) +
         "%";
}

std::string Document::growCustomCaption() const {
  if (!customScaleArmed_) {
    return "(click on panel...)";
  }
  return "grow by " +
         std::to_string(Round(static_cast<long double>(tileResizeFraction_) * 100) + 100) + "%";
}

void Document::scaleTile(float factor) {
  {
    BusyScope busy(*this);
    ScaleBitmap(tile_, factor);
  }
  if (backgroundBase_) {
    BackgroundStep step;
    step.generate = false;
    step.factor = factor;
    backgroundSteps_.push_back(step);
  }
  RenderComposition();
}

// --- Center image ---

bool Document::AssignCenterFile(const std::string& path) {
  if (!load(path, center_)) {
    return false;
  }
  const ChangeScope scope(*this);
  centerCaption_ = path;
  changed(kCaptions);
  EnableCenterTools(true);
  centerPictureChanged(true);
  if (!options_.retainAspectRatio) {
    SetCenterFraction(DefaultCenterFraction);
  }
  RenderComposition();
  return true;
}

void Document::ClearCenter() {
  const ChangeScope scope(*this);
  center_.clear();
  EnableCenterTools(false);
  centerPictureChanged(false);
  RenderComposition();
}

void Document::pasteCenter(const Bitmap* clip) {
  const ChangeScope scope(*this);
  pasteInto(center_, clip);
  centerPictureChanged(true);
  EnableCenterTools(true);
  RenderComposition();
}

// --- Output ---

std::string Document::MonitorWallpaperFileName(std::size_t index) {
  return "Tessora Wallpaper monitor " + std::to_string(index + 1) + ".bmp";
}

void Document::writeMonitorPictures(const std::string& folder, const MonitorLayout& layout,
                                    MonitorPictures& pictures) {
  std::vector<Bitmap> composed;
  {
    BusyScope busy(*this);
    composed = composeForMonitors(layout);
  }
  pictures.bounds = LayoutBounds(layout);
  pictures.primary = layout.primary;
  for (std::size_t i = 0; i < composed.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    pictures.monitors.push_back(
        MonitorPicture{m.name, m.rect, folder + MonitorWallpaperFileName(i)});
    SaveComposed(pictures.monitors.back().path, kSaveBmp, composed[i], feedback_);
  }
  Bitmap span;
  {
    BusyScope busy(*this);
    span = SpanMonitors(layout, composed, deepBackgroundColor_);
  }
  pictures.spanned = folder + kWallpaperFileName;
  SaveComposed(pictures.spanned, kSaveBmp, span, feedback_);
  removeMonitorFiles(folder, composed.size());
}

// Files of monitors unplugged since, or of all monitors once one picture serves them all again,
// would only mislead a script that reads them, and a later restore.
void Document::removeMonitorFiles(const std::string& folder, std::size_t from) {
  for (std::size_t i = from;; ++i) {
    std::error_code ignored;
    if (!std::filesystem::remove(folder + MonitorWallpaperFileName(i), ignored)) {
      break;
    }
  }
}

std::string Document::wallpaperFolder(WallpaperSetter* service, const std::string& failed) {
  if (service == nullptr) {
    feedback_.ShowFailure(failed + "there is no desktop session");
    return std::string();
  }
  const WallpaperFolder folder = service->wallpaperFolder();
  if (folder.path.empty()) {
    feedback_.ShowFailure(failed + folder.reason);
  }
  return folder.path;
}

bool Document::reportInstall(const WallpaperResult& result, const std::string& failed) {
  if (!result.ok) {
    feedback_.ShowFailure(failed + result.reason);
    return false;
  }
  playCue(Cue::SetWallpaper);
  feedback_.ShowInfo("Wallpaper has been set", InfoStyle::Small);
  return true;
}

bool Document::setAsWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  const std::string failed = "Wallpaper could not be set: ";
  const std::string folder = wallpaperFolder(service, failed);
  if (folder.empty()) {
    return false;
  }
  renderPending();
  WallpaperResult result;
  if (layout.monitors.size() > 1) {
    MonitorPictures pictures;
    writeMonitorPictures(folder, layout, pictures);
    BusyScope busy(*this);  // desktop services may take seconds to answer
    result = service->setMonitorWallpapers(pictures);
  } else {
    const std::string path = folder + kWallpaperFileName;
    SaveComposed(path, kSaveBmp, composed_, feedback_);
    removeMonitorFiles(folder, 0);
    BusyScope busy(*this);
    result = service->setWallpaper(path);
  }
  return reportInstall(result, failed);
}

bool Document::restoreWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  const std::string failed = "Wallpaper could not be restored: ";
  const std::string folder = wallpaperFolder(service, failed);
  if (folder.empty()) {
    return false;
  }
  const std::string path = folder + kWallpaperFileName;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    feedback_.ShowFailure(failed + "no wallpaper has been set yet (" + path + " does not exist)");
    return false;
  }
  // The monitors' own files are handed over again where the last set left one for each
  // monitor there is now; otherwise the desktop gets the one file as it is.
  MonitorPictures pictures;
  pictures.bounds = LayoutBounds(layout);
  pictures.primary = layout.primary;
  pictures.spanned = path;
  for (std::size_t i = 0; layout.monitors.size() > 1 && i < layout.monitors.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    const std::string own = folder + MonitorWallpaperFileName(i);
    if (!std::filesystem::is_regular_file(own, error)) {
      pictures.monitors.clear();
      break;
    }
    pictures.monitors.push_back(MonitorPicture{m.name, m.rect, own});
  }
  WallpaperResult result;
  {
    BusyScope busy(*this);
    result = pictures.monitors.empty() ? service->setWallpaper(path)
                                       : service->setMonitorWallpapers(pictures);
  }
  return reportInstall(result, failed);
}

void Document::saveComposedAs(const std::string& path, int format, const MonitorLayout& layout) {
  if (layout.monitors.size() > 1) {
    Bitmap span;
    {
      BusyScope busy(*this);
      span = composeSpanning(layout);
    }
    SaveComposed(path, format, span, feedback_);
  } else {
    renderPending();
    SaveComposed(path, format, composed_, feedback_);
  }
  feedback_.ShowInfo(SavedInfoText(path), InfoStyle::Small);
}

// --- Palette ---

void Document::swapColors() {
  playCue(Cue::ColorStored);
  std::swap(color0_, color1_);
  changed(kColors);
}

}  // namespace tessora
