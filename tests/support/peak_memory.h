#pragma once

#include <cstdint>
#include <functional>

namespace tessora::testing {

// ThreadSanitizer keeps shadow memory beside every byte the program touches, several times its
// size, so the resident memory says nothing about a reader's cost in its build.
#if defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryTellsTheReadersCost = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kResidentMemoryTellsTheReadersCost = false;
#else
constexpr bool kResidentMemoryTellsTheReadersCost = true;
#endif
#else
constexpr bool kResidentMemoryTellsTheReadersCost = true;
#endif

// AddressSanitizer keeps freed blocks in quarantine, resident, to catch a use after the free: a
// bound on what a step costs beyond what it keeps holds only in builds without it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreedMemoryIsKept = true;
#else
constexpr bool kFreedMemoryIsKept = false;
#endif

/// How far the process's resident memory rose above what it held before `action`, in KiB. Freed
/// memory the allocator still holds is given back and the kernel's peak is reset first, so that
/// neither an earlier test's peak nor memory left over from it can hide this one's.
std::int64_t ExtraPeakKilobytes(const std::function<void()>& action);

}  // namespace tessora::testing
