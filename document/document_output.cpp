// The document's outputs: the composition for each monitor, "Set as Wallpaper" and its restore,
// "Save As" and "Copy to Clipboard".
#include "document/document.h"
#include "document/wallpaper_output.h"

namespace tessora {

std::vector<Bitmap> Document::composeForMonitors(const MonitorLayout& layout) const {
  std::vector<Bitmap> pictures;
  pictures.reserve(layout.monitors.size());
  for (const Monitor& monitor : layout.monitors) {
    Bitmap out;
    SizeToDesktop(out, MonitorGeometry(monitor), sizedToEntireArea_);
    composeInto(out, backgroundFor(out.width(), out.height()));
    pictures.push_back(std::move(out));
  }
  return pictures;
}

Bitmap Document::composeSpanning(const MonitorLayout& layout) const {
  return SpanMonitors(layout, composeForMonitors(layout), deepBackgroundColor_);
}

std::string Document::wallpaperFolder(WallpaperSetter* service, const std::string& failed) {
  if (service == nullptr) {
    feedback_.ShowFailure(failed + "there is no desktop session");
    return std::string();
  }
  const OutcomeOf<std::string> folder = service->wallpaperFolder();
  if (!folder) {
    feedback_.ShowFailure(failed + folder.reason());
    return std::string();
  }
  return folder.value();
}

bool Document::reportInstall(const Outcome& result, const std::string& failed) {
  if (!result) {
    feedback_.ShowFailure(failed + result.reason());
    return false;
  }
  playCue(Cue::SetWallpaper);
  feedback_.ShowInfo("Wallpaper has been set", InfoStyle::Small);
  return true;
}

// One busy span for the whole of it: composing, writing, and the desktop, which may take
// seconds to answer.
bool Document::setAsWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  const ChangeScope scope(notices_);
  const std::string failed = "Wallpaper could not be set: ";
  const std::string folder = wallpaperFolder(service, failed);
  if (folder.empty()) {
    return false;
  }
  Outcome result = Outcome::Done();
  {
    BusyScope busy(busySpans_);
    renderPending();
    WallpaperOutput output(*service);
    result =
        layout.monitors.size() > 1
            ? output.setMonitors(folder, layout, composeForMonitors(layout), deepBackgroundColor_)
            : output.setOne(folder, composed_);
  }
  return reportInstall(result, failed);
}

bool Document::restoreWallpaper(WallpaperSetter* service, const MonitorLayout& layout) {
  const ChangeScope scope(notices_);
  const std::string failed = "Wallpaper could not be restored: ";
  const std::string folder = wallpaperFolder(service, failed);
  if (folder.empty()) {
    return false;
  }
  Outcome result = Outcome::Done();
  {
    BusyScope busy(busySpans_);
    result = WallpaperOutput(*service).restore(folder, layout);
  }
  return reportInstall(result, failed);
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
