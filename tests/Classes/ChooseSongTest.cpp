#include "Classes/AudioPlayerHelper.h"
#include "Classes/ChooseSongViewController.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/FileManagerViewController.h"
#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/MediaPickerController.h"
#include "platform/playback/Player.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"

#include <QDirIterator>
#include <QEvent>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using medialibrary::MediaItem;
using medialibrary::MediaLibrary;
using medialibrary::MediaPickerController;

namespace {

const QString kWelcome[] = {
    "Create backups by extracting your songs from your music library.",
    "Always have access to your songs. Extract MP3 and M4A made easy... Ripwell.",
    "Take the extracted media files anywhere: copy them from your documents folder to a phone, a player or another "
    "computer.",
};

// Notes every welcome panel that the main screen puts into its view.
class PanelRecorder : public QObject {
public:
    explicit PanelRecorder(QWidget* view) { view->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
            if (auto* panel = qobject_cast<SlidingMessageViewController*>(ui::ViewController::controllerOfView(child))) {
                titles.append(panel->titleLabel()->text());
                messages.append(panel->messageLabel()->text());
            }
        }
        return false;
    }
    QStringList titles;
    QStringList messages;
};

class ChooseSongTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        songgen::Options options;
        options.songs = 60; // 40 that the library hands over, 20 protected ones
        options.seconds = 0.1;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Protected};
        library_ = new testsupport::GeneratedLibrary(options, "Music");
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
        testsupport::restorePlatformMessages();
    }

    void SetUp() override
    {
        folder_ = medialibrary::MusicFolder::holding(MediaLibrary::scan(library_->path()));
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(documents_.path()));
        timing::setScale(scale_);
        ctrl_ = std::make_unique<ChooseSongViewController>(folder_);
        window_.addSubview(ctrl_->view());
        panels_ = std::make_unique<PanelRecorder>(ctrl_->view());
        window_.makeKeyAndVisible();
    }
    void TearDown() override
    {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        ctrl_.reset();
        QCoreApplication::processEvents();
        folder_.reset();
        qunsetenv("RIPWELL_DOCUMENTS");
        timing::setScale(1.0);
    }

    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }

    // Opens the picker with the select control and waits until it is up.
    MediaPickerController* openPicker()
    {
        click(ctrl_->selectButton());
        auto* picker = qobject_cast<MediaPickerController*>(ctrl_->modalViewController());
        if (picker)
            testsupport::processEventsUntil([&] { return picker->view()->geometry() == window_.contentRect(); });
        return picker;
    }
    // Waits until the picker is gone and the main screen shows again.
    bool pickerClosed(const QPointer<MediaPickerController>& picker)
    {
        return testsupport::processEventsUntil(
            [&] { return picker.isNull() && !ctrl_->modalViewController() && ctrl_->view()->isVisible(); });
    }
    // Taps the picker's rows for these items, then Done; returns when the picker is closed.
    bool pick(const std::vector<MediaItem>& items)
    {
        QPointer<MediaPickerController> picker = openPicker();
        if (!picker)
            return false;
        QListView* list = picker->listView();
        for (const MediaItem& item : items) {
            int row = 0;
            while (row < picker->numberOfRows() && !(picker->itemAtRow(row) == item))
                ++row;
            const QModelIndex index = list->model()->index(row, 0);
            list->scrollTo(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        }
        click(picker->view()->findChild<QPushButton*>("doneButton"));
        return pickerClosed(picker);
    }
    // The first `n` songs of the library that it hands over (or protected ones).
    std::vector<MediaItem> songs(std::size_t n, bool protectedOnes = false) const
    {
        std::vector<MediaItem> out;
        for (const MediaItem& item : folder_->library()->items())
            if (out.size() < n && item.assetURL().isEmpty() == protectedOnes)
                out.push_back(item);
        return out;
    }

    // The message label of the alert on screen, or nullptr.
    QLabel* alertMessage() const
    {
        for (QLabel* label : window_.findChildren<QLabel*>("message"))
            if (label->isVisible())
                return label;
        return nullptr;
    }
    QPushButton* alertButton(const QString& title) const
    {
        QLabel* message = alertMessage();
        if (!message)
            return nullptr;
        for (QPushButton* b : message->parentWidget()->findChildren<QPushButton*>())
            if (b->text() == title)
                return b;
        return nullptr;
    }
    // Presses an alert button and waits until the alert has gone.
    bool pressAlertButton(const QString& title)
    {
        QPushButton* button = alertButton(title);
        if (!button)
            return false;
        click(button);
        return testsupport::processEventsUntil([&] { return alertMessage() == nullptr; });
    }

    // A visible button with this title anywhere in the window (menus, alerts), or nullptr.
    QPushButton* visibleButton(const QString& title) const
    {
        for (QPushButton* b : window_.findChildren<QPushButton*>())
            if (b->isVisible() && b->text() == title)
                return b;
        return nullptr;
    }
    // Waits for the end of the conversion run on screen and leaves it with "Next".
    bool finishConversion()
    {
        auto* conversion = qobject_cast<CompletedWorkViewController*>(ctrl_->modalViewController());
        if (!conversion)
            return false;
        if (!testsupport::processEventsUntil([&] { return visibleButton("Next") || alertButton("OK"); }, 60000))
            return false;
        if (alertButton("OK") && !pressAlertButton("OK")) // failures are reported first
            return false;
        if (!testsupport::processEventsUntil([&] { return visibleButton("Next") != nullptr; }))
            return false;
        click(visibleButton("Next"));
        return testsupport::processEventsUntil(
            [&] { return !ctrl_->modalViewController() && ctrl_->view()->isVisible(); });
    }
    int filesInDocuments() const
    {
        int n = 0;
        for (QDirIterator it(documents_.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++n;
        return n;
    }
    void expectNoSelectionShown() const
    {
        EXPECT_EQ(ctrl_->mediaItems(), nullptr);
        EXPECT_EQ(slotsShown(), std::vector<bool>(4, false));
        EXPECT_TRUE(ctrl_->infoView()->isHidden());
        EXPECT_TRUE(ctrl_->convButton()->isHidden());
        EXPECT_FALSE(ctrl_->convButton()->isEnabled());
    }

    std::vector<bool> slotsShown() const
    {
        return {!ctrl_->artworkView0()->isHidden(), !ctrl_->artworkView1()->isHidden(),
                !ctrl_->artworkView2()->isHidden(), !ctrl_->artworkView3()->isHidden()};
    }
    std::vector<Url> keys() const
    {
        const SelectionMap* map = ctrl_->mediaItems();
        return map ? std::vector<Url>(map->allKeys().begin(), map->allKeys().end()) : std::vector<Url>{};
    }
    static playback::Player* preview() { return AudioPlayerHelper::sharedInstance()->player(); }
    bool convertOffered() const { return ctrl_->convButton()->isVisible() && ctrl_->convButton()->isEnabled(); }

    static testsupport::GeneratedLibrary* library_;
    testsupport::LogCapture log_; // the conversion run's lines
    double scale_ = 0.02; // the 5 s welcome cycle takes 100 ms
    testsupport::TempDir documents_;
    ui::Window window_;
    std::shared_ptr<medialibrary::MusicFolder> folder_; // the library the screen is handed
    std::unique_ptr<ChooseSongViewController> ctrl_;
    std::unique_ptr<PanelRecorder> panels_;
};

testsupport::GeneratedLibrary* ChooseSongTest::library_ = nullptr;

TEST_F(ChooseSongTest, WelcomeMessagesComeInTurnAndRestartAtOneWhenTheScreenReturns)
{
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return panels_->messages.size() >= 4; }));
    EXPECT_EQ(panels_->messages.mid(0, 4), QStringList({kWelcome[0], kWelcome[1], kWelcome[2], kWelcome[0]}));
    EXPECT_EQ(panels_->titles.value(0), "Welcome to Ripwell");
    for (QWidget* slot : {ctrl_->artworkView0(), ctrl_->artworkView1(), ctrl_->artworkView2(),
                          ctrl_->artworkView3(), ctrl_->infoView()})
        EXPECT_TRUE(slot->isHidden());
    EXPECT_FALSE(ctrl_->convButton()->isVisible());

    // Stopped mid-cycle (after message 2, as a rule) by the picker; cancelling it starts again at 1.
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return panels_->messages.size() >= 5; }));
    QPointer<MediaPickerController> picker = openPicker();
    ASSERT_FALSE(picker.isNull());
    EXPECT_EQ(ctrl_->hideTrigger(), 1);
    EXPECT_EQ(ctrl_->timer(), nullptr);
    EXPECT_TRUE(testsupport::processEventsUntil([&] {
        for (QWidget* w : ctrl_->view()->findChildren<QWidget*>())
            if (ui::ViewController::controllerOfView(w) && !w->isHidden())
                return false;
        return true;
    })) << "a welcome panel still shows";
    panels_->messages.clear();
    click(picker->view()->findChild<QPushButton*>("cancelButton"));
    ASSERT_TRUE(pickerClosed(picker));
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return panels_->messages.size() >= 2; }));
    EXPECT_EQ(panels_->messages.mid(0, 2), QStringList({kWelcome[0], kWelcome[1]}));
    EXPECT_EQ(ctrl_->mediaItems(), nullptr);
}

class ChooseSongSlowTimersTest : public ChooseSongTest {
protected:
    ChooseSongSlowTimersTest() { scale_ = 50; } // 5 s take 250 s
};

TEST_F(ChooseSongSlowTimersTest, TheFirstWelcomeMessageComesAtOnce)
{
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !panels_->messages.isEmpty(); }, 8000));
    EXPECT_EQ(panels_->messages.value(0), kWelcome[0]);
}

TEST_F(ChooseSongTest, ProtectedSongsAreLeftOutCountedAndReported)
{
    const std::vector<MediaItem> two = songs(2);
    const std::vector<MediaItem> locked = songs(1, true);
    ASSERT_TRUE(pick({two[0], locked[0], two[1]}));

    ASSERT_NE(alertMessage(), nullptr);
    EXPECT_EQ(alertMessage()->text(), "Cannot handle DRM protected media.\nSkipped files: 1");
    EXPECT_EQ(keys(), std::vector<Url>({two[0].assetURL(), two[1].assetURL()}));
    EXPECT_EQ(slotsShown(), std::vector<bool>({false, true, false, true}));
    EXPECT_FALSE(ctrl_->infoView()->isHidden());
    EXPECT_EQ(ctrl_->topLabel()->text(), "");
    EXPECT_EQ(ctrl_->bottomLabel()->text(), "Selected items: 2");
    EXPECT_TRUE(convertOffered());
    EXPECT_TRUE(pressAlertButton("OK"));
    EXPECT_EQ(ctrl_->timer(), nullptr); // no welcome messages over a selection
}

TEST_F(ChooseSongTest, APickWithNothingConvertibleOffersNoConversion)
{
    ASSERT_TRUE(pick(songs(2, true)));
    ASSERT_NE(alertMessage(), nullptr);
    EXPECT_TRUE(alertMessage()->text().endsWith("\nSkipped files: 2"));
    EXPECT_TRUE(pressAlertButton("OK"));
    ASSERT_NE(ctrl_->mediaItems(), nullptr);
    EXPECT_TRUE(ctrl_->mediaItems()->isEmpty());
    EXPECT_EQ(slotsShown(), std::vector<bool>(4, false));
    EXPECT_TRUE(ctrl_->infoView()->isHidden());
    EXPECT_FALSE(ctrl_->convButton()->isVisible());
    EXPECT_FALSE(ctrl_->convButton()->isEnabled());

    // Nor after the screen shows again.
    QPointer<MediaPickerController> picker = openPicker();
    click(picker->view()->findChild<QPushButton*>("cancelButton"));
    ASSERT_TRUE(pickerClosed(picker));
    EXPECT_FALSE(ctrl_->convButton()->isVisible());
    EXPECT_FALSE(ctrl_->convButton()->isEnabled());
}

TEST_F(ChooseSongTest, FortyItemsFillThreeSlotsAndCountAll)
{
    const std::vector<MediaItem> forty = songs(40);
    ASSERT_EQ(forty.size(), 40u);
    ASSERT_TRUE(pick(forty));
    EXPECT_EQ(alertMessage(), nullptr);
    ASSERT_EQ(keys().size(), 40u);
    for (std::size_t k = 0; k < 40; ++k)
        EXPECT_EQ(keys()[k], forty[k].assetURL());
    EXPECT_EQ(slotsShown(), std::vector<bool>({false, true, true, true}));
    EXPECT_EQ(ctrl_->bottomLabel()->text(), "Selected items: 40");
    EXPECT_EQ(ctrl_->topLabel()->text(), "");
    // Each slot shows its own item's cover.
    const QSize side = ctrl_->imageView1()->size();
    EXPECT_EQ(ctrl_->imageView1()->image(), forty[0].artwork()->imageWithSize(side));
    EXPECT_EQ(ctrl_->imageView2()->image(), forty[1].artwork()->imageWithSize(side));
    EXPECT_EQ(ctrl_->imageView3()->image(), forty[2].artwork()->imageWithSize(side));

    // More than 25: a question first; "Cancel" leaves everything as it was.
    click(ctrl_->convButton());
    ASSERT_NE(alertMessage(), nullptr);
    EXPECT_EQ(alertMessage()->text(), "You have selected more than 25 items. This may take a some time and requires "
                                      "sufficient disk space. Are you sure you want to continue?");
    EXPECT_EQ(ctrl_->modalViewController(), nullptr);
    ASSERT_TRUE(pressAlertButton("Cancel"));
    EXPECT_EQ(ctrl_->modalViewController(), nullptr);
    EXPECT_EQ(keys().size(), 40u);
    EXPECT_EQ(slotsShown(), std::vector<bool>({false, true, true, true}));
    EXPECT_EQ(ctrl_->bottomLabel()->text(), "Selected items: 40");
    EXPECT_TRUE(convertOffered());

    // And the question comes again.
    click(ctrl_->convButton());
    ASSERT_NE(alertButton("Cancel"), nullptr);
    ASSERT_TRUE(pressAlertButton("Cancel"));
    EXPECT_EQ(keys().size(), 40u);
}

TEST_F(ChooseSongTest, OneItemThenTwo)
{
    const std::vector<MediaItem> three = songs(3);
    ASSERT_TRUE(pick({three[0]}));
    EXPECT_EQ(slotsShown(), std::vector<bool>({true, false, false, false}));
    EXPECT_FALSE(ctrl_->infoView()->isHidden());
    EXPECT_EQ(ctrl_->topLabel()->text(), three[0].artist());
    EXPECT_EQ(ctrl_->bottomLabel()->text(), three[0].title());
    EXPECT_EQ(ctrl_->imageView0()->image(), three[0].artwork()->imageWithSize(ctrl_->imageView0()->size()));
    EXPECT_TRUE(convertOffered());
    ASSERT_NE(preview(), nullptr); // the single pick plays at once
    EXPECT_EQ(preview()->url(), three[0].assetURL());
    EXPECT_TRUE(preview()->isPlaying());

    ASSERT_TRUE(pick({three[1], three[2]}));
    EXPECT_EQ(preview(), nullptr); // a new pick stops it
    EXPECT_EQ(keys(), std::vector<Url>({three[1].assetURL(), three[2].assetURL()}));
    EXPECT_EQ(slotsShown(), std::vector<bool>({false, true, false, true}));
    EXPECT_EQ(ctrl_->topLabel()->text(), "");
    EXPECT_EQ(ctrl_->bottomLabel()->text(), "Selected items: 2");
}

TEST_F(ChooseSongTest, CancellingThePickerOverASelectionChangesNothing)
{
    const std::vector<MediaItem> three = songs(3);
    ASSERT_TRUE(pick(three));
    QPointer<MediaPickerController> picker = openPicker();
    ASSERT_FALSE(picker.isNull());
    picker->tapRow(5);
    click(picker->view()->findChild<QPushButton*>("cancelButton"));
    ASSERT_TRUE(pickerClosed(picker));
    EXPECT_EQ(keys(), std::vector<Url>({three[0].assetURL(), three[1].assetURL(), three[2].assetURL()}));
    EXPECT_EQ(slotsShown(), std::vector<bool>({false, true, true, true}));
    EXPECT_EQ(ctrl_->bottomLabel()->text(), "Selected items: 3");
    EXPECT_TRUE(convertOffered());
    EXPECT_EQ(ctrl_->timer(), nullptr);
    EXPECT_EQ(ctrl_->hideTrigger(), 1);
}

TEST_F(ChooseSongTest, TwentyFiveItemsAreHandedOverAtOnceAndTheWelcomeReturns)
{
    const std::vector<MediaItem> items = songs(25);
    ASSERT_TRUE(pick(items));
    click(ctrl_->convButton());
    EXPECT_EQ(alertMessage(), nullptr); // no question asked
    auto* conversion = qobject_cast<CompletedWorkViewController*>(ctrl_->modalViewController());
    ASSERT_NE(conversion, nullptr);
    ASSERT_EQ(conversion->mediaItems().count(), 25u);
    for (std::size_t k = 0; k < items.size(); ++k)
        EXPECT_EQ(conversion->mediaItems().allKeys()[qsizetype(k)], items[k].assetURL());
    expectNoSelectionShown();
    EXPECT_EQ(ctrl_->hideTrigger(), 1);

    panels_->messages.clear();
    ASSERT_TRUE(finishConversion());
    EXPECT_EQ(filesInDocuments(), 25);
    EXPECT_TRUE(log_.lines().filter("[ERROR]").isEmpty()) << log_.lines().join('\n').toStdString();
    expectNoSelectionShown();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !panels_->messages.isEmpty(); }));
    EXPECT_EQ(panels_->messages.value(0), kWelcome[0]);
}

TEST_F(ChooseSongTest, TwentySixItemsAreHandedOverAfterOK)
{
    const std::vector<MediaItem> items = songs(26);
    ASSERT_TRUE(pick(items));
    click(ctrl_->convButton());
    ASSERT_NE(alertMessage(), nullptr);
    EXPECT_EQ(ctrl_->modalViewController(), nullptr);
    ASSERT_TRUE(pressAlertButton("OK"));
    auto* conversion = qobject_cast<CompletedWorkViewController*>(ctrl_->modalViewController());
    ASSERT_NE(conversion, nullptr);
    EXPECT_EQ(conversion->mediaItems().count(), 26u);
    expectNoSelectionShown();
    ASSERT_TRUE(finishConversion());
    EXPECT_EQ(filesInDocuments(), 26);
}

TEST_F(ChooseSongTest, TheFileBrowserStopsThePreviewAndKeepsTheSelection)
{
    const std::vector<MediaItem> one = songs(1);
    ASSERT_TRUE(pick(one));
    ASSERT_NE(preview(), nullptr);
    click(ctrl_->fileManagerButton());
    auto* browser = qobject_cast<FileManagerViewController*>(ctrl_->modalViewController());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(ctrl_->hideTrigger(), 1);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return browser->view()->geometry() == window_.contentRect(); }));
    click(browser->quitButton());
    ASSERT_TRUE(testsupport::processEventsUntil(
        [&] { return !ctrl_->modalViewController() && ctrl_->view()->isVisible(); }));

    EXPECT_EQ(keys(), std::vector<Url>({one[0].assetURL()}));
    EXPECT_EQ(slotsShown(), std::vector<bool>({true, false, false, false}));
    EXPECT_EQ(ctrl_->bottomLabel()->text(), one[0].title());
    EXPECT_TRUE(convertOffered());
    EXPECT_EQ(ctrl_->timer(), nullptr);
    EXPECT_EQ(filesInDocuments(), 0);
}

} // namespace
