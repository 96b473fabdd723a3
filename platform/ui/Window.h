#pragma once
// The application's one window. It may have any size from a phone's screen,
// 320×480, up, and opens at a comfortable size for the desktop it is on.
// Screens fill it whole: a screen's view is kept at the window's size as the
// window is resized or maximised; modal screens, action sheets and alerts are
// shown inside it. Its title follows the screen on top (ViewController::title()).

#include <QWidget>

namespace ui {

// Status bar styles, with the phone's numbering. A desktop window draws no
// status bar; the style is kept for whoever asks.
enum class StatusBarStyle { Default = 0, BlackTranslucent = 1, BlackOpaque = 2 };

class Window : public QWidget {
    Q_OBJECT
public:
    // The smallest window: a phone's screen.
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;

    explicit Window(QWidget* parent = nullptr);
    ~Window() override;

    // The window last made key, or nullptr. Alerts show in it.
    static Window* keyWindow();

    // The size the window opens at on the screen it is shown on: as large as
    // is comfortable there, never below 320×480.
    static QSize comfortableSize();

    // Adds a view. A screen's view (ViewController::view()) fills the window
    // and follows its size; any other view keeps its frame.
    void addSubview(QWidget* view);

    // Shows the window, makes it the key window and tells the screens whose
    // views it holds that they have appeared.
    void makeKeyAndVisible();

    void setStatusBarStyle(StatusBarStyle style, bool animated);
    StatusBarStyle statusBarStyle() const { return statusBarStyle_; }

    // Where screens go, in window coordinates: the whole window.
    QRect contentRect() const;

    // Sets the window's title for the screen on top, titled `screenTitle`
    // (the application's name alone for an empty one).
    void showScreenTitle(const QString& screenTitle);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    StatusBarStyle statusBarStyle_ = StatusBarStyle::Default;
};

} // namespace ui
