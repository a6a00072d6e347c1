#include "cli/compose.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/terminal_text.h"
#include "document/document.h"
#include "document/wallpaper_folder.h"
#include "document/wallpaper_output.h"
#include "imageio/image_files.h"

namespace tessora {
namespace {

// Information texts as lines on the error stream; the window's sounds and busy cursor have no
// counterpart here. Every text may hold a file name, so none reaches the terminal unescaped.
class LineFeedback : public Feedback {
 public:
  LineFeedback(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}
  void ShowInfo(const std::string& text, InfoStyle) override {
    if (!quiet_) {
      out_ << TerminalText(text) << '\n';
    }
  }
  // A failure may tell one reason a line (each way of reaching the desktop that was tried): the
  // lines stay lines, and only what is inside them is escaped.
  void ShowFailure(const std::string& text) override {
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
      out_ << TerminalText(text.substr(from, end - from)) << '\n';
    }
    out_ << TerminalText(text.substr(from)) << '\n';
  }
  // The window's one word, with the file's name and, as there is room for it here, the reason.
  void ShowLoadFailure(const std::string& path, const std::string& reason) override {
    out_ << "INVALID: " << TerminalText(path);
    if (!reason.empty()) {
      out_ << ": " << TerminalText(reason);
    }
    out_ << '\n';
  }

 private:
  std::ostream& out_;
  bool quiet_;
};

class Replay {
 public:
  Replay(const ComposeRequest& request, ComposeEnvironment& env, std::ostream& err)
      : request_(request), env_(env), err_(err), feedback_(err, request.quiet), doc_(feedback_) {}

  int run() {
    std::optional<DesktopGeometry> desktop = desktopGeometry();
    if (!desktop) {
      err_ << "tessora-compose: there is no display to take the desktop size from: give --size "
              "WxH\n";
      return 2;
    }
    const StartState start = startState(*desktop);
    const Size outputSize = request_.monitors && request_.monitors->monitors.size() > 1
                                ? BoundsSize(*request_.monitors)
                                : DesktopTargetSize(*desktop, start.options.useEntireDesktopArea);
    if (!outputsCanHold(outputSize)) {
      return 1;
    }
    // Only the result is looked at: render once, when it is read, not after every command.
    doc_.setDeferredRendering(true);
    doc_.Activate(start);
    for (const ComposeStep& step : request_.steps) {
      const int status = apply(step);
      if (status != 0) {
        return status;
      }
    }
    return 0;
  }

 private:
  // The window's start on the same desktop: its settings, and where they name no deep background
  // colour the desktop's own, asked only then.
  StartState startState(const DesktopGeometry& desktop) const {
    const Settings settings = env_.settings.value_or(Settings());
    TColor desktopColor = kDefaultDesktopColor;
    if (TakesDesktopColor(settings) && env_.desktopColor) {
      desktopColor = env_.desktopColor().value_or(kDefaultDesktopColor);
    }
    return StartStateFor(settings, desktop, desktopColor);
  }

  static Size BoundsSize(const MonitorLayout& layout) {
    const Rect box = LayoutBounds(layout);
    return Size{box.Right - box.Left, box.Bottom - box.Top};
  }

  // The monitors the wallpaper is set on: those asked for, else the desktop's (a --size is one
  // monitor). Unknown monitors count as one.
  MonitorLayout wallpaperLayout() const {
    if (request_.monitors) {
      return *request_.monitors;
    }
    if (request_.size || !env_.monitors) {
      return MonitorLayout{};
    }
    return env_.monitors().value_or(MonitorLayout{});
  }

  std::optional<DesktopGeometry> desktopGeometry() const {
    if (request_.monitors) {
      const MonitorLayout& layout = *request_.monitors;
      return MonitorGeometry(layout.monitors[layout.primary]);
    }
    if (!request_.size) {
      return env_.desktop ? env_.desktop() : std::nullopt;
    }
    const Size s = *request_.size;
    return DesktopGeometry{s.width, s.height, Rect{0, 0, s.width, s.height}};
  }

  // A picture too large for an output's format is refused before any of the work is done, not
  // after composing it.
  bool outputsCanHold(const Size& size) {
    for (const ComposeStep& step : request_.steps) {
      const std::string problem = step.kind == ComposeStep::Kind::Save
                                      ? SaveSizeProblem(step.format, size.width, size.height)
                                      : std::string();
      if (!problem.empty()) {
        err_ << "tessora-compose: " << TerminalText(step.text) << ": " << problem << '\n';
        return false;
      }
    }
    return true;
  }

  int apply(const ComposeStep& step) {
    using Kind = ComposeStep::Kind;
    switch (step.kind) {
      case Kind::DeepColor:
        doc_.setDeepBackgroundColor(step.color);
        return 0;
      case Kind::FirstColor:
        doc_.setColor0(step.color);
        return 0;
      case Kind::SecondColor:
        doc_.setColor1(step.color);
        return 0;
      case Kind::Tile:
        return doc_.AssignTileFile(step.text) ? 0 : 1;
      case Kind::Center:
        return doc_.AssignCenterFile(step.text) ? 0 : 1;
      case Kind::RetainAspect: {
        Options options = doc_.options();
        options.retainAspectRatio = true;
        doc_.setOptions(options);
        return 0;
      }
      case Kind::ClearTile:
        doc_.resetTile();
        return 0;
      case Kind::ClearCenter:
        doc_.ClearCenter();
        return 0;
      case Kind::Background:
        doc_.generateBackground(step.background);
        return 0;
      case Kind::ScaleTile:
        doc_.scaleTile(step.factor);
        return 0;
      case Kind::Sizing:
        size(step);
        return 0;
      case Kind::Transparent:
        doc_.setCenterTransparentColor(step.color);
        return 0;
      case Kind::Save:
        doc_.saveComposedAs(step.text, step.format,
                            request_.monitors ? *request_.monitors : MonitorLayout{});
        return 0;
      case Kind::SetWallpaper:
        return doc_.setAsWallpaper(env_.wallpaper ? env_.wallpaper() : nullptr, wallpaperLayout())
                   ? 0
                   : 1;
    }
    return 0;
  }

  void size(const ComposeStep& step) {
    using S = ComposeStep::Sizing;
    switch (step.sizing) {
      case S::AsIs:
        doc_.sizeAsIs();
        break;
      case S::Default:
        doc_.sizeGoldenArea();
        break;
      case S::Full:
        doc_.sizeFull();
        break;
      case S::Height:
        doc_.setFractions(0, step.factor);
        break;
      case S::Width:
        doc_.setFractions(step.factor, 0);
        break;
    }
  }

  const ComposeRequest& request_;
  ComposeEnvironment& env_;
  std::ostream& err_;
  LineFeedback feedback_;
  Document doc_;
};

}  // namespace

// --follow: a restore now and after every change of the monitors, the same monitors twice in a
// row restored once. Without a wallpaper ever set there is nothing to follow, and nothing to say:
// the current set's picture is a file (a name that is still a link only shows a set the desktop
// never took).
int Follow(const ComposeRequest& request, ComposeEnvironment& env, std::ostream& err) {
  LineFeedback feedback(err, request.quiet);
  Document doc(feedback);
  WallpaperSetter* service = env.wallpaper ? env.wallpaper() : nullptr;
  if (service == nullptr || !env.followMonitors) {
    err << "tessora-compose: --follow: there is no desktop session\n";
    return 1;
  }
  const OutcomeOf<std::string> folder = service->wallpaperFolder();
  std::error_code error;
  if (!folder ||
      !std::filesystem::is_regular_file(std::filesystem::symlink_status(
          WallpaperFolder(folder.value()).currentSet() + WallpaperOutput::kWallpaperFileName,
          error))) {
    return 0;
  }
  std::optional<MonitorLayout> last;
  const Outcome followed = env.followMonitors([&](const MonitorLayout& layout) {
    if (last != layout) {
      last = layout;
      doc.restoreWallpaper(service, layout);
    }
  });
  if (!followed) {
    err << "tessora-compose: --follow: " << TerminalText(followed.reason()) << '\n';
    return 1;
  }
  return 0;
}

int RunCompose(const ComposeRequest& request, ComposeEnvironment& env, std::ostream& err) {
  try {
    if (request.follow) {
      return Follow(request, env, err);
    }
    if (request.restore) {
      LineFeedback feedback(err, request.quiet);
      Document doc(feedback);
      WallpaperSetter* service = env.wallpaper ? env.wallpaper() : nullptr;
      const MonitorLayout layout =
          env.monitors ? env.monitors().value_or(MonitorLayout{}) : MonitorLayout{};
      return doc.restoreWallpaper(service, layout) ? 0 : 1;
    }
    return Replay(request, env, err).run();
  } catch (const std::exception& e) {
    err << TerminalText(e.what()) << '\n';
    return 1;
  }
}

std::optional<Settings> LoadComposeSettings(const std::string& path, std::ostream& err) {
  Settings settings;
  const SettingsLoad load = LoadSettings(path, settings);
  // As in the window: a bad value costs only its own key.
  if (load.warning) {
    err << "tessora-compose: warning: " << TerminalText(*load.warning) << '\n';
  }
  if (!load.existed) {
    return std::nullopt;
  }
  return settings;
}

}  // namespace tessora
