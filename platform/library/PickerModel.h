#pragma once
// The picker's rows under the current search: positions in its list of songs.

#include "platform/library/MediaItem.h"

#include <QAbstractListModel>
#include <QHash>
#include <QItemSelectionModel>
#include <functional>
#include <vector>

namespace medialibrary {

class MediaPickerController;

// The rows shown under the current search: positions in the picker's list.
class PickerModel : public QAbstractListModel {
public:
    explicit PickerModel(MediaPickerController* picker);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const MediaItem& item(int row) const;
    // The row of the song with `id` under the current search, or -1.
    int rowOf(quint64 id) const;
    // Shows the songs whose search key holds every word of `text`.
    void setFilter(const QString& text);
    // Repaints the song's row.
    void refresh(quint64 id);

private:
    MediaPickerController* picker_;
    std::vector<std::size_t> rows_;
    mutable QHash<quint64, int> rowOfId_;
};

// The list's selection is the picker's ticks. Assistive technology ticks a
// row by selecting it (the row's Toggle action selects or deselects it), so
// such a request goes to `tap`, the picker's own handling of a click, and the
// selection then shows the ticks again. Clicks and keys reach the picker as
// before: no selection the view asks for on its own is taken.
class PickerTickSelection : public QItemSelectionModel {
public:
    PickerTickSelection(PickerModel* model, std::function<void(int row)> tap);

    void select(const QModelIndex& index, SelectionFlags command) override;
    void select(const QItemSelection& selection, SelectionFlags command) override;
    // Makes the row's selection its tick.
    void showTick(int row, bool ticked);
    // Makes `ticked` the whole selection: every row's tick at once.
    void showTicks(const QItemSelection& ticked);

private:
    std::function<void(int)> tap_;
    bool showing_ = false;
};

} // namespace medialibrary
