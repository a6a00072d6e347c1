#include "ui/image_loader.h"

#include <utility>

#include "imageio/image_files.h"

namespace tessora {

// The reader works on a copy: a JPEG or GIF reader that fails half-way has already resized its
// target, and the panel must keep the picture it shows. The PNG reader blends over the previous
// content, so the copy starts as the target. A failed load still clears the transparent flag, as
// every load does.
void InstallImageLoader(Document& document, Feedback& feedback) {
  document.setImageLoader([&feedback](const std::string& path, Bitmap& target) {
    Bitmap scratch(target);
    if (!LoadImageFile(path, scratch, feedback)) {
      target.setTransparent(false);
      return false;
    }
    target = std::move(scratch);
    return true;
  });
}

}  // namespace tessora
