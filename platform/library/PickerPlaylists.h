#pragma once
// The picker's Playlists view: the library's playlists under the current
// search, each a row with its name, how many of its songs are converted and
// how many of its entries are left out, and a tick.

#include "platform/library/Library.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <vector>

namespace medialibrary {

class MediaPickerController;

class PickerPlaylistModel : public QAbstractListModel {
public:
    explicit PickerPlaylistModel(MediaPickerController* picker);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const Playlist& playlist(int row) const;
    // Shows the playlists whose name holds every word of `text`.
    void setFilter(const QString& text);
    // Repaints every row (their ticks follow the songs').
    void refreshAll();

    // The songs of `playlist` that are converted, in its order; a song it
    // lists twice is there once.
    static std::vector<MediaItem> convertedSongs(const Playlist& playlist);
    // "12 songs", and the entries left out when there are any.
    static QString detailText(const Playlist& playlist);

private:
    MediaPickerController* picker_;
    QString filter_;
    std::vector<std::size_t> rows_;
};

// Paints a playlist's row: its image, name, counts and tick.
class PickerPlaylistDelegate : public QStyledItemDelegate {
public:
    PickerPlaylistDelegate(MediaPickerController* picker, PickerPlaylistModel* model);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    MediaPickerController* picker_;
    PickerPlaylistModel* model_;
};

} // namespace medialibrary
