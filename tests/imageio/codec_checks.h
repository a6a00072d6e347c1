#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tessora::testing {

/// Runs `action` and checks that it throws ImageError with exactly `message`.
::testing::AssertionResult FailsWith(const std::function<void()>& action,
                                     const std::string& message);

/// The conformance suites' folder (../shared/testdata), or "" when it is missing. Under CI
/// (CI=true) a missing folder is a test failure: the suites are always installed there.
std::string ConformanceFolder(const std::string& suite);

/// The numbers of a flat JSON array.
std::vector<int> ReadJsonNumbers(const std::string& path);

}  // namespace tessora::testing
