#pragma once

#include <functional>

#include "document/recent_pictures.h"

namespace tessora {

/// Where the document has its pictures decoded when it should not wait for them: the window
/// decodes on a worker so that it keeps answering while a large picture is read. Without one the
/// document decodes at once, inside the command (the command-line tool).
class DecodeRunner {
 public:
  virtual ~DecodeRunner() = default;
  /// Runs `decode` away from the document's thread (it touches no document state), then `land`
  /// on the document's thread, later, never from within run(). `land` answers false while the
  /// document is inside a command (a command can wait for the desktop in an event loop of its
  /// own); the runner then calls it again a little later. Loads of one source may be decoded
  /// one at a time: a decode the document no longer wants returns at once.
  virtual void run(Source source, std::function<void()> decode, std::function<bool()> land) = 0;
};

}  // namespace tessora
