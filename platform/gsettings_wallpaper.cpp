#include "platform/gsettings_wallpaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <cstring>
#include <string>

#include "common/read_file.h"

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

// The style the user had before a picture over several monitors made it "spanned", kept beside
// the wallpaper: a later picture for one monitor puts it back.
QString KeptStylePath(const QString& file, const QByteArray& schema) {
  return QFileInfo(file).absoluteDir().filePath(
      QStringLiteral("%1.picture-options").arg(QString::fromLatin1(schema)));
}

// A style name is a short word; anything larger is not a file of ours.
constexpr std::uint64_t kMaxKeptStyle = 64;

QString ReadKeptStyle(const QString& path) {
  std::string text;
  if (ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxKeptStyle, text) != ReadResult::Ok) {
    return QString();
  }
  return QString::fromStdString(text).trimmed();
}

void KeepStyle(const QString& path, const QString& style) {
  // Whatever else stands in its place is replaced; a link goes, not what it points to.
  const QFileInfo there(path);
  if (there.isSymLink() || (there.exists() && !there.isFile())) {
    QFile::remove(path);
  }
  QSaveFile out(path);
  if (out.open(QIODevice::WriteOnly)) {
    out.write(style.toUtf8() + '\n');
    out.commit();
  }
}

bool SetString(GSettings* settings, const GRef<GSettingsSchema>& schema, const QByteArray& key,
               const QString& value) {
  const QByteArray utf8 = value.toUtf8();
  GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema.get(), key.constData());
  GVariant* variant = g_variant_ref_sink(g_variant_new_string(utf8.constData()));
  // A value outside the key's choices would only be refused with a warning.
  const bool allowed = g_settings_schema_key_range_check(schemaKey, variant) != FALSE;
  g_variant_unref(variant);
  g_settings_schema_key_unref(schemaKey);
  return allowed && g_settings_set_string(settings, key.constData(), utf8.constData());
}

Outcome SetStyle(const GSettingsDesktop& desktop, GSettings* settings,
                 const GRef<GSettingsSchema>& schema, const QString& file, bool spanned) {
  const QString kept = KeptStylePath(file, desktop.schema);
  const QString current = GetString(settings, desktop.optionsKey);
  if (spanned) {
    // The picture covers all monitors: any other style would repeat it on each. The user's own
    // style is kept for when one monitor is left; "spanned" itself means it is kept already, or
    // the user chose it.
    if (current != QLatin1String("spanned")) {
      KeepStyle(kept, current);
    }
    if (!SetString(settings, schema, desktop.optionsKey, QStringLiteral("spanned"))) {
      return FailedWith(
          QStringLiteral("the key %1 is locked").arg(QString::fromLatin1(desktop.optionsKey)));
    }
    return Outcome::Done();
  }
  // Back to one monitor. A style the user chose while the picture was spanned stays theirs.
  const QString before = ReadKeptStyle(kept);
  if (!before.isEmpty() && current == QLatin1String("spanned")) {
    SetString(settings, schema, desktop.optionsKey, before);
  }
  QFile::remove(kept);
  return Outcome::Done();
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
  return setPicture(file, false);
}

Outcome GSettingsWallpaper::setPicture(const QString& file, bool spanned) {
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
  // Spread over several monitors, the picture needs the style that spans it.
  if (spanned && !HasKey(schema, desktop_.optionsKey)) {
    return FailedWith(
        QStringLiteral("settings schema %1 has no key %2")
            .arg(QString::fromLatin1(desktop_.schema), QString::fromLatin1(desktop_.optionsKey)));
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
  if (HasKey(schema, desktop_.optionsKey)) {
    if (const Outcome styled = SetStyle(desktop_, settings.get(), schema, file, spanned);
        !styled.ok()) {
      return styled;
    }
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
  return setPicture(files.front().file, true);
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

std::optional<bool> ReadGSettingsBool(const QByteArray& schemaId, const QByteArray& key) {
  const GRef<GSettingsSchema> schema = LookUp(schemaId);
  if (schema.get() == nullptr || !HasKey(schema, key)) {
    return std::nullopt;
  }
  GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema.get(), key.constData());
  const bool boolean =
      g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), G_VARIANT_TYPE_BOOLEAN);
  g_settings_schema_key_unref(schemaKey);
  if (!boolean) {
    return std::nullopt;
  }
  const GRef<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr),
                                 UnrefSettings);
  return g_settings_get_boolean(settings.get(), key.constData()) != FALSE;
}

}  // namespace tessora
