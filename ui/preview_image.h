#pragma once

#include <QLabel>

#include "engine/document.h"

namespace tessora {

/// The preview `MainImage`: shows the stretched composition and reports presses and moves in
/// preview coordinates.
class PreviewImage : public QLabel {
  Q_OBJECT

 public:
  explicit PreviewImage(QWidget* parent = nullptr);

 signals:
  void mouseDown(tessora::MouseButton button, int x, int y);
  void mouseMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

}  // namespace tessora
