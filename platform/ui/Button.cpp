#include "platform/ui/Button.h"

#include "platform/ui/Style.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace ui {

QPoint Touch::locationInView(const QWidget* view) const
{
    if (!view)
        return global_.toPoint();
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(view)) {
        const QPoint inViewport = area->viewport()->mapFromGlobal(global_).toPoint();
        return inViewport + QPoint(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value());
    }
    return view->mapFromGlobal(global_).toPoint();
}

Button::Button(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, &Button::fire);
}

void Button::setBackgroundImage(const QImage& image)
{
    image_ = image;
    update();
}

void Button::setBackgroundColor(const QColor& color)
{
    background_ = color;
    update();
}

void Button::addTouchUpInsideAction(QObject* target, Action action)
{
    actions_.emplace_back(target, std::move(action));
}

void Button::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (background_.alpha() > 0)
        p.fillRect(rect(), background_);
    if (!image_.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (isDown())
            p.setOpacity(0.6);
        p.drawImage(QRectF(rect()), image_);
    }
    if (hasFocus()) { // keyboard focus: an accent ring
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(accentColor(), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}

void Button::mouseReleaseEvent(QMouseEvent* event)
{
    releasedAt_ = event->globalPosition();
    QPointer<Button> self(this);
    QAbstractButton::mouseReleaseEvent(event); // emits clicked() when inside
    if (self)
        releasedAt_.reset();
}

void Button::fire()
{
    const QPointF where = releasedAt_ ? *releasedAt_ : QPointF(mapToGlobal(rect().center()));
    const Event event({Touch(where)});
    const auto actions = actions_; // a handler may add actions
    for (const auto& [target, action] : actions)
        if (target && action)
            action(this, event);
}

} // namespace ui
