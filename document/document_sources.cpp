// The document's commands on its two sources: the background source (a picture, a paste or a
// generated background, and its scaling), the center image, and their lists of recent pictures.
#include <memory>
#include <utility>

#include "document/document.h"
#include "engine/composition.h"

namespace tessora {
namespace {

void TakeAttributes(Bitmap& target, const Bitmap& read) {
  target.setFillColor(read.fillColor());
  target.setTransparent(read.transparent());
  target.setTransparentColor(read.transparentColor());
}

}  // namespace

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

// The decode gets its own copy of the loader and touches nothing else of the document; all that
// follows happens when the picture lands, on the document's thread. The reader starts from a copy
// of the target, as if it read into the target itself: transparent pixels show what the panel
// showed when the load started, and the reader keeps the target's fill colour and transparency
// (a GIF brings its own). A failed read leaves the target's pixels and takes only the attributes
// the reader changed: LoadImageFile clears the transparent flag before it reads.
bool Document::assign(Source source, const std::string& path, std::function<void(bool)> then) {
  const auto landed = std::make_shared<bool>(false);
  loads_.start(
      source, path, source == Source::Tile ? tile_ : center_,
      [loader = loader_, path](Bitmap& picture) { return loader(path, picture); },
      [this, source, path, then = std::move(then), landed](Bitmap&& picture,
                                                           const Outcome& outcome) {
        const ChangeScope scope(notices_);
        *landed = source == Source::Tile ? landTile(path, std::move(picture), outcome)
                                         : landCenter(path, std::move(picture), outcome);
        if (then) {
          then(*landed);
        }
      });
  return *landed;
}

// --- Background source ---

bool Document::AssignTileFile(const std::string& path) {
  const ChangeScope scope(notices_);
  return assign(Source::Tile, path);
}

bool Document::landTile(const std::string& path, Bitmap&& picture, const Outcome& outcome) {
  if (!outcome) {
    TakeAttributes(tile_, picture);
    feedback_.ShowLoadFailure(path, outcome.reason());
    return false;
  }
  tile_ = std::move(picture);
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
  supersedeLoad(Source::Tile);
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
  supersedeLoad(Source::Tile);
  if (clip != nullptr) {
    recipe_.reset();
  }
  pasteInto(tile_, clip);
  changed(kTilePicture);
  enableTileTools(true);
  RenderComposition();
}

void Document::pasteFile(Source source, const std::string& path,
                         std::function<std::optional<Bitmap>()> read) {
  const ChangeScope scope(notices_);
  loads_.start(
      source, path, Bitmap(),
      [read = std::move(read)](Bitmap& picture) {
        std::optional<Bitmap> clip = read();
        if (!clip) {
          return Outcome::Failed("no picture");
        }
        picture = std::move(*clip);
        return Outcome::Done();
      },
      [this, source](Bitmap&& picture, const Outcome& outcome) {
        const Bitmap* clip = outcome ? &picture : nullptr;
        if (source == Source::Tile) {
          pasteTile(clip);
        } else {
          pasteCenter(clip);
        }
      });
}

void Document::generateBackground(BackgroundKind kind) {
  const ChangeScope scope(notices_);
  supersedeLoad(Source::Tile);
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
    restartFullRecipe();
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

// A recipe holds no more steps than a restore replays: a full one starts afresh from the
// background as it is, and the steps before are kept only in the picture they made.
void Document::restartFullRecipe() {
  if (recipe_ && recipe_->steps().size() >= BackgroundRecipe::kMaxSteps) {
    recipe_.emplace(tile_);
  }
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
  supersedeLoad(Source::Tile);
  restartFullRecipe();
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
  return assign(Source::Center, path);
}

bool Document::landCenter(const std::string& path, Bitmap&& picture, const Outcome& outcome) {
  if (!outcome) {
    TakeAttributes(center_, picture);
    feedback_.ShowLoadFailure(path, outcome.reason());
    return false;
  }
  center_ = std::move(picture);
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
  supersedeLoad(Source::Center);
  center_.clear();
  enableCenterTools(false);
  centerPictureChanged(false);
  RenderComposition();
}

void Document::pasteCenter(const Bitmap* clip) {
  const ChangeScope scope(notices_);
  supersedeLoad(Source::Center);
  pasteInto(center_, clip);
  centerPictureChanged(true);
  enableCenterTools(true);
  RenderComposition();
}

void Document::setCenterTransparentColor(TColor c) {
  const ChangeScope scope(notices_);
  supersedeLoad(Source::Center);
  center_.setTransparent(true);
  center_.setTransparentColor(c);
  RenderComposition();
  feedback_.ShowInfo("transparent RGB: " + ColorToRGBText(c), InfoStyle::Small);
}

// --- Recent pictures ---

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
  if (paths.empty()) {
    return false;
  }
  return assign(source, paths.front(), [this, source, path = paths.front()](bool loaded) {
    if (loaded) {
      editLists([&] { recent_.push(source, path); });
    }
  });
}

bool Document::pickRecent(Source source, int index) {
  const ChangeScope scope(notices_);
  std::string path;
  editLists([&] { path = recent_.pick(source, index); });
  return assign(source, path);
}

// While each picture lands at once, the loop tries the next; a picture that lands later tries
// the next one itself, so a long list of pictures that no longer load adds no depth.
void Document::loadNewest(Source source) {
  const auto looping = std::make_shared<bool>(true);
  const auto failedAtOnce = std::make_shared<bool>(false);
  while (recent_.list(source).count() > 0) {
    std::string path;
    editLists([&] { path = recent_.pick(source, 0); });
    *failedAtOnce = false;
    assign(source, path, [this, source, looping, failedAtOnce](bool loaded) {
      if (loaded) {
        return;
      }
      editLists([&] { recent_.removeSelected(source); });
      if (*looping) {
        *failedAtOnce = true;
      } else {
        loadNewest(source);
      }
    });
    if (!*failedAtOnce) {
      break;
    }
  }
  *looping = false;
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
