#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/document.h"
#include "engine/color.h"
#include "engine/monitor_layout.h"
#include "engine/rect.h"

namespace tessora {

/// A command line that cannot be used; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One command of the command line, replayed in order on the document.
struct ComposeStep {
  enum class Kind {
    DeepColor,
    FirstColor,   ///< --color1: the palette's first colour (color0 of the document)
    SecondColor,  ///< --color2: the palette's second colour (color1 of the document)
    Tile,
    Center,
    RetainAspect,
    ClearTile,
    ClearCenter,
    Background,
    ScaleTile,
    Sizing,
    Transparent,
    Save,
    SetWallpaper,
  };
  Kind kind;
  std::string text;  ///< a file name
  TColor color = 0;  ///< colours
  BackgroundKind background = BackgroundKind::Tile;
  float factor = 0;  ///< --scale-tile, and the fraction of --sizing height=/width=
  enum class Sizing { AsIs, Default, Full, Height, Width } sizing = Sizing::Default;
  SaveFormat format = SaveFormat::Png;  ///< --output's
};

struct ComposeRequest {
  std::optional<Size> size;
  /// --monitors: a layout to compose for instead of the desktop's; the first is the primary.
  std::optional<MonitorLayout> monitors;
  std::vector<ComposeStep> steps;
  bool restore = false;  ///< --restore: install the last wallpaper file again, nothing else
  bool follow = false;   ///< --follow: restore now and after every change of the monitors
  bool quiet = false;
  bool help = false;
  bool version = false;
};

/// Reads the arguments (without the program name). Throws UsageError.
ComposeRequest ParseComposeArgs(const std::vector<std::string>& args);

/// "#RRGGBB", or any colour text the settings file accepts (clRed, $00BBGGRR, decimal, 0x...).
/// Throws UsageError.
TColor ParseColorArg(const std::string& text);

/// The save format for a file name: by its extension (.png .jpg .jpeg .bmp), else PNG.
SaveFormat FormatForFileName(const std::string& fileName);

/// "WxH+X+Y,WxH+X+Y,...": monitors in device pixels, the first the primary. Throws UsageError.
MonitorLayout ParseMonitorsArg(const std::string& text);

/// The usage text printed by --help and after a usage error.
std::string ComposeUsage();

}  // namespace tessora
