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
// While a search text grows letter by letter, each search looks only among
// the rows of the one before; the rows of the texts on the way are kept, so
// deleting letters again takes them back at once.
class PickerModel : public QAbstractListModel {
public:
    explicit PickerModel(MediaPickerController* picker);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const MediaItem& item(int row) const;
    // The position in the picker's songs of the song in `row`.
    quint32 songAt(int row) const { return rows_[std::size_t(row)]; }
    // The row of the song with `id` under the current search, or -1.
    int rowOf(quint64 id) const;
    // Shows the songs whose title, artist or album holds every word of `text`.
    void setFilter(const QString& text);
    // The picker's songs have changed: no earlier search's rows hold.
    void songsChanged();
    // Repaints a row.
    void refreshRow(int row);

private:
    struct Earlier {
        QString text;
        std::vector<quint32> rows;
    };

    MediaPickerController* picker_;
    std::vector<quint32> rows_;
    std::vector<Earlier> earlier_; // the searches whose texts begin the current one, shortest first
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
