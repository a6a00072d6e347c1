#pragma once

#include <optional>
#include <string>

#include "common/outcome.h"
#include "engine/bitmap.h"

namespace tessora {

/// The formats a composed wallpaper is saved in.
enum class SaveFormat { Png, Jpeg, Bmp };

/// The save dialog's filter: description and pattern pairs, separated by "|".
extern const char* const kSaveDialogFilter;

/// The extension of a file name: the text from its last "." to the end, lower-cased in A to Z
/// only, or "" when there is no "." or a "/" follows it.
std::string ImageFileExtension(const std::string& fileName);

/// Reads an image file into the bitmap, the reader chosen by the extension alone (".gif", ".jpg",
/// ".jpeg", ".png", ".webp", ".avif", ".heic", ".heif", ".tif", ".tiff", ".jxl", anything else as
/// a Windows bitmap). Clears the bitmap's transparent flag
/// first. A failed read keeps the pixels and says why in a few words ("does not exist", "not a
/// PNG file", "truncated"), else the reader's message; it never throws. What the user is told
/// is the front end's business.
Outcome LoadImageFile(const std::string& FileName, Bitmap& bitmap);

/// Writes the composed bitmap in `format`. Failures pass on as ImageError with the writer's
/// message.
void SaveComposed(const std::string& FileName, SaveFormat format, const Bitmap& composed);

/// Why a picture of width x height cannot be saved in `format`, in words for the user, or ""
/// when it can: a JPEG file's sides end at kJpegMaxDimension. Lets a front end refuse before it
/// spends the time composing.
std::string SaveSizeProblem(SaveFormat format, int width, int height);

/// The name "Save As" writes to for the name chosen in the dialog and the format of the selected
/// filter entry: the chosen name when it ends in ".bmp", ".png", ".jpg" or ".jpeg", otherwise the
/// name with the format's extension appended.
std::string ResolveSaveName(const std::string& chosenName, SaveFormat format);

/// The information text after saving: "saved: " + the first 11 characters of the folder part
/// (with its trailing "/") + " ... " + the file part.
std::string SavedInfoText(const std::string& fileName);

}  // namespace tessora
