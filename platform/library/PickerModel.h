#pragma once
// The picker's rows under the current search: positions in its list of songs.

#include "platform/library/MediaItem.h"

#include <QAbstractListModel>
#include <QHash>
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

} // namespace medialibrary
