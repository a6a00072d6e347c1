#pragma once

#include <string>

namespace tessora {

/// The six sound cues; each is one WAV file in the folder "wav/" beside the program.
enum class Cue {
  ExamplePainted = 1,  ///< "ExamplePainted.wav": the composition was rendered
  OpenFolder = 2,      ///< "OpenFolder.wav": a list entry's folder was opened
  ImageAssign = 3,     ///< "ImageAssign.wav": the wallpaper was copied to the clipboard
  SetWallpaper = 4,    ///< "SetWallpaper.wav": the wallpaper was set
  ColorStored = 5,     ///< "ColorStored.wav": a colour was picked or the colours swapped
  Error = 6,           ///< "Error.wav": an image file failed to load
};

/// The file name of a cue ("ExamplePainted.wav", ...).
const char* CueFileName(Cue cue);

/// Styles of the information text.
enum class InfoStyle {
  Fixed = 0,  ///< the load failure text "INVALID"
  Small = 1,  ///< every other message
};

/// How the engine reports to its front end. The window implements it with widgets, the
/// command-line tool with lines on stderr, tests with recorders. Every method has a do-nothing
/// default so that a front end implements only what it shows.
class Feedback {
 public:
  virtual ~Feedback() = default;
  /// Shows an information text (the window's information label).
  virtual void ShowInfo(const std::string& text, InfoStyle style) {
    (void)text;
    (void)style;
  }
  /// A command failed, in words for the user. The window shows it as any information text; the
  /// command-line tool prints it even when told to be quiet.
  virtual void ShowFailure(const std::string& text) { ShowInfo(text, InfoStyle::Small); }
  /// A picture file could not be loaded; `reason` is the reader's message. The window plays the
  /// error cue and shows "INVALID"; the command-line tool names the file.
  virtual void ShowLoadFailure(const std::string& path, const std::string& reason) {
    (void)path;
    (void)reason;
  }
  /// Hides the information text; every render starts with this.
  virtual void HideInfo() {}
  /// Plays a sound cue. The document calls it only while the "sound effects" option is on.
  virtual void PlayCue(Cue cue) { (void)cue; }
  /// A picture loads in the background while the window stays usable: `path` is the file of the
  /// newest load under way, or "" once none is any more. Sent only by a document that decodes
  /// away from its own thread; the window shows the busy cursor and the file's name.
  virtual void ShowLoading(const std::string& path) { (void)path; }
  /// A long operation starts (true) or has ended (false): the window disables itself and shows
  /// the busy cursor. Calls nest; the engine sends true once and false once per outermost span.
  virtual void SetBusy(bool busy) { (void)busy; }
};

/// A Feedback that does nothing, for callers that want no reports.
Feedback& SilentFeedback();

}  // namespace tessora
