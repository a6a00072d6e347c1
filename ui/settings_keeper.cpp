#include "ui/settings_keeper.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <utility>

#include "document/document.h"
#include "engine/rounding.h"
#include "platform/services.h"
#include "ui/form_menus.h"
#include "ui/source_panel.h"

namespace tessora {

SettingsKeeper::SettingsKeeper(std::string path, const DesktopInfo& desktop, Targets targets)
    : path_(std::move(path)), desktop_(desktop), targets_(targets) {}

std::optional<std::string> SettingsKeeper::load() {
  const SettingsLoad load = LoadSettings(path_, loaded_);
  apply(loaded_);
  if (load.warning) {
    return load.warning;
  }
  if (!load.existed) {
    centre();
    centreFrame_ = true;
  }
  clampOnScreen();
  return std::nullopt;
}

void SettingsKeeper::save() const {
  SaveSettings(path_, current());
}

void SettingsKeeper::apply(const Settings& settings) {
  targets_.window.move(settings.left, settings.top);
  targets_.tilePanel.setListBarOnOwnRow(settings.hideTileDirectoryBar);
  targets_.centerPanel.setListBarOnOwnRow(settings.hideTessoraDirectoryBar);
  Options options;
  options.soundEffects = settings.useSoundEffects;
  options.useEntireDesktopArea = settings.useEntireDesktopArea;
  options.retainAspectRatio = settings.retainAspectRatio;
  options.showAllTools = settings.showAllTools;
  targets_.options.check(options);
  targets_.document.setOptions(options);
}

Settings SettingsKeeper::current() const {
  Settings s;
  s.top = targets_.window.y();
  s.left = targets_.window.x();
  s.hideTileDirectoryBar = targets_.tilePanel.listBarOnOwnRow();
  s.hideTessoraDirectoryBar = targets_.centerPanel.listBarOnOwnRow();
  const Options& o = targets_.document.options();
  s.useSoundEffects = o.soundEffects;
  s.useEntireDesktopArea = o.useEntireDesktopArea;
  s.retainAspectRatio = o.retainAspectRatio;
  s.showAllTools = o.showAllTools;
  s.DeepBackgroundColor = targets_.document.DeepBackgroundColor();
  return s;
}

// The desktop service measures in physical pixels; window positions are logical ones.
QSize SettingsKeeper::logicalScreenSize() const {
  const DesktopGeometry desktop = desktop_.geometry();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const long double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  return QSize(RoundInt(desktop.screenWidth / ratio), RoundInt(desktop.screenHeight / ratio));
}

void SettingsKeeper::centre() {
  const QSize screen = logicalScreenSize();
  const QSize outer = targets_.window.frameGeometry().size();
  targets_.window.move(RoundInt((screen.width() - outer.width()) / 2.0L),
                       RoundInt((screen.height() - outer.height()) / 2.0L));
}

void SettingsKeeper::followFrame() {
  const QWidget& window = targets_.window;
  if (centreFrame_ && window.isVisible() && window.frameGeometry().size() != window.size()) {
    centreFrame_ = false;
    centre();
  }
}

// Only the top-left corner has to stay 20 pixels inside the screen: a window standing mostly
// beyond the right or bottom edge is the user's choice.
void SettingsKeeper::clampOnScreen() {
  const QSize screen = logicalScreenSize();
  int top = targets_.window.y();
  int left = targets_.window.x();
  if (top < 0 || top > screen.height() - 20) {
    top = 0;
  }
  if (left < 0 || left > screen.width() - 20) {
    left = 0;
  }
  targets_.window.move(left, top);
}

}  // namespace tessora
