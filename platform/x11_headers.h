#pragma once

// Xlib's macros use C casts and narrowing conversions that our warning flags reject.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#pragma GCC diagnostic pop
