#pragma once

#include <stdexcept>
#include <string>

namespace tessora {

/// A failure of the settings or list files. what() is the exact text the window's general error
/// handler shows, e.g. "Cannot create file /home/ann/.config/tessora/PATHS to tiles.txt".
class SettingsError : public std::runtime_error {
 public:
  explicit SettingsError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tessora
