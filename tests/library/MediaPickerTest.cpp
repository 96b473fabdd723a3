#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <gtest/gtest.h>

using medialibrary::MediaItem;
using medialibrary::MediaItemCollection;
using medialibrary::MediaLibrary;
using medialibrary::MediaPickerController;

namespace {

struct PickRecorder : medialibrary::MediaPickerControllerDelegate {
    std::vector<std::vector<MediaItem>> picks;
    int cancels = 0;
    void mediaPicker(MediaPickerController*, const MediaItemCollection& items) override { picks.push_back(items.items()); }
    void mediaPickerDidCancel(MediaPickerController*) override { ++cancels; }
};

class MediaPickerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new testsupport::TempDir;
        songgen::Options options;
        options.songs = 60;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Protected};
        QString error;
        songgen::makeLibrary(dir_->path(), options, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        library_ = new std::shared_ptr<const MediaLibrary>(MediaLibrary::scan(dir_->path()));
    }
    static void TearDownTestSuite()
    {
        delete library_;
        delete dir_;
    }
    void SetUp() override
    {
        timing::setScale(0.02);
        picker_ = new MediaPickerController(medialibrary::MediaTypeAnyAudio, *library_);
        picker_->setDelegate(&recorder_);
        picker_->setAllowsPickingMultipleItems(true);
        picker_->setPrompt("Select media for extraction");
        window_.addSubview(picker_->view());
        window_.makeKeyAndVisible();
    }
    void TearDown() override
    {
        delete picker_;
        timing::setScale(1.0);
    }
    QAbstractButton* button(const char* name) { return picker_->view()->findChild<QAbstractButton*>(name); }

    static testsupport::TempDir* dir_;
    static std::shared_ptr<const MediaLibrary>* library_;
    ui::Window window_;
    MediaPickerController* picker_ = nullptr;
    PickRecorder recorder_;
};

testsupport::TempDir* MediaPickerTest::dir_ = nullptr;
std::shared_ptr<const MediaLibrary>* MediaPickerTest::library_ = nullptr;

TEST_F(MediaPickerTest, ListsTheWholeLibraryInLibraryOrder)
{
    const auto& items = (*library_)->items();
    ASSERT_EQ(picker_->numberOfRows(), int(items.size()));
    for (int row = 0; row < picker_->numberOfRows(); ++row)
        EXPECT_EQ(picker_->itemAtRow(row), items[std::size_t(row)]);
    MediaPickerController podcasts(medialibrary::MediaTypePodcast, *library_);
    EXPECT_EQ(podcasts.numberOfRows(), 0);
}

TEST_F(MediaPickerTest, DoneReportsTheCheckedItemsInTheOrderChecked)
{
    const auto& items = (*library_)->items();
    for (int row : {5, 1, 3, 1, 0}) // row 1 checked, then unchecked again
        picker_->tapRow(row);
    EXPECT_TRUE(picker_->isRowChecked(5));
    EXPECT_FALSE(picker_->isRowChecked(1));
    button("doneButton")->click();
    ASSERT_EQ(recorder_.picks.size(), 1u);
    EXPECT_EQ(recorder_.picks[0], std::vector<MediaItem>({items[5], items[3], items[0]}));
    EXPECT_EQ(recorder_.cancels, 0);
    button("doneButton")->click(); // a picker reports once
    EXPECT_EQ(recorder_.picks.size(), 1u);
}

TEST_F(MediaPickerTest, ProtectedSongsArePickedAndComeBackWithoutAssetURL)
{
    int protectedRow = -1;
    for (int row = 0; row < picker_->numberOfRows() && protectedRow < 0; ++row)
        if (picker_->itemAtRow(row).isProtected())
            protectedRow = row;
    ASSERT_GE(protectedRow, 0);
    picker_->tapRow(protectedRow);
    picker_->done();
    ASSERT_EQ(recorder_.picks.size(), 1u);
    ASSERT_EQ(recorder_.picks[0].size(), 1u);
    EXPECT_TRUE(recorder_.picks[0][0].assetURL().isEmpty());
    EXPECT_FALSE(recorder_.picks[0][0].title().isEmpty());
}

TEST_F(MediaPickerTest, CancelReportsNothingPicked)
{
    picker_->tapRow(2);
    button("cancelButton")->click();
    EXPECT_EQ(recorder_.cancels, 1);
    EXPECT_TRUE(recorder_.picks.empty());
}

TEST_F(MediaPickerTest, SearchNarrowsTheListAndKeepsChecks)
{
    const MediaItem first = picker_->itemAtRow(0);
    picker_->tapRow(0);
    picker_->setSearchText("kestrel");
    ASSERT_GT(picker_->numberOfRows(), 0);
    ASSERT_LT(picker_->numberOfRows(), int((*library_)->items().size()));
    for (int row = 0; row < picker_->numberOfRows(); ++row)
        EXPECT_EQ(picker_->itemAtRow(row).artist(), "Kestrel");
    picker_->tapRow(1);
    const MediaItem second = picker_->itemAtRow(1);
    picker_->setSearchText("");
    picker_->done();
    ASSERT_EQ(recorder_.picks.size(), 1u);
    EXPECT_EQ(recorder_.picks[0], std::vector<MediaItem>({first, second}));
}

// Typed letter by letter and deleted again, every search shows exactly the
// songs whose title, artist or album holds each of its words (case aside),
// in the library's order: across names with accents, a word spanning the
// title and the artist matching nothing, several words, a number.
TEST_F(MediaPickerTest, EverySearchOnTheWayShowsTheSongsHoldingEachWord)
{
    const auto expected = [](const QString& text) {
        const QStringList words = text.toCaseFolded().split(u' ', Qt::SkipEmptyParts);
        QStringList titles;
        for (const MediaItem& item : (*library_)->items()) {
            bool all = true;
            for (const QString& w : words)
                all = all && (item.displayTitle().toCaseFolded().contains(w) || item.artist().toCaseFolded().contains(w) ||
                              item.albumTitle().toCaseFolded().contains(w));
            if (all)
                titles << item.displayTitle();
        }
        return titles;
    };
    const auto shown = [&] {
        QStringList titles;
        for (int row = 0; row < picker_->numberOfRows(); ++row)
            titles << picker_->itemAtRow(row).displayTitle();
        return titles;
    };
    int narrowed = 0;
    for (const QString& text : {QStringLiteral("ÆRØ strings"), QStringLiteral("NIÑOS sol #2"),
                                QStringLiteral("tide mira"), QStringLiteral("home #3"), QStringLiteral("river kestrel"),
                                QStringLiteral("lightsthe")}) {
        for (qsizetype n = 1; n <= text.size(); ++n) {
            picker_->setSearchText(text.left(n));
            EXPECT_EQ(shown(), expected(text.left(n))) << text.left(n).toStdString();
            narrowed += picker_->numberOfRows() < int((*library_)->items().size());
        }
        for (qsizetype n = text.size() - 1; n >= 0; --n) {
            picker_->setSearchText(text.left(n));
            EXPECT_EQ(shown(), expected(text.left(n))) << text.left(n).toStdString();
        }
    }
    EXPECT_GT(narrowed, 20);
    picker_->setSearchText("lightsthe");
    EXPECT_EQ(picker_->numberOfRows(), 0) << "a word across the title and the artist";
}

TEST_F(MediaPickerTest, WithoutMultipleSelectionATapPicks)
{
    picker_->setAllowsPickingMultipleItems(false);
    picker_->tapRow(4);
    ASSERT_EQ(recorder_.picks.size(), 1u);
    EXPECT_EQ(recorder_.picks[0], std::vector<MediaItem>({picker_->itemAtRow(4)}));
}

TEST_F(MediaPickerTest, ArtworkIsLoadedForRowsOnScreenOnly)
{
    QListView* list = picker_->listView();
    const int visibleRows = list->viewport()->height() / MediaPickerController::kRowHeight + 1;
    window_.grab(); // paints the rows on screen
    ASSERT_TRUE(testsupport::processEventsUntil(
        [&] { return picker_->artworkLoadsStarted() >= visibleRows - 1 && !picker_->isLoadingArtwork(); }));
    const int onOpening = picker_->artworkLoadsStarted();
    EXPECT_GE(onOpening, visibleRows - 1);
    EXPECT_LE(onOpening, visibleRows + 1);

    // Jumping to the end loads the rows there, not those in between.
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    window_.grab();
    ASSERT_TRUE(testsupport::processEventsUntil([&] {
        return picker_->artworkLoadsStarted() >= onOpening + visibleRows - 1 && !picker_->isLoadingArtwork();
    }));
    EXPECT_LE(picker_->artworkLoadsStarted(), onOpening + visibleRows + 1);
    EXPECT_LT(picker_->artworkLoadsStarted(), picker_->numberOfRows());
}

// Opened while the library is still being read, the picker lists what is
// known, keeps checks made meanwhile, and ends with the whole library.
TEST_F(MediaPickerTest, OpenedDuringTheScanFillsInAndKeepsChecks)
{
    const auto scan = medialibrary::LibraryScan::start(dir_->path());
    MediaPickerController picker(medialibrary::MediaTypeAnyAudio, scan);
    PickRecorder recorder;
    picker.setDelegate(&recorder);
    picker.setAllowsPickingMultipleItems(true);
    ui::Window window;
    window.addSubview(picker.view());
    window.makeKeyAndVisible();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return picker.numberOfRows() > 0; }));
    const MediaItem first = picker.itemAtRow(0);
    picker.tapRow(0);
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !picker.isFillingIn(); }));

    const auto& items = (*library_)->items();
    ASSERT_EQ(picker.numberOfRows(), int(items.size()));
    for (int row = 0; row < picker.numberOfRows(); ++row)
        EXPECT_EQ(picker.itemAtRow(row), items[std::size_t(row)]);
    picker.setSearchText("kestrel");
    EXPECT_GT(picker.numberOfRows(), 0);
    picker.done();
    ASSERT_EQ(recorder.picks.size(), 1u);
    EXPECT_EQ(recorder.picks[0], std::vector<MediaItem>({first}));
}

// Quitting while the library is read: the scan stops, and a picker that
// was open keeps the songs it had.
TEST_F(MediaPickerTest, AStoppedScanLeavesThePickerWithWhatWasRead)
{
    const auto scan = medialibrary::LibraryScan::start(dir_->path());
    MediaPickerController picker(medialibrary::MediaTypeAnyAudio, scan);
    picker.view();
    scan->cancel();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !picker.isFillingIn(); }));
    EXPECT_EQ(std::size_t(picker.numberOfRows()), scan->count());
}

// An empty list says why: still reading, no songs (and where they are looked
// for), or nothing matches the search.
TEST_F(MediaPickerTest, AnEmptyListSaysWhy)
{
    auto hint = [](MediaPickerController& p) { return p.view()->findChild<QLabel*>("emptyHint"); };

    picker_->setSearchText("no such song anywhere");
    ASSERT_EQ(picker_->numberOfRows(), 0);
    ASSERT_NE(hint(*picker_), nullptr);
    EXPECT_TRUE(hint(*picker_)->isVisible());
    EXPECT_EQ(hint(*picker_)->text(), "No song matches the search.");
    picker_->setSearchText("kestrel");
    EXPECT_FALSE(hint(*picker_)->isVisible()) << "rows to show, no hint";

    testsupport::TempDir empty;
    const auto scan = medialibrary::LibraryScan::start(empty.path());
    MediaPickerController picker(medialibrary::MediaTypeAnyAudio, scan);
    ui::Window window;
    window.addSubview(picker.view());
    window.makeKeyAndVisible();
    ASSERT_NE(hint(picker), nullptr);
    if (picker.isFillingIn()) {
        EXPECT_EQ(hint(picker)->text(), QString::fromUtf8("Reading the music library…"));
    }
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !picker.isFillingIn(); }));
    EXPECT_TRUE(hint(picker)->isVisible());
    EXPECT_TRUE(hint(picker)->text().startsWith("No songs in the music library.")) << hint(picker)->text().toStdString();
    EXPECT_TRUE(hint(picker)->text().remove(QChar(0x200B)).contains(empty.path())) << "where the songs are looked for";
}

} // namespace
