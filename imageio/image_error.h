#pragma once

#include <stdexcept>

namespace tessora {

/// A failure of an image reader or writer. what() is the text the user sees, exactly as the
/// window's error handler shows it ("Error Reading File!", "Cannot create file /a/b.jpg", ...).
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tessora
