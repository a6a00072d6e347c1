// Synthesises the six sound cues as small WAV files (16-bit mono PCM, 22050 Hz): short sine
// chimes with a soft attack and an exponential decay, so that none of them clicks or drones.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct Note {
  double frequency;
  double start;     // seconds
  double duration;  // seconds
  double level;     // 0..1
};

struct Cue {
  const char* file;
  double length;  // seconds
  std::vector<Note> notes;
};

void addNote(std::vector<double>& samples, const Note& note) {
  const auto first = static_cast<std::size_t>(note.start * kRate);
  const auto count = static_cast<std::size_t>(note.duration * kRate);
  for (std::size_t i = 0; i < count && first + i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double attack = std::min(1.0, t / 0.005);
    const double decay = std::exp(-t * 6.0 / note.duration);
    const double wave =
        std::sin(2 * kPi * note.frequency * t) + 0.25 * std::sin(4 * kPi * note.frequency * t);
    samples[first + i] += note.level * attack * decay * wave / 1.25;
  }
}

void put16(std::ofstream& out, std::uint16_t v) {
  const char bytes[] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  out.write(bytes, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}

bool writeWav(const std::string& path, const std::vector<double>& samples) {
  std::ofstream out(path, std::ios::binary);
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, 1);  // mono
  put32(out, kRate);
  put32(out, kRate * 2);
  put16(out, 2);
  put16(out, 16);
  out.write("data", 4);
  put32(out, dataBytes);
  for (const double s : samples) {
    const double clamped = std::max(-1.0, std::min(1.0, s));
    put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped * 30000)));
  }
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  const std::vector<Cue> cues = {
      {"ExamplePainted.wav", 0.30, {{1046.5, 0.0, 0.15, 0.4}, {1318.5, 0.08, 0.22, 0.4}}},
      {"OpenFolder.wav", 0.20, {{784.0, 0.0, 0.10, 0.5}, {523.3, 0.06, 0.14, 0.5}}},
      {"ImageAssign.wav",
       0.36,
       {{523.3, 0.0, 0.14, 0.4}, {659.3, 0.08, 0.14, 0.4}, {784.0, 0.16, 0.20, 0.4}}},
      {"SetWallpaper.wav",
       0.50,
       {{523.3, 0.0, 0.30, 0.35}, {784.0, 0.10, 0.30, 0.35}, {1046.5, 0.20, 0.30, 0.35}}},
      {"ColorStored.wav", 0.14, {{1760.0, 0.0, 0.14, 0.4}}},
      {"Error.wav", 0.36, {{329.6, 0.0, 0.18, 0.6}, {261.6, 0.14, 0.22, 0.6}}},
  };
  const std::string folder = std::string(argv[1]) + "/";
  for (const Cue& cue : cues) {
    std::vector<double> samples(static_cast<std::size_t>(cue.length * kRate), 0.0);
    for (const Note& note : cue.notes) {
      addNote(samples, note);
    }
    if (!writeWav(folder + cue.file, samples)) {
      std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), cue.file);
      return 1;
    }
  }
  return 0;
}
