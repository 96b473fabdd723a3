#include "platform/ui/ActivityIndicatorView.h"

#include "platform/foundation/Timing.h"

#include <QPainter>
#include <QtMath>

namespace ui {

namespace {
constexpr int kSpokes = 12;
constexpr double kStepSeconds = 1.0 / kSpokes;
}

ActivityIndicatorView::ActivityIndicatorView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (hidesWhenStopped_)
        setVisible(false);
}

ActivityIndicatorView::~ActivityIndicatorView()
{
    if (timer_)
        timer_->invalidate();
}

void ActivityIndicatorView::startAnimating()
{
    if (animating_)
        return;
    animating_ = true;
    show();
    timer_ = timing::Timer::scheduledRepeating(kStepSeconds, this, [this](timing::Timer*) {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void ActivityIndicatorView::stopAnimating()
{
    if (!animating_)
        return;
    animating_ = false;
    if (timer_) {
        timer_->invalidate();
        timer_ = nullptr;
    }
    if (hidesWhenStopped_)
        hide();
    update();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    hidesWhenStopped_ = hides;
    if (!animating_)
        setVisible(!hides);
}

void ActivityIndicatorView::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void ActivityIndicatorView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    const double inner = side * 0.24, outer = side * 0.48;
    for (int i = 0; i < kSpokes; ++i) {
        const int age = (step_ - i + kSpokes) % kSpokes; // 0: the brightest spoke
        QColor c = color_;
        c.setAlphaF(float(animating_ ? 1.0 - 0.75 * age / (kSpokes - 1) : 0.35));
        p.setPen(QPen(c, side * 0.09, Qt::SolidLine, Qt::RoundCap));
        const double angle = qDegreesToRadians(i * 360.0 / kSpokes - 90.0);
        p.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                   QPointF(std::cos(angle) * outer, std::sin(angle) * outer));
    }
}

} // namespace ui
