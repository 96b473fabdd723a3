#include "platform/ui/Window.h"

#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ViewController.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>

namespace ui {

namespace {
QPointer<Window> g_keyWindow;
}

Window::Window(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kWidth, kHeight);
    resize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Ripwell"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setStyleSheet(theme::styleSheet());
}

Window::~Window() = default;

Window* Window::keyWindow()
{
    return g_keyWindow.data();
}

QSize Window::comfortableSize()
{
    // Three quarters of the width and most of the height of the desktop's
    // free area, up to 1024×768: room for a long list without covering a
    // large screen.
    QSize size(1024, 768);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize free = screen->availableSize();
        size = size.boundedTo(QSize(free.width() * 3 / 4, free.height() * 85 / 100));
    }
    return size.expandedTo(QSize(kWidth, kHeight));
}

void Window::addSubview(QWidget* view)
{
    ui::addSubview(this, view);
    if (ViewController* screen = ViewController::controllerOfView(view)) {
        view->setGeometry(contentRect());
        showScreenTitle(screen->title());
    }
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
    statusBarStyle_ = style;
}

QRect Window::contentRect() const
{
    return rect();
}

void Window::showScreenTitle(const QString& screenTitle)
{
    setWindowTitle(screenTitle.isEmpty() || screenTitle == QLatin1String("Ripwell")
                       ? QStringLiteral("Ripwell")
                       : screenTitle + QStringLiteral(" – Ripwell"));
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Every screen follows the window; one that slides in or out is left to
    // its slide, which ends on the window's area as it is then.
    for (QObject* child : children()) {
        if (!child->isWidgetType())
            continue;
        auto* w = static_cast<QWidget*>(child);
        if (ViewController::controllerOfView(w) && !isAnimating(w))
            w->setGeometry(contentRect());
    }
}

} // namespace ui
