#include "platform/ui/TableViewCellParts.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"

#include <QPainter>

namespace ui::tablecell {

void discard(QWidget* view)
{
    if (!view)
        return;
    view->hide();
    view->deleteLater();
}

QColor deleteRed()
{
    return QColor(214, 36, 36);
}

} // namespace ui::tablecell

namespace ui {

using namespace tablecell;

DeleteControl::DeleteControl(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(L("Delete"));
}

void DeleteControl::setTurned(bool turned)
{
    turned_ = turned;
    update();
}

void DeleteControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(deleteRed());
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF c = r.center();
    const double len = r.width() * 0.55;
    const double thick = 3.0;
    if (turned_)
        p.drawRoundedRect(QRectF(c.x() - thick / 2, c.y() - len / 2, thick, len), 1, 1);
    else
        p.drawRoundedRect(QRectF(c.x() - len / 2, c.y() - thick / 2, len, thick), 1, 1);
}

AccessoryMark::AccessoryMark(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(kAccessorySide, kAccessorySide);
}

void AccessoryMark::setType(TableViewCellAccessoryType type)
{
    type_ = type;
    update();
}

void AccessoryMark::paintEvent(QPaintEvent*)
{
    if (type_ != TableViewCellAccessoryType::DetailDisclosureButton)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    const QPointF c = r.center();
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(accentColor());
    p.drawEllipse(r);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({c + QPointF(-2, -4.5), c + QPointF(2.5, 0), c + QPointF(-2, 4.5)}));
}

FadingPicture::FadingPicture(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), pixmap_(pixmap)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FadingPicture::setOpacity(double opacity)
{
    opacity_ = opacity;
    update();
}

void FadingPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setOpacity(opacity_);
    p.drawPixmap(rect(), pixmap_);
}

} // namespace ui
