#pragma once
// A spinner: twelve spokes whose brightness runs round while it animates.
// Hidden while stopped unless hidesWhenStopped is turned off.

#include <QColor>
#include <QWidget>

namespace timing { class Timer; }

namespace ui {

class ActivityIndicatorView : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicatorView(QWidget* parent = nullptr);
    ~ActivityIndicatorView() override;

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    void setHidesWhenStopped(bool hides);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setColor(const QColor& color);

    QSize sizeHint() const override { return {37, 37}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    timing::Timer* timer_ = nullptr;
    QColor color_ = Qt::white;
    int step_ = 0;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
};

} // namespace ui
