#pragma once

#include <QLabel>
#include <QWidget>

#include "engine/document.h"

namespace tessora {

/// A plain window showing the preview of the composition.
class PreviewWindow : public QWidget, private DocumentView {
  Q_OBJECT

 public:
  explicit PreviewWindow(Document& document, QWidget* parent = nullptr);

 private:
  void PreviewChanged(const Bitmap& preview) override;

  Document& document_;
  QLabel* preview_;
};

}  // namespace tessora
