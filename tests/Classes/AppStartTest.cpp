#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QLabel>
#include <QPointer>
#include <QAbstractButton>
#include <QPushButton>
#include <gtest/gtest.h>

using medialibrary::MediaPickerController;

namespace {

class AppStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        songgen::Options options;
        options.songs = 3;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr};
        songgen::makeLibrary(library_.path(), options);
        delegate_ = std::make_unique<RipwellAppDelegate>(
            medialibrary::MusicFolder::holding(medialibrary::MediaLibrary::scan(library_.path())));
        ui::Application::sharedApplication()->setDelegate(delegate_.get());
        ASSERT_TRUE(delegate_->application(ui::Application::sharedApplication(), {}));
    }
    void TearDown() override
    {
        ui::Application::sharedApplication()->setDelegate(nullptr);
        delegate_.reset();
        timing::setScale(1.0);
    }

    // Opens the picker with the select control and waits until it is up.
    MediaPickerController* openPicker()
    {
        delegate_->ctrl()->selectButton()->click();
        auto* picker = qobject_cast<MediaPickerController*>(delegate_->ctrl()->modalViewController());
        if (picker)
            testsupport::processEventsUntil([&] { return picker->view()->geometry() == delegate_->window()->contentRect(); });
        return picker;
    }

    testsupport::TempDir library_;
    std::unique_ptr<RipwellAppDelegate> delegate_;
};

TEST_F(AppStartTest, StartUpShowsTheMainScreenInTheKeyWindow)
{
    ui::Window* window = delegate_->window();
    ChooseSongViewController* ctrl = delegate_->ctrl();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(RipwellAppDelegate::sharedDelegate(), delegate_.get());
    EXPECT_EQ(ui::Window::keyWindow(), window);
    EXPECT_TRUE(window->isVisible());
    // A desktop window: at the comfortable size for the screen, the user's to
    // resize down to the phone's size and to maximise; the main screen fills it.
    EXPECT_EQ(window->size(), ui::Window::comfortableSize());
    EXPECT_GE(window->width(), 320);
    EXPECT_GE(window->height(), 480);
    EXPECT_EQ(window->minimumSize(), QSize(320, 480));
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_EQ(window->windowTitle(), "Ripwell");
    EXPECT_EQ(window->statusBarStyle(), ui::StatusBarStyle::BlackOpaque);
    EXPECT_EQ(ctrl->view()->parentWidget(), window);
    EXPECT_EQ(ctrl->view()->geometry(), window->rect());

    // The layout: four slots, each with its image view tagged 1000, all hidden with the info box.
    const std::pair<QWidget*, ui::ImageView*> slotViews[] = {{ctrl->artworkView0(), ctrl->imageView0()},
                                                            {ctrl->artworkView1(), ctrl->imageView1()},
                                                            {ctrl->artworkView2(), ctrl->imageView2()},
                                                            {ctrl->artworkView3(), ctrl->imageView3()}};
    for (const auto& [slotView, image] : slotViews) {
        EXPECT_EQ(ui::viewWithTag(slotView, 1000), image);
        EXPECT_TRUE(slotView->isHidden());
        EXPECT_EQ(ui::Layer::of(slotView)->cornerRadius(), 10);
        EXPECT_EQ(ui::Layer::of(slotView)->borderWidth(), 2);
    }
    EXPECT_TRUE(ctrl->infoView()->isHidden());
    EXPECT_EQ(ctrl->topLabel()->parentWidget(), ctrl->infoView());
    EXPECT_NEAR(ui::alpha(ctrl->infoView()), 0.8, 1e-6);
    EXPECT_TRUE(ctrl->convButton()->isHidden());
    EXPECT_FALSE(ctrl->convButton()->isEnabled());
}

TEST_F(AppStartTest, SelectOpensThePickerAndDoneClosesIt)
{
    MediaPickerController* picker = openPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(delegate_->ctrl()->hideTrigger(), 1);
    EXPECT_EQ(picker->prompt(), "Select media for extraction");
    EXPECT_TRUE(picker->allowsPickingMultipleItems());
    EXPECT_EQ(picker->mediaTypes(), unsigned(medialibrary::MediaTypeAnyAudio));
    EXPECT_EQ(picker->delegate(), delegate_->ctrl());
    EXPECT_EQ(picker->numberOfRows(), 3);
    EXPECT_EQ(delegate_->window()->windowTitle(), "Songs – Ripwell"); // the title says what is shown

    QPointer<MediaPickerController> guard(picker);
    picker->tapRow(0);
    picker->done();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return guard.isNull(); }));
    EXPECT_EQ(delegate_->ctrl()->modalViewController(), nullptr);
    EXPECT_TRUE(delegate_->ctrl()->view()->isVisible());
    EXPECT_EQ(delegate_->window()->windowTitle(), "Ripwell");
}

TEST_F(AppStartTest, CancelClosesThePicker)
{
    QPointer<MediaPickerController> picker = openPicker();
    ASSERT_FALSE(picker.isNull());
    picker->cancel();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return picker.isNull(); }));
    EXPECT_TRUE(delegate_->ctrl()->view()->isVisible());
}

TEST_F(AppStartTest, NoWarningWhenTheLibraryLiesElsewhere)
{
    EXPECT_EQ(delegate_->libraryInsideDocumentsAlert(), nullptr);
}

TEST(AppStart, ALibraryInsideTheDocumentsFolderIsPointedOutAtStart)
{
    testsupport::TempDir docs;
    qputenv("RIPWELL_DOCUMENTS", docs.path().toUtf8());
    qputenv("RIPWELL_LIBRARY", docs.file("Music").toUtf8());
    auto delegate = std::make_unique<RipwellAppDelegate>(
        medialibrary::MusicFolder::holding(medialibrary::MediaLibrary::scan(docs.file("Music"))));
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    ASSERT_TRUE(delegate->application(ui::Application::sharedApplication(), {}));

    ui::AlertView* alert = delegate->libraryInsideDocumentsAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->title(), "Music library inside the documents folder");
    EXPECT_TRUE(alert->message().contains("never overwritten"));
    if (!qEnvironmentVariableIsEmpty("RIPWELL_SHOT_DIR")) {
        testsupport::processEventsUntil([] { return false; }, 400);
        delegate->window()->grab().save(qEnvironmentVariable("RIPWELL_SHOT_DIR") + "/library-inside-documents.png");
    }
    QAbstractButton* ok = alert->buttonAtIndex(0);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    ok->click();
    EXPECT_TRUE(testsupport::processEventsUntil([&] { return !alert->isVisible(); }));

    ui::Application::sharedApplication()->setDelegate(nullptr);
    delegate.reset();
    qunsetenv("RIPWELL_DOCUMENTS");
    qunsetenv("RIPWELL_LIBRARY");
}

} // namespace
