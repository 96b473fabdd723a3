#pragma once
// A message panel: a title and a message in a rounded box that slides in from
// the right edge of the view it is put into to its middle, rests, and slides
// out past the left edge. In a view of a phone's size (320×460) it slides from
// x 320 to x 30 at y 140; in a larger one it keeps its size and comes to rest
// in the middle, as far down the free height as there, and it follows the
// view's size while it rests.
//
//   auto* panel = SlidingMessageViewController::showMessageWithTitle(title, message, 4, &hideTrigger);
//   ui::addSubview(view(), panel->view());
//
// The caller keeps no reference: the panel owns itself from its creation to
// the end of its slide-out and then deletes itself. While it lives it reads
// the byte at `hideTrigger` at once and then every 0.2 s; a 1 hides it on the
// spot. A hidden panel still slides out (unseen) at its time and then ends.
// The trigger's owner must outlive the panel, or its view (taking the panel's
// view down with it, which ends the panel as well). Main thread only.

#include "platform/foundation/Timing.h"
#include "platform/ui/ViewController.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QtGlobal>


class SlidingMessageViewController : public ui::ViewController {
    Q_OBJECT
public:
    static constexpr int kScreenWidth = 320;
    static constexpr double kSlideInDuration = 0.4;
    static constexpr double kSlideOutDuration = 0.6;
    static constexpr double kTriggerPollInterval = 0.2;

    // Creates a panel, starts its slide-in, its delayed slide-out after
    // `delay` whole seconds and its trigger poll, and returns it.
    static SlidingMessageViewController* showMessageWithTitle(const QString& title, const QString& message,
                                                              qint32 delay, qint8* hideTrigger);

    // Builds the panel and its view, at x 320 (just beyond the right edge).
    SlidingMessageViewController(const QString& title, const QString& message, qint8* hideTrigger);
    ~SlidingMessageViewController() override;

    // One step of the trigger poll: hides the panel at once when the trigger reads 1.
    void checkTrigger();
    // Starts the slide-out; the panel ends when it has played.
    void hideMsg();
    // End of the slide-out animation: the panel goes away.
    void animationDidStop(bool finished);

    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* messageLabel() const { return messageLabel_; }
    timing::Timer* timer() const { return timer_; }
    void setTimer(timing::Timer* timer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void end();
    // Where the panel rests in a view of `host`'s size, and where it starts.
    static QRect restingFrame(QSize host);
    static QRect startingFrame(QSize host);

    QPointer<QWidget> panel_;
    QMetaObject::Connection panelGone_;
    QPointer<QLabel> titleLabel_;
    QPointer<QLabel> messageLabel_;
    QPointer<timing::Timer> timer_;
    qint8* trigger_;
    QPointer<QWidget> host_;
    bool slidingOut_ = false;
    bool ended_ = false;
};
