#include "test_support.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "imageio/image_error.h"

namespace tessora::test {

::testing::AssertionResult SamePicture(const Bitmap& actual, const Bitmap& expected,
                                       int tolerance) {
  if (actual.width() != expected.width() || actual.height() != expected.height()) {
    return ::testing::AssertionFailure()
           << "size " << actual.width() << " x " << actual.height() << ", expected "
           << expected.width() << " x " << expected.height();
  }
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      const std::uint8_t* a = actual.scanLine(y) + 3 * x;
      const std::uint8_t* e = expected.scanLine(y) + 3 * x;
      for (int c = 0; c < 3; ++c) {
        if (std::abs(a[c] - e[c]) > tolerance) {
          return ::testing::AssertionFailure()
                 << "pixel (" << x << ", " << y << ") is " << int{a[0]} << "," << int{a[1]} << ","
                 << int{a[2]} << ", expected " << int{e[0]} << "," << int{e[1]} << "," << int{e[2]};
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult FailsWith(const std::function<void()>& action,
                                     const std::string& message) {
  try {
    action();
  } catch (const ImageError& e) {
    if (e.what() == message) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "failed with \"" << e.what() << "\", expected \"" << message << "\"";
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "threw a non-ImageError: " << e.what();
  }
  return ::testing::AssertionFailure() << "did not fail, expected \"" << message << "\"";
}

Bitmap PatternBitmap(int width, int height, int seed) {
  Bitmap b(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      b.setPixel(x, y, RGB(x * 7 + seed, y * 13 + 2 * seed, (x + y) * 5 + 3 * seed));
    }
  }
  return b;
}

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/tessora-imageio-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  for (const std::string& name : FilesIn(path_, "")) {
    ::unlink(path(name).c_str());
  }
  ::rmdir(path_.c_str());
}

std::string ConformanceFolder(const std::string& suite) {
  const std::string folder = std::string(TESSORA_TESTDATA_DIR) + "/" + suite;
  if (::access(folder.c_str(), R_OK) == 0) {
    return folder;
  }
  const char* ci = std::getenv("CI");
  if (ci != nullptr && std::string(ci) == "true") {
    ADD_FAILURE() << "conformance suite missing under CI: " << folder;
  }
  return std::string();
}

std::vector<std::string> FilesIn(const std::string& folder, const std::string& ending) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    if (name.size() >= ending.size() &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<int> ReadJsonNumbers(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<int> numbers;
  int value = 0;
  bool inNumber = false;
  for (char c : text.str()) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      inNumber = true;
    } else if (inNumber) {
      numbers.push_back(value);
      value = 0;
      inNumber = false;
    }
  }
  return numbers;
}

}  // namespace tessora::test
