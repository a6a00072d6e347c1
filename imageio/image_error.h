#pragma once

#include <stdexcept>
#include <string>

namespace tessora {

/// A failure of an image reader or writer. what() is the text the user sees, exactly as the
/// window's error handler shows it ("Error Reading File!", "Cannot create file /a/b.jpg", ...).
/// detail() says why in a few words ("not a PNG file", "truncated") for a front end that has
/// room for them; it is empty when what() says all there is.
class ImageError : public std::runtime_error {
 public:
  explicit ImageError(const std::string& message, const std::string& detail = std::string())
      : std::runtime_error(message), detail_(detail) {}
  const char* detail() const noexcept { return detail_.what(); }

 private:
  // Held as an exception's own text so that copying the error, as throwing may, cannot throw.
  std::runtime_error detail_;
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
