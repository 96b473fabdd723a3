#include "platform/library/PickerRowDelegate.h"

#include "platform/library/MediaPickerController.h"
#include "platform/library/PickerModel.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/Window.h"

#include <QListView>
#include <QPainter>
#include <QPainterPath>

namespace medialibrary {

QRectF beginPickerRow(QPainter* p, const QRect& r, bool checked)
{
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::SmoothPixmapTransform);
    p->fillRect(r, checked ? ui::colorWithRed(0.35, 0.75, 0.99, 0.14) : QColor(Qt::black));
    const int side = MediaPickerController::kArtworkSide;
    return QRectF(r.left() + 10, r.top() + (r.height() - side) / 2.0, side, side);
}

void endPickerRow(QPainter* p, const QStyleOptionViewItem& option, int textLeft, const QString& title,
                  const QColor& titleColor, const QString& detail, bool checked)
{
    const QRect r = option.rect;
    const int textRight = r.right() - 34;
    const QFont titleFont = ui::theme::systemFont(14, true);
    const QFont detailFont = ui::theme::systemFont(12);
    const QRect titleRect(textLeft, r.top() + 8, textRight - textLeft, 20);
    const QRect detailRect(textLeft, r.top() + 28, textRight - textLeft, 18);
    p->setFont(titleFont);
    p->setPen(titleColor);
    p->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetrics(titleFont).elidedText(title, Qt::ElideRight, titleRect.width()));
    p->setFont(detailFont);
    p->setPen(ui::colorWithWhite(0.62));
    p->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetrics(detailFont).elidedText(detail, Qt::ElideRight, detailRect.width()));

    if (checked) {
        QPainterPath tick;
        const QPointF c(r.right() - 18, r.center().y() + 0.5);
        tick.moveTo(c + QPointF(-7, 0));
        tick.lineTo(c + QPointF(-2, 5));
        tick.lineTo(c + QPointF(7, -6));
        p->setPen(QPen(ui::accentColor(), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->setBrush(Qt::NoBrush);
        p->drawPath(tick);
    }
    p->setPen(QPen(ui::colorWithWhite(1.0, 0.14), 1));
    p->drawLine(QPointF(textLeft, r.bottom() + 0.5), QPointF(r.right(), r.bottom() + 0.5));
    if (option.state & QStyle::State_HasFocus) { // the keyboard's row
        p->setPen(QPen(ui::accentColor(), 2));
        p->setBrush(Qt::NoBrush);
        p->drawRoundedRect(QRectF(r).adjusted(2, 2, -2, -2), 5, 5);
    }
    p->restore();
}

PickerRowDelegate::PickerRowDelegate(MediaPickerController* picker, PickerModel* model)
    : QStyledItemDelegate(picker), picker_(picker), model_(model)
{
}

QSize PickerRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // As wide as the list; a list shows its rows across its whole width anyway.
    const int width = picker_->listView() ? picker_->listView()->viewport()->width() : ui::Window::kWidth;
    return {width, MediaPickerController::kRowHeight};
}

bool PickerRowDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false;
}

void PickerRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const MediaItem& item = model_->item(index.row());
    const QRect r = option.rect;
    const bool checked = picker_->isRowChecked(index.row());
    const QRectF art = beginPickerRow(p, r, checked);
    QPainterPath clip;
    clip.addRoundedRect(art, 5, 5);
    const QImage thumb = picker_->thumbnailFor(item);
    if (thumb.isNull()) {
        p->fillPath(clip, ui::colorWithWhite(0.16));
    } else {
        p->save();
        p->setClipPath(clip);
        p->drawImage(art, thumb);
        p->restore();
    }
    p->setPen(QPen(ui::colorWithWhite(1.0, 0.35), 1));
    p->drawPath(clip);

    const int textLeft = int(art.right()) + 10;
    // A song that is left out says why in place of its artist and album.
    const QString detail = [&] {
        if (const QString why = MediaPickerController::leftOutText(item); !why.isEmpty())
            return why;
        QStringList parts;
        if (!item.artist().isNull())
            parts << item.artist();
        if (!item.albumTitle().isNull())
            parts << item.albumTitle();
        return parts.join(QStringLiteral(" – "));
    }();
    endPickerRow(p, option, textLeft, item.displayTitle(),
                 item.hasAssetURL() ? QColor(Qt::white) : ui::colorWithWhite(0.6), detail, checked);
}

} // namespace medialibrary
