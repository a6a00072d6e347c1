#pragma once

#include <stdexcept>
#include <string>

namespace tessora {

/// A failure of an image reader or writer. what() is the text the user sees, exactly as the
/// window's error handler shows it ("Error Reading File!", "Cannot create file /a/b.jpg", ...).
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A writer's message followed by the system's reason, when there is one: "Unable to write to
/// /x/a.png: No space left on device", "Error Opening File /x/a.png! Permission denied".
inline std::string WithReason(const std::string& message, const std::string& reason) {
  if (reason.empty()) {
    return message;
  }
  return message + (!message.empty() && message.back() == '!' ? " " : ": ") + reason;
}

}  // namespace tessora
