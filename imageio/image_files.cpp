#include "imageio/image_files.h"

#include <exception>
#include <new>

#include "imageio/bmp_codec.h"
#include "imageio/image_error.h"
#include "imageio/jpeg_codec.h"
#include "imageio/picture_formats.h"
#include "imageio/png_unit.h"

namespace tessora {

const char* const kSaveDialogFilter =
    "PNG - Portable Network Graphics|*.png|JPG (77) - Joint Photographic Experts Group|*.jpg|"
    "BMP - Windows Bitmap|*.bmp";

namespace {

// A name with none of the table's extensions is read as a Windows bitmap.
void readByExtension(const std::string& fileName, Bitmap& bitmap) {
  const std::optional<PictureFormat> format = FormatOfExtension(ImageFileExtension(fileName));
  LoadPictureFile(format.value_or(PictureFormat::Bmp), fileName, bitmap);
}

// The first `count` characters of UTF-8 text; a character is never cut in the middle.
std::string leadingCharacters(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t seen = 0; end < text.size(); ++end) {
    const auto byte = static_cast<unsigned char>(text[end]);
    if ((byte & 0xC0) != 0x80 && seen++ == count) {
      break;
    }
  }
  return text.substr(0, end);
}

}  // namespace

std::string ImageFileExtension(const std::string& fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos) {
    return std::string();
  }
  std::string ext = fileName.substr(dot);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return ext;
}

Outcome LoadImageFile(const std::string& FileName, Bitmap& bitmap) {
  try {
    bitmap.setTransparent(false);
    readByExtension(FileName, bitmap);
    return Outcome::Done();
  } catch (const ImageError& e) {
    return Outcome::Failed(*e.detail() != '\0' ? e.detail() : e.what());
  } catch (const std::bad_alloc&) {
    return Outcome::Failed("not enough memory");
  } catch (const std::exception& e) {
    return Outcome::Failed(e.what());
  } catch (...) {
    return Outcome::Failed("Error Reading File!");
  }
}

void SaveComposed(const std::string& FileName, SaveFormat format, const Bitmap& composed) {
  switch (format) {
    case SaveFormat::Png:
      WritePngFile(FileName, composed, clNone);
      return;
    case SaveFormat::Jpeg:
      SaveJpegFile(FileName, composed);
      return;
    case SaveFormat::Bmp:
      SaveBmpFile(FileName, composed);
      return;
  }
}

std::string SaveSizeProblem(SaveFormat format, int width, int height) {
  if (format != SaveFormat::Jpeg || (width <= kJpegMaxDimension && height <= kJpegMaxDimension)) {
    return std::string();
  }
  const std::string most = std::to_string(kJpegMaxDimension);
  return "a JPEG picture is at most " + most + " x " + most + " pixels, not " +
         std::to_string(width) + " x " + std::to_string(height);
}

std::string ResolveSaveName(const std::string& chosenName, SaveFormat format) {
  const std::string ext = ImageFileExtension(chosenName);
  if (ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg") {
    return chosenName;
  }
  switch (format) {
    case SaveFormat::Png:
      return chosenName + ".png";
    case SaveFormat::Jpeg:
      return chosenName + ".jpg";
    case SaveFormat::Bmp:
      return chosenName + ".bmp";
  }
  return chosenName;
}

std::string SavedInfoText(const std::string& fileName) {
  const auto slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
  const std::string file = fileName.substr(folder.size());
  return "saved: " + leadingCharacters(folder, 11) + " ... " + file;
}

}  // namespace tessora
