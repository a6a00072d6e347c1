#pragma once

#include <QWidget>

namespace tessora {

/// A band bar of two bands: band 0 (a tool row) always at the start of the first row; band 1
/// (the list bar) either squeezed beside it or on a row of its own at full width. The user moves
/// band 1 by dragging its grip below or back onto the first row.
class BandBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 25;
  static constexpr int kGripWidth = 9;

  BandBar(QWidget* band0, int band0Width, QWidget* band1, int band1Width, int width,
          QWidget* parent = nullptr);

  /// Whether band 1 starts a row of its own.
  bool band1OnOwnRow() const { return ownRow_; }
  /// Moves band 1; emits changed() when its row changes.
  void setBand1OnOwnRow(bool ownRow);

 signals:
  /// The bands moved.
  void changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void arrange();
  QRect band1Rect() const;

  QWidget* band0_;
  QWidget* band1_;
  int band0Width_;
  int band1Width_;
  bool ownRow_ = false;
  bool dragging_ = false;
};

}  // namespace tessora
