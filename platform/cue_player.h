#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/event_sounds.h"
#include "platform/services.h"
#include "platform/wav_sound.h"

namespace tessora {

class PulseCueOutput;

/// Plays WAV cues through the desktop's sound server (PulseAudio, or PipeWire's PulseAudio
/// service) on libpulse's own thread, one at a time: a new cue cuts the one still playing.
/// Each cue is a stream of its own, closed when it has played, so no stream stays open between
/// cues. Never waits: without a server the cue is dropped, and closing cuts the cue short.
/// The desktop's event-sounds switch is asked before each cue.
class CuePlayer : public SoundPlayer {
 public:
  /// `server`: the server to play to, as libpulse names servers ("unix:/run/..."); empty for
  /// the desktop's own. No server is ever started for us.
  explicit CuePlayer(std::unique_ptr<EventSounds> eventSounds, std::string server = {});
  ~CuePlayer() override;
  CuePlayer(const CuePlayer&) = delete;
  CuePlayer& operator=(const CuePlayer&) = delete;
  void play(const std::string& wavPath) override;

 private:
  std::shared_ptr<const WavSound> load(const std::string& wavPath);

  std::unique_ptr<EventSounds> eventSounds_;
  std::unique_ptr<PulseCueOutput> output_;
  std::map<std::string, std::shared_ptr<const WavSound>> loaded_;
  unsigned requests_ = 0;
};

}  // namespace tessora
