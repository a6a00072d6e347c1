#pragma once

#include <QObject>
#include <memory>

#include "platform/services.h"

namespace tessora {

class WaylandSelectionWatch;

/// The system clipboard through Qt. hasImage() answers from a flag that the clipboard's change
/// signal and the application's activation keep current: asking the clipboard itself means
/// waiting for its owner (up to seconds for a slow one), and the window asks every 300 ms.
class QtImageClipboard : public QObject, public ImageClipboard {
  Q_OBJECT

 public:
  QtImageClipboard();
  ~QtImageClipboard() override;
  QtImageClipboard(const QtImageClipboard&) = delete;
  QtImageClipboard& operator=(const QtImageClipboard&) = delete;
  bool hasImage() const override;
  std::optional<Bitmap> image() override;
  std::optional<PictureFile> imageFile() override;
  void setImage(const Bitmap& image) override;
  void clear() override;

  /// Asks the clipboard again (on change, and on activation: Wayland tells only the focused
  /// window about changes).
  void refresh();

  /// Whether changes made while no window of ours is active are seen at once; when not, the
  /// flag catches up on activation.
  bool followsEveryChange() const;

 private:
  void watchWayland();
  void follow(const QStringList& types, const QByteArray& uriList);

  bool hasImage_ = false;
  std::unique_ptr<WaylandSelectionWatch> wayland_;
  /// Why changes elsewhere reach us only on activation; told once, to the first asker, so that
  /// a program that never asks (the command-line tool's helper) stays quiet.
  mutable QString limitation_;
};

}  // namespace tessora
