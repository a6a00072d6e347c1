// The document's commands on its two sources: the background source (a picture, a paste or a
// generated background, and its scaling), the center image, and their lists of recent pictures.
#include <utility>

#include "document/document.h"
#include "engine/composition.h"

namespace tessora {

void Document::enableTileTools(bool on) {
  tileToolsEnabled_ = on;
  changed(kTools);
}

void Document::enableCenterTools(bool on) {
  centerToolsEnabled_ = on;
  changed(kTools);
}

void Document::centerPictureChanged(bool visible) {
  centerShown_ = visible;
  changed(kCenterPicture);
}

bool Document::load(const std::string& path, Bitmap& target) {
  const Outcome result = loader_(path, target);
  if (!result) {
    feedback_.ShowLoadFailure(path, result.reason());
  }
  return result.ok();
}

// --- Background source ---

bool Document::AssignTileFile(const std::string& path) {
  const ChangeScope scope(notices_);
  if (!load(path, tile_)) {
    return false;
  }
  recipe_.reset();
  tileCaption_ = path;
  changed(kCaptions);
  enableTileTools(true);
  changed(kTilePicture);
  RenderComposition();
  return true;
}

void Document::ClearTile() {
  const ChangeScope scope(notices_);
  enableTileTools(false);
  recipe_.reset();
  tile_.setSize(layout_.tilePanel.width, layout_.tilePanel.height);
  tile_.fill();
  changed(kTilePicture);
  RenderComposition();
}

void Document::resetTile() {
  const ChangeScope scope(notices_);
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
  const ChangeScope scope(notices_);
  if (clip != nullptr) {
    recipe_.reset();
  }
  pasteInto(tile_, clip);
  changed(kTilePicture);
  enableTileTools(true);
  RenderComposition();
}

void Document::generateBackground(BackgroundKind kind) {
  const ChangeScope scope(notices_);
  if (kind == BackgroundKind::Tile) {
    tile_.setFillColor(color0_);
    ClearTile();
  } else {
    BackgroundRecipe::Step step;
    step.kind = kind;
    step.color0 = color0_;
    step.color1 = color1_;
    if (kind == BackgroundKind::Halo) {
      step.halo = lastStretch_;
    }
    if (!recipe_) {
      recipe_.emplace(tile_);
    }
    {
      BusyScope busy(busySpans_);
      BackgroundRecipe::Apply(tile_, step, composed_.width(), composed_.height(), centerRect_);
    }
    recipe_->add(step);
    changed(kTilePicture);
    RenderComposition();
  }
  tileCaption_ = BackgroundCaption(kind);
  changed(kCaptions);
  enableTileTools(true);
}

void Document::setDeepBackgroundColor(TColor c) {
  const ChangeScope scope(notices_);
  deepBackgroundColor_ = c;
  tile_.setFillColor(c);
  ClearTile();
}

// --- Tile scaling ---

void Document::SetTileResizeFraction(std::int32_t x) {
  const ChangeScope scope(notices_);
  customScale_.pick(x, layout_.tilePanel.width);
  changed(kTileScale);
}

void Document::scaleTile(float factor) {
  const ChangeScope scope(notices_);
  {
    BusyScope busy(busySpans_);
    ScaleBitmap(tile_, factor);
  }
  if (recipe_) {
    BackgroundRecipe::Step step;
    step.generate = false;
    step.factor = factor;
    recipe_->add(step);
  }
  RenderComposition();
}

// --- Center image ---

bool Document::AssignCenterFile(const std::string& path) {
  const ChangeScope scope(notices_);
  if (!load(path, center_)) {
    return false;
  }
  centerCaption_ = path;
  changed(kCaptions);
  enableCenterTools(true);
  centerPictureChanged(true);
  if (!options_.retainAspectRatio) {
    SetCenterFraction(DefaultCenterFraction);
  }
  RenderComposition();
  return true;
}

void Document::ClearCenter() {
  const ChangeScope scope(notices_);
  center_.clear();
  enableCenterTools(false);
  centerPictureChanged(false);
  RenderComposition();
}

void Document::pasteCenter(const Bitmap* clip) {
  const ChangeScope scope(notices_);
  pasteInto(center_, clip);
  centerPictureChanged(true);
  enableCenterTools(true);
  RenderComposition();
}

void Document::setCenterTransparentColor(TColor c) {
  const ChangeScope scope(notices_);
  center_.setTransparent(true);
  center_.setTransparentColor(c);
  RenderComposition();
  feedback_.ShowInfo("transparent RGB: " + ColorToRGBText(c), InfoStyle::Small);
}

// --- Recent pictures ---

bool Document::assign(Source source, const std::string& path) {
  return source == Source::Tile ? AssignTileFile(path) : AssignCenterFile(path);
}

void Document::clearSource(Source source) {
  if (source == Source::Tile) {
    resetTile();
  } else {
    ClearCenter();
  }
}

// The box mirrors its list after every change, even one whose file could not be written: what
// the list holds then is told before the failure goes on to the front end.
void Document::editLists(const std::function<void()>& edit) {
  changed(kRecentLists);
  try {
    edit();
  } catch (...) {
    notices_.flush();
    throw;
  }
}

bool Document::dropFiles(Source source, const std::vector<std::string>& paths) {
  const ChangeScope scope(notices_);
  if (paths.empty() || !assign(source, paths.front())) {
    return false;
  }
  editLists([&] { recent_.push(source, paths.front()); });
  return true;
}

bool Document::pickRecent(Source source, int index) {
  const ChangeScope scope(notices_);
  std::string path;
  editLists([&] { path = recent_.pick(source, index); });
  return assign(source, path);
}

void Document::stepBack(Source source) {
  const ChangeScope scope(notices_);
  editLists([&] { recent_.removeSelected(source); });
  const int selected = recent_.list(source).selectedIndex();
  if (selected >= 0) {
    pickRecent(source, selected);
  } else {
    clearSource(source);
  }
}

// The box is told of the list again even when nothing changed: it shows the entry whose folder
// opens.
std::optional<std::string> Document::selectedFolder(Source source) {
  const ChangeScope scope(notices_);
  changed(kRecentLists);
  return recent_.selectedFolder(source);
}

}  // namespace tessora
