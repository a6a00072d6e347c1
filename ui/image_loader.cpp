#include "ui/image_loader.h"

namespace tessora {

// The readers of imageio/ are not part of the build yet; until they are, no file loads and the
// panels keep what they show.
void InstallImageLoader(Document& document, Feedback& feedback) {
  (void)feedback;
  document.setImageLoader([](const std::string&, Bitmap&) { return false; });
}

}  // namespace tessora
