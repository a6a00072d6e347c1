#include "cli/compose.h"

#include <ostream>

#include "engine/document.h"
#include "imageio/image_files.h"

namespace tessora {
namespace {

// Information texts as lines on the error stream; the window's sounds and busy cursor have no
// counterpart here.
class LineFeedback : public Feedback {
 public:
  LineFeedback(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}
  void ShowInfo(const std::string& text, InfoStyle) override {
    if (!quiet_) {
      out_ << text << '\n';
    }
  }
  void ShowFailure(const std::string& text) override { out_ << text << '\n'; }
  // The window's one word, with the file's name.
  void ShowLoadFailure(const std::string& path, const std::string&) override {
    out_ << "INVALID: " << path << '\n';
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
    DesktopGeometry desktop;
    if (request_.size) {
      desktop = DesktopGeometry{request_.size->width, request_.size->height,
                                Rect{0, 0, request_.size->width, request_.size->height}};
    } else {
      const std::optional<DesktopGeometry> found = env_.desktop ? env_.desktop() : std::nullopt;
      if (!found) {
        err_ << "tessora-compose: there is no display to take the desktop size from: give --size "
                "WxH\n";
        return 2;
      }
      desktop = *found;
    }
    if (env_.settings) {
      doc_.setDeepBackgroundColorValue(env_.settings->DeepBackgroundColor);
      doc_.options().useEntireDesktopArea = env_.settings->useEntireDesktopArea;
      doc_.options().retainAspectRatio = env_.settings->retainAspectRatio;
    }
    // Only the result is looked at: render once, when it is read, not after every command.
    doc_.setDeferredRendering(true);
    doc_.Activate(desktop);
    for (const ComposeStep& step : request_.steps) {
      const int status = apply(step);
      if (status != 0) {
        return status;
      }
    }
    return 0;
  }

 private:
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
      case Kind::RetainAspect:
        doc_.options().retainAspectRatio = true;
        return 0;
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
        doc_.saveComposedAs(step.text, step.format);
        return 0;
      case Kind::SetWallpaper:
        return doc_.setAsWallpaper(env_.wallpaper ? env_.wallpaper() : nullptr) ? 0 : 1;
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

int RunCompose(const ComposeRequest& request, ComposeEnvironment& env, std::ostream& err) {
  try {
    return Replay(request, env, err).run();
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return 1;
  }
}

}  // namespace tessora
