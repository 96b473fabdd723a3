#include "Classes/AudioPlayerHelper.h"
#include "Classes/FileManagerViewController.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Timing.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/playback/Player.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using testsupport::processEventsUntil;
using testsupport::TempDir;
using ui::IndexPath;

namespace {

constexpr quint32 kNone = FileManagerViewController::kNoPlayingIndex;

// Makes a file or folder impossible to remove: a read-only parent for a
// normal user, the immutable flag for root. Undone on destruction.
class Undeletable {
public:
    explicit Undeletable(const QString& path) : path_(path)
    {
        if (::geteuid() != 0) {
            parent_ = QFileInfo(path).absolutePath();
            ok_ = ::chmod(QFile::encodeName(parent_).constData(), 0555) == 0;
            return;
        }
        ok_ = setImmutable(true);
    }
    ~Undeletable()
    {
        if (!parent_.isEmpty())
            ::chmod(QFile::encodeName(parent_).constData(), 0755);
        else if (ok_)
            setImmutable(false);
    }
    bool ok() const { return ok_; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    QString path_;
    QString parent_;
    bool ok_ = false;
};

class Browser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::silencePlatformMessages(); }
    static void TearDownTestSuite() { testsupport::restorePlatformMessages(); }

    void SetUp() override
    {
        timing::setScale(0.02);
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(docs_.path()));
        window_.makeKeyAndVisible();
        host_ = new ui::ViewController;
        window_.addSubview(host_->view());
    }
    void TearDown() override
    {
        delete host_; // takes a browser still shown with it
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        qunsetenv("RIPWELL_DOCUMENTS");
        timing::setScale(1.0);
    }

    QString doc(const QString& relative) const { return docs_.file(relative); }
    void file(const QString& relative) { ASSERT_TRUE(testsupport::writeFile(doc(relative), "data")); }
    void folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(doc(relative))); }

    FileManagerViewController* open()
    {
        browser_ = new FileManagerViewController;
        host_->presentModalViewController(browser_, false);
        return browser_;
    }
    ui::TableViewCell* cell(int row) const { return browser_->tableView()->cellForRowAtIndexPath(IndexPath::forRow(row)); }
    QString text(int row) const { return cell(row) ? cell(row)->textLabel()->text() : QStringLiteral("<none>"); }
    QStringList texts() const
    {
        QStringList out;
        for (int row = 0; row < browser_->tableView()->numberOfRowsInSection(0); ++row)
            out << text(row);
        return out;
    }
    // The row that shows entry `name` of the folder shown now.
    int rowOf(const QString& name) const { return int(browser_->files().indexOf(name)) + browser_->offset(); }
    void tap(int row) { QTest::mouseClick(cell(row), Qt::LeftButton); }
    ui::Button* mailButton(int row) const { return cell(row) ? qobject_cast<ui::Button*>(cell(row)->accessoryView()) : nullptr; }

    // Deletes a row as a user does: edit mode, the row's delete control, then Delete.
    void deleteRow(int row)
    {
        if (!browser_->tableView()->isEditing())
            QTest::mouseClick(browser_->editButton(), Qt::LeftButton);
        ASSERT_TRUE(browser_->tableView()->isEditing());
        ui::TableViewCell* c = cell(row);
        ASSERT_NE(c, nullptr);
        ASSERT_TRUE(processEventsUntil([&] { return c->deleteControl()->isVisible() && !ui::isAnimating(c->deleteControl()); }));
        QTest::mouseClick(c->deleteControl(), Qt::LeftButton);
        ASSERT_TRUE(c->deleteConfirmationButton()->isVisible());
        QTest::mouseClick(c->deleteConfirmationButton(), Qt::LeftButton);
        // Let the fade and the rows' move end.
        ASSERT_TRUE(processEventsUntil([&] {
            for (ui::TableViewCell* v : browser_->tableView()->visibleCells())
                if (ui::isAnimating(v))
                    return false;
            return true;
        }));
    }
    playback::Player* player() const { return AudioPlayerHelper::sharedInstance()->player(); }

    TempDir docs_;
    ui::Window window_;
    ui::ViewController* host_ = nullptr;
    FileManagerViewController* browser_ = nullptr;
};

TEST_F(Browser, AnEmptyDocumentsFolderShowsNoRowsAndNoEditing)
{
    open();
    EXPECT_EQ(browser_->rootDirectory(), docs_.path());
    EXPECT_EQ(browser_->currentPlayingIndex(), kNone);
    EXPECT_EQ(browser_->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_TRUE(browser_->tableView()->visibleCells().empty());
    EXPECT_FALSE(browser_->editButton()->isEnabled());
}

TEST_F(Browser, RowsShowEntriesInListingOrderByTheCellRules)
{
    file("Morning Tide.mp3");
    file("error.log");
    file(".hidden");
    file("Live.at.Home.m4a");
    folder("Band.v2");
    folder("Artist");
    open();
    // The file system's own order: nothing sorted, nothing left out.
    EXPECT_EQ(browser_->files(), filemanager::contentsOfDirectoryAtPath(docs_.path()).value());
    ASSERT_EQ(texts().size(), 6);
    EXPECT_TRUE(browser_->editButton()->isEnabled());

    const struct {
        const char* name;
        const char* shown;
        const char* image; // nullptr: none
        bool mail;
    } expected[] = {
        {"Morning Tide.mp3", "Morning Tide", "file.png", true},
        {"error.log", "error.log", nullptr, true},
        {".hidden", ".hidden", "file.png", true},
        {"Live.at.Home.m4a", "Live.at.Home", "file.png", true},
        {"Band.v2", "Band", "folder.png", false},
        {"Artist", "Artist", "folder.png", false},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        ui::TableViewCell* c = cell(rowOf(e.name));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->textLabel()->text(), e.shown);
        if (e.image)
            EXPECT_EQ(c->imageView()->image(), ui::imageNamed(e.image));
        else
            EXPECT_TRUE(c->imageView()->image().isNull());
        EXPECT_EQ(mailButton(rowOf(e.name)) != nullptr, e.mail);
        if (e.mail) {
            EXPECT_EQ(c->accessoryType(), ui::TableViewCellAccessoryType::DetailDisclosureButton);
            EXPECT_EQ(mailButton(rowOf(e.name))->size(), ui::imageNamed("mail.png").size());
        }
        EXPECT_EQ(c->textLabel()->font().pixelSize(), 13);
        QWidget* background = c->backgroundView();
        ASSERT_NE(background, nullptr);
        EXPECT_DOUBLE_EQ(ui::alpha(background), 0.6);
        EXPECT_EQ(ui::Layer::of(background)->cornerRadius(), 5);
        EXPECT_EQ(ui::Layer::of(background)->borderWidth(), 1);
        EXPECT_EQ(ui::Layer::of(background)->borderColor(), QColor(Qt::white));
        EXPECT_EQ(background->size(), c->size());
    }
}

TEST_F(Browser, FoldersAreEnteredAndLeftThroughTheirRowsAndTheParentRow)
{
    file("a.mp3");
    folder("Artist/Album");
    file("Artist/Album/Song.wav");
    folder("Artist/Empty");
    open();
    tap(rowOf("Artist"));
    EXPECT_EQ(browser_->rootDirectory(), doc("Artist"));
    EXPECT_EQ(browser_->offset(), 1);
    EXPECT_EQ(text(0), "..");
    EXPECT_EQ(cell(0)->imageView()->image(), ui::imageNamed("folder.png"));
    EXPECT_EQ(mailButton(0), nullptr);
    EXPECT_EQ(texts().size(), 3); // "..", Album, Empty
    EXPECT_TRUE(browser_->editButton()->isEnabled());

    tap(rowOf("Empty"));
    EXPECT_EQ(texts(), QStringList{".."});
    EXPECT_FALSE(browser_->editButton()->isEnabled());
    EXPECT_FALSE(browser_->canEditRowAtIndexPath(browser_->tableView(), IndexPath::forRow(0)));

    tap(0);
    tap(rowOf("Album"));
    EXPECT_EQ(texts(), (QStringList{"..", "Song"}));
    tap(0);
    tap(0);
    EXPECT_EQ(browser_->rootDirectory(), docs_.path());
    EXPECT_EQ(browser_->offset(), 0);
    EXPECT_EQ(text(rowOf("a.mp3")), "a");
    EXPECT_EQ(texts().size(), 2);
    EXPECT_TRUE(browser_->canEditRowAtIndexPath(browser_->tableView(), IndexPath::forRow(0)));
}

// A pressed move starts a drag of the row's file or folder (the platform
// here has no drag and drop, so the drag the row started is read, not
// dropped); the release that follows is no tap. The parent row is no stored
// file: it does not drag, and stays a tap.
TEST_F(Browser, FilesAndFoldersAreDraggedOutAsTheirURLsAndADragIsNoTap)
{
    folder("Artist");
    file("Artist/Song.mp3");
    file("Naïve Song.m4a");
    open();
    const auto dragRow = [&](int row) {
        ui::TableViewCell* c = cell(row);
        const QPoint from(40, 20);
        QTest::mousePress(c, Qt::LeftButton, {}, from);
        QTest::mouseMove(c, from + QPoint(2 * QApplication::startDragDistance(), 3));
        QStringList carried;
        if (auto* drag = c->findChild<QDrag*>(); drag && drag->mimeData()->hasFormat("text/uri-list")) {
            for (const QUrl& url : drag->mimeData()->urls())
                carried << url.toLocalFile();
            delete drag;
        }
        QTest::mouseRelease(c, Qt::LeftButton, {}, from + QPoint(2 * QApplication::startDragDistance(), 3));
        return carried;
    };

    EXPECT_EQ(dragRow(rowOf("Naïve Song.m4a")), QStringList{doc("Naïve Song.m4a")});
    EXPECT_EQ(dragRow(rowOf("Artist")), QStringList{doc("Artist")});
    EXPECT_EQ(browser_->rootDirectory(), docs_.path()); // the folder was not entered
    EXPECT_EQ(player() ? player()->url() : Url(), Url()); // nor the file played

    tap(rowOf("Artist"));
    EXPECT_EQ(dragRow(rowOf("Song.mp3")), QStringList{doc("Artist/Song.mp3")});
    EXPECT_EQ(dragRow(0), QStringList());
    EXPECT_EQ(browser_->rootDirectory(), docs_.path()); // ".." was tapped
}

TEST_F(Browser, SelectingAFileHandsItToThePlayerAndKeepsTheRowHighlighted)
{
    file("error.log");
    file("Song.mp3");
    open();
    const int row = rowOf("error.log");
    tap(row);
    EXPECT_EQ(browser_->currentPlayingIndex(), quint32(row));
    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(player()->url(), Url::fileURLWithPath(doc("error.log")));
    EXPECT_TRUE(cell(row)->isSelected());
    EXPECT_EQ(browser_->files().size(), 2);

    tap(rowOf("Song.mp3"));
    EXPECT_EQ(player()->url(), Url::fileURLWithPath(doc("Song.mp3")));
    EXPECT_FALSE(cell(row)->isSelected());
}

// The playlists a run wrote: listed in their folder by name with a
// playlist's image; a tap plays the songs the playlist lists.
TEST_F(Browser, APlaylistIsListedAsOneAndATapPlaysItsSongs)
{
    folder("Band/Album");
    folder("Playlists");
    file("Band/Album/One.mp3");
    file("Band/Album/Two.mp3");
    ASSERT_TRUE(testsupport::writeFile(doc("Playlists/Party Mix.m3u8"),
                                       "#EXTM3U\n#EXTINF:3,Band - Two\n../Band/Album/Two.mp3\n"
                                       "#EXTINF:3,Band - One\n../Band/Album/One.mp3\n"));
    open();
    tap(rowOf("Playlists"));
    ASSERT_EQ(texts(), QStringList({"..", "Party Mix"}));
    EXPECT_EQ(cell(1)->imageView()->image(), ui::imageNamed("playlist.png"));
    EXPECT_NE(mailButton(1), nullptr);
    tap(1);
    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(player()->url(), Url::fileURLWithPath(doc("Playlists/Party Mix.m3u8")));
    EXPECT_EQ(player()->queue(), QStringList({doc("Band/Album/Two.mp3"), doc("Band/Album/One.mp3")}));
}

TEST_F(Browser, ThePlayingRowFollowsDeletionsAboveAtAndBelowIt)
{
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
        file(name);
    open();
    const QStringList order = browser_->files();
    tap(2);
    const Url playing = player()->url();
    EXPECT_EQ(playing, Url::fileURLWithPath(doc(order[2])));

    deleteRow(4); // below
    EXPECT_EQ(browser_->currentPlayingIndex(), 2u);
    deleteRow(0); // above
    EXPECT_EQ(browser_->currentPlayingIndex(), 1u);
    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(player()->url(), playing);
    EXPECT_EQ(text(1), QFileInfo(order[2]).completeBaseName());

    deleteRow(1); // the playing row itself
    EXPECT_EQ(browser_->currentPlayingIndex(), kNone);
    EXPECT_EQ(player(), nullptr);
    deleteRow(0); // nothing plays
    EXPECT_EQ(browser_->currentPlayingIndex(), kNone);
    EXPECT_EQ(browser_->files(), QStringList{order[3]});
    EXPECT_FALSE(QFile::exists(doc(order[2])));
}

TEST_F(Browser, ThePlayingRowIsABareRowNumberAcrossFolders)
{
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        file(name);
    folder("Album");
    file("Album/x.mp3");
    file("Album/y.mp3");
    open();
    const int playRow = rowOf("Album") == 2 ? 1 : 2; // a file row that is not the folder
    tap(playRow);
    ASSERT_NE(player(), nullptr);
    tap(rowOf("Album"));
    EXPECT_EQ(browser_->currentPlayingIndex(), quint32(playRow));
    const QString victim = browser_->fileAtIndexPath(IndexPath::forRow(playRow));
    deleteRow(playRow);
    EXPECT_EQ(player(), nullptr);
    EXPECT_EQ(browser_->currentPlayingIndex(), kNone);
    EXPECT_FALSE(QFile::exists(doc("Album/" + victim)));
}

TEST_F(Browser, DeletingAFolderTakesItsContentAndTheLastEntryEndsEditing)
{
    folder("Artist/Album");
    file("Artist/Album/Song.mp3");
    file("Artist/cover.jpg");
    open();
    EXPECT_TRUE(browser_->editButton()->isEnabled());
    deleteRow(0);
    EXPECT_FALSE(QFileInfo::exists(doc("Artist")));
    EXPECT_TRUE(browser_->files().isEmpty());
    EXPECT_EQ(browser_->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(browser_->tableView()->isEditing());
    EXPECT_FALSE(browser_->editButton()->isEnabled());
    EXPECT_TRUE(QFileInfo::exists(docs_.path()));
}

TEST_F(Browser, EditingInASubfolderNeverOffersTheParentRow)
{
    folder("Artist");
    file("Artist/Song.mp3");
    open();
    tap(0);
    QTest::mouseClick(browser_->editButton(), Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return !ui::isAnimating(cell(1)->deleteControl()); }));
    EXPECT_FALSE(cell(0)->deleteControl()->isVisible());
    EXPECT_TRUE(cell(1)->deleteControl()->isVisible());
    // A second press of the edit button leaves editing mode again.
    QTest::mouseClick(browser_->editButton(), Qt::LeftButton);
    EXPECT_FALSE(browser_->tableView()->isEditing());
    EXPECT_EQ(browser_->editButton()->text(), "Edit");
}

TEST_F(Browser, AnEntryThatCannotBeRemovedStaysListedAndTheUserIsTold)
{
    file("keep.mp3");
    folder("Locked");
    file("Locked/inner.mp3");
    open();
    {
        Undeletable lock(doc("Locked/inner.mp3"));
        if (!lock.ok())
            GTEST_SKIP() << "cannot make a file undeletable here";
        deleteRow(rowOf("Locked"));
        EXPECT_TRUE(QFile::exists(doc("Locked/inner.mp3")));
    }
    // The table shows what is on disk, and an alert says why the row is back.
    EXPECT_EQ(browser_->files().size(), 2);
    EXPECT_EQ(texts().size(), 2);
    EXPECT_EQ(text(rowOf("Locked")), "Locked");
    QLabel* message = nullptr;
    for (QLabel* label : window_.findChildren<QLabel*>())
        if (label->isVisible() && label->text() == "This entry could not be deleted.")
            message = label;
    EXPECT_NE(message, nullptr);
    EXPECT_TRUE(browser_->tableView()->isEditing());
}

// A name whose bytes are no valid text is still the file's own name: the
// row deletes exactly that file.
TEST_F(Browser, AnEntryWhoseNameIsNoTextIsDeletedLikeAnyOther)
{
    const QByteArray raw = QFile::encodeName(docs_.path()) + "/bad\xff name.mp3";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    open();
    ASSERT_EQ(browser_->files().size(), 1);
    deleteRow(0);
    EXPECT_NE(::access(raw.constData(), F_OK), 0) << "the file is gone";
    EXPECT_EQ(browser_->tableView()->numberOfRowsInSection(0), 0);
}

TEST_F(Browser, AnEntryRemovedBehindTheBrowsersBackLeavesTableAndListingAgreed)
{
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        file(name);
    open();
    const QStringList order = browser_->files();
    ASSERT_TRUE(QFile::remove(doc(order[0])));
    ASSERT_TRUE(QFile::remove(doc(order[1])));
    deleteRow(1);
    EXPECT_EQ(browser_->files(), QStringList{order[2]});
    EXPECT_EQ(texts(), QStringList{QFileInfo(order[2]).completeBaseName()});
    EXPECT_EQ(browser_->tableView()->visibleCells().size(), 1u);
}

TEST_F(Browser, ALinkToAFolderElsewhereIsWalkedAsTextAndDeletedAsALink)
{
    TempDir outside;
    ASSERT_TRUE(testsupport::writeFile(outside.file("precious.mp3"), "keep"));
    ASSERT_TRUE(QFile::link(outside.path(), doc("Elsewhere")));
    folder("Mixed");
    ASSERT_TRUE(QFile::link(outside.path(), doc("Mixed/inner link")));
    open();

    tap(rowOf("Elsewhere"));
    EXPECT_EQ(browser_->rootDirectory(), doc("Elsewhere"));
    EXPECT_EQ(texts(), (QStringList{"..", "precious"}));
    tap(0);
    EXPECT_EQ(browser_->rootDirectory(), docs_.path());
    EXPECT_EQ(browser_->offset(), 0);

    deleteRow(rowOf("Elsewhere"));
    EXPECT_FALSE(QFileInfo(doc("Elsewhere")).isSymLink());
    deleteRow(rowOf("Mixed"));
    EXPECT_FALSE(QFileInfo::exists(doc("Mixed")));
    EXPECT_EQ(testsupport::readFile(outside.file("precious.mp3")), "keep");
}

TEST_F(Browser, TheMailButtonOpensTheComposerForItsRowsFile)
{
    file("a.mp3");
    file("Copper Sky.m4a");
    open();
    const int row = rowOf("Copper Sky.m4a");
    QTest::mouseClick(mailButton(row), Qt::LeftButton);
    auto* composer = qobject_cast<mail::MailComposeViewController*>(browser_->modalViewController());
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->mailComposeDelegate(), browser_);
    EXPECT_EQ(composer->subject(), "Copper Sky.m4a");
    EXPECT_EQ(composer->attachmentFileName(), "Copper Sky.m4a");
    EXPECT_EQ(composer->attachmentPath(), doc("Copper Sky.m4a"));

    QPointer<mail::MailComposeViewController> guard(composer);
    QTest::mouseClick(composer->view()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return guard.isNull(); }));
    EXPECT_EQ(host_->modalViewController(), browser_); // the browser stays
    EXPECT_EQ(browser_->modalViewController(), nullptr);

    // A touch that lands on no row mails nothing.
    const QPoint belowRows = browser_->tableView()->viewport()->mapToGlobal(QPoint(10, 44 * 5));
    browser_->checkButtonTapped(mailButton(row), ui::Event({ui::Touch(belowRows)}));
    EXPECT_EQ(browser_->modalViewController(), nullptr);
}

TEST_F(Browser, QuitClosesTheBrowserAndEndsItsPlayback)
{
    file("Song.mp3");
    open();
    tap(0);
    ASSERT_NE(player(), nullptr);
    QPointer<FileManagerViewController> guard(browser_);
    QTest::mouseClick(browser_->quitButton(), Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return guard.isNull(); }));
    EXPECT_EQ(host_->modalViewController(), nullptr);
    EXPECT_EQ(player(), nullptr);
}

} // namespace
