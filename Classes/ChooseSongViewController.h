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
//
// Where the songs come from: the music folder, unless an iPod is mounted; then
// the select control first asks whether the songs are the music folder's or
// the iPod's, and the picker lists the iPod's songs as its database names
// them. A selection is converted from the library it was picked from.
//
// Where the next conversion writes: the documents folder, unless the user
// chose a removable volume (a stick, a card, a player) with the destination
// control below the convert control. The choice lasts while the application
// runs; the conversion, its completion menus and the file-manager control
// then use that volume as their folder.
//
// The screen lays itself out for the window's size: the controls in a column
// along the bottom, centred and no wider than a comfortable line, the artwork
// as large as the space above them allows.

#include "Classes/SelectionMap.h"
#include "platform/foundation/Timing.h"
#include "platform/foundation/Volumes.h"
#include "platform/library/MediaPickerController.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QtGlobal>
#include <array>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
namespace Ui { class ChooseSongViewController; }
namespace ui { class ImageView; }

class ChooseSongViewController : public ui::ViewController,
                                 public medialibrary::MediaPickerControllerDelegate,
                                 public ui::AlertViewDelegate,
                                 public ui::ActionSheetDelegate {
    Q_OBJECT
public:
    // The main screen over `library`: its picker lists it, its conversions
    // convert from it, its single pick plays from it.
    explicit ChooseSongViewController(std::shared_ptr<medialibrary::MusicFolder> library, QObject* parent = nullptr);
    ~ChooseSongViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;

    // Actions of the layout's controls; the sender is ignored.
    void selectMedia(QObject* sender);
    void doConversion(QObject* sender);
    void showFileManager(QObject* sender);
    // The destination control: a menu of the documents folder and the
    // removable volumes mounted now.
    void chooseDestination(QObject* sender);

    void mediaPicker(medialibrary::MediaPickerController* mediaPicker,
                     const medialibrary::MediaItemCollection& didPickMediaItems) override;
    void mediaPickerDidCancel(medialibrary::MediaPickerController* mediaPicker) override;

    // The large-batch confirmation's answer; index 1 hands the selection to
    // the conversion screen, any other index leaves everything as it is.
    void alertView(ui::AlertView* alertView, int clickedButtonAtIndex) override;
    // The destination menu's answer.
    void actionSheet(ui::ActionSheet* actionSheet, int clickedButtonAtIndex) override;

    // Where the next conversion writes: a removable volume, or a null one for
    // the documents folder.
    const volumes::Volume& destination() const { return destination_; }
    void setDestination(const volumes::Volume& volume);
    // The destination menu while it is shown or was last shown, else nullptr.
    ui::ActionSheet* destinationSheet() const { return destinationSheet_; }
    // The menu of where the songs come from (the music folder, the iPods
    // mounted) while it is shown or was last shown, else nullptr.
    ui::ActionSheet* sourceSheet() const { return sourceSheet_; }

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
    QPushButton* destinationButton() const;

protected:
    void loadView() override;

private:
    void stopWelcomeTimer();
    void setConvertControlAvailable(bool available);
    void showSelection();
    void updateDestinationControl();
    // Opens the iPod's library off the main thread, then the picker over it.
    void openIpod(const volumes::Volume& ipod);
    void presentPicker(std::shared_ptr<medialibrary::MusicFolder> source);

    std::unique_ptr<Ui::ChooseSongViewController> form_;
    const std::shared_ptr<medialibrary::MusicFolder> library_;
    std::unique_ptr<SelectionMap> mediaItems_;
    std::vector<medialibrary::Playlist> playlists_; // ticked in the picker: the run writes their files
    QPointer<timing::Timer> timer_;
    quint32 msgNbr_ = 1;
    qint8 hideTrigger_ = 0;
    QPointer<ui::AlertView> confirmation_;
    volumes::Volume destination_;
    std::vector<volumes::Volume> offeredVolumes_; // in the destination menu, after the documents folder
    QPointer<ui::ActionSheet> destinationSheet_;
    std::vector<volumes::Volume> offeredIpods_; // in the source menu, after the music folder
    QPointer<ui::ActionSheet> sourceSheet_;
    std::shared_ptr<medialibrary::MusicFolder> picking_; // the library the picker shows
    std::shared_ptr<medialibrary::MusicFolder> picked_;  // the library of the selection
    std::array<medialibrary::MediaItem, 4> slotItems_; // what each artwork slot shows, to draw again at a new size
};
