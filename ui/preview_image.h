#pragma once

#include <QLabel>
#include <QPixmap>

#include "document/document.h"

namespace tessora {

/// The preview `MainImage`: shows the stretched composition and reports presses and moves in
/// preview coordinates.
class PreviewImage : public QLabel {
  Q_OBJECT

 public:
  explicit PreviewImage(QWidget* parent = nullptr);

  /// Shows `preview`, the composition at the preview's own size (what a click picks its colour
  /// from). On a scaled screen `composed` is stretched straight into the screen's pixels
  /// instead, so the preview is as sharp as the screen rather than a magnified small copy.
  /// `composed` must outlive the next call.
  void showComposition(const Bitmap& preview, const Bitmap& composed);

 signals:
  void mouseDown(tessora::MouseButton button, int x, int y);
  void mouseMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  const Bitmap* composed_ = nullptr;
  QPixmap sharp_;  ///< `composed_` in device pixels, made on demand
};

}  // namespace tessora
