#include "platform/cue_player.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace tessora {

CuePlayer::~CuePlayer() {
  stopCurrent();
}

void CuePlayer::stopCurrent() {
  if (current_ != nullptr) {
    current_->stop();
    current_->deleteLater();
    current_ = nullptr;
  }
}

void CuePlayer::play(const std::string& wavPath) {
  stopCurrent();
  const QString path = QString::fromStdString(wavPath);
  // Without an output device an effect only warns, and leaves events behind for objects
  // that no longer exist when it is replaced.
  if (!QFileInfo(path).isFile() || QMediaDevices::defaultAudioOutput().isNull()) {
    return;
  }
  auto* effect = new QSoundEffect(this);
  current_ = effect;
  auto finish = [this, effect] {
    if (current_ == effect) {
      current_ = nullptr;
    }
    effect->deleteLater();
  };
  // isPlaying() stays true without an audio device: the effect is only dropped on an error
  // or when it really ends, or replaced by the next cue.
  connect(effect, &QSoundEffect::playingChanged, effect, [effect, finish] {
    if (!effect->isPlaying()) {
      finish();
    }
  });
  connect(effect, &QSoundEffect::statusChanged, effect, [effect, finish] {
    if (effect->status() == QSoundEffect::Error) {
      finish();
    }
  });
  effect->setSource(QUrl::fromLocalFile(path));
  effect->play();  // starts once the file is loaded
}

}  // namespace tessora
