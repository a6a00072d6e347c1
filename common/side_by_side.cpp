#include "common/side_by_side.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace tessora {

unsigned ThreadsFor(unsigned wanted, unsigned most) {
  if (wanted == 0) {
    wanted = std::thread::hardware_concurrency();
  }
  return std::max(1u, std::min(wanted, most));
}

bool RunSideBySide(std::size_t count, unsigned threads,
                   const std::function<bool(std::size_t)>& task) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  auto worker = [&] {
    for (std::size_t i; !failed.load() && (i = next.fetch_add(1)) < count;) {
      bool done = false;
      try {
        done = task(i);
      } catch (...) {
        done = false;
      }
      if (!done) {
        failed = true;
      }
    }
  };
  const std::size_t helpers = std::min<std::size_t>(std::max(threads, 1u), count);
  std::vector<std::thread> pool;
  try {
    for (std::size_t i = 1; i < helpers; ++i) {
      pool.emplace_back(worker);
    }
  } catch (...) {  // no more threads (std::system_error): fewer do the work
  }
  worker();
  for (std::thread& t : pool) {
    t.join();
  }
  return !failed;
}

}  // namespace tessora
