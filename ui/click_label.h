#pragma once

#include <QLabel>

namespace tessora {

/// A label that reports a left click: the colour swatches, the swap symbol and the about box's
/// links are labels that act like buttons. One that takes the focus is pressed with Space or
/// Enter too, shows the focus, and is a button to assistive technology.
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(QWidget* parent = nullptr);

  /// Reports a click, as a press of the left button does.
  void click();

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessora
