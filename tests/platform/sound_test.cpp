// The cues against a real sound server: a headless PulseAudio of the test's own with a null
// sink, whose events `pactl subscribe` reports, so every stream a cue opened is counted. Other
// tests run with PulseAudio pointed at a socket that does not exist (main.cpp).
#include "platform/cue_player.h"

#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>

#include "child_process.h"
#include "platform/dbus_call.h"
#include "platform/gio_headers.h"

namespace tessora {
namespace {

using testing::ChildProcess;
using testing::PrivateBus;
using testing::WaitUntil;

// A WAV file's bytes: a RIFF header around the given chunks.
std::vector<std::uint8_t> Riff(const std::string& chunks) {
  std::string bytes = "RIFF" + std::string(4, '\0') + "WAVE" + chunks;
  const auto size = static_cast<std::uint32_t>(bytes.size() - 8);
  for (int i = 0; i < 4; ++i) {
    bytes[4 + i] = static_cast<char>(size >> (8 * i));
  }
  return {bytes.begin(), bytes.end()};
}

std::string Chunk(const char* tag, const std::string& contents) {
  std::string chunk = tag;
  for (int i = 0; i < 4; ++i) {
    chunk += static_cast<char>(contents.size() >> (8 * i));
  }
  return chunk + contents + (contents.size() % 2 == 1 ? std::string(1, '\0') : "");
}

std::string Le(std::uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) {
    s += static_cast<char>(v >> (8 * i));
  }
  return s;
}

std::string Format(unsigned tag, unsigned channels, unsigned rate, unsigned bits) {
  const unsigned frame = channels * bits / 8;
  return Chunk("fmt ", Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * frame, 4) +
                           Le(frame, 2) + Le(bits, 2));
}

// A tone of 16-bit mono samples at 22050 Hz, as the cues are made.
std::string Tone(int milliseconds) {
  std::string samples;
  for (int i = 0; i < 22050 * milliseconds / 1000; ++i) {
    samples +=
        Le(static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 0.1))), 2);
  }
  return samples;
}

TEST(WavSound, OnlyPcmWhoseSizesAgreeIsRead) {
  struct Row {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool read;
  };
  const std::string fmt16 = Format(1, 1, 22050, 16);
  std::vector<std::uint8_t> truncated = Riff(fmt16 + Chunk("data", "abcd"));
  truncated.pop_back();
  const Row rows[] = {
      {"16-bit mono", Riff(fmt16 + Chunk("data", "abcd")), true},
      {"8-bit stereo after an odd chunk",
       Riff(Chunk("LIST", "x") + Format(1, 2, 8000, 8) + Chunk("data", "ab")), true},
      {"data cut short", truncated, false},
      {"half a frame", Riff(fmt16 + Chunk("data", "abc")), false},
      {"no format before the data", Riff(Chunk("data", "abcd") + fmt16), false},
      {"IEEE float", Riff(Format(3, 1, 22050, 32) + Chunk("data", "abcd")), false},
      {"six channels", Riff(Format(1, 6, 22050, 16) + Chunk("data", std::string(12, 'a'))), false},
      {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false},
  };
  for (const Row& row : rows) {
    const std::optional<WavSound> sound = ParseWav(row.bytes);
    EXPECT_EQ(sound.has_value(), row.read) << row.what;
  }
  const std::optional<WavSound> stereo = ParseWav(rows[1].bytes);
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->channels, 2);
  EXPECT_EQ(stereo->rate, 8000u);
  EXPECT_EQ(stereo->samples, (std::vector<std::uint8_t>{'a', 'b'}));
}

QString WriteCue(const QTemporaryDir& dir, const char* name, int milliseconds) {
  const QString path = dir.filePath(QLatin1String(name));
  QFile file(path);
  const std::vector<std::uint8_t> bytes =
      Riff(Format(1, 1, 22050, 16) + Chunk("data", Tone(milliseconds)));
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size())) {
    return {};
  }
  return path;
}

TEST(CuePlayer, WithoutASoundServerEveryCueIsDroppedAtOnce) {
  QTemporaryDir dir;
  const QString cue = WriteCue(dir, "Error.wav", 300);
  QElapsedTimer clock;
  clock.start();
  {
    CuePlayer player(DesktopEventSounds(DesktopKind::Unknown, QDBusConnection(QString())));
    for (int i = 0; i < 6; ++i) {
      player.play(cue.toStdString());
    }
    player.play(dir.filePath(QStringLiteral("missing.wav")).toStdString());
    player.play("");
    WaitUntil([] { return false; }, 200);
    player.play(cue.toStdString());
  }
  EXPECT_LT(clock.elapsed(), 2000);
}

// A PulseAudio of the test's own: no other client, one null sink, a socket in a temporary
// folder; `pactl subscribe` counts the playback streams opened and closed on it.
class SoundServer {
 public:
  SoundServer() {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
      return;
    }
    address_ = QStringLiteral("unix:") + dir_.filePath(QStringLiteral("native"));
    QFile script(dir_.filePath(QStringLiteral("server.pa")));
    if (!script.open(QIODevice::WriteOnly)) {
      return;
    }
    script.write(("load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                  dir_.filePath(QStringLiteral("native")) + "\nload-module module-null-sink\n")
                     .toUtf8());
    script.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.insert(QStringLiteral("PULSE_SERVER"), address_);
    server_.start(QStringLiteral("pulseaudio"),
                  {QStringLiteral("-n"), QStringLiteral("-F"), script.fileName(),
                   QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                   QStringLiteral("--use-pid-file=no"), QStringLiteral("--disable-shm=yes")},
                  env);
    ok_ = WaitUntil([&] { return QFile::exists(dir_.filePath(QStringLiteral("native"))); }) &&
          events_.start(QStringLiteral("pactl"), {QStringLiteral("subscribe")}, env);
    // pactl tells nothing when it has subscribed: the sink's volume changes until it reports
    // a change.
    int volume = 0;
    ok_ = ok_ && WaitUntil([&] {
            seen_ += QString::fromUtf8(events_.process()->readAllStandardOutput());
            if (seen_.contains(QLatin1String("'change' on sink #")) ||
                events_.process()->state() != QProcess::Running) {
              return true;
            }
            QProcess change;
            change.setProcessEnvironment(env);
            change.start(QStringLiteral("pactl"),
                         {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"),
                          QStringLiteral("%1%").arg(40 + 10 * (volume++ % 2))});
            change.waitForFinished(testing::kPatientMs);
            return false;
          });
    ok_ = ok_ && events_.process()->state() == QProcess::Running;
  }
  bool ok() const { return ok_; }
  const QString& address() const { return address_; }
  // Playback streams opened ("new") or closed ("remove") so far.
  int streams(const char* event) {
    seen_ += QString::fromUtf8(events_.process()->readAllStandardOutput());
    return static_cast<int>(
        seen_.count(QStringLiteral("'%1' on sink-input").arg(QLatin1String(event))));
  }

 private:
  QTemporaryDir dir_;
  QString address_;
  ChildProcess server_;
  ChildProcess events_;
  QString seen_;
  bool ok_ = false;
};

void SetSwitch(const char* schema, bool on) {
  GSettings* settings = g_settings_new(schema);
  g_settings_set_boolean(settings, "event-sounds", on ? TRUE : FALSE);
  g_settings_sync();
  g_object_unref(settings);
}

void SetXfconfSwitch(const QDBusConnection& bus, bool on) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
      QStringLiteral("org.xfce.Xfconf"), QStringLiteral("SetProperty"));
  call.setArguments({QStringLiteral("xsettings"), QStringLiteral("/Net/EnableEventSounds"),
                     QVariant::fromValue(QDBusVariant(on))});
  ASSERT_EQ(CallAndWait(bus, call).type(), QDBusMessage::ReplyMessage);
}

// Two cues, the second while the first plays: it replaces it, and each stream is closed once
// played (the null sink plays at a fixed latency of two seconds). Where the desktop's switch is
// off, the server sees no stream at all.
TEST(CuePlayer, CuesReachTheSoundServerUnlessTheDesktopSwitchedEventSoundsOff) {
  SoundServer server;
  if (!server.ok()) {
    GTEST_SKIP() << "no pulseaudio to play to";
  }
  QTemporaryDir dir;
  const std::string first = WriteCue(dir, "ImageAssign.wav", 800).toStdString();
  const std::string second = WriteCue(dir, "Error.wav", 200).toStdString();
  QTemporaryDir xfconfHome;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xfconfHome.path());
  PrivateBus bus(env);
  // xfconfd starts slowly on a busy machine: not within the time the player gives its answer.
  ASSERT_TRUE(bus.activate(QStringLiteral("org.xfce.Xfconf")).isEmpty());
  struct Row {
    const char* desktop;
    DesktopKind kind;
    std::function<void()> setSwitch;
    int streams;
  };
  const Row rows[] = {
      {"GNOME, on", DesktopKind::Gnome, [] { SetSwitch("org.gnome.desktop.sound", true); }, 2},
      {"GNOME, off", DesktopKind::Gnome, [] { SetSwitch("org.gnome.desktop.sound", false); }, 0},
      {"MATE, off", DesktopKind::Mate, [] { SetSwitch("org.mate.sound", false); }, 0},
      {"XFCE, unset", DesktopKind::Xfce, [] {}, 2},
      {"XFCE, off", DesktopKind::Xfce, [&] { SetXfconfSwitch(bus.connection(), false); }, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.desktop);
    row.setSwitch();
    const int opened = server.streams("new");
    const int closed = server.streams("remove");
    CuePlayer player(DesktopEventSounds(row.kind, bus.connection()),
                     server.address().toStdString());
    player.play(first);
    if (row.streams > 0) {
      WaitUntil([&] { return server.streams("new") > opened; });
    }
    player.play(second);
    // Where nothing may play, a second is ample for the switch's answer and a stream to show.
    WaitUntil([&] { return row.streams > 0 && server.streams("remove") - closed >= row.streams; },
              row.streams > 0 ? testing::kPatientMs : 1000);
    EXPECT_EQ(server.streams("new") - opened, row.streams);
    EXPECT_EQ(server.streams("remove") - closed, row.streams);
  }
  SetSwitch("org.gnome.desktop.sound", true);
  SetSwitch("org.mate.sound", true);
}

// The window's last cue is cut, not waited for: the player goes at once and so does its stream.
TEST(CuePlayer, ClosingCutsTheCuePlaying) {
  SoundServer server;
  if (!server.ok()) {
    GTEST_SKIP() << "no pulseaudio to play to";
  }
  QTemporaryDir dir;
  const std::string cue = WriteCue(dir, "SetWallpaper.wav", 5000).toStdString();
  auto player = std::make_unique<CuePlayer>(
      DesktopEventSounds(DesktopKind::Unknown, QDBusConnection(QString())),
      server.address().toStdString());
  player->play(cue);
  ASSERT_TRUE(WaitUntil([&] { return server.streams("new") == 1; }));
  QElapsedTimer clock;
  clock.start();
  player.reset();
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_TRUE(WaitUntil([&] { return server.streams("remove") == 1; }, 2500))
      << "the five-second cue still played";
}

}  // namespace
}  // namespace tessora
