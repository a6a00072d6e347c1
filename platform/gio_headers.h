#pragma once

// GLib's macros use C casts and narrowing conversions that our warning flags reject.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"
#include <gio/gio.h>
// The back end behind a GSettings object, to tell whether anything is stored at all.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#pragma GCC diagnostic pop
