#include "platform/ui/Overlay.h"

#include "platform/ui/Style.h"

#include <QEvent>
#include <QPainter>

namespace ui {

Overlay::Overlay(QWidget* host) : QWidget(host)
{
    setGeometry(host->rect());
    setAttribute(Qt::WA_NoSystemBackground);
    host->installEventFilter(this);
}

bool Overlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        layoutContent();
    }
    return QWidget::eventFilter(watched, event);
}

void Overlay::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(0, 0, 0, 120));
}

QWidget* makeMenuBox(QWidget* parent)
{
    auto* box = new QWidget(parent);
    setBackgroundColor(box, colorWithWhite(0.1, 0.96));
    Layer* layer = Layer::of(box);
    layer->setCornerRadius(14);
    layer->setBorderWidth(2);
    layer->setBorderColor(Qt::white);
    layer->setMasksToBounds(true);
    return box;
}

} // namespace ui
