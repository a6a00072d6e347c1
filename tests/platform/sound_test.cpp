// Cues without any audio device (main.cpp points PulseAudio at a socket that does not exist).
#include "platform/cue_player.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "child_process.h"

namespace tessora {
namespace {

// A short 16-bit mono PCM WAV file with a tone.
void WriteWav(const QString& path, int milliseconds) {
  const quint32 rate = 22050;
  const quint32 samples = rate * static_cast<quint32>(milliseconds) / 1000;
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + samples * 2);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << rate << quint32(rate * 2) << quint16(2)
      << quint16(16);
  out.writeRawData("data", 4);
  out << quint32(samples * 2);
  for (quint32 i = 0; i < samples; ++i) {
    out << static_cast<qint16>(8000 * std::sin(i * 0.1));
  }
}

TEST(CuePlayer, EveryCueReturnsAtOnceWithoutAnAudioDevice) {
  QTemporaryDir dir;
  QStringList cues;
  for (const char* name :
       {"ExamplePainted", "Error", "ImageAssign", "SetWallpaper", "Clear", "Tile"}) {
    cues << dir.filePath(QLatin1String(name) + QLatin1String(".wav"));
    WriteWav(cues.last(), 300);
  }
  {
    CuePlayer player;
    QElapsedTimer clock;
    clock.start();
    for (const QString& cue : cues) {
      player.play(cue.toStdString());
    }
    player.play(dir.filePath(QStringLiteral("missing.wav")).toStdString());
    player.play(cues.first().toStdString());
    EXPECT_LT(clock.elapsed(), 500);
    // Let the effects load, fail or play while the player lives.
    testing::WaitUntil([] { return false; }, 500);
    player.play(cues.last().toStdString());
  }
  testing::WaitUntil([] { return false; }, 100);
}

TEST(CuePlayer, AMissingFileIsSilent) {
  CuePlayer player;
  QElapsedTimer clock;
  clock.start();
  player.play("/nonexistent/wav/Error.wav");
  player.play("");
  EXPECT_LT(clock.elapsed(), 100);
}

}  // namespace
}  // namespace tessora
