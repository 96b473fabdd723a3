#include "platform/ui/Application.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPointer>

namespace ui {

Application::Application(QObject* parent) : QObject(parent) {}

Application* Application::sharedApplication()
{
    static QPointer<Application> shared;
    if (!shared)
        shared = new Application(QCoreApplication::instance());
    return shared;
}

void Application::setDelegate(ApplicationDelegate* delegate)
{
    delegate_ = delegate;
}

void Application::setStatusBarStyle(StatusBarStyle style, bool animated)
{
    statusBarStyle_ = static_cast<int>(style);
    if (Window* key = Window::keyWindow())
        key->setStatusBarStyle(style, animated);
    if (delegate_ && delegate_->window())
        delegate_->window()->setStatusBarStyle(style, animated);
}

StatusBarStyle Application::statusBarStyle() const
{
    return static_cast<StatusBarStyle>(statusBarStyle_);
}

bool Application::openURL(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

int applicationMain(int argc, char** argv, const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate)
{
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ripwell"));
    localization::install();

    Application* app = Application::sharedApplication();
    std::unique_ptr<ApplicationDelegate> delegate = makeDelegate();
    app->setDelegate(delegate.get());

    Qt::ApplicationState last = QGuiApplication::applicationState();
    QObject::connect(&qtApp, &QGuiApplication::applicationStateChanged, app, [&](Qt::ApplicationState now) {
        if (now == last)
            return;
        if (last == Qt::ApplicationActive)
            delegate->applicationWillResignActive(app);
        if (now == Qt::ApplicationSuspended || now == Qt::ApplicationHidden)
            delegate->applicationDidEnterBackground(app);
        if ((last == Qt::ApplicationSuspended || last == Qt::ApplicationHidden) && now != Qt::ApplicationSuspended &&
            now != Qt::ApplicationHidden)
            delegate->applicationWillEnterForeground(app);
        if (now == Qt::ApplicationActive)
            delegate->applicationDidBecomeActive(app);
        last = now;
    });
    QObject::connect(&qtApp, &QCoreApplication::aboutToQuit, app, [&] { delegate->applicationWillTerminate(app); });

    if (!delegate->application(app, QVariantMap()))
        return 1;
    const int status = QApplication::exec();
    app->setDelegate(nullptr);
    delegate.reset();
    return status;
}

} // namespace ui
