#pragma once

#include <QLabel>
#include <string>

#include "engine/feedback.h"

namespace tessora {

/// The information label `InfoLabel`: one short report at a time, in the face its style names.
/// Every render hides it again. Assistive technology hears each report as the label's name.
class InfoLabel : public QLabel {
  Q_OBJECT

 public:
  explicit InfoLabel(QWidget* parent);

  /// Shows `text` in the face of `style`. `detail`, where given, is what the report leaves out
  /// (which file did not load, and why): the tooltip and the accessible description give it.
  void showText(const std::string& text, InfoStyle style, const QString& detail = QString());
};

}  // namespace tessora
