#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/feedback.h"

namespace tessora::testing {

/// Records what the engine and the image files report, for assertions.
class RecordingFeedback : public Feedback {
 public:
  void ShowInfo(const std::string& text, InfoStyle style) override {
    infos.emplace_back(text, style);
    infoVisible = true;
  }
  void HideInfo() override { infoVisible = false; }
  void ShowLoadFailure(const std::string& path, const std::string& reason) override {
    loadFailures.push_back(path + ": " + reason);
  }
  void PlayCue(Cue cue) override { cues.push_back(cue); }
  void ShowLoading(const std::string& path) override { loading.push_back(path); }
  void SetBusy(bool on) override {
    busyCalls.push_back(on);
    busy = on;
  }

  std::string lastInfo() const { return infos.empty() ? std::string() : infos.back().first; }

  std::vector<std::pair<std::string, InfoStyle>> infos;
  std::vector<std::string> loadFailures;
  std::vector<Cue> cues;
  std::vector<bool> busyCalls;
  std::vector<std::string> loading;
  bool infoVisible = false;
  bool busy = false;
};

}  // namespace tessora::testing
