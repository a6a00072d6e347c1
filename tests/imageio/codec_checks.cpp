#include "codec_checks.h"

#include <unistd.h>

#include <cstdlib>

#include "imageio/image_error.h"
#include "support/files.h"

namespace tessora::testing {

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

std::vector<int> ReadJsonNumbers(const std::string& path) {
  std::vector<int> numbers;
  int value = 0;
  bool inNumber = false;
  for (char c : readFile(path)) {
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

}  // namespace tessora::testing
