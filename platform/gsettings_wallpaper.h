#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/wallpaper_method.h"

typedef struct _GSettingsBackend GSettingsBackend;

namespace tessora {

/// Where a GSettings desktop keeps its wallpaper.
struct GSettingsDesktop {
  QString name;            ///< for messages
  QByteArray schema;       ///< "org.gnome.desktop.background"
  QByteArray pictureKey;   ///< "picture-uri"
  QByteArray darkKey;      ///< "picture-uri-dark" where the desktop has a dark style, else empty
  QByteArray optionsKey;   ///< "picture-options"
  QByteArray colorKey;     ///< "primary-color"
  bool plainPath = false;  ///< the key holds a path, not a file URI (MATE)
};

GSettingsDesktop GnomeBackground();
GSettingsDesktop CinnamonBackground();
GSettingsDesktop MateBackground();

/// Sets the picture keys of a GSettings schema in-process through GIO (no `gsettings` child:
/// another `gsettings` earlier on PATH may write elsewhere). Refuses GLib's memory back end,
/// where the keys read back fine and nothing reaches the desktop.
class GSettingsWallpaper : public WallpaperMethod {
 public:
  /// backend: where the keys go; nullptr: GLib's default (a test hands its own).
  explicit GSettingsWallpaper(GSettingsDesktop desktop, GSettingsBackend* backend = nullptr)
      : desktop_(std::move(desktop)), backend_(backend) {}
  QString name() const override { return desktop_.name; }
  bool readsBmp() const override;
  /// One monitor: where a picture over several monitors made the style "spanned", the user's
  /// style from before comes back.
  Outcome install(const QString& file) override;
  /// One picture for the whole virtual desktop, shown with the desktop's "spanned" style; the
  /// user's style is kept beside the file ("<schema>.picture-options") until one monitor is left.
  MonitorSpread spread() const override { return MonitorSpread::Spanned; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  /// Sets the picture keys; `spanned`: and the "spanned" style, else the user's style back.
  Outcome setPicture(const QString& file, bool spanned);
  GSettingsDesktop desktop_;
  GSettingsBackend* backend_;
};

/// A string key of an installed schema, or nothing when the schema or key is missing.
std::optional<QString> ReadGSettingsString(const QByteArray& schema, const QByteArray& key);
/// A boolean key of an installed schema, or nothing when the schema or key is missing.
std::optional<bool> ReadGSettingsBool(const QByteArray& schema, const QByteArray& key);

}  // namespace tessora
