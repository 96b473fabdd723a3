// The conversion screen as the user meets it: a real run over generated songs,
// presented over a screen in the window, its menus and alerts driven by their
// real buttons.

#include "Classes/AudioPlayerHelper.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/FileManagerViewController.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/library/MediaLibrary.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlCatcher.h"
#include "tools/make_library/SongGenerator.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using medialibrary::MediaItem;
using testsupport::processEventsUntil;
using testsupport::TempDir;

namespace {

// The screen under the conversion screen; records how it reappears.
class Host : public ui::ViewController {
public:
    std::vector<bool> appeared; // the animated flag of each viewDidAppear
    void viewDidAppear(bool animated) override { appeared.push_back(animated); }
};

// Runs a check on the main loop right after an item has ended, before the
// next item can end: the run stands at the next item then.
class SteppedScreen : public CompletedWorkViewController {
public:
    using CompletedWorkViewController::CompletedWorkViewController;
    std::function<void(std::uint32_t)> afterItem;
    std::function<void()> whenRunEnds;
    void runEnded(std::uint32_t failedItemCount) override
    {
        if (whenRunEnds)
            whenRunEnds();
        CompletedWorkViewController::runEnded(failedItemCount);
    }
    void itemEnded(std::uint32_t index, const ItemOutcome& outcome) override
    {
        CompletedWorkViewController::itemEnded(index, outcome);
        if (afterItem)
            QMetaObject::invokeMethod(this, [this, index] { afterItem(index); }, Qt::QueuedConnection);
    }
};

void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

class CompletedWorkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        library = new TempDir;
        const struct {
            songgen::Format format;
            const char* artist;
            const char* title;
        } songs[] = {
            {songgen::Format::Mp3Cbr, "Ada Reed", "Morning Tide"},
            {songgen::Format::Aac, "Ben Hollow", "Copper Sky"},
            {songgen::Format::WavId3, "Cleo Marsh", "Slow Train"},
            {songgen::Format::Aiff, "Dev Amber", "Northern Lights"},
        };
        unsigned seed = 1;
        for (const auto& s : songs) {
            songgen::Song song{library->file(QStringLiteral("%1.%2").arg(s.title, songgen::fileExtension(s.format))),
                               s.format, s.artist, "Album", s.title, 1, false};
            QString error;
            ASSERT_TRUE(songgen::writeSong(song, seed++, 0.4, 128000, &error)) << error.toStdString();
        }
        scanned = new std::shared_ptr<const medialibrary::MediaLibrary>(medialibrary::MediaLibrary::scan(library->path()));
    }
    static void TearDownTestSuite()
    {
        delete scanned;
        delete library;
        testsupport::restorePlatformMessages();
    }

    void SetUp() override
    {
        timing::setScale(0.02);
        qputenv("RIPWELL_DOCUMENTS", docs.path().toUtf8());
        window.addSubview(host.view());
        window.makeKeyAndVisible();
    }
    void TearDown() override
    {
        // Let slides that are still under way end before their views go.
        processEventsUntil([&] {
            const auto views = window.findChildren<QWidget*>();
            return std::none_of(views.begin(), views.end(), [](QWidget* v) { return ui::isAnimating(v); });
        });
        timing::setScale(1.0);
        qunsetenv("RIPWELL_DOCUMENTS");
    }

    static MediaItem song(const QString& title)
    {
        for (const MediaItem& i : (*scanned)->items())
            if (i.title() == title)
                return i;
        ADD_FAILURE() << "no song " << title.toStdString();
        return {};
    }
    // A song the library does not hand over any more: its import fails.
    static MediaItem vanished(const QString& title)
    {
        MediaItem::Data d;
        d.persistentID = 990000 + qHash(title);
        d.title = title;
        d.artist = QStringLiteral("Nobody");
        d.albumTitle = QStringLiteral("Gone");
        d.assetURL = Url::fromString(QStringLiteral("library://item/item.m4a?id=%1").arg(d.persistentID));
        return MediaItem(d);
    }
    static SelectionMap mapOf(const std::vector<MediaItem>& items)
    {
        SelectionMap map;
        for (const MediaItem& i : items)
            map.setObject(i, i.assetURL());
        return map;
    }

    // Presents a fresh conversion screen over the host, as the main screen
    // does, hands it the songs and waits for the end of the run.
    template <class Screen = CompletedWorkViewController>
    Screen* convert(const std::vector<MediaItem>& items, bool animated = true,
                    const std::function<void(Screen*)>& prepare = {})
    {
        auto* s = new Screen(*scanned);
        screen = s;
        if (prepare)
            prepare(s);
        host.presentModalViewController(s, animated);
        s->exportMedia(mapOf(items));
        EXPECT_TRUE(processEventsUntil([&] { return s->run().isFinished(); }, 60000));
        return s;
    }

    ui::ActionSheet* visibleSheet() const
    {
        for (ui::ActionSheet* s : {screen->actionSheetSingle(), screen->actionSheetMulti(), screen->actionSheetPlayback()})
            if (s->isVisible())
                return s;
        return nullptr;
    }
    // Waits for `sheet` to be on screen and presses its button `index`.
    void press(ui::ActionSheet* sheet, int index)
    {
        ASSERT_TRUE(processEventsUntil([&] { return sheet->isVisible(); }));
        click(sheet->buttonAtIndex(index));
    }
    void press(ui::AlertView* alert, int index)
    {
        ASSERT_TRUE(processEventsUntil([&] { return alert->isVisible(); }));
        click(alert->buttonAtIndex(index));
    }
    bool waitForMenu(ui::ActionSheet* sheet)
    {
        return processEventsUntil([&] { return sheet->isVisible() && visibleSheet() == sheet; });
    }

    static TempDir* library;
    static std::shared_ptr<const medialibrary::MediaLibrary>* scanned; // the library the screens convert from
    TempDir docs;
    testsupport::LogCapture log;
    ui::Window window;
    Host host;
    QPointer<CompletedWorkViewController> screen;
};
TempDir* CompletedWorkTest::library = nullptr;
std::shared_ptr<const medialibrary::MediaLibrary>* CompletedWorkTest::scanned = nullptr;

TEST_F(CompletedWorkTest, OneItemGetsTheFiveButtonMenuAndMoreGetTheThreeButtonOneWhateverTheOutcome)
{
    const struct {
        std::vector<MediaItem> items;
        bool failed;
        int buttons;
    } cases[] = {
        {{song("Morning Tide")}, false, 5},
        {{vanished("Lost One")}, true, 5},
        {{song("Copper Sky"), song("Slow Train")}, false, 3},
        {{vanished("Lost Two"), vanished("Lost Three")}, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items.front().title().toStdString());
        CompletedWorkViewController* s = convert(c.items);
        EXPECT_FALSE(s->spinner()->isAnimating());
        EXPECT_TRUE(s->activityView()->isHidden());
        EXPECT_FALSE(s->statusView()->isHidden());
        EXPECT_EQ(s->statusView()->image(), ui::imageNamed(c.failed ? "failed.png" : "successful.png"));
        if (c.failed) {
            ASSERT_TRUE(processEventsUntil([&] { return s->alertConversionFailed()->isVisible(); }));
            EXPECT_EQ(visibleSheet(), nullptr) << "the menu waits for the alert";
            // How many failed of how many, and where to read why.
            EXPECT_EQ(s->alertConversionFailed()->message(),
                      (c.items.size() == 1 ? QStringLiteral("The song could not be converted.")
                                           : QStringLiteral("2 of 2 songs could not be converted.")) +
                          " For details see error.log in " + docs.path() + ".");
            press(s->alertConversionFailed(), 0);
        }
        ui::ActionSheet* menu = c.buttons == 5 ? s->actionSheetSingle() : s->actionSheetMulti();
        ASSERT_TRUE(waitForMenu(menu));
        EXPECT_EQ(menu->numberOfButtons(), c.buttons);
        EXPECT_EQ(menu->title(), "Conversion completed");
        EXPECT_EQ(menu->buttonTitleAtIndex(c.buttons - 1), "Next");
        press(menu, c.buttons - 1); // Next
        ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));
    }
    EXPECT_EQ(testsupport::errorLogEntries(docs.file("error.log")),
              "Nobody, Lost Two: the song is no longer in the music library\n"
              "Nobody, Lost Three: the song is no longer in the music library\n");
}

TEST_F(CompletedWorkTest, BarAndPercentageFollowTheWholeBatchAndArtworkIsRenderedOncePerItem)
{
    struct Seen {
        int barWidth = -1, activityWidth = -1;
        QString percent, titleAfterSecondTick;
    } fourItems, threeItems;

    auto* s = convert<SteppedScreen>(
        {song("Morning Tide"), song("Copper Sky"), song("Slow Train"), song("Northern Lights")}, true,
        [&](SteppedScreen* screen4) {
            screen4->afterItem = [&, screen4](std::uint32_t ended) {
                if (ended != 0)
                    return;
                // The second of four items is under way: half of it done.
                EXPECT_EQ(screen4->currentItemIndex(), 1u);
                screen4->updateProgressInfo(0.5f);
                fourItems.barWidth = screen4->progressBar()->width();
                fourItems.activityWidth = screen4->activityView()->width();
                fourItems.percent = screen4->progressLabel()->text();
                // Two ticks on the same item: the second leaves the display alone.
                screen4->currentItem();
                EXPECT_EQ(screen4->titleLabel()->text(), "Copper Sky");
                EXPECT_EQ(screen4->artistLabel()->text(), "Ben Hollow");
                EXPECT_EQ(screen4->prevItemIndex(), 1u);
                screen4->titleLabel()->setText("marker");
                screen4->currentItem();
                fourItems.titleAfterSecondTick = screen4->titleLabel()->text();
            };
        });
    EXPECT_EQ(fourItems.percent, "37%");
    EXPECT_NEAR(fourItems.barWidth, 0.375 * fourItems.activityWidth, 1.0);
    EXPECT_EQ(fourItems.titleAfterSecondTick, "marker");
    EXPECT_EQ(s->titleLabel()->text(), "Northern Lights") << "a new item is rendered again";
    press(s->actionSheetMulti(), 2);
    ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));

    convert<SteppedScreen>({song("Morning Tide"), song("Copper Sky"), song("Slow Train")}, true,
                           [&](SteppedScreen* screen3) {
                               screen3->afterItem = [&, screen3](std::uint32_t ended) {
                                   if (ended != 1)
                                       return;
                                   screen3->updateProgressInfo(0.0f); // two of three done, the third at 0
                                   threeItems.percent = screen3->progressLabel()->text();
                               };
                           });
    EXPECT_EQ(threeItems.percent, "66%");
}

TEST_F(CompletedWorkTest, TheBarStartsEmptyInsideARoundedWhiteFrame)
{
    auto* s = new CompletedWorkViewController(*scanned);
    screen = s;
    host.presentModalViewController(s, false);
    EXPECT_EQ(s->progressBar()->width(), 0);
    EXPECT_EQ(s->progressBar()->height(), s->activityView()->height());
    EXPECT_DOUBLE_EQ(ui::alpha(s->progressBar()), 0.4);
    EXPECT_TRUE(s->statusView()->isHidden());
    for (QWidget* frame : {s->artworkView(), s->activityView()}) {
        ui::Layer* layer = ui::Layer::existing(frame);
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->cornerRadius(), 10);
        EXPECT_EQ(layer->borderWidth(), 2);
        EXPECT_EQ(layer->borderColor(), QColor(Qt::white));
    }
}

TEST_F(CompletedWorkTest, ARunThatNoTickSawEndsShowingItsLastItem)
{
    // Ticks a second apart: every song converts long before one comes.
    timing::setScale(10.0);
    CompletedWorkViewController* s = convert<SteppedScreen>(
        {song("Slow Train"), song("Morning Tide"), song("Copper Sky")}, false,
        [](SteppedScreen* stepped) { stepped->whenRunEnds = [] { timing::setScale(0.02); }; });
    EXPECT_EQ(s->titleLabel()->text(), "Copper Sky");
    EXPECT_EQ(s->artistLabel()->text(), "Ben Hollow");
    const QImage shown = s->imageView()->image();
    EXPECT_FALSE(shown.isNull());
    EXPECT_NE(shown, ui::imageNamed("noArtwork.png")) << "the song's own cover";
    EXPECT_EQ(s->currentItemURL().path(), docs.file("Ben Hollow/Album/Copper Sky.m4a"));
}

TEST_F(CompletedWorkTest, AnItemWithoutArtworkShowsTheNoArtworkImage)
{
    CompletedWorkViewController* s = convert({vanished("Nothing Here")}, false);
    EXPECT_EQ(s->titleLabel()->text(), "Nothing Here");
    EXPECT_EQ(s->imageView()->image(), ui::imageNamed("noArtwork.png"));
    press(s->alertConversionFailed(), 0);
    EXPECT_TRUE(waitForMenu(s->actionSheetSingle()));
}

TEST_F(CompletedWorkTest, TransferInstructionsReturnToTheMenuAndWwwOpensTheHelpPage)
{
    // The page is written under the data folder: keep it in the test's own.
    qputenv("XDG_DATA_HOME", docs.file("data").toUtf8());
    testsupport::UrlCatcher catcher("file");
    CompletedWorkViewController* s = convert({song("Morning Tide"), song("Copper Sky")});

    press(s->actionSheetMulti(), 1); // Transfer to computer
    ASSERT_TRUE(processEventsUntil([&] { return s->alertInstructions()->isVisible(); }));
    EXPECT_EQ(s->alertInstructions()->buttonTitleAtIndex(1), "WWW");
    press(s->alertInstructions(), 0); // OK
    ASSERT_TRUE(waitForMenu(s->actionSheetMulti()));
    EXPECT_TRUE(catcher.opened.isEmpty());

    press(s->actionSheetMulti(), 1);
    press(s->alertInstructions(), 1); // WWW
    ASSERT_TRUE(waitForMenu(s->actionSheetMulti()));
    ASSERT_EQ(catcher.opened.size(), 1);
    const QUrl page = catcher.opened.front();
    ASSERT_TRUE(page.isLocalFile());
    const QString html = QString::fromUtf8(testsupport::readFile(page.toLocalFile()));
    EXPECT_TRUE(html.contains("<html")) << "a page a browser can read";
    EXPECT_TRUE(html.contains(docs.path().toHtmlEscaped())) << "names where the files are";
    EXPECT_FALSE(html.contains("@DOCUMENTS@"));
    EXPECT_TRUE(page.toLocalFile().startsWith(docs.file("data/")));

    // In German the page is the German one.
    ASSERT_TRUE(localization::install("de"));
    press(s->actionSheetMulti(), 1);
    press(s->alertInstructions(), 1);
    ASSERT_TRUE(waitForMenu(s->actionSheetMulti()));
    localization::install("en");
    ASSERT_EQ(catcher.opened.size(), 2);
    const QString german = QString::fromUtf8(testsupport::readFile(catcher.opened.back().toLocalFile()));
    EXPECT_TRUE(german.contains("<html lang=\"de\">"));
    EXPECT_TRUE(german.contains(docs.path().toHtmlEscaped()));
    qunsetenv("XDG_DATA_HOME");
}

TEST_F(CompletedWorkTest, PlaybackMenuStopsThePlayerAndReturnsToTheMenu)
{
    CompletedWorkViewController* s = convert({song("Morning Tide")});
    press(s->actionSheetSingle(), 0); // Playback media file
    ASSERT_TRUE(waitForMenu(s->actionSheetPlayback()));
    EXPECT_NE(AudioPlayerHelper::sharedInstance()->player(), nullptr);
    QAbstractButton* stop = s->actionSheetPlayback()->buttonAtIndex(0);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->text(), "Stop playback");
    EXPECT_TRUE(processEventsUntil([&] {
        return stop->isVisible() && window.rect().contains(QRect(stop->mapTo(&window, QPoint(0, 0)), stop->size()));
    })) << "the menu comes up on screen";
    click(stop);
    EXPECT_EQ(AudioPlayerHelper::sharedInstance()->player(), nullptr);
    ASSERT_TRUE(waitForMenu(s->actionSheetSingle()));
}

TEST_F(CompletedWorkTest, ClosingTheScreenWhilePlayingStopsThePlayer)
{
    CompletedWorkViewController* s = convert({song("Copper Sky")});
    press(s->actionSheetSingle(), 0);
    ASSERT_NE(AudioPlayerHelper::sharedInstance()->player(), nullptr);
    host.dismissModalViewControllerAnimated(true); // the screen is taken down from under its menu
    ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));
    EXPECT_EQ(AudioPlayerHelper::sharedInstance()->player(), nullptr);
}

TEST_F(CompletedWorkTest, MailCarriesTheFileAndTheArtistAndTheMenuComesBackWhenItCloses)
{
    // Ticks far apart, so no tick shows the song: the subject still names its artist.
    timing::setScale(10.0);
    CompletedWorkViewController* s = convert<SteppedScreen>(
        {song("Slow Train")}, false, [](SteppedScreen* stepped) { stepped->whenRunEnds = [] { timing::setScale(0.02); }; });
    press(s->actionSheetSingle(), 1); // E-Mail media file
    auto* composer = qobject_cast<mail::MailComposeViewController*>(s->modalViewController());
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->subject(), "Cleo Marsh");
    EXPECT_EQ(composer->attachmentPath(), docs.file("Cleo Marsh/Album/Slow Train.wav"));
    EXPECT_GT(composer->attachmentSize(), 1000);
    EXPECT_EQ(visibleSheet(), nullptr);

    QPointer<mail::MailComposeViewController> gone(composer);
    auto* cancel = composer->view()->findChild<QPushButton*>("cancelButton");
    ASSERT_TRUE(processEventsUntil([&] { return composer->view()->geometry() == window.contentRect(); }));
    click(cancel);
    ASSERT_TRUE(waitForMenu(s->actionSheetSingle()));
    ASSERT_TRUE(processEventsUntil([&] { return gone.isNull(); }));
    EXPECT_EQ(s->modalViewController(), nullptr);
    EXPECT_EQ(host.modalViewController(), s) << "the conversion screen stays";
}

TEST_F(CompletedWorkTest, ClosingTheBrowserLandsOnTheMainScreenWithoutAnimation)
{
    // The screen slides in slowly and the run ends long before: the browser is
    // opened while the screen is still arriving, and must stay when it has.
    timing::setScale(4.0);
    CompletedWorkViewController* s = convert<SteppedScreen>(
        {song("Morning Tide"), song("Copper Sky")}, true,
        [](SteppedScreen* stepped) { stepped->whenRunEnds = [] { timing::setScale(0.02); }; });
    ASSERT_TRUE(ui::isAnimating(s->view())) << "still sliding in";
    press(s->actionSheetMulti(), 0); // File manager
    QPointer<FileManagerViewController> browser = qobject_cast<FileManagerViewController*>(s->modalViewController());
    ASSERT_FALSE(browser.isNull());
    EXPECT_TRUE(s->dismissAfterFileManager());
    ASSERT_TRUE(processEventsUntil([&] {
        return screen.isNull() || browser.isNull() || (!ui::isAnimating(s->view()) && !ui::isAnimating(browser->view()));
    }));
    ASSERT_FALSE(screen.isNull()) << "the screen stays under the browser";
    ASSERT_FALSE(browser.isNull());
    ASSERT_EQ(s->modalViewController(), browser.data()) << "the browser stays up";

    host.appeared.clear();
    click(browser->quitButton());
    ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));
    EXPECT_EQ(host.modalViewController(), nullptr);
    EXPECT_EQ(host.appeared, std::vector<bool>{false}) << "the main screen shows at once";
}

TEST_F(CompletedWorkTest, AnErrorLogThatCannotBeWrittenIsNamedInTheFailureAlert)
{
    ASSERT_TRUE(QDir().mkpath(docs.file("error.log"))); // a folder where the file should go
    CompletedWorkViewController* s = convert({vanished("Lost Song")});
    ASSERT_TRUE(processEventsUntil([&] { return s->alertConversionFailed()->isVisible(); }));
    const QString message = s->alertConversionFailed()->message();
    EXPECT_TRUE(message.startsWith("The song could not be converted.\n\nerror.log could not be written: "))
        << message.toStdString();
    EXPECT_FALSE(message.contains("For details")) << "no pointer to a log that is not there";
    press(s->alertConversionFailed(), 0);
    EXPECT_TRUE(waitForMenu(s->actionSheetSingle()));
}

TEST_F(CompletedWorkTest, ARunRefusedForABusyFolderSaysWhyAndOkCloses)
{
    QProcess holder; // another process holds the documents folder
    holder.start("flock", {docs.file(DocumentsLock::lockFileName()), "cat"});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(processEventsUntil([&] { return !DocumentsLock::tryAcquire(docs.path()); }));

    auto* s = new CompletedWorkViewController(*scanned);
    screen = s;
    host.presentModalViewController(s, true);
    s->exportMedia(mapOf({song("Morning Tide")}));
    ASSERT_NE(s->alertRunRefused(), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return s->alertRunRefused()->isVisible(); }));
    EXPECT_TRUE(s->alertRunRefused()->message().contains("in use by another conversion"));
    EXPECT_FALSE(s->spinner()->isAnimating());
    press(s->alertRunRefused(), 0);
    ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));
    EXPECT_EQ(host.modalViewController(), nullptr);
    EXPECT_FALSE(QFile::exists(docs.file("Ada Reed/Album/Morning Tide.mp3")));
    holder.closeWriteChannel();
    holder.waitForFinished();
}

TEST_F(CompletedWorkTest, NextClosesTheScreenAnimated)
{
    CompletedWorkViewController* s = convert({song("Morning Tide")});
    host.appeared.clear();
    press(s->actionSheetSingle(), 4);
    EXPECT_EQ(host.modalViewController(), nullptr);
    EXPECT_FALSE(screen.isNull()) << "still sliding out";
    ASSERT_TRUE(processEventsUntil([&] { return screen.isNull(); }));
    EXPECT_EQ(host.appeared, std::vector<bool>{true});
}

} // namespace
