#pragma once
// Paints a row of the picker: artwork, title, artist and album, check mark.

#include <QStyledItemDelegate>

namespace medialibrary {

class MediaPickerController;
class PickerModel;

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
