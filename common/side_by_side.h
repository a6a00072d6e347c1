#pragma once

#include <cstddef>
#include <functional>

namespace tessora {

/// The threads to use for work that splits: `wanted`, or with 0 one a core; never more than
/// `most`, never fewer than one.
unsigned ThreadsFor(unsigned wanted, unsigned most);

/// Calls task(0) ... task(count - 1) on up to `threads` threads including the calling one, and
/// returns when all have returned. Tasks are handed out in order as threads come free; when no
/// thread can be started the calling thread does them all. Returns false when a task returned
/// false or threw (std::bad_alloc, say); the tasks not yet started are then skipped.
bool RunSideBySide(std::size_t count, unsigned threads,
                   const std::function<bool(std::size_t)>& task);

}  // namespace tessora
