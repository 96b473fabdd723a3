#include "Classes/ChooseSongViewController.h"

#include "Classes/AudioPlayerHelper.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/FileManagerViewController.h"
#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/Timing.h"
#include "platform/library/IpodLibrary.h"
#include "platform/library/LibraryIndex.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"

#include "ui_ChooseSongViewController.h"

#include <QLocale>
#include <QThread>
#include <algorithm>
#include <cmath>

ChooseSongViewController::ChooseSongViewController(std::shared_ptr<medialibrary::MusicFolder> library, QObject* parent)
    : ui::ViewController(parent), form_(std::make_unique<Ui::ChooseSongViewController>()), library_(std::move(library))
{
}

ChooseSongViewController::~ChooseSongViewController() = default;

void ChooseSongViewController::loadView()
{
    QWidget* v = loadLayout(*form_);
    ui::setBackgroundColor(v, Qt::black);
    connect(form_->selectButton, &QPushButton::clicked, this, [this] { selectMedia(form_->selectButton); });
    connect(form_->convButton, &QPushButton::clicked, this, [this] { doConversion(form_->convButton); });
    connect(form_->fileManagerButton, &QPushButton::clicked, this,
            [this] { showFileManager(form_->fileManagerButton); });
    connect(form_->destinationButton, &QPushButton::clicked, this,
            [this] { chooseDestination(form_->destinationButton); });
    setView(v);
}

// Bottom up: the destination control, the convert and select controls and
// the info box, in a centred column; the artwork fills what is left above
// them, below the header. At 320×480 this is the phone's screen.
void ChooseSongViewController::viewDidLayoutSubviews()
{
    const QSize size = view()->size();
    const int w = size.width(), h = size.height();
    const int column = std::min(w - 28, 480);
    const int x = (w - column) / 2;
    form_->headerLabel->setGeometry(14, 4, std::max(0, w - 90), 40);
    fileManagerButton()->setGeometry(w - 62, 7, 48, 34);
    destinationButton()->setGeometry(x, h - 36, column, 28);
    convButton()->setGeometry(x, h - 86, column, 44);
    selectButton()->setGeometry(x, h - 138, column, 44);
    infoView()->setGeometry(x, h - 218, column, 70);
    topLabel()->setGeometry(10, 8, column - 20, 24);
    bottomLabel()->setGeometry(10, 34, column - 20, 28);

    // The artwork: one large picture, or three in a fan (the middle one
    // raised), the fan as on the phone scaled to the space.
    const int top = 52, bottom = h - 230, room = std::max(0, bottom - top);
    const int single = std::min({room, column, 440});
    const auto place = [&](QWidget* slot, QWidget* image, const QRect& frame) {
        const bool resized = slot->size() != frame.size();
        slot->setGeometry(frame);
        image->setGeometry(0, 0, frame.width(), frame.height());
        return resized;
    };
    std::array<bool, 4> resized{};
    resized[0] = place(artworkView0(), imageView0(), QRect((w - single) / 2, top + (room - single) / 2, single, single));
    const double k = std::min({double(column) / 292.0, double(room) / 166.0, 2.2});
    const int side = int(std::lround(130 * k)), fan = int(std::lround(292 * k)), raise = int(std::lround(36 * k));
    const int fanTop = top + (room - side - raise) / 2, fanLeft = (w - fan) / 2;
    resized[1] = place(artworkView1(), imageView1(), QRect(fanLeft, fanTop + raise, side, side));
    resized[2] = place(artworkView2(), imageView2(), QRect((w - side) / 2, fanTop, side, side));
    resized[3] = place(artworkView3(), imageView3(), QRect(fanLeft + fan - side, fanTop + raise, side, side));
    // A picture shown at another size is drawn again for its new one.
    const std::array<QWidget*, 4> slotViews{artworkView0(), artworkView1(), artworkView2(), artworkView3()};
    for (std::size_t i = 0; i < slotViews.size(); ++i)
        if (resized[i] && !slotViews[i]->isHidden() && !slotItems_[i].isNull())
            setupImage(slotItems_[i], slotViews[i]);
}

namespace {

// The welcome messages, by msgNbr.
QString welcomeMessage(quint32 number)
{
    switch (number) {
    case 2:
        return L("Always have access to your songs. Extract MP3 and M4A made easy... Ripwell.");
    case 3:
        return L("Take the extracted media files anywhere: copy them from your documents folder to a phone, a player "
                 "or another computer.");
    default:
        return L("Create backups by extracting your songs from your music library.");
    }
}

} // namespace

void ChooseSongViewController::viewDidLoad()
{
    setMediaItems(nullptr);
    hideAllViews();
    for (QWidget* slot : {artworkView0(), artworkView1(), artworkView2(), artworkView3(), infoView()})
        setupArtworkView(slot);
    ui::setBackgroundColor(infoView(), Qt::black);
    ui::setAlpha(infoView(), 0.8);
    updateDestinationControl();
}

void ChooseSongViewController::viewDidAppear(bool animated)
{
    ui::ViewController::viewDidAppear(animated);
    if (!mediaItems_) {
        // The welcome cycle: message 1 at once, then one every 5 s.
        msgNbr_ = 1;
        hideTrigger_ = 0;
        stopWelcomeTimer(); // never two cycles at once
        timing::Timer* timer =
            timing::Timer::scheduledRepeating(kWelcomeInterval, this, [this](timing::Timer*) { updateMessage(); });
        timer_ = timer;
        QPointer<timing::Timer> first(timer);
        timing::afterDelay(0, this, [this, first] {
            if (first && first->isValid())
                updateMessage();
        });
    }
    // An empty selection has nothing to convert: the control stays away.
    setConvertControlAvailable(mediaItems_ && !mediaItems_->isEmpty());
}

void ChooseSongViewController::viewWillDisappear(bool animated)
{
    ui::ViewController::viewWillDisappear(animated);
    stopWelcomeTimer();
    hideTrigger_ = 1;
}

void ChooseSongViewController::stopWelcomeTimer()
{
    if (timer_)
        timer_->invalidate();
    timer_ = nullptr;
}

void ChooseSongViewController::updateMessage()
{
    if (hideTrigger_ == 1) {
        stopWelcomeTimer();
        return;
    }
    SlidingMessageViewController* panel = SlidingMessageViewController::showMessageWithTitle(
        L("Welcome to Ripwell"), welcomeMessage(msgNbr_), kWelcomeMessageDelay, &hideTrigger_);
    // The panel ends itself; this screen keeps no reference to it.
    ui::addSubview(view(), panel->view());
    if (++msgNbr_ == 4)
        msgNbr_ = 1;
}

void ChooseSongViewController::setMediaItems(std::unique_ptr<SelectionMap> mediaItems)
{
    mediaItems_ = std::move(mediaItems);
}

void ChooseSongViewController::setConvertControlAvailable(bool available)
{
    convButton()->setEnabled(available);
    convButton()->setHidden(!available);
}

void ChooseSongViewController::setupArtworkView(QWidget* view)
{
    ui::setBackgroundColor(view, Qt::transparent);
    ui::setClipsToBounds(view, true);
    ui::Layer* layer = ui::Layer::of(view);
    layer->setCornerRadius(10);
    layer->setBorderWidth(2);
    layer->setBorderColor(Qt::white);
}

bool ChooseSongViewController::setupImage(const medialibrary::MediaItem& item, QWidget* artworkView)
{
    auto* imageView = qobject_cast<ui::ImageView*>(ui::viewWithTag(artworkView, 1000));
    QImage image;
    if (imageView && item.artwork())
        image = item.artwork()->imageWithSize(imageView->size(), imageView->devicePixelRatioF());
    const bool own = !image.isNull();
    if (!own)
        image = ui::imageNamed(QStringLiteral("noArtwork.png"));
    if (imageView)
        imageView->setImage(image);
    artworkView->setHidden(false);
    const std::array<QWidget*, 4> slotViews{artworkView0(), artworkView1(), artworkView2(), artworkView3()};
    if (const auto at = std::find(slotViews.begin(), slotViews.end(), artworkView); at != slotViews.end())
        slotItems_[std::size_t(at - slotViews.begin())] = item;
    return own;
}

void ChooseSongViewController::hideAllViews()
{
    for (QWidget* v : {artworkView0(), artworkView1(), artworkView2(), artworkView3(), infoView()})
        v->setHidden(true);
}

void ChooseSongViewController::selectMedia(QObject*)
{
    hideTrigger_ = 1;
    offeredIpods_ = medialibrary::IpodLibrary::mounted();
    if (offeredIpods_.empty()) {
        presentPicker(library_);
        return;
    }
    QStringList choices{L("Music folder")};
    for (const volumes::Volume& v : offeredIpods_)
        choices << L("iPod: %1").arg(v.name);
    delete sourceSheet_.data();
    sourceSheet_ = new ui::ActionSheet(L("Which songs?"), this, L("Cancel"), QString(), choices, this);
    sourceSheet_->showInView(view()->window());
}

void ChooseSongViewController::openIpod(const volumes::Volume& ipod)
{
    // Its database is read by a helper process, which takes a moment on a
    // large one: the screen goes on meanwhile.
    auto opened = std::make_shared<medialibrary::IpodLibrary::Opened>();
    QThread* reader = QThread::create([opened, root = ipod.rootPath] {
        *opened = medialibrary::IpodLibrary::open(root, medialibrary::LibraryIndex::defaultPath(root));
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, opened] {
        if (opened->library) {
            presentPicker(medialibrary::MusicFolder::holding(opened->library));
            return;
        }
        ui::AlertView alert(L("The iPod cannot be read"), opened->error, nullptr, L("OK"), {});
        alert.show();
    });
    reader->start();
}

void ChooseSongViewController::presentPicker(std::shared_ptr<medialibrary::MusicFolder> source)
{
    picking_ = std::move(source);
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, picking_);
    picker->setDelegate(this);
    picker->setAllowsPickingMultipleItems(true);
    picker->setPrompt(L("Select media for extraction"));
    presentModalViewController(picker, true);
}

void ChooseSongViewController::mediaPicker(medialibrary::MediaPickerController* mediaPicker,
                                           const medialibrary::MediaItemCollection& didPickMediaItems)
{
    playlists_ = mediaPicker ? mediaPicker->checkedPlaylists() : std::vector<medialibrary::Playlist>();
    dismissModalViewControllerAnimated(true);
    AudioPlayerHelper::sharedInstance()->stopPlayback();
    picked_ = picking_;

    auto map = std::make_unique<SelectionMap>();
    int skipped = 0;
    for (const medialibrary::MediaItem& item : didPickMediaItems.items()) {
        const Url assetURL = item.assetURL();
        if (assetURL.isEmpty())
            ++skipped;
        else
            map->setObject(item, assetURL);
    }
    setMediaItems(std::move(map));

    if (skipped > 0) {
        // Shown and forgotten: the alert stays on screen until its button is pressed.
        ui::AlertView alert(QString(),
                            QStringLiteral("%1\n%2: %3")
                                .arg(L("Cannot handle DRM protected media."), L("Skipped files"))
                                .arg(skipped),
                            nullptr, L("OK"), {});
        alert.show();
    }

    hideAllViews();
    showSelection();
    setConvertControlAvailable(!mediaItems_->isEmpty());
}

void ChooseSongViewController::showSelection()
{
    const QList<Url>& keys = mediaItems_->allKeys();
    const std::size_t n = mediaItems_->count();
    const auto item = [&](int k) { return mediaItems_->objectForKey(keys[k]); };
    if (n == 0)
        return;
    if (n == 1) {
        const medialibrary::MediaItem only = item(0);
        setupImage(only, artworkView0());
        topLabel()->setText(only.artist().isNull() ? QString() : only.artist());
        bottomLabel()->setText(only.title().isNull() ? QString() : only.title());
        AudioPlayerHelper::sharedInstance()->playbackMediaItem(only.assetURL(), picked_ ? picked_.get() : library_.get());
        infoView()->setHidden(false);
        return;
    }
    setupImage(item(0), artworkView1());
    if (n == 2) {
        setupImage(item(1), artworkView3());
    } else {
        setupImage(item(1), artworkView2());
        setupImage(item(2), artworkView3());
    }
    infoView()->setHidden(false);
    bottomLabel()->setText(QStringLiteral("%1: %2").arg(L("Selected items")).arg(n));
    topLabel()->setText(QString());
}

void ChooseSongViewController::mediaPickerDidCancel(medialibrary::MediaPickerController*)
{
    dismissModalViewControllerAnimated(true);
}

void ChooseSongViewController::doConversion(QObject*)
{
    // Nothing picked, or a pick that held nothing convertible: nothing to do.
    if (!mediaItems_ || mediaItems_->isEmpty())
        return;
    if (mediaItems_->count() <= kConfirmationThreshold) {
        alertView(nullptr, 1);
        return;
    }
    delete confirmation_.data();
    confirmation_ = new ui::AlertView(QString(),
                                      L("You have selected more than 25 items. This may take a some time and "
                                        "requires sufficient disk space. Are you sure you want to continue?"),
                                      this, L("Cancel"), {L("OK")}, this);
    confirmation_->show();
}

void ChooseSongViewController::alertView(ui::AlertView*, int clickedButtonAtIndex)
{
    if (clickedButtonAtIndex != 1 || !mediaItems_ || mediaItems_->isEmpty())
        return;
    AudioPlayerHelper::sharedInstance()->stopPlayback();
    hideTrigger_ = 1;
    QPointer<CompletedWorkViewController> conversion = new CompletedWorkViewController(picked_ ? picked_ : library_);
    if (!destination_.isNull())
        conversion->setDestination(destination_);
    presentModalViewController(conversion, true);
    if (modalViewController() != conversion)
        return; // another screen is still on its way out: nothing is handed over
    // The run starts once the presentation is under way, with the screen's own map.
    conversion->setPlaylists(std::move(playlists_));
    playlists_.clear();
    conversion->exportMedia(*mediaItems_);
    // The presentation holds the conversion screen from here on.
    hideAllViews();
    setMediaItems(nullptr);
    setConvertControlAvailable(false);
}

void ChooseSongViewController::showFileManager(QObject*)
{
    AudioPlayerHelper::sharedInstance()->stopPlayback();
    hideTrigger_ = 1;
    auto* browser = new FileManagerViewController;
    if (!destination_.isNull())
        browser->setDocumentDirectory(destination_.rootPath);
    presentModalViewController(browser, true);
    // The selection, the display and the convert control stay as they are.
}

void ChooseSongViewController::chooseDestination(QObject*)
{
    // Nothing is ever written to an iPod: it is no destination.
    offeredVolumes_ = volumes::removableVolumes(documents::musicLibraryRoot());
    std::erase_if(offeredVolumes_, [](const volumes::Volume& v) { return medialibrary::IpodLibrary::isIpod(v.rootPath); });
    QStringList choices{L("Documents folder")};
    for (const volumes::Volume& v : offeredVolumes_) {
        choices << (v.bytesFree >= 0 ? L("%1 (%2 free)").arg(v.name, QLocale().formattedDataSize(v.bytesFree))
                                     : v.name);
    }
    const QString title = offeredVolumes_.empty()
                              ? L("Converted songs go into the documents folder. To convert straight onto a stick, a "
                                  "memory card or a player, connect it first.")
                              : L("Where should the converted songs go?");
    delete destinationSheet_.data();
    destinationSheet_ = new ui::ActionSheet(title, this, L("Cancel"), QString(), choices, this);
    destinationSheet_->showInView(view()->window());
}

void ChooseSongViewController::actionSheet(ui::ActionSheet* sheet, int index)
{
    if (sheet == sourceSheet_ && index != sheet->cancelButtonIndex()) {
        if (index == 0)
            presentPicker(library_);
        else if (index >= 1 && std::size_t(index) <= offeredIpods_.size())
            openIpod(offeredIpods_[std::size_t(index - 1)]);
        return;
    }
    if (sheet != destinationSheet_ || index == sheet->cancelButtonIndex())
        return;
    if (index == 0)
        setDestination({});
    else if (index >= 1 && std::size_t(index) <= offeredVolumes_.size())
        setDestination(offeredVolumes_[std::size_t(index - 1)]);
}

void ChooseSongViewController::setDestination(const volumes::Volume& volume)
{
    destination_ = volume;
    if (isViewLoaded())
        updateDestinationControl();
}

void ChooseSongViewController::updateDestinationControl()
{
    const QString where = destination_.isNull() ? L("Documents folder") : destination_.name;
    destinationButton()->setText(L("Save to: %1").arg(where));
    destinationButton()->setAccessibleName(destinationButton()->text());
    destinationButton()->setToolTip(
        path::displayed(destination_.isNull() ? documents::documentsDirectory() : destination_.rootPath));
}

QWidget* ChooseSongViewController::artworkView0() const { return form_->artworkView0; }
QWidget* ChooseSongViewController::artworkView1() const { return form_->artworkView1; }
QWidget* ChooseSongViewController::artworkView2() const { return form_->artworkView2; }
QWidget* ChooseSongViewController::artworkView3() const { return form_->artworkView3; }
ui::ImageView* ChooseSongViewController::imageView0() const { return form_->imageView0; }
ui::ImageView* ChooseSongViewController::imageView1() const { return form_->imageView1; }
ui::ImageView* ChooseSongViewController::imageView2() const { return form_->imageView2; }
ui::ImageView* ChooseSongViewController::imageView3() const { return form_->imageView3; }
QWidget* ChooseSongViewController::infoView() const { return form_->infoView; }
QLabel* ChooseSongViewController::topLabel() const { return form_->topLabel; }
QLabel* ChooseSongViewController::bottomLabel() const { return form_->bottomLabel; }
QPushButton* ChooseSongViewController::convButton() const { return form_->convButton; }
QPushButton* ChooseSongViewController::selectButton() const { return form_->selectButton; }
QPushButton* ChooseSongViewController::fileManagerButton() const { return form_->fileManagerButton; }
QPushButton* ChooseSongViewController::destinationButton() const { return form_->destinationButton; }
