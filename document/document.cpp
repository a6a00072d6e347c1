#include "document/document.h"

#include <utility>

#include "engine/rounding.h"

namespace tessora {

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

Document::Document(Feedback& feedback, Layout layout) : feedback_(feedback), layout_(layout) {
  preview_.setSize(layout_.preview.width, layout_.preview.height);
}

void Document::playCue(Cue cue) {
  if (options_.soundEffects) {
    feedback_.PlayCue(cue);
  }
}

// --- Start-up ---

void Document::Activate(const StartState& start) {
  const ChangeScope scope(notices_);
  supersedeLoad(Source::Tile);
  supersedeLoad(Source::Center);
  options_ = start.options;
  deepBackgroundColor_ = start.deepBackgroundColor;
  widthFraction_ = 0;
  heightFraction_ = DefaultCenterFraction;
  SizeToDesktop(composed_, start.desktop, options_.useEntireDesktopArea);
  // The other monitors follow the same rule, as it was at start-up.
  sizedToEntireArea_ = options_.useEntireDesktopArea;
  clicks_ = ClickModes();
  // A start sets the document anew: a view draws all of it.
  changed(kAllParts);
  recent_.setFolder(start.listFolder);
  // The center list comes first, so that a failure there is the one reported.
  editLists([this] {
    recent_.load(Source::Center);
    recent_.load(Source::Tile);
  });
  resetTile();
  // A picture that no longer loads leaves its list at start, as a file that is gone does: it
  // would otherwise be read, and refused, again at every start without the user asking. The
  // next one takes its place; the file itself is left as it is, and a drop brings it back.
  for (const Source source : {Source::Tile, Source::Center}) {
    loadNewest(source);
  }
}

void Document::setOptions(const Options& options) {
  const ChangeScope scope(notices_);
  options_ = options;
}

// --- Sizing ---

void Document::SetCenterFraction(float value) {
  const ChangeScope scope(notices_);
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
  const ChangeScope scope(notices_);
  widthFraction_ = 0;
  heightFraction_ = 0;
  RenderComposition();
}

void Document::sizeFull() {
  const ChangeScope scope(notices_);
  SetCenterFraction(FullCenterFraction);
  RenderComposition();
}

void Document::sizeGoldenArea() {
  const ChangeScope scope(notices_);
  SetCenterFraction(DefaultCenterFraction);
  RenderComposition();
  showSizeInfo();
}

void Document::setFractions(float widthFraction, float heightFraction) {
  const ChangeScope scope(notices_);
  widthFraction_ = widthFraction;
  heightFraction_ = widthFraction != 0 ? 0 : heightFraction;
  RenderComposition();
  showSizeInfo();
}

// --- Rendering ---

void Document::setDeferredRendering(bool on) {
  const ChangeScope scope(notices_);
  deferRendering_ = on;
  if (!on) {
    renderPending();
  }
}

void Document::renderPending() {
  const ChangeScope scope(notices_);
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
  const ChangeScope scope(notices_);
  BusyScope busy(busySpans_);
  feedback_.HideInfo();
  PlaceCenter();
  playCue(Cue::ExamplePainted);
  if (deferRendering_) {
    renderDeferred_ = true;
    return;
  }
  paintComposition();
}

CompositionInputs Document::inputs() const {
  CompositionSizing sizing;
  sizing.widthFraction = widthFraction_;
  sizing.heightFraction = heightFraction_;
  sizing.deepBackgroundColor = deepBackgroundColor_;
  sizing.entireArea = sizedToEntireArea_;
  sizing.previewWidth = preview_.width();
  sizing.previewHeight = preview_.height();
  return CompositionInputs{tile_, recipe_ ? &*recipe_ : nullptr, center_, sizing};
}

void Document::PlaceCenter() {
  const CenterPlacement place = PlaceCenterImage(inputs(), composed_.width(), composed_.height());
  if (place.kind == CenterPlacement::AsIs) {
    feedback_.ShowInfo("tessora: " + CenterSizeText() + " (not stretched)", InfoStyle::Small);
  } else if (place.kind == CenterPlacement::Stretched) {
    centerRect_ = ToPreviewRect(place.box, composed_.width(), composed_.height(), preview_.width(),
                                preview_.height());
    lastStretch_ =
        CenterStretch{center_.width(), center_.height(), widthFraction_, heightFraction_};
  }
}

void Document::paintComposition() {
  BusyScope busy(busySpans_);
  ComposeInto(inputs(), composed_, tile_);
  preview_.stretchDraw(0, 0, preview_.width(), preview_.height(), composed_);
  changed(kPreview);
}

// --- Preview clicks ---

void Document::armClickMode(ClickMode mode) {
  const ChangeScope scope(notices_);
  clicks_.arm(mode);
  changed(kClickMode);
}

void Document::previewMouseMove() {
  const ChangeScope scope(notices_);
  clicks_.pointerOverPreview();
}

void Document::formMouseMove() {
  const ChangeScope scope(notices_);
  if (clicks_.pointerOverSurface()) {
    changed(kClickMode);
  }
}

void Document::previewMouseDown(MouseButton button, int x, int y) {
  const ChangeScope scope(notices_);
  renderPending();
  const TColor shown = preview_.pixel(x, y);
  switch (clicks_.mode()) {
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

// --- Palette ---

void Document::setColor0(TColor c) {
  const ChangeScope scope(notices_);
  color0_ = c;
  changed(kColors);
}

void Document::setColor1(TColor c) {
  const ChangeScope scope(notices_);
  color1_ = c;
  changed(kColors);
}

void Document::swapColors() {
  const ChangeScope scope(notices_);
  playCue(Cue::ColorStored);
  std::swap(color0_, color1_);
  changed(kColors);
}

}  // namespace tessora
