#pragma once

#include <QSize>
#include <optional>
#include <string>

#include "settings/settings.h"

class QWidget;

namespace tessora {

class DesktopInfo;
class Document;
class SourcePanel;
struct OptionsMenu;

/// The settings file's side of the window: read once when the window is created and applied to
/// its place on the screen, its list bars, its options and the deep background colour; gathered
/// from them again and written once when it closes.
class SettingsKeeper {
 public:
  /// What the settings apply to.
  struct Targets {
    QWidget& window;
    SourcePanel& tilePanel;
    SourcePanel& centerPanel;
    OptionsMenu& options;
    Document& document;
  };

  SettingsKeeper(std::string path, const DesktopInfo& desktop, Targets targets);

  const std::string& path() const { return path_; }
  /// The settings as the file had them, for the start of the document.
  const Settings& loaded() const { return loaded_; }
  /// Reads the file and applies it; a first run (no file yet) centres the window, and the window
  /// is pulled back on the screen. A value that does not convert ends the read: what was read
  /// before it is applied, the window stays where that put it, and the message is returned.
  std::optional<std::string> load();
  /// Writes the settings as the window now stands. Throws SettingsError.
  void save() const;
  /// The window moved. A first start centres the window's frame, which is only known once the
  /// window manager has framed the shown window: the first move that brings the frame centres
  /// the window again.
  void followFrame();
  /// The frame came too late, or never (no window manager): the window stays where it is.
  void stopFollowingFrame() { centreFrame_ = false; }

 private:
  void apply(const Settings& settings);
  Settings current() const;
  QSize logicalScreenSize() const;
  void centre();
  void clampOnScreen();

  std::string path_;
  Settings loaded_;
  const DesktopInfo& desktop_;
  Targets targets_;
  bool centreFrame_ = false;
};

}  // namespace tessora
