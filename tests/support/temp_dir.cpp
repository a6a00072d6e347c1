#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace tessora::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tessora-XXXXXX").string();
  // A test that carried on without its folder would write wherever the path led.
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder from " + pattern);
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::size_t TempDir::entryCount() const {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(path_)) {
    ++n;
  }
  return n;
}

}  // namespace tessora::testing
