#pragma once
// Paints a row of the picker: artwork, title, artist and album, check mark.

#include <QStyledItemDelegate>

namespace medialibrary {

class MediaPickerController;
class PickerModel;

// What every row of the picker paints, a song's or a playlist's: the row's
// ground, returning where its picture goes (the painter saved), and then the
// title and detail lines, the tick, the separator and the keyboard's focus
// ring (the painter restored).
QRectF beginPickerRow(QPainter* p, const QRect& r, bool checked);
void endPickerRow(QPainter* p, const QStyleOptionViewItem& option, int textLeft, const QString& title,
                  const QColor& titleColor, const QString& detail, bool checked);

class PickerRowDelegate : public QStyledItemDelegate {
public:
    PickerRowDelegate(MediaPickerController* picker, PickerModel* model);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Rows are checked by the picker on a tap, not by the item view's own
    // check box handling.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    MediaPickerController* picker_;
    PickerModel* model_;
};

} // namespace medialibrary
