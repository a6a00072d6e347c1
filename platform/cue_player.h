#pragma once

#include <QObject>
#include <QPointer>

#include "platform/services.h"

class QSoundEffect;

namespace tessora {

/// Plays WAV cues with QSoundEffect, one at a time: a new cue stops the one still playing.
/// Each cue gets its own effect, deleted when it ends, so no audio stream stays open between
/// cues. Never waits: without an audio device the effect fails quietly on its own.
class CuePlayer : public QObject, public SoundPlayer {
  Q_OBJECT

 public:
  CuePlayer() = default;
  ~CuePlayer() override;
  CuePlayer(const CuePlayer&) = delete;
  CuePlayer& operator=(const CuePlayer&) = delete;
  void play(const std::string& wavPath) override;

 private:
  void stopCurrent();
  QPointer<QSoundEffect> current_;
};

}  // namespace tessora
