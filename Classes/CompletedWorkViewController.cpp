#include "Classes/CompletedWorkViewController.h"

#include "Classes/AudioPlayerHelper.h"
#include "Classes/EmailHelper.h"
#include "Classes/FileManagerViewController.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Window.h"

#include "ui_CompletedWorkViewController.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <cmath>

namespace {

// The folder the screen's files are in: the run's, or the one it will use.
QString filesFolder(const ConversionRun& run)
{
    return run.documentsDirectory().isEmpty() ? documents::documentsDirectory() : run.documentsDirectory();
}

} // namespace

QString CompletedWorkViewController::instructionsText(const QString& folder)
{
    return L("The converted media files are in %1 on this computer. To take them to a phone, a player or another "
             "computer, copy them from there with your file manager, or drag them out of the File manager here, onto "
             "the device, a USB stick or a shared folder.")
        .arg(path::displayed(folder));
}

QString CompletedWorkViewController::conversionFailedText(std::uint32_t failed, qsizetype songs,
                                                          std::uint32_t protectedSongs, const QString& folder,
                                                          const QString& errorLogProblem)
{
    QStringList sentences;
    if (protectedSongs > 0)
        sentences << L("Cannot handle DRM protected media.");
    sentences << (songs == 1 ? L("The song could not be converted.")
                             : L("%1 of %2 songs could not be converted.").arg(failed).arg(songs));
    if (errorLogProblem.isEmpty())
        sentences << L("For details see error.log in %1.").arg(path::displayed(folder));
    QString message = sentences.join(u' ');
    if (!errorLogProblem.isEmpty())
        message += QStringLiteral("\n\n") + errorLogProblem; // the log the alert would point to is not there
    return message;
}

QString CompletedWorkViewController::instructionsText(const volumes::Volume& volume)
{
    return L("The converted media files are on %1 (%2). Eject it in your file manager before you unplug it, so that "
             "every file is written completely.")
        .arg(volume.name, path::displayed(volume.rootPath));
}

CompletedWorkViewController::CompletedWorkViewController(std::shared_ptr<const medialibrary::Library> library,
                                                         QObject* parent)
    : ui::ViewController(parent), form_(std::make_unique<Ui::CompletedWorkViewController>()), run_(std::move(library), this)
{
    setTitle(L("Converting"));
}

void CompletedWorkViewController::setDestination(const volumes::Volume& volume)
{
    destination_ = volume;
    run_.setDocumentsDirectory(volume.rootPath);
    run_.setDestinationCheck([volume] { return volumes::goneReason(volume); });
}

// A column in the middle: the artwork with the end mark on its corner, the
// captions below it and the progress below them, as on the phone at 320×480
// and larger on a larger window, a little above the middle.
void CompletedWorkViewController::viewDidLayoutSubviews()
{
    const QSize size = view()->size();
    const int w = size.width(), h = size.height();
    const int column = std::min(w - 28, 600);
    const int x = (w - column) / 2;
    int side = std::max(60, std::min({h - 190, column * 7 / 10, 440}));
    const int block = side + 142;
    int top = std::max(14, (h - block) / 2 - 60);
    // Where the window has the height, the artwork and captions stay clear of
    // the completion menu that comes up from the bottom (five buttons, some
    // 300 points); on a phone's height the menu covers the captions.
    if (const int clear = h - 300 - 80; clear - 14 >= 240) {
        side = std::min(side, clear - 14);
        top = std::min(top, clear - side);
    }
    const bool resized = artworkView()->size() != QSize(side, side);
    artworkView()->setGeometry((w - side) / 2, top, side, side);
    imageView()->setGeometry(0, 0, side, side);
    statusView()->setGeometry((w + side) / 2 - 28, top - 12, 56, 56);
    captionBox()->setGeometry(x, top + side + 10, column, 60);
    titleLabel()->setGeometry(8, 4, column - 16, 28);
    artistLabel()->setGeometry(8, 32, column - 16, 22);
    activityView()->setGeometry(x, top + side + 90, column, 52);
    spinner()->setGeometry(8, 7, 37, 37);
    progressLabel()->setGeometry(52, 0, column - 104, 52);
    progressBar()->setGeometry(0, 0, int(std::lround(float(column) * batchFraction_)), 52);
    if (resized && prevItemIndex() != ConversionRun::kNoItem)
        drawArtwork(run_.itemAtIndex(prevItemIndex()));
}

CompletedWorkViewController::~CompletedWorkViewController()
{
    // Playback normally ends through "Stop playback"; a screen that goes away
    // some other way must not leave its file playing.
    if (playing_)
        AudioPlayerHelper::sharedInstance()->stopPlayback();
}

void CompletedWorkViewController::loadView()
{
    QWidget* v = loadLayout(*form_);
    ui::setBackgroundColor(v, Qt::black);
    setView(v);
}

void CompletedWorkViewController::exportMedia(const SelectionMap& map)
{
    view(); // the views and menus exist before the first display point
    run_.exportMedia(map);
}

// ---- Loading the view ------------------------------------------------------

void CompletedWorkViewController::viewDidLoad()
{
    setupView(artworkView());
    setupView(activityView());
    setupProgressBar();
    ui::setBackgroundColor(progressLabel(), Qt::transparent);
    setupAllActionSheets();
    setupAllAlertViews();
    dismissAfterFileManager_ = false;
}

void CompletedWorkViewController::setupView(QWidget* view)
{
    view->setHidden(false);
    ui::setBackgroundColor(view, Qt::transparent);
    ui::Layer* layer = ui::Layer::of(view);
    layer->setCornerRadius(10);
    ui::setClipsToBounds(view, true);
    layer->setBorderWidth(2);
    layer->setBorderColor(Qt::white);
}

void CompletedWorkViewController::setupProgressBar()
{
    QWidget* bar = progressBar();
    bar->setHidden(false);
    ui::setBackgroundColor(bar, ui::colorWithRed(0.35, 0.75, 0.99, 1.0));
    ui::setAlpha(bar, 0.4);
    ui::setClipsToBounds(bar, true);
    QRect frame = ui::frame(bar);
    frame.setWidth(0);
    ui::setFrame(bar, frame);
    // The bar is drawn as a growing view: its frame tells a screen reader
    // the run's progress as a value.
    ui::setAccessibleRole(activityView(), QAccessible::ProgressBar);
    activityView()->setAccessibleName(L("Progress"));
    ui::setAccessibleValue(activityView(), 0);
}

void CompletedWorkViewController::setupAllActionSheets()
{
    actionSheetSingle_ = new ui::ActionSheet(L("Conversion completed"), this, QString(), QString(),
                                             {L("Playback media file"), L("E-Mail media file"), L("File manager"),
                                              L("Transfer to computer"), L("Next")},
                                             this);
    actionSheetMulti_ = new ui::ActionSheet(L("Conversion completed"), this, QString(), QString(),
                                            {L("File manager"), L("Transfer to computer"), L("Next")}, this);
    actionSheetPlayback_ = new ui::ActionSheet(QString(), this, QString(), QString(), {L("Stop playback")}, this);
}

void CompletedWorkViewController::setupAllAlertViews()
{
    alertInstructions_ = new ui::AlertView(QString(), instructionsText(filesFolder(run_)), this, L("OK"),
                                           {QStringLiteral("WWW")}, this);
    alertConversionFailed_ = new ui::AlertView(QString(), QString(), this, L("OK"), {}, this);
}

// ---- Display points of the run --------------------------------------------

void CompletedWorkViewController::runStarted()
{
    spinner()->startAnimating();
}

void CompletedWorkViewController::progress(float itemFraction)
{
    updateProgressInfo(itemFraction);
}

void CompletedWorkViewController::currentItem()
{
    updateArtwork();
}

void CompletedWorkViewController::runEnded(std::uint32_t failedItemCount)
{
    // Songs convert far faster than the ticks come, so most items end before
    // a tick has shown them: show the last item now, so the finished screen
    // (and the mail's subject) names the file the menu plays and mails.
    const auto count = static_cast<std::uint32_t>(mediaItems().count());
    if (count > 0)
        renderItem(count - 1);
    spinner()->stopAnimating();
    setTitle(L("Conversion completed"));
    activityView()->setHidden(true);
    statusView()->setHidden(false);
    statusView()->setImage(ui::imageNamed(failedItemCount == 0 ? QStringLiteral("successful.png")
                                                               : QStringLiteral("failed.png")));
}

void CompletedWorkViewController::runRefused(const QString& reason)
{
    // Another run holds the documents folder: nothing was converted, and
    // there is nothing to offer but going back.
    alertRunRefused_ = new ui::AlertView(QString(), reason, this, L("OK"), {}, this);
    alertRunRefused_->show();
}

void CompletedWorkViewController::completionOffered(std::uint32_t failedItemCount)
{
    if (failedItemCount == 0) {
        showActionSheet(false);
        return;
    }
    // How many failed and where error.log says why; when it could not be
    // written, that instead.
    alertConversionFailed_->setMessage(conversionFailedText(failedItemCount, mediaItems().count(),
                                                            run_.protectedFailureCount(), filesFolder(run_),
                                                            run_.errorLogError()));
    alertConversionFailed_->show();
}

// ---- Progress and artwork -------------------------------------------------

QString CompletedWorkViewController::percentText(float fraction)
{
    return QString::asprintf("%d%%", static_cast<int>(fraction * 100.0f));
}

void CompletedWorkViewController::updateProgressInfo(float itemFraction)
{
    const float f = run_.batchFraction(itemFraction);
    QRect frame = ui::frame(progressBar());
    frame.setWidth(static_cast<int>(std::lround(static_cast<float>(ui::frame(activityView()).width()) * f)));
    batchFraction_ = f;
    ui::setFrame(progressBar(), frame);
    progressLabel()->setText(percentText(f));
    ui::setAccessibleValue(activityView(), static_cast<int>(f * 100.0f));
}

void CompletedWorkViewController::updateArtwork()
{
    renderItem(currentItemIndex());
}

void CompletedWorkViewController::renderItem(std::uint32_t index)
{
    if (index == prevItemIndex())
        return;
    run_.setPrevItemIndex(index);
    const medialibrary::MediaItem item = run_.itemAtIndex(index);
    titleLabel()->setText(item.isNull() ? QString() : item.title());
    artistLabel()->setText(item.isNull() ? QString() : item.artist());
    drawArtwork(item);
}

void CompletedWorkViewController::drawArtwork(const medialibrary::MediaItem& item)
{
    QImage image;
    if (!item.isNull()) {
        if (const auto artwork = item.artwork())
            image = artwork->imageWithSize(imageView()->size(), imageView()->devicePixelRatioF());
    }
    if (image.isNull())
        image = ui::imageNamed(QStringLiteral("noArtwork.png"));
    imageView()->setImage(image);
}

// ---- Menus and alerts -----------------------------------------------------

void CompletedWorkViewController::showInstructions()
{
    alertInstructions_->setMessage(destination_.isNull() ? instructionsText(filesFolder(run_))
                                                         : instructionsText(destination_));
    alertInstructions_->show();
}

void CompletedWorkViewController::showActionSheet(bool playback)
{
    QWidget* window = nullptr;
    if (ui::ApplicationDelegate* delegate = ui::Application::sharedApplication()->delegate())
        window = delegate->window();
    if (!window)
        window = ui::Window::keyWindow();
    if (!window)
        window = view()->window();
    ui::ActionSheet* sheet = playback                       ? actionSheetPlayback_
                             : mediaItems().count() == 1 ? actionSheetSingle_
                                                         : actionSheetMulti_;
    sheet->showInView(window);
}

void CompletedWorkViewController::actionSheet(ui::ActionSheet* sheet, int index)
{
    if (sheet == actionSheetSingle_) {
        switch (index) {
        case 0:
            playing_ = true;
            AudioPlayerHelper::sharedInstance()->playbackMediaItem(currentItemURL());
            showActionSheet(true);
            break;
        case 1:
            emailFile();
            break;
        case 2:
            showFileManager();
            break;
        case 3:
            showInstructions();
            break;
        case 4:
            dismissModalViewControllerAnimated(true);
            break;
        default:
            break;
        }
    } else if (sheet == actionSheetMulti_) {
        switch (index) {
        case 0:
            showFileManager();
            break;
        case 1:
            showInstructions();
            break;
        case 2:
            dismissModalViewControllerAnimated(true);
            break;
        default:
            break;
        }
    } else if (sheet == actionSheetPlayback_) {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        playing_ = false;
        showActionSheet(false);
    }
}

void CompletedWorkViewController::alertView(ui::AlertView* alert, int index)
{
    if (alert == alertRunRefused_) {
        dismissModalViewControllerAnimated(true);
        return;
    }
    if (alert == alertInstructions_ && index == 1)
        ui::Application::sharedApplication()->openURL(helpPageURL());
    showActionSheet(false);
}

void CompletedWorkViewController::emailFile()
{
    EmailHelper helper;
    helper.emailFile(currentItemURL(), artistLabel()->text(), this, this);
}

void CompletedWorkViewController::mailComposeController(mail::MailComposeViewController*, mail::MailComposeResult,
                                                        const QString&)
{
    dismissModalViewControllerAnimated(true);
    showActionSheet(false);
}

void CompletedWorkViewController::showFileManager()
{
    auto* browser = new FileManagerViewController;
    browser->setDocumentDirectory(filesFolder(run_));
    presentModalViewController(browser, true); // the presentation owns it from here
    dismissAfterFileManager_ = true;
}

void CompletedWorkViewController::viewDidAppear(bool animated)
{
    ui::ViewController::viewDidAppear(animated);
    // Back from the browser: straight on to the main screen. (The screen's
    // own slide-in may end after the browser has been opened over it, when
    // the run ended at once; the browser then stays.)
    if (dismissAfterFileManager_ && !modalViewController())
        dismissModalViewControllerAnimated(false);
}

// ---- The help page --------------------------------------------------------

QUrl CompletedWorkViewController::helpPageURL()
{
    // The page ships inside the program; a browser cannot read it there, so it
    // is written to the application's data folder, with the documents folder
    // of this computer filled in. Written under a temporary name, then renamed.
    // The translation table names the page in its language ("index.de.html").
    QFile source(QStringLiteral(":/help/") + L("index.html"));
    if (!source.exists())
        source.setFileName(QStringLiteral(":/help/index.html"));
    QString page;
    if (source.open(QIODevice::ReadOnly))
        page = QString::fromUtf8(source.readAll());
    page.replace(QStringLiteral("@DOCUMENTS@"), documents::documentsDirectory().toHtmlEscaped());

    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/ripwell");
    folder += QStringLiteral("/help");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/index.html");
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(page.toUtf8());
        file.commit();
    }
    return QUrl::fromLocalFile(path);
}

// ---- Views of the layout --------------------------------------------------

QWidget* CompletedWorkViewController::artworkView() const { return form_->artworkView; }
ui::ImageView* CompletedWorkViewController::imageView() const { return form_->imageView; }
QWidget* CompletedWorkViewController::captionBox() const { return form_->captionBox; }
QLabel* CompletedWorkViewController::titleLabel() const { return form_->titleLabel; }
QLabel* CompletedWorkViewController::artistLabel() const { return form_->artistLabel; }
QWidget* CompletedWorkViewController::activityView() const { return form_->activityView; }
QWidget* CompletedWorkViewController::progressBar() const { return form_->progressBar; }
ui::ActivityIndicatorView* CompletedWorkViewController::spinner() const { return form_->spinner; }
QLabel* CompletedWorkViewController::progressLabel() const { return form_->progressLabel; }
ui::ImageView* CompletedWorkViewController::statusView() const { return form_->statusView; }
