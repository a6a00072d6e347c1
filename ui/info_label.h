#pragma once

#include <QLabel>
#include <string>

#include "engine/feedback.h"

namespace tessora {

/// The information label `InfoLabel`: one short report at a time, in the face its style names.
/// Every render hides it again.
class InfoLabel : public QLabel {
  Q_OBJECT

 public:
  explicit InfoLabel(QWidget* parent);

  /// Shows `text` in the face of `style`.
  void showText(const std::string& text, InfoStyle style);
};

}  // namespace tessora
