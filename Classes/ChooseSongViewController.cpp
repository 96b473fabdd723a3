#include "Classes/ChooseSongViewController.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Style.h"

#include "ui_ChooseSongViewController.h"

ChooseSongViewController::ChooseSongViewController(QObject* parent)
    : ui::ViewController(parent), form_(std::make_unique<Ui::ChooseSongViewController>())
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

void ChooseSongViewController::viewDidLoad()
{
    hideAllViews();
    for (QWidget* slot : {artworkView0(), artworkView1(), artworkView2(), artworkView3(), infoView()})
        setupArtworkView(slot);
    ui::setBackgroundColor(infoView(), Qt::black);
    ui::setAlpha(infoView(), 0.8);
}

void ChooseSongViewController::viewDidAppear(bool animated)
{
    ui::ViewController::viewDidAppear(animated);
    // No selection yet: the convert control waits for one.
    convButton()->setEnabled(false);
    convButton()->setHidden(true);
}

void ChooseSongViewController::viewWillDisappear(bool animated)
{
    ui::ViewController::viewWillDisappear(animated);
    hideTrigger_ = 1;
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

void ChooseSongViewController::hideAllViews()
{
    for (QWidget* v : {artworkView0(), artworkView1(), artworkView2(), artworkView3(), infoView()})
        v->setHidden(true);
}

void ChooseSongViewController::selectMedia(QObject*)
{
    hideTrigger_ = 1;
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio);
    picker->setDelegate(this);
    picker->setAllowsPickingMultipleItems(true);
    picker->setPrompt(L("Select media for extraction"));
    presentModalViewController(picker, true);
}

void ChooseSongViewController::doConversion(QObject*) {}

void ChooseSongViewController::showFileManager(QObject*) {}

void ChooseSongViewController::mediaPicker(medialibrary::MediaPickerController*,
                                           const medialibrary::MediaItemCollection&)
{
    dismissModalViewControllerAnimated(true);
}

void ChooseSongViewController::mediaPickerDidCancel(medialibrary::MediaPickerController*)
{
    dismissModalViewControllerAnimated(true);
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
