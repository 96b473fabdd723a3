#pragma once
// The application object, its delegate and the main loop.
//
//   int main(int argc, char** argv) {
//       return ui::applicationMain(argc, argv, [] { return std::make_unique<MyAppDelegate>(); });
//   }
//
// applicationMain() creates the Qt application, installs the translation of
// the user's language, creates the delegate, calls its
// application(app, didFinishLaunchingWithOptions) and runs the event loop.
// Leaving and entering the foreground and quitting reach the delegate's
// lifecycle operations.

#include <QObject>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace ui {

class Application;
class Window;
enum class StatusBarStyle;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool application(Application* application, const QVariantMap& didFinishLaunchingWithOptions) = 0;
    virtual void applicationWillResignActive(Application*) {}
    virtual void applicationDidEnterBackground(Application*) {}
    virtual void applicationWillEnterForeground(Application*) {}
    virtual void applicationDidBecomeActive(Application*) {}
    virtual void applicationWillTerminate(Application*) {}
    virtual void applicationDidReceiveMemoryWarning(Application*) {}
    // The application's main window.
    virtual Window* window() const = 0;
};

class Application : public QObject {
    Q_OBJECT
public:
    // The one application object; created on first use (a QApplication must exist).
    static Application* sharedApplication();

    ApplicationDelegate* delegate() const { return delegate_; }
    void setDelegate(ApplicationDelegate* delegate);

    // Applies the style to the key window (and to windows made key later).
    void setStatusBarStyle(StatusBarStyle style, bool animated);
    StatusBarStyle statusBarStyle() const;

    // Opens a web address in the desktop's browser.
    bool openURL(const QUrl& url);

private:
    explicit Application(QObject* parent);
    ApplicationDelegate* delegate_ = nullptr;
    int statusBarStyle_ = 0;
};

int applicationMain(int argc, char** argv, const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate);

} // namespace ui
