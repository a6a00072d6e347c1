#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/read_file.h"

namespace tessora {

/// The largest settings or list file read: far beyond any real one, small enough that a file
/// that is not ours (or /dev/zero behind a link) cannot take the program's memory.
inline constexpr std::uint64_t kMaxTextFileBytes = 1 << 20;

/// Reads a settings or list file whole (see ReadWholeFile); anything but Ok or Missing is a file
/// that is there but cannot be used, and is not written over either.
ReadResult ReadTextFile(const std::string& path, std::string& contents);

/// Whether a ReadTextFile result means a file is there that cannot be used.
inline bool IsUnusable(ReadResult result) {
  return result != ReadResult::Ok && result != ReadResult::Missing;
}

/// Replaces the file with `contents` through a temporary file in the same folder that is written,
/// flushed to disk and renamed over the target, so that a crash or a full disk leaves either the
/// old or the new file, never a mix (see AtomicFile: links, permissions). What ReadTextFile would
/// refuse (a FIFO or a device in the file's place, a file too large to be ours) is left alone.
/// Returns false on any failure, with errno saying why (0 when the system had no part in it), the
/// old file intact and no temporary file left behind.
bool WriteFileAtomically(const std::string& path, std::string_view contents);

/// True when a regular file (not a folder) exists at `path`, following symbolic links.
bool IsExistingFile(const std::string& path);

}  // namespace tessora
