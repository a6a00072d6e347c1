#pragma once

#include "engine/document.h"
#include "engine/feedback.h"

namespace tessora {

/// Gives the document the loader for image files dropped on or listed in its panels; the one
/// place that ties the window to the image readers.
void InstallImageLoader(Document& document, Feedback& feedback);

}  // namespace tessora
