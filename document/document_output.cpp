// The document's outputs: the composition for each monitor, "Set as Wallpaper" and its restore,
// "Save As" and "Copy to Clipboard".
#include "document/document.h"
#include "document/wallpaper_output.h"
#include "imageio/image_error.h"

#include <new>

namespace tessora {

std::vector<Bitmap> Document::composeForMonitors(const MonitorLayout& layout) const {
  return ComposeForMonitors(inputs(), layout);
}

Bitmap Document::composeSpanning(const MonitorLayout& layout) const {
  return ComposeSpanning(inputs(), layout);
}

// Tells the desktop's answer to an install; returns whether it took the wallpaper.
bool Document::reportInstall(const Outcome& result, const std::string& failed) {
  if (!result) {
    feedback_.ShowFailure(failed + result.reason());
    return false;
  }
  playCue(Cue::SetWallpaper);
  feedback_.ShowInfo("Wallpaper has been set", InfoStyle::Small);
  return true;
}

// The files go to the service's folder; without a service there is no desktop session. One busy
// span covers all the rest: waiting for another set in the folder to end, composing, writing,
// and the desktop, which may take seconds to answer.
bool Document::install(WallpaperSetter* service, const std::string& failed,
                       const std::function<Outcome(WallpaperOutput&)>& step) {
  const ChangeScope scope(notices_);
  if (service == nullptr) {
    feedback_.ShowFailure(failed + "there is no desktop session");
    return false;
  }
  const OutcomeOf<std::string> folder = service->wallpaperFolder();
  if (!folder) {
    feedback_.ShowFailure(failed + folder.reason());
    return false;
  }
  WallpaperOutput output(*service, folder.value());
  Outcome result = Outcome::Done();
  {
    BusyScope busy(busySpans_);
    result = output.lock();
    if (result) {
      result = step(output);
    }
  }
  return reportInstall(result, failed);
}

bool Document::setAsWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  return install(service, "Wallpaper could not be set: ", [&](WallpaperOutput& output) {
    renderPending();
    if (layout.monitors.size() > 1) {
      return output.setMonitors(layout, inputs());
    }
    return output.setOne(composed_, inputs(), layout);
  });
}

// Monitors that are not known now, or were not known then, are taken to be the same. Only the
// recipe's text is read to tell; its pictures only when they are needed. When the wallpaper
// cannot be composed again (its recipe cannot be used, would cost too much to replay, or the new
// set cannot be written), the pictures of the last set are handed over as they are, and the
// failure says so: the restore did not do what it was for.
bool Document::restoreWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  // What install() reports a failure under; told afresh when the recipe cannot be used.
  std::string failed = "Wallpaper could not be restored: ";
  return install(service, failed, [&](WallpaperOutput& output) {
    // Hands over the last set's pictures in place of a wallpaper composed for these monitors,
    // which `why` tells, and fails saying so.
    auto handOver = [&](const std::string& why, const std::string& pictures) {
      failed = why + "\n";
      const Outcome handed = output.restore(layout);
      return handed ? Outcome::Failed("the pictures of the last wallpaper" + pictures +
                                      " were handed over unchanged instead")
                    : Outcome::Failed(
                          "nor could the pictures of the last wallpaper be handed "
                          "over: " +
                          handed.reason());
    };
    const OutcomeOf<std::optional<MonitorLayout>> then = output.lastLayout();
    if (!then) {
      // The monitors it was made for are not known: they may be these, or not.
      return handOver(
          "The recipe of the last wallpaper cannot be used, so it cannot be composed "
          "again for these monitors: " +
              then.reason(),
          "");
    }
    const std::optional<MonitorLayout>& made = then.value();
    if (!made || layout.monitors.empty() || made->monitors.empty() || *made == layout) {
      return output.restore(layout);
    }
    std::string why;
    const OutcomeOf<WallpaperRecipe> last = output.lastRecipe();
    if (!last) {
      why = "its recipe cannot be used: " + last.reason();
    } else if (const std::string cost = RecipeReplayProblem(last.value(), layout); !cost.empty()) {
      why = "its recipe would cost too much to replay: " + cost;
    } else {
      try {
        return recompose(output, last.value(), layout);
      } catch (const ImageError& e) {
        why = e.what();
      } catch (const BitmapError& e) {
        why = e.what();
      } catch (const std::bad_alloc&) {
        why = "there is not enough memory";
      }
    }
    return handOver("The wallpaper could not be composed again for the changed monitors: " + why,
                    ", made for the monitors before,");
  });
}

Outcome Document::recompose(WallpaperOutput& output, const WallpaperRecipe& recipe,
                            const MonitorLayout& layout) {
  feedback_.ShowInfo(
      "The monitors have changed since the wallpaper was set: it is composed again for them",
      InfoStyle::Small);
  const CompositionInputs made = recipe.inputs();
  if (layout.monitors.size() > 1) {
    return output.setMonitors(layout, made);
  }
  return output.setOne(ComposeForMonitor(made, layout.monitors.front()), made, layout);
}

void Document::saveComposedAs(const std::string& path, SaveFormat format,
                              const MonitorLayout& layout) {
  const ChangeScope scope(notices_);
  {
    BusyScope busy(busySpans_);
    if (layout.monitors.size() > 1) {
      SaveComposed(path, format, composeSpanning(layout));
    } else {
      renderPending();
      SaveComposed(path, format, composed_);
    }
  }
  feedback_.ShowInfo(SavedInfoText(path), InfoStyle::Small);
}

void Document::copyToClipboard(ClipboardSink& clipboard) {
  const ChangeScope scope(notices_);
  renderPending();
  clipboard.setImage(composed_);
  playCue(Cue::ImageAssign);
}

}  // namespace tessora
