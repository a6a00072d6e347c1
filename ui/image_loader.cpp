#include "ui/image_loader.h"

#include "imageio/image_files.h"

namespace tessora {

// The readers decode into a buffer of their own and hand it over only when the whole file was
// read, so a failed load leaves the panel's picture as it was.
void InstallImageLoader(Document& document, Feedback& feedback) {
  document.setImageLoader([&feedback](const std::string& path, Bitmap& target) {
    return LoadImageFile(path, target, feedback);
  });
}

}  // namespace tessora
