#include "platform/ui/Style.h"

#include <QChildEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QQueue>
#include <QWidget>

namespace ui {

QColor accentColor()
{
    return colorWithRed(0.35, 0.75, 0.99, 1.0);
}

QColor colorWithRed(double red, double green, double blue, double alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

QColor colorWithWhite(double white, double alpha)
{
    return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
}

// Draws a layer's border above the view's children. Lets every mouse event
// through to what lies beneath.
class BorderOverlay : public QWidget {
public:
    BorderOverlay(QWidget* parent, Layer* layer) : QWidget(parent), layer_(layer)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const double w = layer_->borderWidth();
        if (w <= 0)
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(layer_->borderColor(), w));
        p.setBrush(Qt::NoBrush);
        const QRectF r = QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2);
        const double radius = std::max(0.0, layer_->cornerRadius() - w / 2);
        p.drawRoundedRect(r, radius, radius);
    }

private:
    Layer* layer_;
};

Layer::Layer(QWidget* view) : QObject(view), view_(view)
{
    setObjectName(QStringLiteral("ui_layer"));
    view->installEventFilter(this);
}

Layer* Layer::of(QWidget* view)
{
    if (Layer* existingLayer = existing(view))
        return existingLayer;
    return new Layer(view);
}

Layer* Layer::existing(const QWidget* view)
{
    return view ? view->findChild<Layer*>(QStringLiteral("ui_layer"), Qt::FindDirectChildrenOnly) : nullptr;
}

void Layer::setCornerRadius(double radius)
{
    cornerRadius_ = std::max(0.0, radius);
    updateMask();
    updateBorder();
    view_->update();
}

void Layer::setBorderWidth(double width)
{
    borderWidth_ = std::max(0.0, width);
    updateBorder();
}

void Layer::setBorderColor(const QColor& color)
{
    borderColor_ = color;
    updateBorder();
}

void Layer::setMasksToBounds(bool clip)
{
    masksToBounds_ = clip;
    updateMask();
}

void Layer::setBackgroundColor(const QColor& color)
{
    backgroundColor_ = color;
    view_->update();
}

void Layer::updateMask()
{
    if (!masksToBounds_ || cornerRadius_ <= 0 || view_->width() <= 0 || view_->height() <= 0) {
        view_->clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(view_->rect()), cornerRadius_, cornerRadius_);
    view_->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void Layer::updateBorder()
{
    if (borderWidth_ <= 0) {
        if (border_)
            border_->hide();
        return;
    }
    if (!border_)
        border_ = new BorderOverlay(view_, this);
    border_->setGeometry(view_->rect());
    border_->raise();
    border_->show();
    border_->update();
}

bool Layer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        if (backgroundColor_.alpha() > 0) {
            QPainter p(view_);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(backgroundColor_);
            if (cornerRadius_ > 0)
                p.drawRoundedRect(QRectF(view_->rect()), cornerRadius_, cornerRadius_);
            else
                p.drawRect(view_->rect());
        }
        break;
    case QEvent::Resize:
        updateMask();
        if (border_)
            border_->setGeometry(view_->rect());
        break;
    case QEvent::ChildAdded:
        // Keep the border above children added later.
        if (border_ && static_cast<QChildEvent*>(event)->child() != border_)
            QMetaObject::invokeMethod(border_.data(), "raise", Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return false;
}

void setBackgroundColor(QWidget* view, const QColor& color)
{
    Layer::of(view)->setBackgroundColor(color);
}

QColor backgroundColor(const QWidget* view)
{
    const Layer* layer = Layer::existing(view);
    return layer ? layer->backgroundColor() : QColor(Qt::transparent);
}

void setAlpha(QWidget* view, double alpha)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (alpha >= 1.0) {
        if (effect)
            view->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        view->setGraphicsEffect(effect);
    }
    effect->setOpacity(alpha);
}

double alpha(const QWidget* view)
{
    const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

void setClipsToBounds(QWidget* view, bool clip)
{
    Layer::of(view)->setMasksToBounds(clip);
}

QRect frame(const QWidget* view)
{
    return view->geometry();
}

int tag(const QWidget* view)
{
    return view->property("tag").toInt();
}

void setTag(QWidget* view, int value)
{
    view->setProperty("tag", value);
}

QWidget* viewWithTag(QWidget* view, int wanted)
{
    if (!view)
        return nullptr;
    QQueue<QWidget*> queue;
    queue.enqueue(view);
    while (!queue.isEmpty()) {
        QWidget* w = queue.dequeue();
        if (tag(w) == wanted)
            return w;
        for (QObject* child : w->children())
            if (child->isWidgetType())
                queue.enqueue(static_cast<QWidget*>(child));
    }
    return nullptr;
}

void addSubview(QWidget* parent, QWidget* child)
{
    const bool hidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
    const QRect geometry = child->geometry();
    child->setParent(parent);
    child->setGeometry(geometry);
    child->raise();
    if (!hidden)
        child->show();
}

void removeFromSuperview(QWidget* view)
{
    view->hide();
    view->setParent(nullptr);
}

} // namespace ui
