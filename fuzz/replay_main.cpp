// Without libFuzzer a fuzz target becomes a program that replays inputs: every file named on the
// command line and every file in every folder named there. An input that makes the target crash,
// abort or trip a sanitizer fails the run as it would under libFuzzer; its name is printed before
// it runs, so the culprit is known even when the process dies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// Name order, so that a run is repeatable. Names starting with a dot (.gitkeep) are not inputs.
std::vector<fs::path> InputsIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  const std::streamsize size = in ? static_cast<std::streamsize>(in.tellg()) : -1;
  // A heap block of exactly the input's size, as libFuzzer hands over, so that AddressSanitizer
  // sees a read one byte past the end.
  const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size > 0 ? size : 0]);
  if (size < 0 || !in.seekg(0) || !in.read(reinterpret_cast<char*>(data.get()), size)) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  std::fprintf(stderr, "%s\n", file.c_str());
  LLVMFuzzerTestOneInput(data.get(), static_cast<std::size_t>(size));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path path = argv[i];
    std::error_code error;
    const std::vector<fs::path> files =
        fs::is_directory(path, error) ? InputsIn(path) : std::vector<fs::path>{path};
    for (const fs::path& file : files) {
      if (!fs::exists(file, error)) {
        std::fprintf(stderr, "no such file or folder: %s\n", file.c_str());
        ok = false;
        continue;
      }
      ok = Replay(file) && ok;
      ++replayed;
    }
  }
  std::printf("%d inputs replayed\n", replayed);
  return ok ? 0 : 1;
}
