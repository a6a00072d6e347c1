#include "common/side_by_side.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <vector>

namespace tessora::testing {
namespace {

TEST(SideBySide, EveryTaskRunsOnceWhateverTheThreads) {
  for (unsigned threads : {0u, 1u, 2u, 7u, 64u}) {
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{300}}) {
      std::vector<std::atomic<int>> runs(count);
      EXPECT_TRUE(RunSideBySide(count, threads, [&](std::size_t i) {
        ++runs[i];
        return true;
      }));
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(runs[i].load(), 1) << "task " << i << " of " << count << ", " << threads;
      }
    }
  }
}

TEST(SideBySide, TasksRunOnSeveralThreadsAtOnce) {
  // Each task waits until a second one is running: with one thread this would never end.
  std::atomic<int> running{0};
  std::mutex m;
  std::set<std::thread::id> ids;
  RunSideBySide(2, 2, [&](std::size_t) {
    ++running;
    while (running.load() < 2) {
      std::this_thread::yield();
    }
    std::lock_guard<std::mutex> lock(m);
    ids.insert(std::this_thread::get_id());
    return true;
  });
  EXPECT_EQ(ids.size(), 2u);
  EXPECT_TRUE(ids.count(std::this_thread::get_id()) == 1) << "the calling thread takes part";
}

TEST(SideBySide, AFailingOrThrowingTaskFailsTheWholeAndStopsTheRest) {
  for (bool throws : {false, true}) {
    std::atomic<int> started{0};
    const bool ok = RunSideBySide(1000, 1, [&](std::size_t i) {
      ++started;
      if (i == 3 && throws) {
        throw std::bad_alloc();
      }
      return i != 3;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(started.load(), 4) << "one thread: the tasks after the failure are skipped";
  }
}

}  // namespace
}  // namespace tessora::testing
