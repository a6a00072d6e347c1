#pragma once

#include <optional>
#include <string>
#include <utility>

#include "engine/bitmap.h"
#include "engine/feedback.h"

namespace tessora {

/// Save format codes; they equal the positions of the save dialog's filter entries.
enum SaveFormat { kSavePng = 1, kSaveJpeg = 2, kSaveBmp = 3 };

/// The save dialog's filter: description and pattern pairs, separated by "|".
extern const char* const kSaveDialogFilter;

/// The kinds of picture file LoadImageFile reads, in words for the user:
/// "PNG, JPEG, GIF, BMP, WebP, AVIF, HEIF/HEIC, TIFF and JPEG XL".
extern const char* const kLoadableFormats;

/// The extension of a file name: the text from its last "." to the end, lower-cased in A to Z
/// only, or "" when there is no "." or a "/" follows it.
std::string ImageFileExtension(const std::string& fileName);

/// The outcome of loading a picture file: ok, or why not in a few words ("does not exist",
/// "not a PNG file", "truncated"), else the reader's message.
struct LoadResult {
  // Not explicit: a loader with no reason to give (a test's) may answer with a plain bool.
  LoadResult(bool loaded, std::string why = std::string())  // NOLINT(google-explicit-constructor)
      : ok(loaded), reason(std::move(why)) {}
  explicit operator bool() const { return ok; }
  bool ok;
  std::string reason;
};

/// Reads an image file into the bitmap, the reader chosen by the extension alone (".gif", ".jpg",
/// ".jpeg", ".png", ".webp", ".avif", ".heic", ".heif", ".tif", ".tiff", ".jxl", anything else as
/// a Windows bitmap). Clears the bitmap's transparent flag
/// first. A failed read keeps the pixels and says why; it never throws. What the user is told
/// is the front end's business.
LoadResult LoadImageFile(const std::string& FileName, Bitmap& bitmap);

/// Writes the composed bitmap in a format of SaveFormat (other codes write nothing) while the
/// front end shows itself busy. Failures pass on as ImageError with the writer's message.
void SaveComposed(const std::string& FileName, int format, const Bitmap& composed,
                  Feedback& feedback);

/// Why a picture of width x height cannot be saved in a format of SaveFormat, in words for the
/// user, or "" when it can: a JPEG file's sides end at kJpegMaxDimension. Lets a front end refuse
/// before it spends the time composing.
std::string SaveSizeProblem(int format, int width, int height);

/// The name "Save As" writes to for the name chosen in the dialog and the selected filter entry:
/// the chosen name when it ends in ".bmp", ".png", ".jpg" or ".jpeg", otherwise the name with the
/// filter entry's extension appended; nullopt for an unknown entry.
std::optional<std::string> ResolveSaveName(const std::string& chosenName, int filterIndex);

/// The information text after saving: "saved: " + the first 11 characters of the folder part
/// (with its trailing "/") + " ... " + the file part.
std::string SavedInfoText(const std::string& fileName);

}  // namespace tessora
