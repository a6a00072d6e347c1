#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "engine/feedback.h"

namespace tessora::test {

/// Same size and every channel within `tolerance`; the message names the first differing pixel.
::testing::AssertionResult SamePicture(const Bitmap& actual, const Bitmap& expected,
                                       int tolerance = 0);

/// Runs `action` and checks that it throws ImageError with exactly `message`.
::testing::AssertionResult FailsWith(const std::function<void()>& action,
                                     const std::string& message);

/// A bitmap of the pattern: every pixel a different colour, so misplaced pixels show.
Bitmap PatternBitmap(int width, int height, int seed = 0);

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  std::string path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// The conformance suites' folder (../shared/testdata), or "" when it is missing. Under CI
/// (CI=true) a missing folder is a test failure: the suites are always installed there.
std::string ConformanceFolder(const std::string& suite);

/// The file names in a folder with the given ending, sorted.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& ending);

/// The numbers of a flat JSON array.
std::vector<int> ReadJsonNumbers(const std::string& path);

/// Records what a loader reports.
class RecordingFeedback : public Feedback {
 public:
  void ShowInfo(const std::string& text, InfoStyle style) override {
    infos.push_back(text);
    styles.push_back(style);
  }
  void PlayCue(Cue cue) override { cues.push_back(cue); }
  void SetBusy(bool busy) override { busy_.push_back(busy); }
  std::vector<std::string> infos;
  std::vector<InfoStyle> styles;
  std::vector<Cue> cues;
  std::vector<bool> busy_;
};

}  // namespace tessora::test
