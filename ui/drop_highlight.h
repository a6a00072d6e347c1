#pragma once

#include <QWidget>

namespace tessora {

/// A frame in the palette's highlight colour over the whole of its parent, shown while a drag
/// the parent would take is over it. It lets every press and move through to what it covers.
class DropHighlight : public QWidget {
  Q_OBJECT

 public:
  explicit DropHighlight(QWidget* parent);

  /// Shows the frame (a drag the parent takes entered) or hides it (it left or was dropped).
  void follow(bool dragOver);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessora
