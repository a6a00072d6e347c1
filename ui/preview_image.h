#pragma once

#include <QLabel>
#include <QPixmap>
#include <string>
#include <vector>

#include "document/document.h"

namespace tessora {

class DropHighlight;

/// The preview `MainImage`: shows the stretched composition and reports presses and moves in
/// preview coordinates. Pictures dropped on it are reported as a drop on the center panel's.
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
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  DropHighlight* dropHighlight_;
  const Bitmap* composed_ = nullptr;
  QPixmap sharp_;  ///< `composed_` in device pixels, made on demand
};

}  // namespace tessora
