#include "document/command_scopes.h"

#include <utility>

namespace tessora {

void ChangeNotices::flush() {
  const DocumentParts parts = std::exchange(parts_, 0);
  if (parts != 0 && view_ != nullptr) {
    view_->Changed(parts);
  }
}

}  // namespace tessora
