#pragma once

#include <QFrame>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "document/document.h"

class QComboBox;
class QKeySequence;
class QLabel;
class QMimeData;
class QToolButton;

namespace tessora {

class BandBar;
class DropHighlight;
struct SourceKind;

/// One source panel under the preview: the tile panel `Panel0` (index 0) or the center panel
/// `Panel1` (index 1), with its tool row, the box of its recent-image list, path label, picture
/// and hint. It shows its source and list as the document holds them; what the user does with
/// them goes to the document through the window. What differs between the two panels is one row
/// of a table.
class SourcePanel : public QFrame {
  Q_OBJECT

 public:
  SourcePanel(int index, Document& document, QWidget* parent);

  /// The source this panel shows.
  Source source() const;

  // --- Showing the document ---
  /// Redraws what of `parts` this panel shows.
  void follow(DocumentParts parts);
  /// The hint under the picture: "(drop a tile)" or "(drop a tessora)".
  void showHint();
  /// The path label shows exactly while the list bar shares the tool row.
  void followBands();
  bool listBarOnOwnRow() const;
  void setListBarOnOwnRow(bool ownRow);
  /// Enables one tool button for the clipboard watch, which follows the clipboard, not the
  /// document.
  void setToolEnabled(int tool, bool on);
  /// Gives the panel a new width; the hint keeps spanning it.
  void setWidth(int width);
  /// The left edge of the picture's frame within the panel.
  int frameLeft() const;
  /// The left edge of the picture within its frame.
  int pictureLeft() const;

  /// The item selected in the box (-1 for none).
  int boxIndex() const;

  /// Names the keys of the window's commands on this panel in its tooltips.
  void describeKeys(const QKeySequence& open, const QKeySequence& paste);
  /// The panel's controls in reading order, for the window's Tab order.
  std::vector<QWidget*> tabOrder() const;

 signals:
  void toolClicked(int tool);
  void folderClicked();
  /// The user picked an item in the box.
  void entryPicked();
  void bandsChanged();
  void filesDropped(const std::vector<std::string>& paths);
  void pictureDoubleClicked();
  /// Presses on the tile panel's surface, its picture's frame and its picture, at x within the
  /// widget pressed.
  void pressed(int x);
  void framePressed(int x);
  void picturePressed(int x);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* buildToolRow();
  QWidget* buildListBar();
  void buildLabels();
  void toolClick(int tool);
  void showPicture();
  void showCaption();
  void describePicture();
  void paintGlyphs();
  void mirrorList();

  const SourceKind& kind_;
  Document& document_;
  bool modeArmed_ = false;
  BandBar* coolBar_ = nullptr;
  std::array<QToolButton*, 4> tools_{};
  QToolButton* folder_ = nullptr;
  QComboBox* saveBox_ = nullptr;
  QLabel* pathLabel_ = nullptr;
  QWidget* imageFrame_ = nullptr;
  QLabel* image_ = nullptr;
  QLabel* caption_ = nullptr;
  DropHighlight* dropHighlight_ = nullptr;
};

/// The paths of the local files among dropped data: its URLs, or, where a file manager offers
/// only text, the file URLs or absolute paths on its lines.
std::vector<std::string> DroppedPaths(const QMimeData& data);

}  // namespace tessora
