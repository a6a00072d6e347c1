#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessora::testing {

using Bytes = std::vector<std::uint8_t>;

/// Writes `contents` as the whole file; false when it cannot be written.
bool writeFile(const std::string& path, const std::string& contents);
/// The whole file ("" when it cannot be read).
std::string readFile(const std::string& path);
bool writeBytes(const std::string& path, const Bytes& bytes);
Bytes readBytes(const std::string& path);

/// Writes an executable shell script: "#!/bin/sh", then `body`.
bool writeScript(const std::string& path, const std::string& body);

/// The names of the files in `folder` that end with `ending`, sorted ("" takes every name).
std::vector<std::string> filesIn(const std::string& folder, const std::string& ending);

}  // namespace tessora::testing
