#pragma once
// The main screen: shows what was picked and leads to the picker, the
// conversion and the stored-files browser. Its layout is
// resources/ChooseSongViewController.ui: four artwork slots (artworkView0 for
// a single pick, artworkView1 to 3 for several), each holding an image view
// tagged 1000, the info box with the two labels, and the select, convert and
// file-manager controls.

#include "platform/library/MediaPickerController.h"
#include "platform/ui/ViewController.h"

#include <QtGlobal>
#include <memory>

class QLabel;
class QPushButton;
namespace Ui { class ChooseSongViewController; }
namespace ui { class ImageView; }

class ChooseSongViewController : public ui::ViewController, public medialibrary::MediaPickerControllerDelegate {
    Q_OBJECT
public:
    explicit ChooseSongViewController(QObject* parent = nullptr);
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

    void setupArtworkView(QWidget* view);
    void hideAllViews();

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
    std::unique_ptr<Ui::ChooseSongViewController> form_;
    qint8 hideTrigger_ = 0;
};
