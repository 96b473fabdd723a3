#pragma once
// The media picker: a screen listing the songs of a library, sorted by
// artist, album, track and title, each with its small artwork, a search field
// and check marks. Done hands the checked songs to the delegate in the order
// in which they were checked; Cancel hands nothing. Whoever presented the
// picker dismisses it from inside the delegate call.
//
//   auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, musicFolder);
//   picker->setDelegate(this);
//   picker->setAllowsPickingMultipleItems(true);
//   picker->setPrompt(L("Select media for extraction"));
//   presentModalViewController(picker, true);
//
// Opened while its music folder is still being scanned, the picker shows the
// songs read so far at once and fills in as the scan goes on.
//
// Artwork is loaded lazily, on a background thread, only for rows that are on
// screen when their turn comes, and kept in a small cache.
//
// Beside the songs, a Playlists view lists the library's playlists: ticking
// one ticks the songs of it that are converted, in its order, after those
// ticked before; unticking it unticks them again (but for those another
// ticked playlist holds). Whoever asked reads the ticked playlists with
// checkedPlaylists() in the delegate call, to write their files.

#include "platform/library/Library.h"
#include "platform/library/MediaItem.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace medialibrary {

class ArtworkLoader;
class LibraryScan;
class MediaLibrary;
class MediaPickerController;
class MusicFolder;
class PickerModel;
class PickerPlaylistModel;
class PickerTickSelection;

// Media types of the picker, as bit flags.
enum MediaType : unsigned {
    MediaTypeMusic = 1 << 0,
    MediaTypePodcast = 1 << 1,
    MediaTypeAudioBook = 1 << 2,
    MediaTypeAnyAudio = 0xff,
};

class MediaPickerControllerDelegate {
public:
    virtual ~MediaPickerControllerDelegate() = default;
    virtual void mediaPicker(MediaPickerController* mediaPicker, const MediaItemCollection& didPickMediaItems) = 0;
    virtual void mediaPickerDidCancel(MediaPickerController* mediaPicker) = 0;
};

class MediaPickerController : public ui::ViewController {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 54;
    static constexpr int kArtworkSide = 42;

    // Lists `library`. Every song of the library is music, so any media type
    // that includes music lists all.
    MediaPickerController(unsigned mediaTypes, std::shared_ptr<const MediaLibrary> library, QObject* parent = nullptr);
    // Lists what `folder` shows, and takes in what a rescan of it finds while open.
    MediaPickerController(unsigned mediaTypes, std::shared_ptr<MusicFolder> folder, QObject* parent = nullptr);
    // Lists what `scan` has read so far and fills in until it has finished.
    MediaPickerController(unsigned mediaTypes, std::shared_ptr<LibraryScan> scan, QObject* parent = nullptr);
    ~MediaPickerController() override;

    unsigned mediaTypes() const { return mediaTypes_; }
    MediaPickerControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(MediaPickerControllerDelegate* delegate) { delegate_ = delegate; }
    bool allowsPickingMultipleItems() const { return allowsMultiple_; }
    void setAllowsPickingMultipleItems(bool allows) { allowsMultiple_ = allows; }
    QString prompt() const { return prompt_; }
    void setPrompt(const QString& prompt);

    // What the user does, for the screen's own controls and for automation.
    void setSearchText(const QString& text);
    int numberOfRows() const;          // rows shown under the current search
    MediaItem itemAtRow(int row) const;
    void tapRow(int row);              // checks or unchecks; picks at once without multiple selection
    bool isRowChecked(int row) const;
    std::vector<MediaItem> checkedItems() const; // in the order checked
    void done();
    void cancel();

    // Whether `item` can be ticked: every song but those that are no song
    // Ripwell can read or convert (a protected one can be, and is left out by
    // whoever asked).
    static bool isPickable(const MediaItem& item);
    // Why the song is left out, for people ("Cannot be read"); empty for one
    // that is handed over.
    static QString leftOutText(const MediaItem& item);

    // Whether songs are still coming in from a running scan.
    bool isFillingIn() const { return scan_ != nullptr; }

    // Artwork loads started so far (for the benchmark).
    int artworkLoadsStarted() const;
    // Whether pictures are still being loaded or waiting for their turn.
    bool isLoadingArtwork() const;

    QListView* listView() const { return list_; }

    // The Playlists view: shown in place of the songs, or not.
    void showPlaylists(bool shown);
    bool showsPlaylists() const { return showsPlaylists_; }
    int numberOfPlaylistRows() const; // playlists shown under the current search
    Playlist playlistAtRow(int row) const;
    void tapPlaylistRow(int row); // ticks or unticks the playlist and its songs
    bool isPlaylistRowChecked(int row) const;
    std::vector<Playlist> checkedPlaylists() const; // in the order ticked
    QListView* playlistView() const { return playlistList_; }

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class PickerModel;
    friend class PickerRowDelegate;
    friend class PickerPlaylistModel;
    std::unique_ptr<ArtworkLoader> makeArtworkLoader();
    QImage thumbnailFor(const MediaItem& item); // null while loading
    bool isRowVisible(quint64 id) const;
    void startFillingIn(std::shared_ptr<LibraryScan> scan);
    void setItems(std::vector<MediaItem> items);
    void takeNewLibrary(); // the folder's rescan has finished
    static QString searchKey(const MediaItem& item);
    void fillIn();
    QString emptyListReason() const; // empty while there are rows
    void updateEmptyHint();
    MediaItem itemWithPersistentID(quint64 id) const;
    void takePlaylists(); // from library_, keeping the ticks of those still there
    void showTicksAnew();
    static QString playlistKey(const Playlist& playlist);

    unsigned mediaTypes_;
    std::shared_ptr<MusicFolder> folder_;         // when it lists a music folder
    std::shared_ptr<const MediaLibrary> library_; // nullptr while filling in
    std::shared_ptr<LibraryScan> scan_;           // while filling in
    std::size_t taken_ = 0;                       // songs of the scan taken so far
    std::vector<MediaItem> all_;
    std::vector<QString> searchKeys_; // per song of all_: what the search looks in
    MediaPickerControllerDelegate* delegate_ = nullptr;
    bool allowsMultiple_ = false;
    QString prompt_;
    std::vector<quint64> checked_; // ids, in the order checked
    std::vector<Playlist> playlists_;
    std::vector<QString> checkedPlaylists_; // playlistKey()s, in the order ticked
    bool showsPlaylists_ = false;

    PickerModel* model_ = nullptr;
    PickerTickSelection* ticks_ = nullptr;
    QListView* list_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* promptLabel_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* emptyHint_ = nullptr; // over the list while it has no rows: why
    PickerPlaylistModel* playlistModel_ = nullptr;
    QListView* playlistList_ = nullptr;
    QPushButton* songsTab_ = nullptr;
    QPushButton* playlistsTab_ = nullptr;

    std::unique_ptr<ArtworkLoader> artwork_;
    bool finished_ = false;
};

} // namespace medialibrary
