#pragma once
// Alert views: a centred box with an optional title, a message and buttons,
// over a dimmed window. The cancel button has index 0, the other buttons
// follow from 1 in the order given. Two buttons sit side by side, cancel on
// the left; more are stacked with cancel at the bottom.
//
// show() puts the alert into the key window (Window::keyWindow()); without
// one it opens in a window of its own. A pressed button takes the alert off
// the screen and reports its index to the delegate, if there is one. The
// alert on screen stays up even when the AlertView object is destroyed
// meanwhile (an alert without delegate may be shown and forgotten); the
// delegate is only told while the object lives. The delegate is not owned.

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAbstractButton;

namespace ui {

class AlertView;
class AlertOverlay;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertView(AlertView* alertView, int clickedButtonAtIndex) = 0;
};

class AlertView : public QObject {
    Q_OBJECT
public:
    AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
              const QString& cancelButtonTitle, const QStringList& otherButtonTitles, QObject* parent = nullptr);
    ~AlertView() override;

    QString title() const { return title_; }
    QString message() const { return message_; }
    void setMessage(const QString& message) { message_ = message; }
    AlertViewDelegate* delegate() const { return delegate_; }
    void setDelegate(AlertViewDelegate* delegate) { delegate_ = delegate; }

    int numberOfButtons() const { return static_cast<int>(titles_.size()); }
    QString buttonTitleAtIndex(int index) const { return titles_.value(index); }
    int cancelButtonIndex() const { return cancelIndex_; }

    void show();
    // Takes the alert off the screen without telling the delegate.
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool isVisible() const;

    // The button with `index` of the alert on screen, or nullptr.
    QAbstractButton* buttonAtIndex(int index) const;

private:
    friend class AlertOverlay;
    void clicked(AlertOverlay* overlay, int index);

    QString title_;
    QString message_;
    AlertViewDelegate* delegate_;
    QStringList titles_;
    int cancelIndex_ = -1;
    QPointer<AlertOverlay> overlay_;
};

} // namespace ui
