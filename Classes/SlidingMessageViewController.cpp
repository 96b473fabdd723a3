#include "Classes/SlidingMessageViewController.h"

#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

namespace {

const QRect kCreatedFrame(320, 140, 260, 160);
// The phone's screen below its status bar, which the frames above are given in.
constexpr int kPhoneHeight = 460;
const QRect kTitleFrame(20, 5, 220, 30);
const QRect kMessageFrame(20, 40, 220, 80);

// Text colour as a style sheet rule; the window's sheet would override a palette.
QString textColorRule(const QColor& c)
{
    return QStringLiteral("color: rgba(%1, %2, %3, %4); background: transparent;")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alpha());
}

} // namespace

SlidingMessageViewController::SlidingMessageViewController(const QString& title, const QString& message,
                                                           qint8* hideTrigger)
    : trigger_(hideTrigger)
{
    auto* panel = new QWidget;
    panel->setGeometry(kCreatedFrame);
    ui::setBackgroundColor(panel, ui::colorWithWhite(0.1, 0.45));

    titleLabel_ = new QLabel(panel);
    titleLabel_->setGeometry(kTitleFrame);
    titleLabel_->setText(title);
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setFont(ui::theme::systemFont(15, true));
    titleLabel_->setStyleSheet(textColorRule(ui::colorWithRed(0.35, 0.75, 0.99, 1.0)));

    messageLabel_ = new QLabel(panel);
    messageLabel_->setGeometry(kMessageFrame);
    messageLabel_->setFont(ui::theme::systemFont(14));
    messageLabel_->setText(message);
    messageLabel_->setWordWrap(true);
    messageLabel_->setAlignment(Qt::AlignCenter);
    messageLabel_->setStyleSheet(textColorRule(ui::colorWithWhite(1.0, 0.8)));

    ui::Layer* layer = ui::Layer::of(panel);
    layer->setCornerRadius(20);
    layer->setBorderColor(Qt::white);
    layer->setBorderWidth(2);
    ui::setClipsToBounds(panel, true);

    panel_ = panel;
    setView(panel);
    panel->installEventFilter(this); // to learn which view it comes into
    // Whoever holds the view may take it down first (a closing window): the
    // panel then ends with it instead of polling a trigger that may be gone.
    panelGone_ = connect(panel, &QObject::destroyed, this, [this] { end(); });
}

SlidingMessageViewController::~SlidingMessageViewController()
{
    disconnect(panelGone_);
    if (timer_)
        timer_->invalidate();
    setTimer(nullptr);
    if (panel_ && panel_->parentWidget())
        ui::removeFromSuperview(panel_);
    // The labels go with the view, which the base class deletes.
}

SlidingMessageViewController* SlidingMessageViewController::showMessageWithTitle(const QString& title,
                                                                                 const QString& message,
                                                                                 qint32 delay, qint8* hideTrigger)
{
    auto* panel = new SlidingMessageViewController(title, message, hideTrigger);
    QWidget* v = panel->view();

    // Slide in to the middle of a phone's screen; once the caller has put the
    // panel into its view, the slide plays across that view instead.
    QRect frame = ui::frame(v);
    frame.moveLeft(static_cast<int>((kScreenWidth - frame.width()) * 0.5));
    ui::animate(kSlideInDuration, [&] { ui::setFrame(v, frame); });

    timing::afterDelay(static_cast<double>(delay), panel, [panel] { panel->hideMsg(); });

    // The poll's first step runs at once (on the next turn of the event
    // loop), then every 0.2 s; stopping the poll also cancels that first step.
    timing::Timer* poll = timing::Timer::scheduledRepeating(kTriggerPollInterval, panel,
                                                            [panel](timing::Timer*) { panel->checkTrigger(); });
    panel->setTimer(poll);
    QPointer<timing::Timer> first(poll);
    timing::afterDelay(0, panel, [panel, first] {
        if (first && first->isValid())
            panel->checkTrigger();
    });
    return panel;
}

QRect SlidingMessageViewController::restingFrame(QSize host)
{
    // Centred across; down the free height in the proportion the phone's
    // 140 of 300 points give.
    const int y = std::max(0, (host.height() - kCreatedFrame.height()) * kCreatedFrame.y() /
                                  (kPhoneHeight - kCreatedFrame.height()));
    return QRect((host.width() - kCreatedFrame.width()) / 2, y, kCreatedFrame.width(), kCreatedFrame.height());
}

QRect SlidingMessageViewController::startingFrame(QSize host)
{
    QRect frame = restingFrame(host);
    frame.moveLeft(host.width());
    return frame;
}

bool SlidingMessageViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (!ended_ && panel_ && !slidingOut_) {
        if (watched == panel_ && event->type() == QEvent::ParentChange && panel_->parentWidget() &&
            panel_->parentWidget() != host_) {
            // In its view at last: the slide-in plays across that view, from
            // its right edge to its middle.
            if (host_)
                host_->removeEventFilter(this);
            host_ = panel_->parentWidget();
            host_->installEventFilter(this);
            QWidget* v = panel_;
            const QSize size = host_->size();
            ui::setFrame(v, startingFrame(size));
            ui::animate(kSlideInDuration, [&] { ui::setFrame(v, restingFrame(size)); });
        } else if (watched == host_ && event->type() == QEvent::Resize) {
            ui::setFrame(panel_, restingFrame(host_->size())); // the middle of the view as it is now
        }
    }
    return ui::ViewController::eventFilter(watched, event);
}

void SlidingMessageViewController::setTimer(timing::Timer* timer)
{
    timer_ = timer;
}

void SlidingMessageViewController::checkTrigger()
{
    if (ended_ || !trigger_ || *trigger_ != 1)
        return;
    if (panel_)
        panel_->setHidden(true);
    if (timer_)
        timer_->invalidate();
    setTimer(nullptr);
}

void SlidingMessageViewController::hideMsg()
{
    if (ended_ || !panel_)
        return;
    slidingOut_ = true;
    QWidget* v = panel_;
    QRect frame = ui::frame(v);
    frame.moveLeft(-frame.width());
    QPointer<SlidingMessageViewController> self(this);
    ui::animate(kSlideOutDuration, [&] { ui::setFrame(v, frame); },
                [self](bool finished) {
                    if (self)
                        self->animationDidStop(finished);
                });
}

void SlidingMessageViewController::animationDidStop(bool)
{
    end();
}

void SlidingMessageViewController::end()
{
    if (ended_)
        return;
    ended_ = true;
    if (timer_)
        timer_->invalidate();
    setTimer(nullptr);
    deleteLater();
}
