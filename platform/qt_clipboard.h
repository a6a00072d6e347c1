#pragma once

#include <QObject>

#include "platform/services.h"

namespace tessora {

/// The system clipboard through Qt. hasImage() answers from a flag that the clipboard's change
/// signal and the application's activation keep current: asking the clipboard itself means
/// waiting for its owner (up to seconds for a slow one), and the window asks every 300 ms.
class QtImageClipboard : public QObject, public ImageClipboard {
  Q_OBJECT

 public:
  QtImageClipboard();
  bool hasImage() const override { return hasImage_; }
  std::optional<Bitmap> image() override;
  void setImage(const Bitmap& image) override;
  void clear() override;

  /// Asks the clipboard again (on change, and on activation: Wayland tells only the focused
  /// window about changes).
  void refresh();

 private:
  bool hasImage_ = false;
};

}  // namespace tessora
