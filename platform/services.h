#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/bitmap.h"
#include "engine/clipboard_sink.h"
#include "engine/color.h"
#include "engine/desktop_geometry.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_service.h"

namespace tessora {

/// Plays the sound cues: asynchronous, a new cue replaces one still playing, silent when the
/// file or the audio device is missing, never blocks.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual void play(const std::string& wavPath) = 0;
};

/// The system clipboard's image, as the paste and copy commands need it.
class ImageClipboard : public ClipboardSink {
 public:
  /// Whether the clipboard holds an image; answered from state kept current by change
  /// notifications, so it never waits for the clipboard's owner.
  virtual bool hasImage() const = 0;
  /// The clipboard's image, or nothing.
  virtual std::optional<Bitmap> image() = 0;
  /// A picture file the clipboard names instead of holding a picture (file managers copy files
  /// as a list of addresses): its path and how to read it as image() would, on any thread.
  struct PictureFile {
    std::string path;
    std::function<std::optional<Bitmap>()> read;
  };
  /// The picture file image() would read, or nothing when the clipboard holds a picture itself
  /// or none; a window reads it away from its event loop.
  virtual std::optional<PictureFile> imageFile() { return std::nullopt; }
  /// Empties the clipboard.
  virtual void clear() = 0;
};

/// The primary screen and the desktop colours.
class DesktopInfo {
 public:
  virtual ~DesktopInfo() = default;
  /// Primary screen size and work area, in physical pixels.
  virtual DesktopGeometry geometry() const = 0;
  /// Every monitor as it is now, in device pixels (asked anew each time: monitors come and go).
  virtual MonitorLayout monitors() const { return SingleMonitorLayout(geometry()); }
  /// The desktop's background colour (RGB), the deep background colour of a start without one
  /// of its own.
  virtual TColor desktopColor() const = 0;
  /// Whether a font family is installed.
  virtual bool fontInstalled(const std::string& family) const = 0;
};

/// Shows folders, documents and web pages with the desktop's default applications.
class Shell {
 public:
  virtual ~Shell() = default;
  /// Opens a folder in the file browser; false when nothing could be started.
  virtual bool openFolder(const std::string& folder) = 0;
  /// Opens a document or a web address.
  virtual bool openDocument(const std::string& pathOrUrl) = 0;
};

/// Every desktop service, as the window and the command-line tool use them.
struct Platform {
  std::unique_ptr<SoundPlayer> sound;
  std::unique_ptr<ImageClipboard> clipboard;
  std::unique_ptr<WallpaperSetter> wallpaper;
  std::unique_ptr<DesktopInfo> desktop;
  std::unique_ptr<Shell> shell;
};

/// The services of the running desktop session (needs a QGuiApplication).
Platform CreateDesktopPlatform();

}  // namespace tessora
