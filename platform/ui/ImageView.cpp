#include "platform/ui/ImageView.h"

#include <QPainter>

namespace ui {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

void ImageView::setImage(const QImage& image)
{
    image_ = image;
    update();
}

void ImageView::setContentMode(ContentMode mode)
{
    mode_ = mode;
    update();
}

void ImageView::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    const QSizeF imageSize = QSizeF(image_.size()) / image_.devicePixelRatio();
    QRectF target = rect();
    switch (mode_) {
    case ContentMode::ScaleToFill:
        break;
    case ContentMode::AspectFit: {
        const QSizeF fitted = imageSize.scaled(target.size(), Qt::KeepAspectRatio);
        target = QRectF(QPointF(0, 0), fitted);
        target.moveCenter(QRectF(rect()).center());
        break;
    }
    case ContentMode::Center:
        target = QRectF(QPointF(0, 0), imageSize);
        target.moveCenter(QRectF(rect()).center());
        break;
    }
    p.drawImage(target, image_);
}

} // namespace ui
