#pragma once
// The application's one window: a 320×480 phone screen with a 20-point status
// bar across its top. Screens put their views into it below the status bar;
// modal screens, action sheets and alerts are shown inside it.

#include <QWidget>

namespace ui {

// Status bar styles, with the phone's numbering.
enum class StatusBarStyle { Default = 0, BlackTranslucent = 1, BlackOpaque = 2 };

class StatusBar;

class Window : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;
    static constexpr int kStatusBarHeight = 20;

    explicit Window(QWidget* parent = nullptr);
    ~Window() override;

    // The window last made key, or nullptr. Alerts show in it.
    static Window* keyWindow();

    // Adds a view. A screen's view (ViewController::view()) is placed in the
    // area below the status bar; any other view keeps its frame.
    void addSubview(QWidget* view);

    // Shows the window, makes it the key window and tells the screens whose
    // views it holds that they have appeared.
    void makeKeyAndVisible();

    void setStatusBarStyle(StatusBarStyle style, bool animated);
    StatusBarStyle statusBarStyle() const { return statusBarStyle_; }

    // The area below the status bar, in window coordinates: (0, 20, 320, 460).
    QRect contentRect() const;

private:
    StatusBar* statusBar_;
    StatusBarStyle statusBarStyle_ = StatusBarStyle::Default;
};

} // namespace ui
