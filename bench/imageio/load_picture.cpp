// Loads one picture file as the window does and prints how long it took, the peak memory of the
// process and the outcome: the measure for the hostile files of bench/hostile_pictures.py.
// usage: tessora_load_picture FILE
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "engine/bitmap.h"
#include "imageio/image_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  tessora::Bitmap bitmap(4, 4);
  const auto start = std::chrono::steady_clock::now();
  const tessora::Outcome result = tessora::LoadImageFile(argv[1], bitmap);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s: %.3f s, peak %ld MB, %s %dx%d%s%s\n", argv[1], took.count(),
              usage.ru_maxrss / 1024, result.ok() ? "loaded" : "refused", bitmap.width(),
              bitmap.height(), result.ok() ? "" : ": ", result.reason().c_str());
  return result.ok() ? 0 : 1;
}
