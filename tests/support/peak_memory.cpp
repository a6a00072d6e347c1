#include "support/peak_memory.h"

#include <malloc.h>

#include <fstream>
#include <string>

namespace tessora::testing {
namespace {

std::int64_t statusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) {
      return std::stoll(line.substr(key.size() + 1));
    }
  }
  return -1;
}

}  // namespace

std::int64_t ExtraPeakKilobytes(const std::function<void()>& action) {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::int64_t before = statusKilobytes("VmRSS");
  action();
  return statusKilobytes("VmHWM") - before;
}

}  // namespace tessora::testing
