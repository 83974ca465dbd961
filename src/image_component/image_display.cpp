#include "image_component/image_display.h"

#include <QPainter>

namespace velmar::image_component {

QRect fittedRect(QSize imageSize, QRect area) {
    if (imageSize.isEmpty() || area.isEmpty()) {
        return {};
    }
    QSize size = imageSize;
    if (size.width() > area.width() || size.height() > area.height()) {
        size = size.scaled(area.size(), Qt::KeepAspectRatio);
    }
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(area.center());
    return placed;
}

ImageDisplay::ImageDisplay(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void ImageDisplay::showImage(const QImage& image) {
    shown_ = image;
    update();
}

void ImageDisplay::paintEvent(QPaintEvent* /*event*/) {
    if (shown_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(fittedRect(shown_.size(), rect()), shown_);
}

}  // namespace velmar::image_component
