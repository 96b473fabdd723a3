#pragma once
// The main screen: shows what was picked and leads to the picker, the
// conversion and the stored-files browser. Its layout is
// resources/ChooseSongViewController.ui: four artwork slots (artworkView0 for
// a single pick, artworkView1 to 3 for several), each holding an image view
// tagged 1000, the info box with the two labels, and the select, convert and
// file-manager controls.
//
// While it shows no selection it runs the welcome cycle: message 1 at once,
// then one every 5 s (1, 2, 3, 1, ...), each on a sliding panel that reads
// the screen's hide trigger. Picking, browsing, converting or being covered
// raises the trigger and stops the cycle; it starts again at message 1 when
// the screen shows with no selection. A pick replaces the selection (songs
// without asset URL are left out and counted in one alert) and plays a single
// song at once. Convert hands the selection to a new conversion screen, after
// a question when it holds more than 25 items; a pick with nothing
// convertible in it offers no convert control.

#include "Classes/SelectionMap.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaPickerController.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QtGlobal>
#include <memory>

class QLabel;
class QPushButton;
namespace Ui { class ChooseSongViewController; }
namespace ui { class ImageView; }

class ChooseSongViewController : public ui::ViewController,
                                 public medialibrary::MediaPickerControllerDelegate,
                                 public ui::AlertViewDelegate {
    Q_OBJECT
public:
    // The main screen over `library`: its picker lists it, its conversions
    // convert from it, its single pick plays from it.
    explicit ChooseSongViewController(std::shared_ptr<medialibrary::MusicFolder> library, QObject* parent = nullptr);
    ~ChooseSongViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // Actions of the layout's controls; the sender is ignored.
    void selectMedia(QObject* sender);
    void doConversion(QObject* sender);
    void showFileManager(QObject* sender);

    void mediaPicker(medialibrary::MediaPickerController* mediaPicker,
                     const medialibrary::MediaItemCollection& didPickMediaItems) override;
    void mediaPickerDidCancel(medialibrary::MediaPickerController* mediaPicker) override;

    // The large-batch confirmation's answer; index 1 hands the selection to
    // the conversion screen, any other index leaves everything as it is.
    void alertView(ui::AlertView* alertView, int clickedButtonAtIndex) override;

    // Most items converted without asking first.
    static constexpr std::size_t kConfirmationThreshold = 25;
    // Seconds between two welcome messages, and how long each one stays.
    static constexpr double kWelcomeInterval = 5.0;
    static constexpr qint32 kWelcomeMessageDelay = 4;

    void setupArtworkView(QWidget* view);
    // Shows `item`'s artwork (or "noArtwork.png") in the slot's image view
    // and shows the slot; true when the item's own artwork was shown.
    bool setupImage(const medialibrary::MediaItem& item, QWidget* artworkView);
    void hideAllViews();
    // One step of the welcome cycle: the next welcome message on a new panel.
    void updateMessage();

    // The current selection: nullptr before the first pick and after each
    // hand-off; after a pick a map, possibly empty.
    const SelectionMap* mediaItems() const { return mediaItems_.get(); }
    void setMediaItems(std::unique_ptr<SelectionMap> mediaItems);

    // The welcome timer while the cycle runs, else nullptr.
    timing::Timer* timer() const { return timer_; }
    // The welcome message shown next, 1 to 3.
    quint32 msgNbr() const { return msgNbr_; }

    // 1: welcome messages hide now; 0: they may show.
    qint8 hideTrigger() const { return hideTrigger_; }
    qint8* hideTriggerAddress() { return &hideTrigger_; }

    // Views of the layout.
    QWidget* artworkView0() const;
    QWidget* artworkView1() const;
    QWidget* artworkView2() const;
    QWidget* artworkView3() const;
    ui::ImageView* imageView0() const;
    ui::ImageView* imageView1() const;
    ui::ImageView* imageView2() const;
    ui::ImageView* imageView3() const;
    QWidget* infoView() const;
    QLabel* topLabel() const;
    QLabel* bottomLabel() const;
    QPushButton* convButton() const;
    QPushButton* selectButton() const;
    QPushButton* fileManagerButton() const;

protected:
    void loadView() override;

private:
    void stopWelcomeTimer();
    void setConvertControlAvailable(bool available);
    void showSelection();

    std::unique_ptr<Ui::ChooseSongViewController> form_;
    const std::shared_ptr<medialibrary::MusicFolder> library_;
    std::unique_ptr<SelectionMap> mediaItems_;
    std::vector<medialibrary::Playlist> playlists_; // ticked in the picker: the run writes their files
    QPointer<timing::Timer> timer_;
    quint32 msgNbr_ = 1;
    qint8 hideTrigger_ = 0;
    QPointer<ui::AlertView> confirmation_;
};
