#pragma once

#include <QString>

#include "common/outcome.h"

namespace tessora {

/// A failed step whose reason was put together as Qt text.
inline Outcome FailedWith(const QString& reason) {
  return Outcome::Failed(reason.toStdString());
}

}  // namespace tessora
