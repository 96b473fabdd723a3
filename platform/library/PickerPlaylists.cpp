#include "platform/library/PickerPlaylists.h"
#include "platform/library/PickerRowDelegate.h"

#include "platform/foundation/Localization.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/library/PickerModel.h"
#include "platform/ui/Image.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/Window.h"

#include <QPainter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace medialibrary {

PickerPlaylistModel::PickerPlaylistModel(MediaPickerController* picker) : QAbstractListModel(picker), picker_(picker)
{
    setFilter({});
}

int PickerPlaylistModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant PickerPlaylistModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return playlist(index.row()).name;
    if (role == Qt::CheckStateRole)
        return picker_->isPlaylistRowChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::AccessibleDescriptionRole)
        return detailText(playlist(index.row()));
    return {};
}

const Playlist& PickerPlaylistModel::playlist(int row) const
{
    return picker_->playlists_[rows_[static_cast<std::size_t>(row)]];
}

void PickerPlaylistModel::setFilter(const QString& text)
{
    filter_ = text;
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    beginResetModel();
    rows_.clear();
    for (std::size_t i = 0; i < picker_->playlists_.size(); ++i) {
        const QString& name = picker_->playlists_[i].name;
        if (std::all_of(words.cbegin(), words.cend(), [&](const QString& w) { return name.contains(w, Qt::CaseInsensitive); }))
            rows_.push_back(i);
    }
    endResetModel();
}

void PickerPlaylistModel::refreshAll()
{
    if (!rows_.empty())
        emit dataChanged(index(0), index(rowCount() - 1));
}

std::vector<MediaItem> PickerPlaylistModel::convertedSongs(const Playlist& playlist)
{
    std::vector<MediaItem> songs;
    QSet<quint64> seen;
    for (const MediaItem& item : playlist.items) {
        if (item.leftOutReason() != LeftOutReason::None || !item.hasAssetURL() || seen.contains(item.persistentID()))
            continue;
        seen.insert(item.persistentID());
        songs.push_back(item);
    }
    return songs;
}

QString PickerPlaylistModel::detailText(const Playlist& playlist)
{
    std::size_t converted = 0;
    for (const MediaItem& item : playlist.items)
        if (item.leftOutReason() == LeftOutReason::None && item.hasAssetURL())
            ++converted;
    const std::size_t leftOut = playlist.items.size() - converted + playlist.unresolved.size();
    QString text = converted == 1 ? L("1 song") : L("%1 songs").arg(converted);
    if (leftOut > 0)
        text += QStringLiteral(" · ") + L("%1 left out").arg(leftOut);
    return text;
}

PickerPlaylistDelegate::PickerPlaylistDelegate(MediaPickerController* picker, PickerPlaylistModel* model)
    : QStyledItemDelegate(picker), picker_(picker), model_(model)
{
}

QSize PickerPlaylistDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {ui::Window::kWidth, MediaPickerController::kRowHeight};
}

bool PickerPlaylistDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false; // a tap goes to the picker
}

void PickerPlaylistDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const Playlist& playlist = model_->playlist(index.row());
    const bool checked = picker_->isPlaylistRowChecked(index.row());
    const QRectF art = beginPickerRow(p, option.rect, checked);
    p->drawImage(art, ui::imageNamed(QStringLiteral("playlist.png")));
    endPickerRow(p, option, int(art.right()) + 10, playlist.name, QColor(Qt::white),
                 PickerPlaylistModel::detailText(playlist), checked);
}

} // namespace medialibrary

// ---- The picker's side of the view ----------------------------------------

namespace medialibrary {

QString MediaPickerController::playlistKey(const Playlist& playlist)
{
    return playlist.place + u'\n' + playlist.name;
}

void MediaPickerController::takePlaylists()
{
    playlists_ = library_ && (mediaTypes_ & MediaTypeMusic) ? library_->playlists() : std::vector<Playlist>();
    QSet<QString> there;
    for (const Playlist& playlist : playlists_)
        there.insert(playlistKey(playlist));
    checkedPlaylists_.erase(std::remove_if(checkedPlaylists_.begin(), checkedPlaylists_.end(),
                                           [&](const QString& key) { return !there.contains(key); }),
                            checkedPlaylists_.end());
    if (playlistModel_)
        playlistModel_->setFilter(search_->text());
}

void MediaPickerController::showPlaylists(bool shown)
{
    view();
    showsPlaylists_ = shown;
    (shown ? playlistsTab_ : songsTab_)->setChecked(true);
    countLabel_->setText(shown ? L("Playlists") : L("Songs"));
    list_->setHidden(shown);
    playlistList_->setHidden(!shown);
    // Tick all and Untick all act on the songs shown: not in this view.
    tickAllButton_->setVisible(allowsMultiple_ && !shown);
    untickAllButton_->setVisible(allowsMultiple_ && !shown);
    updateEmptyHint();
}

int MediaPickerController::numberOfPlaylistRows() const
{
    return playlistModel_ ? playlistModel_->rowCount() : static_cast<int>(playlists_.size());
}

Playlist MediaPickerController::playlistAtRow(int row) const
{
    if (row < 0 || row >= numberOfPlaylistRows())
        return {};
    return playlistModel_ ? playlistModel_->playlist(row) : playlists_[static_cast<std::size_t>(row)];
}

bool MediaPickerController::isPlaylistRowChecked(int row) const
{
    if (row < 0 || row >= numberOfPlaylistRows())
        return false;
    const QString key = playlistKey(playlistAtRow(row));
    return std::find(checkedPlaylists_.begin(), checkedPlaylists_.end(), key) != checkedPlaylists_.end();
}

void MediaPickerController::tapPlaylistRow(int row)
{
    if (row < 0 || row >= numberOfPlaylistRows() || finished_ || !allowsMultiple_)
        return;
    const Playlist playlist = playlistAtRow(row);
    const QString key = playlistKey(playlist);
    const auto it = std::find(checkedPlaylists_.begin(), checkedPlaylists_.end(), key);
    const bool ticks = it == checkedPlaylists_.end();
    if (ticks)
        checkedPlaylists_.push_back(key);
    else
        checkedPlaylists_.erase(it);
    // The songs' positions in the list, by id.
    const std::vector<MediaItem>& listed = songs();
    QHash<quint64, qsizetype> positions;
    positions.reserve(qsizetype(listed.size()));
    for (std::size_t p = 0; p < listed.size(); ++p)
        positions.insert(listed[p].persistentID(), qsizetype(p));
    if (ticks) {
        for (const MediaItem& item : PickerPlaylistModel::convertedSongs(playlist))
            if (const auto found = positions.constFind(item.persistentID()); found != positions.cend())
                setChecked(*found, true);
    } else {
        // Its songs go, but for those that another ticked playlist holds.
        QSet<quint64> kept;
        for (const Playlist& other : checkedPlaylists())
            for (const MediaItem& item : other.items)
                kept.insert(item.persistentID());
        for (const MediaItem& item : playlist.items)
            if (const auto found = positions.constFind(item.persistentID());
                found != positions.cend() && !kept.contains(item.persistentID()))
                setChecked(*found, false);
    }
    showTicks();
    if (playlistModel_)
        playlistModel_->refreshAll();
}

std::vector<Playlist> MediaPickerController::checkedPlaylists() const
{
    std::vector<Playlist> out;
    for (const QString& key : checkedPlaylists_)
        for (const Playlist& playlist : playlists_)
            if (playlistKey(playlist) == key)
                out.push_back(playlist);
    return out;
}

} // namespace medialibrary
