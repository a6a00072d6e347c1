#include "cli/compose_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "engine/window_geometry.h"
#include "imageio/image_files.h"
#include "imageio/picture_formats.h"
#include "settings/color_text.h"
#include "settings/settings_error.h"

namespace tessora {
namespace {

using Kind = ComposeStep::Kind;

constexpr int kMinSide = 2;

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// A finite number; `what` names the option in the error.
float ParseNumber(const std::string& text, const std::string& what) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(v)) {
    throw UsageError(what + ": '" + text + "' is not a number");
  }
  return static_cast<float>(v);
}

// A fraction or factor that makes sense for a picture: above 0 and not absurdly large.
float ParsePositive(const std::string& text, const std::string& what, float max) {
  const float v = ParseNumber(text, what);
  if (!(v > 0) || v > max) {
    throw UsageError(what + ": '" + text + "' must be above 0 and at most " +
                     std::to_string(static_cast<int>(max)));
  }
  return v;
}

// A side as given, digits only. A number longer than any side can be is kept as one just too
// large, so that it is refused for its size, not as a typo.
int ParseSide(const std::string& part, const std::string& text,
              const std::string& option = "--size", const std::string& form = "WIDTHxHEIGHT") {
  if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError(option + ": '" + text + "' is not " + form);
  }
  return part.size() > 7 ? Bitmap::kMaxDimension + 1 : std::atoi(part.c_str());
}

void CheckPictureSize(const Size& s, const std::string& option, const std::string& text) {
  if (s.width < kMinSide || s.height < kMinSide || s.width > Bitmap::kMaxDimension ||
      s.height > Bitmap::kMaxDimension ||
      static_cast<std::int64_t>(s.width) * s.height > Bitmap::kMaxPixels) {
    throw UsageError(option + ": '" + text + "' is out of range: each side " +
                     std::to_string(kMinSide) + " to " + std::to_string(Bitmap::kMaxDimension) +
                     " pixels, at most " + std::to_string(Bitmap::kMaxPixels) + " pixels in all");
  }
}

Size ParseSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) {
    throw UsageError("--size: '" + text + "' is not WIDTHxHEIGHT");
  }
  const Size s{ParseSide(text.substr(0, x), text), ParseSide(text.substr(x + 1), text)};
  CheckPictureSize(s, "--size", text);
  return s;
}

// A signed offset of one monitor, "+X" or "-X".
int ParseOffset(const std::string& part, const std::string& text) {
  const int v = ParseSide(part.substr(part.empty() ? 0 : 1), text, "--monitors", "WxH+X+Y");
  if (v > Bitmap::kMaxDimension) {
    throw UsageError("--monitors: '" + text + "' lies too far out");
  }
  return part[0] == '-' ? -v : v;
}

// One monitor, "WxH+X+Y", or "NAME=WxH+X+Y" for desktops that know monitors by connector name.
Monitor ParseMonitor(const std::string& given) {
  const std::size_t equals = given.find('=');
  const std::string text = equals == std::string::npos ? given : given.substr(equals + 1);
  const std::size_t x = text.find_first_of("xX");
  const std::size_t at = text.find_first_of("+-");
  const std::size_t second = at == std::string::npos ? at : text.find_first_of("+-", at + 1);
  if (x == std::string::npos || second == std::string::npos || x > at) {
    throw UsageError("--monitors: '" + text + "' is not WxH+X+Y");
  }
  const Size s{ParseSide(text.substr(0, x), text, "--monitors", "WxH+X+Y"),
               ParseSide(text.substr(x + 1, at - x - 1), text, "--monitors", "WxH+X+Y")};
  CheckPictureSize(s, "--monitors", text);
  const int left = ParseOffset(text.substr(at, second - at), text);
  const int top = ParseOffset(text.substr(second), text);
  Monitor m;
  m.name = equals == std::string::npos ? std::string() : given.substr(0, equals);
  m.rect = Rect{left, top, left + s.width, top + s.height};
  m.workArea = Rect{0, 0, s.width, s.height};
  return m;
}

BackgroundKind ParseBackground(const std::string& text) {
  if (text == "tile")
    return BackgroundKind::Tile;
  if (text == "vertical")
    return BackgroundKind::Vertical;
  if (text == "centered")
    return BackgroundKind::Centered;
  if (text == "halo")
    return BackgroundKind::Halo;
  if (text == "corner")
    return BackgroundKind::Corner;
  throw UsageError("--background: '" + text + "' is not tile, vertical, centered, halo or corner");
}

void ParseSizing(const std::string& text, ComposeStep& step) {
  using S = ComposeStep::Sizing;
  if (text == "as-is") {
    step.sizing = S::AsIs;
  } else if (text == "default") {
    step.sizing = S::Default;
  } else if (text == "full") {
    step.sizing = S::Full;
  } else if (text.rfind("height=", 0) == 0) {
    step.sizing = S::Height;
    step.factor = ParsePositive(text.substr(7), "--sizing height", 100);
  } else if (text.rfind("width=", 0) == 0) {
    step.sizing = S::Width;
    step.factor = ParsePositive(text.substr(6), "--sizing width", 100);
  } else {
    throw UsageError("--sizing: '" + text + "' is not as-is, default, full, height=F or width=F");
  }
}

SaveFormat ParseFormat(const std::string& text) {
  if (text == "png")
    return SaveFormat::Png;
  if (text == "jpg" || text == "jpeg")
    return SaveFormat::Jpeg;
  if (text == "bmp")
    return SaveFormat::Bmp;
  throw UsageError("--format: '" + text + "' is not png, jpg or bmp");
}

}  // namespace

MonitorLayout ParseMonitorsArg(const std::string& text) {
  MonitorLayout layout;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    layout.monitors.push_back(ParseMonitor(text.substr(from, comma - from)));
    if (comma == std::string::npos) {
      break;
    }
    from = comma + 1;
  }
  // The whole virtual desktop becomes one picture: it must be one the program can hold.
  const Rect box = LayoutBounds(layout);
  CheckPictureSize(Size{box.Right - box.Left, box.Bottom - box.Top}, "--monitors", text);
  return layout;
}

TColor ParseColorArg(const std::string& text) {
  if (text.size() == 7 && text[0] == '#') {
    int v[6];
    for (int i = 0; i < 6; ++i) {
      v[i] = HexDigit(text[static_cast<std::size_t>(i) + 1]);
      if (v[i] < 0) {
        throw UsageError("'" + text + "' is not a colour");
      }
    }
    return RGB(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
  }
  try {
    const TColor c = TextToColor(text);
    if (c == clNone || c == clDefault) {
      throw UsageError("'" + text + "' is not a colour");
    }
    return c;
  } catch (const SettingsError&) {
    throw UsageError("'" + text + "' is not a colour");
  }
}

SaveFormat FormatForFileName(const std::string& fileName) {
  const std::string ext = ImageFileExtension(fileName);
  if (ext == ".jpg" || ext == ".jpeg")
    return SaveFormat::Jpeg;
  if (ext == ".bmp")
    return SaveFormat::Bmp;
  return SaveFormat::Png;
}

ComposeRequest ParseComposeArgs(const std::vector<std::string>& args) {
  ComposeRequest request;
  std::optional<SaveFormat> format;  // --format for the outputs that follow, else by extension
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) {
        throw UsageError(arg + " needs a value");
      }
      return args[++i];
    };
    auto step = [&](Kind kind) -> ComposeStep& {
      request.steps.push_back(ComposeStep{kind, {}});
      return request.steps.back();
    };
    if (arg == "--help" || arg == "-h") {
      request.help = true;
    } else if (arg == "--version") {
      request.version = true;
    } else if (arg == "--size") {
      if (request.size) {
        throw UsageError("--size may be given once");
      }
      request.size = ParseSize(value());
    } else if (arg == "--monitors") {
      if (request.monitors) {
        throw UsageError("--monitors may be given once");
      }
      request.monitors = ParseMonitorsArg(value());
    } else if (arg == "--deep-color") {
      step(Kind::DeepColor).color = ParseColorArg(value());
    } else if (arg == "--color1") {
      step(Kind::FirstColor).color = ParseColorArg(value());
    } else if (arg == "--color2") {
      step(Kind::SecondColor).color = ParseColorArg(value());
    } else if (arg == "--tile") {
      step(Kind::Tile).text = value();
    } else if (arg == "--center") {
      step(Kind::Center).text = value();
    } else if (arg == "--retain-aspect") {
      step(Kind::RetainAspect);
    } else if (arg == "--clear-tile") {
      step(Kind::ClearTile);
    } else if (arg == "--clear-center") {
      step(Kind::ClearCenter);
    } else if (arg == "--background") {
      step(Kind::Background).background = ParseBackground(value());
    } else if (arg == "--scale-tile") {
      step(Kind::ScaleTile).factor = ParsePositive(value(), "--scale-tile", 64);
    } else if (arg == "--sizing") {
      ParseSizing(value(), step(Kind::Sizing));
    } else if (arg == "--transparent") {
      step(Kind::Transparent).color = ParseColorArg(value());
    } else if (arg == "--format") {
      format = ParseFormat(value());
    } else if (arg == "-o" || arg == "--output") {
      const std::string& name = value();
      ComposeStep& s = step(Kind::Save);
      s.text = name;
      s.format = format ? *format : FormatForFileName(name);
    } else if (arg == "--set-wallpaper") {
      step(Kind::SetWallpaper);
    } else if (arg == "--restore") {
      request.restore = true;
    } else if (arg == "--follow") {
      request.follow = true;
    } else if (arg == "--quiet" || arg == "-q") {
      request.quiet = true;
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
  }
  if (request.size && request.monitors) {
    throw UsageError("--size and --monitors exclude each other");
  }
  // Restoring composes nothing of its own: a command beside it would be silently ignored.
  const bool other = request.size || request.monitors || !request.steps.empty();
  if (request.restore && (other || request.follow)) {
    throw UsageError("--restore takes no other command");
  }
  if (request.follow && other) {
    throw UsageError("--follow takes no other command");
  }
  return request;
}

std::string ComposeUsage() {
  const Layout layout;
  return R"(Usage: tessora-compose [OPTION]... 
Compose a wallpaper from a background and a center image, as the Tessora window does, and save
it or install it. Options are commands, applied from left to right.

Start state: the background is a )" +
         std::to_string(layout.tilePanel.width) + " x " + std::to_string(layout.tilePanel.height) +
         R"( block of the deep background colour (from the
settings file, else the desktop colour), no center image, "default" sizing.

  --size WxH            size of the wallpaper, for one monitor (default: the desktop's, which
                        needs a display)
  --monitors LAYOUT     compose for these monitors instead of the desktop's, e.g.
                        1920x1080+0+0,1080x1920+1920+0 (WxH+X+Y in device pixels, the first
                        is the primary; NAME=WxH+X+Y names its connector): -o saves the whole
                        virtual desktop, each monitor composed as on a desktop of its own, the
                        rest in the deep background colour
  --deep-color C        deep background colour; the background is cleared to it
  --color1 C            first palette colour (top, outside, far from the corner)
  --color2 C            second palette colour (bottom, middle, corner)
  --tile FILE           background picture, repeated from the top-left corner
  --center FILE         center picture (resets the sizing to "default" unless --retain-aspect)
  --retain-aspect       from here on, a new center picture keeps the current sizing
  --clear-tile          background back to a block of the deep background colour
  --clear-center        remove the center picture
  --background KIND     generate the background: tile, vertical, centered, halo, corner
  --scale-tile F        scale the background picture by F (0.5 halves, 2 doubles)
  --sizing MODE         as-is, default, full, height=F or width=F (F: fraction of the wallpaper)
  --transparent C       leave the center picture's pixels of colour C out
  --format FMT          png, jpg or bmp for the outputs that follow
  -o, --output FILE     save the wallpaper (format by --format, else by extension, else PNG)
  --set-wallpaper       install the wallpaper on the desktop; with several monitors, each
                        gets the picture composed for its own size
  --restore             install the wallpaper the last --set-wallpaper (or the window's "Set
                        as Wallpaper") made again; on monitors changed since, it is composed
                        again for them; alone or with --quiet
  --follow              stay running: restore at once, then again whenever the monitors
                        change; ends quietly when no wallpaper was ever set; alone or with
                        --quiet
  -q, --quiet           no information texts
  -h, --help            this text
      --version         the version

Colours: #RRGGBB, a colour name (clRed, clNavy, ...), $00BBGGRR, 0x00BBGGRR or a decimal value.
Picture files: )" +
         LoadableFormatsText() + R"(.

The information texts the window would show go to standard error, one per line.
Exit status: 0 success; 1 a file could not be loaded, saved or installed; 2 a usage error.

A window manager without a desktop (i3, openbox, bspwm...) and a wlroots compositor (sway,
Hyprland, river...) forget the wallpaper when they start again, and read no autostart entries:
add to the start-up file
  i3, ~/.config/i3/config:      exec --no-startup-id tessora-compose --follow
  sway, ~/.config/sway/config:  exec tessora-compose --follow
  openbox, bspwm:               tessora-compose --follow &
LXQt and LXDE keep the wallpaper in their desktop's own settings, as GNOME, Plasma and XFCE do.
The package starts --follow at every login where a desktop reads autostart entries; to turn that
off, copy /etc/xdg/autostart/io.tessora.Tessora.Follow.desktop to ~/.config/autostart/ and add
Hidden=true.
)";
}

}  // namespace tessora
