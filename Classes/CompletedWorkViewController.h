#pragma once
// The conversion screen: shows a conversion run while it lasts (artwork, title
// and artist of the item under way, a spinner, a bar and a percentage over the
// whole batch), then a success or failure mark, and offers the completion
// menus: play the produced file, mail it, open the stored-files browser, read
// how to copy the files to another computer, or go back ("Next").
//
// The main screen presents it modally and then hands it the selection map
// with exportMedia(). The screen is the run's display; every display point
// reaches it on the main thread. Its layout is
// resources/CompletedWorkViewController.ui; the screen places its views for
// the window's size (artwork, captions and progress in a centred column) and
// follows that size, which changes nothing of the run.
//
// The run writes into the documents folder, or onto the removable volume
// given with setDestination(); the completion menus, the instructions and the
// stored-files browser then speak of that volume.

#include "Classes/ConversionRun.h"
#include "Classes/SelectionMap.h"
#include "platform/foundation/Volumes.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QUrl>
#include <cstdint>
#include <memory>

class QLabel;
namespace Ui { class CompletedWorkViewController; }
namespace ui {
class ActivityIndicatorView;
class ImageView;
}

class CompletedWorkViewController : public ui::ViewController,
                                    public ConversionDisplay,
                                    public ui::ActionSheetDelegate,
                                    public ui::AlertViewDelegate,
                                    public mail::MailComposeViewControllerDelegate {
    Q_OBJECT
public:
    // A screen that converts songs of `library`.
    explicit CompletedWorkViewController(std::shared_ptr<const medialibrary::Library> library, QObject* parent = nullptr);
    ~CompletedWorkViewController() override;

    // Starts the run over `map`; once per screen, after the screen has been presented.
    void exportMedia(const SelectionMap& map);
    // The run writes onto `volume` instead of the documents folder, and fails
    // the songs that come after the volume has gone. Before exportMedia().
    void setDestination(const volumes::Volume& volume);
    const volumes::Volume& destination() const { return destination_; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void setupView(QWidget* view);
    void setupProgressBar();
    void setupAllActionSheets();
    void setupAllAlertViews();

    // Bar and percentage for the current item's fraction done (0..1).
    void updateProgressInfo(float itemFraction);
    // Title, artist and artwork of the current item, rendered once per item.
    void updateArtwork();
    // Opens the playback menu (true) or the completion menu (false).
    void showActionSheet(bool playback);
    void showInstructions();
    void emailFile();
    void showFileManager();

    void actionSheet(ui::ActionSheet* actionSheet, int clickedButtonAtIndex) override;
    void alertView(ui::AlertView* alertView, int clickedButtonAtIndex) override;
    void mailComposeController(mail::MailComposeViewController* controller, mail::MailComposeResult result,
                               const QString& error) override;

    // Display points of the run.
    void runStarted() override;
    void runRefused(const QString& reason) override;
    void progress(float itemFraction) override;
    void currentItem() override;
    void runEnded(std::uint32_t failedItemCount) override;
    void completionOffered(std::uint32_t failedItemCount) override;

    // Run state.
    const ConversionRun& run() const { return run_; }
    const SelectionMap& mediaItems() const { return run_.mediaItems(); }
    std::uint32_t currentItemIndex() const { return run_.currentItemIndex(); }
    std::uint32_t prevItemIndex() const { return run_.prevItemIndex(); }
    const Url& currentItemURL() const { return run_.currentItemURL(); }
    bool dismissAfterFileManager() const { return dismissAfterFileManager_; }

    // Views of the layout.
    QWidget* artworkView() const;
    ui::ImageView* imageView() const;
    QWidget* captionBox() const;
    QLabel* titleLabel() const;
    QLabel* artistLabel() const;
    QWidget* activityView() const;
    QWidget* progressBar() const;
    ui::ActivityIndicatorView* spinner() const;
    QLabel* progressLabel() const;
    ui::ImageView* statusView() const;

    // Menus and alerts (created when the view loads).
    ui::ActionSheet* actionSheetSingle() const { return actionSheetSingle_; }
    ui::ActionSheet* actionSheetMulti() const { return actionSheetMulti_; }
    ui::ActionSheet* actionSheetPlayback() const { return actionSheetPlayback_; }
    ui::AlertView* alertInstructions() const { return alertInstructions_; }
    ui::AlertView* alertConversionFailed() const { return alertConversionFailed_; }
    // Shown when another run holds the documents folder; nullptr before.
    ui::AlertView* alertRunRefused() const { return alertRunRefused_; }

    // Batch arithmetic: the fraction of the whole batch done, and its percentage
    // text ("%d%%", truncated toward zero).
    static QString percentText(float batchFraction);
    // The transfer instructions, naming the folder the files are in.
    static QString instructionsText(const QString& folder);
    // The same for files written onto a removable volume.
    static QString instructionsText(const volumes::Volume& volume);
    // The failure alert's message: how many of the songs failed, and where
    // error.log says why (or why error.log is not there); the copy-protection
    // sentence when protected songs are among them.
    static QString conversionFailedText(std::uint32_t failed, qsizetype songs, std::uint32_t protectedSongs,
                                        const QString& folder, const QString& errorLogProblem);

    // The address "WWW" opens: the help page, copied where a browser can read it.
    static QUrl helpPageURL();

protected:
    void loadView() override;

private:
    void renderItem(std::uint32_t index);
    void drawArtwork(const medialibrary::MediaItem& item);

    std::unique_ptr<Ui::CompletedWorkViewController> form_;
    ConversionRun run_;
    ui::ActionSheet* actionSheetSingle_ = nullptr;
    ui::ActionSheet* actionSheetMulti_ = nullptr;
    ui::ActionSheet* actionSheetPlayback_ = nullptr;
    ui::AlertView* alertInstructions_ = nullptr;
    ui::AlertView* alertConversionFailed_ = nullptr;
    ui::AlertView* alertRunRefused_ = nullptr;
    bool dismissAfterFileManager_ = false;
    bool playing_ = false; // a produced file plays through the shared player
    volumes::Volume destination_;
    float batchFraction_ = 0; // as the bar shows it, for drawing it again at another width
};
