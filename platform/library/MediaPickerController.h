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
// Many songs at once: "Tick all" (and Ctrl+A) ticks every song the list shows
// (after a search, the search's songs) that can be converted; "Untick all"
// (Ctrl+Shift+A) unticks every song; Shift+click ticks or unticks the rows
// from the last row tapped to the one clicked, as that last row is now; Space
// ticks the focused row, Shift+Space the rows from the last one tapped to it,
// and Shift with the arrow, page and Home/End keys carries that row's state
// along as the focus moves. Songs that are left out (copy-protected ones,
// ones that cannot be read or converted) are never ticked by any of these;
// a protected song can be ticked on its own, by a tap. The number of ticked
// songs shows while picking.
//
// The screen lays itself out for the window's size: more rows on a taller
// one, its controls across a wide one no wider than a comfortable line.

#include "platform/library/MediaItem.h"
#include "platform/library/PickerSearch.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <thread>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QKeyEvent;
class QPushButton;

namespace medialibrary {

class ArtworkLoader;
class LibraryScan;
class MediaLibrary;
class MediaPickerController;
class MusicFolder;
class PickerModel;
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
    void setAllowsPickingMultipleItems(bool allows);
    QString prompt() const { return prompt_; }
    void setPrompt(const QString& prompt);

    // What the user does, for the screen's own controls and for automation.
    void setSearchText(const QString& text);
    int numberOfRows() const;          // rows shown under the current search
    MediaItem itemAtRow(int row) const;
    void tapRow(int row);              // checks or unchecks; picks at once without multiple selection
    bool isRowChecked(int row) const;
    // Ticks every convertible song shown; unticks every song.
    void tickAll();
    void untickAll();
    // Gives the rows from the last row tapped (the anchor) to `row` the
    // anchor's state: ticks the convertible songs among them, or unticks them all.
    void tickRange(int row);
    int numberOfCheckedItems() const { return int(checked_.size()); }
    std::vector<MediaItem> checkedItems() const; // in the order checked
    void done();
    void cancel();

    // Whether `item` can be ticked: every song but those that are no song
    // Ripwell can read or convert (a protected one can be, and is left out by
    // whoever asked).
    static bool isPickable(const MediaItem& item);
    // Whether `item` is a song Ripwell converts: what tickAll() and ranges tick.
    static bool isConvertible(const MediaItem& item);
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
    QLineEdit* searchField() const { return search_; }
    QPushButton* tickAllButton() const { return tickAllButton_; }
    QPushButton* untickAllButton() const { return untickAllButton_; }
    QLabel* tickedLabel() const { return tickedLabel_; }

    void viewDidLayoutSubviews() override;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class PickerModel;
    friend class PickerRowDelegate;
    std::unique_ptr<ArtworkLoader> makeArtworkLoader();
    QImage thumbnailFor(const MediaItem& item); // null while loading
    bool isRowVisible(quint64 id) const;
    void startFillingIn(std::shared_ptr<LibraryScan> scan);
    // The songs listed: the library's own, or those a scan has read so far.
    const std::vector<MediaItem>& songs() const;
    void listLibrary(); // the songs of library_ from now on
    void takeNewLibrary(); // the folder's rescan has finished
    void showNewLibrary(const std::shared_ptr<const MediaLibrary>& library, PickerSearch keys);
    // The row shown on screen that lists the song with `id`, or -1.
    int shownRowOf(quint64 id) const;
    void fillIn();
    QString emptyListReason() const; // empty while there are rows
    void updateEmptyHint();
    MediaItem itemWithPersistentID(quint64 id) const;
    // The song's position in songs() of a row, or -1.
    qsizetype positionOfRow(int row) const;
    // Ticks or unticks the song at `position` of songs(); false when nothing changed.
    bool setChecked(qsizetype position, bool checked);
    // The ticks of the songs listed now, from checked_ (songs that are gone
    // drop out of it).
    void retick();
    // Shows the ticks of the rows listed now: in the list's selection, the
    // count and the controls.
    void showTicks();
    void updateTickControls();
    bool handleListKey(QKeyEvent* event);

    unsigned mediaTypes_;
    std::shared_ptr<MusicFolder> folder_;         // when it lists a music folder
    std::shared_ptr<const MediaLibrary> library_; // nullptr while filling in
    std::shared_ptr<const MediaLibrary> incoming_; // the rescan's, while its keys are worked out
    std::shared_ptr<MediaPickerController*> self_ = std::make_shared<MediaPickerController*>(this);
    std::thread preparing_; // works out the keys of incoming_
    std::shared_ptr<LibraryScan> scan_;           // while filling in
    std::size_t taken_ = 0;                       // songs of the scan taken so far
    std::vector<MediaItem> all_; // the songs read so far while filling in
    bool fromLibrary_ = false;   // songs() are library_'s
    PickerSearch keys_;          // what the search looks in, per song of songs()
    MediaPickerControllerDelegate* delegate_ = nullptr;
    bool allowsMultiple_ = false;
    QString prompt_;
    std::vector<quint64> checked_; // ids, in the order checked
    std::vector<char> tickedAt_;   // by position in songs(): whether that song is ticked
    quint64 anchorId_ = 0;         // the row last tapped, where ranges start
    Qt::KeyboardModifiers clickModifiers_; // of the mouse click the list reports

    PickerModel* model_ = nullptr;
    PickerTickSelection* ticks_ = nullptr;
    QListView* list_ = nullptr;
    QObject* listViewport_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* promptLabel_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* emptyHint_ = nullptr; // over the list while it has no rows: why
    QPushButton* cancelButton_ = nullptr;
    QPushButton* doneButton_ = nullptr;
    QPushButton* tickAllButton_ = nullptr;
    QPushButton* untickAllButton_ = nullptr;
    QLabel* tickedLabel_ = nullptr;

    std::unique_ptr<ArtworkLoader> artwork_;
    bool finished_ = false;
};

} // namespace medialibrary
