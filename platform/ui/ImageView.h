#pragma once
// A view that shows one image. By default the image is scaled to fill the
// view; with aspect fit it keeps its proportions and is centred. An image's
// own size is in points: its pixels over its devicePixelRatio().

#include <QImage>
#include <QWidget>

namespace ui {

class ImageView : public QWidget {
    Q_OBJECT
public:
    enum class ContentMode { ScaleToFill, AspectFit, Center };

    explicit ImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    QImage image() const { return image_; }
    void setContentMode(ContentMode mode);
    ContentMode contentMode() const { return mode_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    ContentMode mode_ = ContentMode::ScaleToFill;
};

} // namespace ui
