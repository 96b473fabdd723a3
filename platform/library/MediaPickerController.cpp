#include "platform/library/MediaPickerController.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/ArtworkLoader.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/PickerModel.h"
#include "platform/library/PickerRowDelegate.h"
#include "platform/ui/Image.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/Window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace medialibrary {

MediaPickerController::MediaPickerController(unsigned mediaTypes, std::shared_ptr<const MediaLibrary> library,
                                             QObject* parent)
    : ui::ViewController(parent), mediaTypes_(mediaTypes), library_(std::move(library)), artwork_(makeArtworkLoader())
{
    if (mediaTypes_ & MediaTypeMusic)
        setItems(library_->items());
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
    if (mediaTypes_ & MediaTypeMusic)
        setItems(library_->items());
}

void MediaPickerController::takeNewLibrary()
{
    const std::shared_ptr<const MediaLibrary> library = folder_ ? folder_->loadedLibrary() : nullptr;
    if (!library || library == library_ || finished_)
        return;
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
    library_ = library;
    setItems(mediaTypes_ & MediaTypeMusic ? library_->items() : std::vector<MediaItem>());
    checked_.erase(std::remove_if(checked_.begin(), checked_.end(),
                                  [this](quint64 id) { return library_->itemWithPersistentID(id).isNull(); }),
                   checked_.end());
    if (model_) {
        model_->setFilter(search_->text());
        if (const int row = topId != 0 ? model_->rowOf(topId) : -1; row >= 0) {
            list_->scrollTo(model_->index(row), QAbstractItemView::PositionAtTop);
            list_->verticalScrollBar()->setValue(list_->verticalScrollBar()->value() - topOffset);
        }
    }
    updateEmptyHint();
}

QString MediaPickerController::searchKey(const MediaItem& item)
{
    // Title, artist and album in one folded text; a search word never holds
    // the separator, so it matches within one of them only.
    return (item.displayTitle() + u'\n' + item.artist() + u'\n' + item.albumTitle()).toCaseFolded();
}

void MediaPickerController::setItems(std::vector<MediaItem> items)
{
    all_ = std::move(items);
    searchKeys_.clear();
    searchKeys_.reserve(all_.size());
    for (const MediaItem& item : all_)
        searchKeys_.push_back(searchKey(item));
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
                model_->refresh(id);
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
    const std::size_t before = all_.size();
    if (finished && scan_->library()) {
        library_ = scan_->library();
        scan_.reset();
        if (mediaTypes_ & MediaTypeMusic)
            setItems(library_->items()); // the same songs, in the library's order
    } else if (!fresh.empty() && (mediaTypes_ & MediaTypeMusic)) {
        // Merge the new songs, sorted, into the sorted list, keys alongside.
        std::sort(fresh.begin(), fresh.end(), MediaLibrary::inLibraryOrder);
        std::vector<MediaItem> items;
        std::vector<QString> keys;
        items.reserve(all_.size() + fresh.size());
        keys.reserve(all_.size() + fresh.size());
        std::size_t a = 0, b = 0;
        while (a < all_.size() || b < fresh.size()) {
            if (b == fresh.size() || (a < all_.size() && !MediaLibrary::inLibraryOrder(fresh[b], all_[a]))) {
                items.push_back(std::move(all_[a]));
                keys.push_back(std::move(searchKeys_[a]));
                ++a;
            } else {
                keys.push_back(searchKey(fresh[b]));
                items.push_back(std::move(fresh[b]));
                ++b;
            }
        }
        all_ = std::move(items);
        searchKeys_ = std::move(keys);
    }
    if (finished && scan_)
        scan_.reset(); // cancelled: keep what was read
    if (model_ && (all_.size() != before || !fresh.empty() || library_)) {
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
    for (const MediaItem& item : all_)
        if (item.persistentID() == id)
            return item;
    return {};
}

MediaPickerController::~MediaPickerController()
{
    artwork_.reset(); // no load may report back to a picker that is going away
}

void MediaPickerController::loadView()
{
    auto* root = new QWidget;
    root->resize(ui::Window::kWidth, ui::Window::kHeight - ui::Window::kStatusBarHeight);
    ui::setBackgroundColor(root, Qt::black);
    const int w = root->width();

    promptLabel_ = new QLabel(prompt_, root);
    promptLabel_->setGeometry(10, 4, w - 20, 20);
    promptLabel_->setAlignment(Qt::AlignCenter);
    promptLabel_->setFont(ui::theme::systemFont(12));
    promptLabel_->setStyleSheet(QStringLiteral("color: rgb(190, 190, 195);"));

    auto* cancelButton = new QPushButton(L("Cancel"), root);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(10, 28, 100, 34);
    cancelButton->setStyleSheet(QStringLiteral("color: white; padding: 2px 4px;"));
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });

    auto* doneButton = new QPushButton(L("Done"), root);
    doneButton->setObjectName(QStringLiteral("doneButton"));
    doneButton->setGeometry(w - 110, 28, 100, 34);
    doneButton->setStyleSheet(QStringLiteral("padding: 2px 4px;"));
    connect(doneButton, &QPushButton::clicked, this, [this] { done(); });

    countLabel_ = new QLabel(L("Songs"), root);
    countLabel_->setGeometry(112, 28, w - 224, 34);
    countLabel_->setAlignment(Qt::AlignCenter);
    countLabel_->setFont(ui::theme::systemFont(16, true));

    search_ = new QLineEdit(root);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setGeometry(10, 70, w - 20, 34);
    search_->setPlaceholderText(L("Search"));
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setFilter(text);
        updateEmptyHint();
    });

    model_ = new PickerModel(this);
    list_ = new QListView(root);
    list_->setGeometry(0, 112, w, root->height() - 112);
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
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        for (quint64 id : checked_)
            ticks_->showTick(model_->rowOf(id), true);
    });
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->verticalScrollBar()->setSingleStep(MediaPickerController::kRowHeight / 2);
    // Tab reaches the list; the arrows move between rows, Space or Return ticks one.
    list_->setFocusPolicy(Qt::TabFocus);
    list_->installEventFilter(this);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { tapRow(index.row()); });
    // Rows scrolled past before their turn are dropped from the queue.
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { artwork_->pump(); });

    emptyHint_ = new QLabel(root);
    emptyHint_->setObjectName(QStringLiteral("emptyHint"));
    emptyHint_->setGeometry(20, 150, w - 40, 200);
    emptyHint_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    emptyHint_->setWordWrap(true);
    emptyHint_->setTextFormat(Qt::PlainText);
    emptyHint_->setFont(ui::theme::systemFont(14));
    emptyHint_->setStyleSheet(QStringLiteral("color: rgb(190, 190, 195);"));
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);

    setView(root);
    updateEmptyHint();
}

// An empty list says why: the library is still being read, it holds no
// songs (and where they are looked for), or the search matches none.
QString MediaPickerController::emptyListReason() const
{
    if (model_->rowCount() > 0)
        return {};
    if (scan_)
        return L("Reading the music library…");
    if (!all_.empty())
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

bool MediaPickerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (list_->currentIndex().isValid())
                tapRow(list_->currentIndex().row());
            return true;
        }
    }
    return ui::ViewController::eventFilter(watched, event);
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
    return model_ ? model_->rowCount() : static_cast<int>(all_.size());
}

MediaItem MediaPickerController::itemAtRow(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return {};
    return model_ ? model_->item(row) : all_[static_cast<std::size_t>(row)];
}

bool MediaPickerController::isRowChecked(int row) const
{
    const MediaItem item = itemAtRow(row);
    return !item.isNull() && std::find(checked_.begin(), checked_.end(), item.persistentID()) != checked_.end();
}

void MediaPickerController::tapRow(int row)
{
    const MediaItem item = itemAtRow(row);
    if (item.isNull() || finished_ || !isPickable(item))
        return;
    if (!allowsMultiple_) {
        finished_ = true;
        if (delegate_)
            delegate_->mediaPicker(this, MediaItemCollection({item}));
        return;
    }
    auto it = std::find(checked_.begin(), checked_.end(), item.persistentID());
    const bool ticks = it == checked_.end();
    if (ticks)
        checked_.push_back(item.persistentID());
    else
        checked_.erase(it);
    if (model_) {
        model_->refresh(item.persistentID());
        ticks_->showTick(row, ticks);
    }
}

bool MediaPickerController::isPickable(const MediaItem& item)
{
    // A protected song may be picked: the screen that asked says it is left
    // out. A song that is no song Ripwell can read or convert stays unticked.
    return item.leftOutReason() == LeftOutReason::None || item.leftOutReason() == LeftOutReason::Protected;
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

std::vector<MediaItem> MediaPickerController::checkedItems() const
{
    std::vector<MediaItem> items;
    items.reserve(checked_.size());
    for (quint64 id : checked_) {
        const MediaItem item = itemWithPersistentID(id);
        if (!item.isNull())
            items.push_back(item);
    }
    return items;
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

bool MediaPickerController::isRowVisible(quint64 id) const
{
    if (!list_ || !model_)
        return false;
    const int row = model_->rowOf(id);
    if (row < 0)
        return false;
    return list_->visualRect(model_->index(row)).intersects(list_->viewport()->rect());
}

} // namespace medialibrary
