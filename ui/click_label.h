#pragma once

#include <QLabel>

namespace tessora {

/// A label that reports a left click: the colour swatches, the swap symbol and the about box's
/// links are labels that act like buttons.
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace tessora
