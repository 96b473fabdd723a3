#include "Classes/ChooseSongViewController.h"

#include "Classes/AudioPlayerHelper.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/FileManagerViewController.h"
#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"

#include "ui_ChooseSongViewController.h"

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
    setView(v);
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
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, library_);
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
        AudioPlayerHelper::sharedInstance()->playbackMediaItem(only.assetURL(), library_.get());
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
    QPointer<CompletedWorkViewController> conversion = new CompletedWorkViewController(library_);
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
    presentModalViewController(new FileManagerViewController, true);
    // The selection, the display and the convert control stay as they are.
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
