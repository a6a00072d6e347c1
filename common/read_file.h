#pragma once

#include <cstdint>
#include <string>

namespace tessora {

enum class ReadResult {
  Ok,
  Missing,     ///< nothing there, or a folder on the way is missing
  CannotOpen,  ///< there, but it cannot be opened (permissions and the like)
  NotRegular,  ///< a folder, a FIFO, a device...
  TooLarge,    ///< larger than the reader allows
  Failed,      ///< a read error
};

/// Why a read did not succeed, for a message: "is not a regular file" and the like.
const char* ReadFailureText(ReadResult result);

/// Reads the whole of a regular file into `contents` (a std::string or a vector of bytes), at
/// most `maxBytes`. The file is opened without blocking, so a FIFO or a device in its place
/// cannot stall the caller; only regular files are read. `contents` is empty after a failure.
template <typename Bytes>
ReadResult ReadWholeFile(const std::string& path, std::uint64_t maxBytes, Bytes& contents);

}  // namespace tessora
