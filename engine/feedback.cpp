#include "engine/feedback.h"

namespace tessora {

const char* CueFileName(Cue cue) {
  switch (cue) {
    case Cue::ExamplePainted:
      return "ExamplePainted.wav";
    case Cue::OpenFolder:
      return "OpenFolder.wav";
    case Cue::ImageAssign:
      return "ImageAssign.wav";
    case Cue::SetWallpaper:
      return "SetWallpaper.wav";
    case Cue::ColorStored:
      return "ColorStored.wav";
    case Cue::Error:
      return "Error.wav";
  }
  return "";
}

Feedback& SilentFeedback() {
  static Feedback silent;
  return silent;
}

}  // namespace tessora
