#pragma once

#include <cstdint>

namespace tessora {

/// A rectangle of four signed 32-bit edges; Right and Bottom are exclusive.
struct Rect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  friend bool operator==(const Rect& a, const Rect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
  }
  friend bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }
};

struct Size {
  int width = 0;
  int height = 0;

  friend bool operator==(const Size& a, const Size& b) {
    return a.width == b.width && a.height == b.height;
  }
};

}  // namespace tessora
