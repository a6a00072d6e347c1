#include "support/wait.h"

#include <chrono>
#include <thread>

namespace tessora::testing {

bool WaitFor(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& idle) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return done();
    }
    if (idle) {
      idle();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace tessora::testing
