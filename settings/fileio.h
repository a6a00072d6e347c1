#pragma once

#include <string>
#include <string_view>

namespace tessora {

enum class ReadResult { Ok, Missing, Failed };

/// Reads the whole file into `contents`. Missing means nothing is there (or a path component is
/// missing); a folder or an unreadable file is Failed.
ReadResult readWholeFile(const std::string& path, std::string& contents);

/// Replaces the file with `contents` through a temporary file in the same folder that is written,
/// flushed to disk and renamed over the target, so that a crash or a full disk leaves either the
/// old or the new file, never a mix. A symbolic link is followed: its target is replaced. An
/// existing file keeps its permission bits. Returns false on any failure, the old file intact and
/// no temporary file left behind.
bool writeFileAtomically(const std::string& path, std::string_view contents);

/// True when a regular file (not a folder) exists at `path`, following symbolic links.
bool isExistingFile(const std::string& path);

}  // namespace tessora
