#include "platform/ui/Window.h"

#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ViewController.h"

#include <QPainter>
#include <QPointer>
#include <QTime>
#include <QTimer>

namespace ui {

namespace {
QPointer<Window> g_keyWindow;
}

// The strip across the top: the time in the middle and a battery on the right.
class StatusBar : public QWidget {
public:
    explicit StatusBar(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        auto* clock = new QTimer(this);
        connect(clock, &QTimer::timeout, this, qOverload<>(&QWidget::update));
        clock->start(timing::scaledMilliseconds(30.0));
    }
    void setStyle(StatusBarStyle style)
    {
        style_ = style;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool black = style_ != StatusBarStyle::Default;
        p.fillRect(rect(), black ? QColor(Qt::black) : QColor(0xd0, 0xd4, 0xda));
        const QColor ink = black ? QColor(Qt::white) : QColor(Qt::black);
        QFont f = font();
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(rect(), Qt::AlignCenter, QTime::currentTime().toString(QStringLiteral("HH:mm")));
        f.setBold(false);
        f.setPixelSize(11);
        p.setFont(f);
        p.drawText(rect().adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Ripwell"));
        // Battery: outline, knob and an 80 % charge.
        const QRectF body(width() - 30.5, 5.5, 22, 10);
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, 2, 2);
        p.fillRect(QRectF(body.right() + 1, 8, 2, 5), ink);
        p.fillRect(QRectF(body.left() + 2, body.top() + 2, (body.width() - 4) * 0.8, body.height() - 4), ink);
    }

private:
    StatusBarStyle style_ = StatusBarStyle::Default;
};

Window::Window(QWidget* parent) : QWidget(parent), statusBar_(new StatusBar(this))
{
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Ripwell"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setStyleSheet(theme::styleSheet());
    statusBar_->setGeometry(0, 0, kWidth, kStatusBarHeight);
}

Window::~Window() = default;

Window* Window::keyWindow()
{
    return g_keyWindow.data();
}

void Window::addSubview(QWidget* view)
{
    ui::addSubview(this, view);
    if (ViewController::controllerOfView(view))
        view->setGeometry(contentRect());
    statusBar_->raise();
}

void Window::makeKeyAndVisible()
{
    g_keyWindow = this;
    show();
    raise();
    for (QObject* child : children()) {
        if (!child->isWidgetType())
            continue;
        auto* w = static_cast<QWidget*>(child);
        if (ViewController* vc = ViewController::controllerOfView(w); vc && !w->isHidden()) {
            vc->viewWillAppear(false);
            vc->viewDidAppear(false);
        }
    }
}

void Window::setStatusBarStyle(StatusBarStyle style, bool)
{
    // The bar is drawn at once; a colour fade would not be seen on a desktop.
    statusBarStyle_ = style;
    statusBar_->setStyle(style);
}

QRect Window::contentRect() const
{
    return QRect(0, kStatusBarHeight, kWidth, kHeight - kStatusBarHeight);
}

} // namespace ui
