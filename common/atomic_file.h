#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessora {

/// Writes a file so that readers only ever see the old or the complete new content: the bytes go
/// to an unnamed temporary file in the target's folder (a named one where the file system has no
/// unnamed files), which commit() flushes to disk and renames over the target. Without a
/// successful commit() the target is left as it was and nothing of the temporary file remains; a
/// writer killed mid-way leaves at most a named temporary file, which the next write to the same
/// target removes.
/// A target that is a symbolic link stays one: the file it names is replaced, or created when it
/// does not exist yet. A link another user made in a sticky folder everyone may write to (/tmp)
/// is not followed, whether it stands for the file or for a folder on its path, as the kernel's
/// protection of such folders would not follow it: the write fails and nothing is touched. A
/// replaced file keeps its permissions, and a file that a plain write would not be allowed to
/// change is not replaced either. A target that is not a regular file (a device, a pipe, a
/// standard stream such as /dev/stdout) is written directly, as any program writes to a path: it
/// is never replaced, and for it the old-or-new promise cannot hold. A FIFO or a file another
/// user made in such a folder is refused before it is opened, as the kernel's protection of
/// FIFOs and files there would refuse it: rather than waiting for a reader that may never come,
/// or writing into a file that stays theirs. open() walks the path
/// name by name, each looked up in a descriptor of the folder before it, and everything after
/// works on the folder and file it found: a name swapped for a link in between is not followed.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Creates the temporary file (or opens a special file); false when a plain write to the target
  /// would fail too.
  bool open();
  /// Appends bytes; false once anything has failed (failures are sticky).
  bool write(const void* data, std::size_t size);
  /// Flushes, syncs, closes and renames over the target; false (and no target change) on failure.
  bool commit();
  const std::string& target() const { return target_; }
  /// The system's error number of the first failure; 0 when nothing failed in the system.
  int error() const { return error_; }
  /// The system's words for error() ("No space left on device"), or "" when it is 0; a folder
  /// that takes no new file is named ("the folder /x/ takes no new files: Permission denied").
  std::string failureReason() const;

 private:
  bool openDirect();
  bool openReplacement(const struct stat* old);
  bool createTemporary();
  bool giveTemporaryAName();
  bool finishDirect();
  bool flushBuffer();
  bool fail(int error);
  void discard();
  void closeFolder();

  std::string target_;
  std::string path_;          // the target with its links followed: where the bytes end up
  std::string name_;          // the target's name in folder_
  std::string tempName_;      // the temporary file's name in folder_
  int folder_ = -1;           // the folder the target is in, reached without following a link
  int entry_ = -1;            // the existing target itself, not followed (O_PATH)
  std::string refusal_;       // a link not followed, a FIFO not opened: see the class comment
  std::string deniedFolder_;  // the folder that refused the temporary file
  int fd_ = -1;
  bool direct_ = false;
  bool unnamed_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace tessora
