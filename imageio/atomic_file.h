#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessora {

/// Writes a file so that readers only ever see the old or the complete new content: the bytes go
/// to a temporary file beside the target, which commit() flushes to disk and renames over the
/// target. Without a successful commit() the temporary file is removed again and the target is
/// left as it was.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Creates the temporary file; false when the folder does not allow it.
  bool open();
  /// Appends bytes; false once anything has failed (failures are sticky).
  bool write(const void* data, std::size_t size);
  /// Flushes, syncs, closes and renames over the target; false (and no target change) on failure.
  bool commit();
  const std::string& target() const { return target_; }

 private:
  bool flushBuffer();
  void discard();

  std::string target_;
  std::string tempName_;
  int fd_ = -1;
  bool failed_ = false;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace tessora
