#include "platform/gsettings_wallpaper.h"

#include <QUrl>
#include <cstring>

#include "platform/pixbuf_formats.h"

#include "platform/gio_headers.h"

namespace tessora {
namespace {

// Owns one GLib object reference.
template <typename T>
class GRef {
 public:
  GRef(T* p, void (*release)(T*)) : p_(p), release_(release) {}
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  ~GRef() {
    if (p_ != nullptr) {
      release_(p_);
    }
  }
  T* get() const { return p_; }

 private:
  T* p_;
  void (*release_)(T*);
};

void UnrefSettings(GSettings* s) {
  g_object_unref(s);
}

// Looking up first matters: g_settings_new() on a schema that is not installed aborts.
GRef<GSettingsSchema> LookUp(const QByteArray& schema) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchema* found = source == nullptr
                               ? nullptr
                               : g_settings_schema_source_lookup(source, schema.constData(), TRUE);
  return GRef<GSettingsSchema>(found, g_settings_schema_unref);
}

bool HasKey(const GRef<GSettingsSchema>& schema, const QByteArray& key) {
  return !key.isEmpty() && g_settings_schema_has_key(schema.get(), key.constData());
}

QString GetString(GSettings* settings, const QByteArray& key) {
  gchar* value = g_settings_get_string(settings, key.constData());
  const QString result = QString::fromUtf8(value);
  g_free(value);
  return result;
}

// Without its dconf module GLib quietly keeps settings in memory: every key reads back what was
// written, and the desktop, another process, sees none of it.
bool KeepsOnlyInMemory(GSettings* settings) {
  GSettingsBackend* backend = nullptr;
  g_object_get(settings, "backend", &backend, nullptr);
  const bool memory =
      backend != nullptr &&
      std::strcmp(g_type_name_from_instance(reinterpret_cast<GTypeInstance*>(backend)),
                  "GMemorySettingsBackend") == 0;
  if (backend != nullptr) {
    g_object_unref(backend);
  }
  return memory;
}

}  // namespace

GSettingsDesktop GnomeBackground() {
  return {QStringLiteral("GNOME"),
          "org.gnome.desktop.background",
          "picture-uri",
          "picture-uri-dark",
          "picture-options",
          "primary-color",
          false};
}

GSettingsDesktop CinnamonBackground() {
  // Debian 12's Cinnamon schema has no dark variant; a later one would be picked up.
  return {QStringLiteral("Cinnamon"),
          "org.cinnamon.desktop.background",
          "picture-uri",
          "picture-uri-dark",
          "picture-options",
          "primary-color",
          false};
}

GSettingsDesktop MateBackground() {
  return {QStringLiteral("MATE"),
          "org.mate.background",
          "picture-filename",
          {},
          "picture-options",
          "primary-color",
          true};
}

// GNOME, Cinnamon and MATE decode the wallpaper with gdk-pixbuf.
bool GSettingsWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

Outcome GSettingsWallpaper::install(const QString& file) {
  const GRef<GSettingsSchema> schema = LookUp(desktop_.schema);
  if (schema.get() == nullptr) {
    return FailedWith(QStringLiteral("settings schema %1 is not installed")
                          .arg(QString::fromLatin1(desktop_.schema)));
  }
  if (!HasKey(schema, desktop_.pictureKey)) {
    return FailedWith(
        QStringLiteral("settings schema %1 has no key %2")
            .arg(QString::fromLatin1(desktop_.schema), QString::fromLatin1(desktop_.pictureKey)));
  }
  const GRef<GSettings> settings(g_settings_new_full(schema.get(), backend_, nullptr),
                                 UnrefSettings);
  if (KeepsOnlyInMemory(settings.get())) {
    return FailedWith(
        QStringLiteral("GSettings keeps settings only in memory here (GLib has no dconf module, or "
                       "GSETTINGS_BACKEND=memory): the desktop would never see the change"));
  }
  // A bare path in a URI key breaks file managers drawing the desktop.
  const QString value =
      desktop_.plainPath ? file : QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
  const QByteArray utf8 = value.toUtf8();
  if (!g_settings_set_string(settings.get(), desktop_.pictureKey.constData(), utf8.constData())) {
    return FailedWith(
        QStringLiteral("the key %1 is locked").arg(QString::fromLatin1(desktop_.pictureKey)));
  }
  // Forgetting the dark variant changes nothing on screen while the dark style is on.
  if (HasKey(schema, desktop_.darkKey)) {
    g_settings_set_string(settings.get(), desktop_.darkKey.constData(), utf8.constData());
  }
  // The user's style stays, except the one that shows no picture at all.
  if (HasKey(schema, desktop_.optionsKey) &&
      GetString(settings.get(), desktop_.optionsKey) == QLatin1String("none")) {
    g_settings_set_string(settings.get(), desktop_.optionsKey.constData(), "zoom");
  }
  // dconf writes asynchronously: without this the process may quit before the write.
  g_settings_sync();
  if (GetString(settings.get(), desktop_.pictureKey) != value) {
    return FailedWith(QStringLiteral("the key %1 did not keep the new value")
                          .arg(QString::fromLatin1(desktop_.pictureKey)));
  }
  return Outcome::Done();
}

Outcome GSettingsWallpaper::installMonitors(const QList<MonitorFile>& files) {
  if (Outcome set = install(files.front().file); !set.ok()) {
    return set;
  }
  // The picture covers all monitors: any other style would repeat it on each.
  const GRef<GSettingsSchema> schema = LookUp(desktop_.schema);
  if (schema.get() == nullptr || !HasKey(schema, desktop_.optionsKey)) {
    return FailedWith(
        QStringLiteral("settings schema %1 has no key %2")
            .arg(QString::fromLatin1(desktop_.schema), QString::fromLatin1(desktop_.optionsKey)));
  }
  const GRef<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr),
                                 UnrefSettings);
  if (!g_settings_set_string(settings.get(), desktop_.optionsKey.constData(), "spanned")) {
    return FailedWith(
        QStringLiteral("the key %1 is locked").arg(QString::fromLatin1(desktop_.optionsKey)));
  }
  g_settings_sync();
  return Outcome::Done();
}

std::optional<QString> ReadGSettingsString(const QByteArray& schemaId, const QByteArray& key) {
  const GRef<GSettingsSchema> schema = LookUp(schemaId);
  if (schema.get() == nullptr || !HasKey(schema, key)) {
    return std::nullopt;
  }
  const GRef<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr),
                                 UnrefSettings);
  return GetString(settings.get(), key);
}

}  // namespace tessora
