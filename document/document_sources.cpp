// The document's commands on its two sources: the background source (a picture, a paste or a
// generated background, and its scaling), the center image, and their lists of recent pictures.
#include <utility>

#include "document/document.h"
#include "document/document_scopes.h"
#include "engine/composition.h"
#include "engine/rounding.h"
#include "settings/file_locations.h"

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
  const ChangeScope scope(*this);
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
  const ChangeScope scope(*this);
  enableTileTools(false);
  recipe_.reset();
  tile_.setSize(layout_.tilePanel.width, layout_.tilePanel.height);
  tile_.fill();
  changed(kTilePicture);
  RenderComposition();
}

void Document::resetTile() {
  const ChangeScope scope(*this);
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
    recipe_.reset();
  }
  pasteInto(tile_, clip);
  changed(kTilePicture);
  enableTileTools(true);
  RenderComposition();
}

void Document::generateBackground(BackgroundKind kind) {
  const ChangeScope scope(*this);
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
      BusyScope busy(*this);
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
  const ChangeScope scope(*this);
  deepBackgroundColor_ = c;
  tile_.setFillColor(c);
  ClearTile();
}

Bitmap Document::backgroundFor(int w, int h) const {
  // A picture or pasted source is the same on every monitor; only a generated one depends on the
  // size it was generated for.
  return recipe_ ? recipe_->replay(w, h, preview_.width(), preview_.height()) : tile_;
}

// --- Tile scaling ---

void Document::SetTileResizeFraction(std::int32_t x) {
  const ChangeScope scope(*this);
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
  const ChangeScope scope(*this);
  {
    BusyScope busy(*this);
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
  const ChangeScope scope(*this);
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
  const ChangeScope scope(*this);
  center_.clear();
  enableCenterTools(false);
  centerPictureChanged(false);
  RenderComposition();
}

void Document::pasteCenter(const Bitmap* clip) {
  const ChangeScope scope(*this);
  pasteInto(center_, clip);
  centerPictureChanged(true);
  enableCenterTools(true);
  RenderComposition();
}

void Document::setCenterTransparentColor(TColor c) {
  const ChangeScope scope(*this);
  center_.setTransparent(true);
  center_.setTransparentColor(c);
  RenderComposition();
  feedback_.ShowInfo("transparent RGB: " + ColorToRGBText(c), InfoStyle::Small);
}

// --- Recent pictures ---

const RecentList& Document::recentList(Source source) const {
  return source == Source::Tile ? tileList_ : centerList_;
}

RecentList& Document::list(Source source) {
  return source == Source::Tile ? tileList_ : centerList_;
}

std::string Document::recentListFile(Source source) const {
  if (listFolder_.empty()) {
    return std::string();
  }
  return listFolder_ + (source == Source::Tile ? kTileListFileName : kCenterListFileName);
}

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
void Document::editList(const std::function<void()>& edit) {
  changed(kRecentLists);
  try {
    edit();
  } catch (...) {
    tellView();
    throw;
  }
}

// The center list comes first, so that a failure there is the one reported.
void Document::loadRecentLists() {
  if (listFolder_.empty()) {
    return;
  }
  for (const Source source : {Source::Center, Source::Tile}) {
    editList([&] { LoadRecentList(list(source), recentListFile(source)); });
  }
}

bool Document::dropFiles(Source source, const std::vector<std::string>& paths) {
  const ChangeScope scope(*this);
  if (paths.empty() || !assign(source, paths.front())) {
    return false;
  }
  if (!listFolder_.empty()) {
    editList([&] { PushRecentEntry(list(source), recentListFile(source), paths.front()); });
  }
  return true;
}

void Document::pickRecent(Source source, int index) {
  const ChangeScope scope(*this);
  std::string path;
  editList([&] { path = SelectRecentEntry(list(source), recentListFile(source), index); });
  assign(source, path);
}

void Document::stepBack(Source source) {
  const ChangeScope scope(*this);
  editList([&] { RemoveRecentEntry(list(source), recentListFile(source)); });
  if (list(source).selectedIndex() >= 0) {
    pickRecent(source, list(source).selectedIndex());
  } else {
    clearSource(source);
  }
}

// The box is told of the list again even when nothing changed: it shows the entry whose folder
// opens.
std::optional<std::string> Document::selectedFolder(Source source) {
  const ChangeScope scope(*this);
  RecentList& entries = list(source);
  if (entries.count() == 0) {
    return std::nullopt;
  }
  if (entries.selectedIndex() < 0) {
    entries.select(0);
  }
  changed(kRecentLists);
  const std::string& entry = entries.entries()[static_cast<std::size_t>(entries.selectedIndex())];
  return entry.substr(0, entry.rfind('/') + 1);
}

}  // namespace tessora
