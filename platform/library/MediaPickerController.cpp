#include "platform/library/MediaPickerController.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/ArtworkLoader.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/PickerModel.h"
#include "platform/library/PickerPlaylists.h"
#include "platform/library/PickerRowDelegate.h"
#include "platform/ui/Image.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/Window.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

namespace medialibrary {

MediaPickerController::MediaPickerController(unsigned mediaTypes, std::shared_ptr<const MediaLibrary> library,
                                             QObject* parent)
    : ui::ViewController(parent), mediaTypes_(mediaTypes), library_(std::move(library)), artwork_(makeArtworkLoader())
{
    listLibrary();
}

MediaPickerController::MediaPickerController(unsigned mediaTypes, std::shared_ptr<MusicFolder> folder, QObject* parent)
    : ui::ViewController(parent), mediaTypes_(mediaTypes), folder_(std::move(folder)), artwork_(makeArtworkLoader())
{
    // The folder may still be scanning: show what is known.
    if (std::shared_ptr<LibraryScan> scan = folder_->runningScan()) {
        startFillingIn(std::move(scan));
        return;
    }
    library_ = folder_->library();
    // The index's library, while a rescan looks at the folder: what it
    // finds comes in while the picker is open.
    folder_->notifyWhenChanged(this, [this] { takeNewLibrary(); });
    listLibrary();
}

const std::vector<MediaItem>& MediaPickerController::songs() const
{
    return fromLibrary_ ? library_->items() : all_;
}

void MediaPickerController::listLibrary()
{
    // Every song of the library is music: any media type with music lists them all.
    fromLibrary_ = library_ && (mediaTypes_ & MediaTypeMusic);
    all_.clear();
    keys_.setKeys(songs());
    retick();
    if (model_)
        model_->songsChanged();
    takePlaylists();
}

void MediaPickerController::takeNewLibrary()
{
    const std::shared_ptr<const MediaLibrary> library = folder_ ? folder_->loadedLibrary() : nullptr;
    if (!library || library == library_ || library == incoming_ || finished_)
        return;
    incoming_ = library;
    // What the search needs of a hundred thousand songs takes a while to
    // work out: a thread of the pool does it, and the list changes over once
    // it is there. Meanwhile the list stays as it is.
    const std::weak_ptr<MediaPickerController*> self = self_;
    const bool music = mediaTypes_ & MediaTypeMusic;
    if (preparing_.joinable())
        preparing_.join(); // the one before has long been done
    preparing_ = std::thread([self, library, music] {
        auto keys = std::make_shared<PickerSearch>();
        if (music)
            keys->setKeys(library->items());
        timing::onMainThread(nullptr, [self, library, keys] {
            if (const auto picker = self.lock(); picker && *picker)
                (*picker)->showNewLibrary(library, std::move(*keys));
        });
    });
}

void MediaPickerController::showNewLibrary(const std::shared_ptr<const MediaLibrary>& library, PickerSearch keys)
{
    if (library != incoming_ || finished_)
        return;
    incoming_.reset();
    // What the user sees stays: the song at the top of the list and its
    // place, the search, the songs ticked (those still there).
    quint64 topId = 0;
    int topOffset = 0;
    if (list_ && model_) {
        const QModelIndex top = list_->indexAt(QPoint(1, 1));
        if (top.isValid()) {
            topId = model_->item(top.row()).persistentID();
            topOffset = list_->visualRect(top).top();
        }
    }
    std::shared_ptr<const MediaLibrary> old = std::exchange(library_, library);
    fromLibrary_ = mediaTypes_ & MediaTypeMusic;
    all_.clear();
    keys_ = std::move(keys);
    retick(); // the songs ticked that are still there stay ticked
    takePlaylists();
    if (model_) {
        model_->songsChanged();
        model_->setFilter(search_->text());
        if (const int row = topId != 0 ? model_->rowOf(topId) : -1; row >= 0) {
            list_->scrollTo(model_->index(row), QAbstractItemView::PositionAtTop);
            list_->verticalScrollBar()->setValue(list_->verticalScrollBar()->value() - topOffset);
        }
    }
    updateEmptyHint();
    // The songs of the library before are let go on a thread of the pool as
    // well: freeing a hundred thousand of them would hold up the screen.
    if (old)
        std::thread([old = std::move(old)]() mutable { old.reset(); }).detach();
}

MediaPickerController::MediaPickerController(unsigned mediaTypes, std::shared_ptr<LibraryScan> scan, QObject* parent)
    : ui::ViewController(parent), mediaTypes_(mediaTypes), artwork_(makeArtworkLoader())
{
    startFillingIn(std::move(scan));
}

std::unique_ptr<ArtworkLoader> MediaPickerController::makeArtworkLoader()
{
    return std::make_unique<ArtworkLoader>(
        kArtworkSide, [this](quint64 id) { return isRowVisible(id); },
        [this] { return list_ ? list_->devicePixelRatioF() : 1.0; },
        [this](quint64 id) {
            if (model_)
                model_->refreshRow(shownRowOf(id));
        });
}

int MediaPickerController::artworkLoadsStarted() const
{
    return artwork_->loadsStarted();
}

bool MediaPickerController::isLoadingArtwork() const
{
    return artwork_->isLoading();
}

void MediaPickerController::startFillingIn(std::shared_ptr<LibraryScan> scan)
{
    scan_ = std::move(scan);
    fillIn();
    if (!scan_)
        return;
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("fillInTimer"));
    connect(timer, &QTimer::timeout, this, [this, timer] {
        fillIn();
        if (!scan_)
            timer->deleteLater();
    });
    timer->start(timing::scaledMilliseconds(0.2));
}

void MediaPickerController::fillIn()
{
    if (!scan_)
        return;
    const bool finished = scan_->isFinished(); // before taking, so nothing read is missed
    std::vector<MediaItem> fresh = scan_->itemsFrom(taken_);
    taken_ += fresh.size();
    const std::size_t before = songs().size();
    if (finished && scan_->library()) {
        library_ = scan_->library();
        scan_.reset();
        listLibrary(); // the same songs, in the library's order
    } else if (!fresh.empty() && (mediaTypes_ & MediaTypeMusic)) {
        // Merge the new songs, sorted, into the sorted list, keys alongside.
        std::sort(fresh.begin(), fresh.end(), MediaLibrary::inLibraryOrder);
        std::vector<MediaItem> items;
        std::vector<PickerSearch::Key> keys;
        std::vector<PickerSearch::Key>& known = keys_.keys();
        items.reserve(all_.size() + fresh.size());
        keys.reserve(all_.size() + fresh.size());
        std::size_t a = 0, b = 0;
        while (a < all_.size() || b < fresh.size()) {
            if (b == fresh.size() || (a < all_.size() && !MediaLibrary::inLibraryOrder(fresh[b], all_[a]))) {
                items.push_back(std::move(all_[a]));
                keys.push_back(std::move(known[a]));
                ++a;
            } else {
                keys.push_back(keys_.keyOf(fresh[b]));
                items.push_back(std::move(fresh[b]));
                ++b;
            }
        }
        all_ = std::move(items);
        known = std::move(keys);
        retick();
        if (model_)
            model_->songsChanged();
    }
    if (finished && scan_)
        scan_.reset(); // cancelled: keep what was read
    if (model_ && (songs().size() != before || !fresh.empty() || library_)) {
        // Keep the place in the list while rows come in.
        const int scrolled = list_->verticalScrollBar()->value();
        model_->setFilter(search_->text());
        list_->verticalScrollBar()->setValue(scrolled);
    }
    updateEmptyHint();
}

MediaItem MediaPickerController::itemWithPersistentID(quint64 id) const
{
    if (library_)
        return library_->itemWithPersistentID(id);
    for (const MediaItem& item : songs())
        if (item.persistentID() == id)
            return item;
    return {};
}

MediaPickerController::~MediaPickerController()
{
    *self_ = nullptr; // a library still being prepared finds no picker
    if (preparing_.joinable())
        preparing_.join();
    artwork_.reset(); // no load may report back to a picker that is going away
}

void MediaPickerController::loadView()
{
    auto* root = new QWidget;
    root->resize(ui::Window::kWidth, ui::Window::kHeight);
    ui::setBackgroundColor(root, Qt::black);
    setTitle(L("Songs"));

    promptLabel_ = new QLabel(prompt_, root);
    promptLabel_->setAlignment(Qt::AlignCenter);
    promptLabel_->setFont(ui::theme::systemFont(12));
    promptLabel_->setStyleSheet(QStringLiteral("color: rgb(190, 190, 195);"));

    cancelButton_ = new QPushButton(L("Cancel"), root);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setStyleSheet(QStringLiteral("color: white; padding: 2px 4px;"));
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });

    doneButton_ = new QPushButton(L("Done"), root);
    doneButton_->setObjectName(QStringLiteral("doneButton"));
    doneButton_->setStyleSheet(QStringLiteral("padding: 2px 4px;"));
    connect(doneButton_, &QPushButton::clicked, this, [this] { done(); });

    countLabel_ = new QLabel(L("Songs"), root);
    countLabel_->setAlignment(Qt::AlignCenter);
    countLabel_->setFont(ui::theme::systemFont(16, true));

    search_ = new QLineEdit(root);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setPlaceholderText(L("Search"));
    search_->setAccessibleName(L("Search"));
    search_->setClearButtonEnabled(true);
    search_->installEventFilter(this); // Ctrl+A ticks, as in the list
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setFilter(text);
        playlistModel_->setFilter(text);
        updateEmptyHint();
    });

    // The songs and the playlists, side by side as tabs under the search.
    songsTab_ = new QPushButton(L("Songs"), root);
    songsTab_->setObjectName(QStringLiteral("songsTab"));
    playlistsTab_ = new QPushButton(L("Playlists"), root);
    playlistsTab_->setObjectName(QStringLiteral("playlistsTab"));
    auto* tabs = new QButtonGroup(root);
    for (QPushButton* tab : {songsTab_, playlistsTab_}) {
        tab->setCheckable(true);
        tab->setFocusPolicy(Qt::TabFocus);
        tab->setStyleSheet(QStringLiteral("QPushButton { color: white; padding: 1px 4px; }"
                                          " QPushButton:checked { color: black; background: rgb(90, 190, 252); }"));
        tabs->addButton(tab);
    }
    songsTab_->setChecked(true);
    connect(songsTab_, &QPushButton::clicked, this, [this] { showPlaylists(false); });
    connect(playlistsTab_, &QPushButton::clicked, this, [this] { showPlaylists(true); });

    // Many at once: every song shown, none, and how many are ticked.
    const QString toolStyle = QStringLiteral("font-size: 13px; padding: 2px 8px; border-radius: 8px;");
    tickAllButton_ = new QPushButton(L("Tick all"), root);
    tickAllButton_->setObjectName(QStringLiteral("tickAllButton"));
    tickAllButton_->setToolTip(L("Ticks every song the list shows (Ctrl+A)"));
    tickAllButton_->setStyleSheet(toolStyle);
    tickAllButton_->setFocusPolicy(Qt::TabFocus);
    connect(tickAllButton_, &QPushButton::clicked, this, [this] { tickAll(); });
    untickAllButton_ = new QPushButton(L("Untick all"), root);
    untickAllButton_->setObjectName(QStringLiteral("untickAllButton"));
    untickAllButton_->setToolTip(L("Unticks every song (Ctrl+Shift+A)"));
    untickAllButton_->setStyleSheet(toolStyle + QStringLiteral(" color: white;"));
    untickAllButton_->setFocusPolicy(Qt::TabFocus);
    connect(untickAllButton_, &QPushButton::clicked, this, [this] { untickAll(); });
    tickedLabel_ = new QLabel(root);
    tickedLabel_->setObjectName(QStringLiteral("tickedLabel"));
    tickedLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tickedLabel_->setFont(ui::theme::systemFont(13));
    tickedLabel_->setStyleSheet(QStringLiteral("color: rgb(190, 190, 195);"));
    for (QWidget* tool : {static_cast<QWidget*>(tickAllButton_), static_cast<QWidget*>(untickAllButton_),
                          static_cast<QWidget*>(tickedLabel_)})
        tool->setVisible(allowsMultiple_);
    auto* shortcut = new QShortcut(QKeySequence::SelectAll, root, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { tickAll(); });
    auto* unshortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), root, nullptr, nullptr,
                                     Qt::WidgetWithChildrenShortcut);
    connect(unshortcut, &QShortcut::activated, this, [this] { untickAll(); });

    model_ = new PickerModel(this);
    list_ = new QListView(root);
    list_->setModel(model_);
    list_->setItemDelegate(new PickerRowDelegate(this, model_));
    list_->setUniformItemSizes(true);
    // The selection shows the ticks to assistive technology, which ticks
    // rows through it; it is not drawn.
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    QItemSelectionModel* plainSelection = list_->selectionModel();
    ticks_ = new PickerTickSelection(model_, [this](int row) { tapRow(row); });
    list_->setSelectionModel(ticks_);
    delete plainSelection;
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { showTicks(); });
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->verticalScrollBar()->setSingleStep(MediaPickerController::kRowHeight / 2);
    // Tab reaches the list; the arrows move between rows, Space or Return ticks one.
    list_->setFocusPolicy(Qt::TabFocus);
    list_->installEventFilter(this);
    listViewport_ = list_->viewport();
    listViewport_->installEventFilter(this); // a click's Shift
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (clickModifiers_ & Qt::ShiftModifier)
            tickRange(index.row());
        else
            tapRow(index.row());
    });
    // Rows scrolled past before their turn are dropped from the queue.
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { artwork_->pump(); });

    playlistModel_ = new PickerPlaylistModel(this);
    playlistList_ = new QListView(root);
    playlistList_->setObjectName(QStringLiteral("playlistList"));
    playlistList_->setModel(playlistModel_);
    playlistList_->setItemDelegate(new PickerPlaylistDelegate(this, playlistModel_));
    playlistList_->setUniformItemSizes(true);
    playlistList_->setSelectionMode(QAbstractItemView::NoSelection);
    playlistList_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    playlistList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    playlistList_->setFocusPolicy(Qt::TabFocus);
    playlistList_->installEventFilter(this);
    playlistList_->setHidden(!showsPlaylists_);
    list_->setHidden(showsPlaylists_);
    connect(playlistList_, &QListView::clicked, this, [this](const QModelIndex& index) { tapPlaylistRow(index.row()); });

    emptyHint_ = new QLabel(root);
    emptyHint_->setObjectName(QStringLiteral("emptyHint"));
    emptyHint_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    emptyHint_->setWordWrap(true);
    emptyHint_->setTextFormat(Qt::PlainText);
    emptyHint_->setFont(ui::theme::systemFont(14));
    emptyHint_->setStyleSheet(QStringLiteral("color: rgb(190, 190, 195);"));
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);

    setView(root);
    updateEmptyHint();
    updateTickControls();
}

// The prompt, the bar with Cancel, the title and Done, the search field and
// the row of tick controls along the top; the list below, to the bottom. On a
// wide window all of it stands in a centred column.
void MediaPickerController::viewDidLayoutSubviews()
{
    if (!list_)
        return;
    const int w = view()->width(), h = view()->height();
    const int column = std::min(w, 900);
    const int x = (w - column) / 2;
    promptLabel_->setGeometry(x + 10, 4, column - 20, 20);
    cancelButton_->setGeometry(x + 10, 28, 100, 34);
    doneButton_->setGeometry(x + column - 110, 28, 100, 34);
    countLabel_->setGeometry(x + 112, 28, column - 224, 34);
    search_->setGeometry(x + 10, 70, column - 20, 34);
    const int tabWidth = std::min((column - 20) / 2, 200);
    songsTab_->setGeometry(x + column / 2 - tabWidth, 110, tabWidth, 28);
    playlistsTab_->setGeometry(x + column / 2, 110, tabWidth, 28);
    int listTop = 144;
    if (allowsMultiple_) {
        const int tickAllWidth = tickAllButton_->sizeHint().width();
        const int untickAllWidth = untickAllButton_->sizeHint().width();
        tickAllButton_->setGeometry(x + 10, 144, tickAllWidth, 28);
        untickAllButton_->setGeometry(x + 18 + tickAllWidth, 144, untickAllWidth, 28);
        const int labelLeft = x + 26 + tickAllWidth + untickAllWidth;
        tickedLabel_->setGeometry(labelLeft, 144, std::max(0, x + column - 12 - labelLeft), 28);
        listTop = 178;
    }
    list_->setGeometry(x, listTop, column, std::max(0, h - listTop));
    playlistList_->setGeometry(list_->geometry());
    emptyHint_->setGeometry(x + 20, listTop + 38, column - 40, std::max(0, h - listTop - 38));
}

// An empty list says why: the library is still being read, it holds no
// songs (and where they are looked for), or the search matches none.
QString MediaPickerController::emptyListReason() const
{
    if ((showsPlaylists_ ? playlistModel_->rowCount() : model_->rowCount()) > 0)
        return {};
    if (scan_)
        return L("Reading the music library…");
    if (showsPlaylists_)
        return !playlists_.empty() ? L("No playlist matches the search.")
                                   : L("No playlists in the music library.") + QStringLiteral("\n\n") +
                                         L("Playlists are the .m3u, .m3u8, .pls and .xspf files in it.");
    if (!songs().empty())
        return L("No song matches the search.");
    QString reason = L("No songs in the music library.");
    if (library_ && !library_->root().isEmpty()) {
        QString root = library_->root();
        root.replace(u'/', QStringLiteral("/\u200B")); // a long path may break after any slash
        reason += QStringLiteral("\n\n") + L("Songs are read from %1 and the folders in it.").arg(root);
    }
    return reason;
}

void MediaPickerController::updateEmptyHint()
{
    if (!emptyHint_)
        return;
    const QString reason = emptyListReason();
    emptyHint_->setText(reason);
    emptyHint_->setVisible(!reason.isEmpty());
}

void MediaPickerController::setPrompt(const QString& prompt)
{
    prompt_ = prompt;
    if (promptLabel_)
        promptLabel_->setText(prompt);
}

void MediaPickerController::setSearchText(const QString& text)
{
    view();
    search_->setText(text); // filters through textChanged
}

int MediaPickerController::numberOfRows() const
{
    return model_ ? model_->rowCount() : static_cast<int>(songs().size());
}

MediaItem MediaPickerController::itemAtRow(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return {};
    return model_ ? model_->item(row) : songs()[static_cast<std::size_t>(row)];
}

QString MediaPickerController::leftOutText(const MediaItem& item)
{
    switch (item.leftOutReason()) {
    case LeftOutReason::None:
        return {};
    case LeftOutReason::Protected:
        return L("Copy-protected");
    case LeftOutReason::Unreadable:
        return L("Cannot be read");
    case LeftOutReason::UnsupportedFormat:
        return item.format() ? L("%1 songs are not converted").arg(QString::fromLatin1(formatInfo(*item.format()).name))
                             : L("A format that is not converted");
    case LeftOutReason::BrokenLink:
        return L("A link to a missing file");
    case LeftOutReason::LinkLoop:
        return L("A link that leads to itself");
    case LeftOutReason::NotAFile:
        return L("Not a song file");
    case LeftOutReason::Missing:
        return L("Its file is missing from the disk");
    case LeftOutReason::Video:
        return L("A video");
    case LeftOutReason::NotAudio:
        return L("Not a song");
    }
    return {};
}

void MediaPickerController::done()
{
    if (finished_)
        return;
    finished_ = true;
    if (delegate_)
        delegate_->mediaPicker(this, MediaItemCollection(checkedItems()));
}

void MediaPickerController::cancel()
{
    if (finished_)
        return;
    finished_ = true;
    if (delegate_)
        delegate_->mediaPickerDidCancel(this);
}

QImage MediaPickerController::thumbnailFor(const MediaItem& item)
{
    return artwork_->thumbnailFor(item);
}

int MediaPickerController::shownRowOf(quint64 id) const
{
    if (!list_ || !model_ || model_->rowCount() == 0)
        return -1;
    // Only the rows on screen are looked at: a few, however long the list.
    const QModelIndex first = list_->indexAt(QPoint(1, 0));
    const QModelIndex last = list_->indexAt(QPoint(1, list_->viewport()->height() - 1));
    const int from = first.isValid() ? first.row() : 0;
    const int to = last.isValid() ? last.row() : model_->rowCount() - 1;
    for (int row = from; row <= to && row - from < 200; ++row)
        if (model_->item(row).persistentID() == id)
            return row;
    return -1;
}

bool MediaPickerController::isRowVisible(quint64 id) const
{
    return shownRowOf(id) >= 0;
}

} // namespace medialibrary
