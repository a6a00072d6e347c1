#include "ui/preview_window.h"

#include <QVBoxLayout>

#include "ui/bitmap_qimage.h"

namespace tessora {

PreviewWindow::PreviewWindow(Document& document, QWidget* parent)
    : QWidget(parent), document_(document), preview_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Tessora"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  preview_->setObjectName(QStringLiteral("MainImage"));
  preview_->setFixedSize(document_.layout().preview.width, document_.layout().preview.height);
  layout->addWidget(preview_);
  document_.setView(this);
  PreviewChanged(document_.PreviewBitmap());
}

void PreviewWindow::PreviewChanged(const Bitmap& preview) {
  preview_->setPixmap(QPixmap::fromImage(ToQImage(preview)));
}

}  // namespace tessora
