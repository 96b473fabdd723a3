#include "platform/ui/Animation.h"

#include "platform/foundation/Timing.h"
#include "platform/ui/Style.h"

#include <QCoreApplication>
#include <QHash>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <vector>

namespace ui {

namespace {

struct Change {
    QPointer<QWidget> view;
    QRect to;
};

// Recording state of the open block, main thread only.
int g_depth = 0;
std::vector<Change> g_changes;

// The running animation group of each animated view. Held by its base class:
// an entry is also looked at while the group is being destroyed, when it no
// longer is a QParallelAnimationGroup.
QHash<const QWidget*, QPointer<QAbstractAnimation>>& running()
{
    static QHash<const QWidget*, QPointer<QAbstractAnimation>> map;
    return map;
}

void stopAnimationOf(const QWidget* view)
{
    auto it = running().find(view);
    if (it == running().end())
        return;
    QPointer<QAbstractAnimation> group = it.value();
    running().erase(it);
    if (group)
        group->stop();
}

} // namespace

void setFrame(QWidget* view, const QRect& frame)
{
    if (g_depth > 0) {
        g_changes.push_back({view, frame});
        return;
    }
    stopAnimationOf(view);
    view->setGeometry(frame);
}

bool isAnimating(const QWidget* view)
{
    auto it = running().constFind(view);
    return it != running().constEnd() && it.value() && it.value()->state() == QAbstractAnimation::Running;
}

void animate(double duration, const std::function<void()>& changes, std::function<void(bool finished)> didStop)
{
    ++g_depth;
    changes();
    if (--g_depth > 0)
        return; // joins the outer block
    std::vector<Change> recorded;
    recorded.swap(g_changes);

    const int ms = timing::scaledMilliseconds(duration);
    auto* group = new QParallelAnimationGroup(QCoreApplication::instance());
    for (const Change& c : recorded) {
        if (!c.view)
            continue;
        stopAnimationOf(c.view);
        if (ms <= 0) {
            c.view->setGeometry(c.to);
            continue;
        }
        auto* anim = new QPropertyAnimation(c.view, "geometry", group);
        anim->setDuration(ms);
        anim->setStartValue(c.view->geometry());
        anim->setEndValue(c.to);
        anim->setEasingCurve(QEasingCurve::InOutQuad);
        group->addAnimation(anim);
        // A view that goes away takes its part of the animation with it; left
        // in the group, the part would be restarted without a target.
        QObject::connect(c.view, &QObject::destroyed, anim, [anim] { delete anim; });
        running().insert(c.view, group);
    }

    auto views = std::make_shared<std::vector<const QWidget*>>();
    for (const Change& c : recorded)
        if (c.view)
            views->push_back(c.view);

    auto done = std::make_shared<bool>(false);
    QAbstractAnimation* const base = group;
    auto finish = [base, views, done, didStop = std::move(didStop)](bool finished) {
        if (*done)
            return;
        *done = true;
        for (const QWidget* v : *views) {
            auto it = running().find(v);
            if (it != running().end() && it.value() == base)
                running().erase(it);
        }
        base->deleteLater();
        if (didStop)
            didStop(finished);
    };

    if (group->animationCount() == 0) {
        // Nothing to play: report the end from the event loop, as a played one would.
        QMetaObject::invokeMethod(group, [finish] { finish(true); }, Qt::QueuedConnection);
        return;
    }
    QObject::connect(group, &QAbstractAnimation::stateChanged, group,
                     [base, finish, ms](QAbstractAnimation::State now, QAbstractAnimation::State) {
                         // Also reached from the group's destructor: no virtual
                         // calls, and only through the base class.
                         if (now == QAbstractAnimation::Stopped)
                             finish(base->currentTime() >= ms);
                     });
    group->start();
}

} // namespace ui
